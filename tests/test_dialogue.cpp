#include <sys/stat.h>

#include "TestSupport.h"

using namespace testing_support;

namespace {

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

// Whole runs driven by typed lines, each compared byte for byte with the transcript kept
// beside it in tests/dialogues: banner, menu and re-prompts, colour echoes, name retries,
// the end of console input, and the report of the file read. Paths differ from run to run,
// so the files name them by placeholders. VELSTRAM_RECORD=1 writes missing transcripts.
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
        fs::path recorded = fs::path(entry.path()).replace_extension(".expected");
        if (!fs::exists(recorded) && std::getenv("VELSTRAM_RECORD") != nullptr) {
            writeBytes(recorded, {run.transcript.begin(), run.transcript.end()});
        }
        Bytes expected = readBytes(recorded);
        EXPECT_EQ(run.transcript, std::string(expected.begin(), expected.end()));
        EXPECT_EQ(run.status, endsWith(run.transcript, "Done\n") ? 0 : 1);
        EXPECT_EQ(readBytes(folder / "kept.tif"), (Bytes{'o', 'l', 'd'}));
    }
}
