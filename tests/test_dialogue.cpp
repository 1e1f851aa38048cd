#include <sys/stat.h>

#include "TestSupport.h"

using namespace testing_support;

// Whole runs driven by typed lines, each compared byte for byte with the transcript kept
// beside it in tests/dialogues: banner, menu and re-prompts, colour echoes, name retries,
// the end of console input, and the report of the file read. Paths differ from run to run,
// so the files name them by placeholders.
TEST(Dialogue, EachTypedSessionPrintsItsRecordedTranscript) {
    for (const auto& entry : fs::directory_iterator(fixture("../dialogues"))) {
        if (entry.path().extension() != ".typed") {
            continue;
        }
        SCOPED_TRACE(entry.path().stem().string());
        const fs::path folder = scratch("session");
        // Longest first, so that a path is never half replaced by the folder that holds it.
        const std::vector<std::pair<std::string, std::string>> paths = {
            {"{output}",
             (folder / "an output file with a name of more than 39 characters.tif").string()},
            {"{too long}", (folder / std::string(4100, 'n')).string()},
            {"{missing}", (folder / "missing.tif").string()},
            {"{pipe}", (folder / "pipe").string()},
            {"{kept}", (folder / "kept.tif").string()},
            {"{folder}", folder.string()},
            {"{input}", fixture("pillow.tif").string()},
        };
        writeBytes(folder / "kept.tif", {'o', 'l', 'd'});
        mkfifo((folder / "pipe").c_str(), 0600);
        Bytes typedBytes = readBytes(entry.path());
        std::string typed(typedBytes.begin(), typedBytes.end());
        for (const auto& [name, path] : paths) {
            typed = replaceAll(typed, name, path);
        }
        RunResult run = runJob(typed);
        for (const auto& [name, path] : paths) {
            run.transcript = replaceAll(run.transcript, path, name);
        }
        expectRecorded(run.transcript, fs::path(entry.path()).replace_extension(".expected"));
        EXPECT_EQ(run.status, endsWith(run.transcript, "Done\n") ? 0 : 1);
        const fs::path output = paths[0].second;
        EXPECT_TRUE(run.status == 0 || !fs::exists(output) || fs::file_size(output) == 0);
        EXPECT_EQ(readBytes(folder / "kept.tif"), (Bytes{'o', 'l', 'd'}));
    }
}
