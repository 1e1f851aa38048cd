#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "dialogue/FilterSettings.h"

using namespace testing_support;

namespace {

using Substitutions = std::vector<std::pair<std::string, std::string>>;

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); !from.empty() && at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string text(const fs::path& file) {
    std::vector<uint8_t> bytes = readBytes(file);
    return {bytes.begin(), bytes.end()};
}

}  // namespace

// Whole runs driven by typed lines, each compared byte for byte with the transcript kept
// beside it in tests/dialogues: banner, menu and re-prompts, colour echoes, name retries,
// the end of console input, and the report of the file read. Paths differ from run to run,
// so the files name them by placeholders. VELSTRAM_RECORD=1 writes missing transcripts.
TEST(Dialogue, EachTypedSessionPrintsItsRecordedTranscript) {
    for (const auto& entry :
         fs::directory_iterator(fs::path(VELSTRAM_TEST_DATA) / ".." / "dialogues")) {
        if (entry.path().extension() != ".typed") {
            continue;
        }
        SCOPED_TRACE(entry.path().stem().string());
        ScratchDir scratch;
        // Longest first, so that a path is never half replaced by the folder that holds it.
        const Substitutions paths = {
            {"{output}",
             (scratch / "an output file with a name of more than 39 characters.tif").string()},
            {"{missing}", (scratch / "missing.tif").string()},
            {"{kept}", (scratch / "kept.tif").string()},
            {"{folder}", scratch.path().string()},
            {"{input}", fixture("pillow.tif").string()},
        };
        writeBytes(scratch / "kept.tif", {'o', 'l', 'd'});
        std::string typed = text(entry.path());
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
        std::string expected = text(recorded);
        EXPECT_EQ(run.transcript, expected);
        bool completes =
            expected.size() >= 5 && expected.compare(expected.size() - 5, 5, "Done\n") == 0;
        EXPECT_EQ(run.status, completes ? 0 : 1);
        EXPECT_EQ(readBytes(scratch / "kept.tif"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    }
}

TEST(ParseHex, PositionsZeroToFiveCountWhateverTheyHold) {
    const std::pair<std::string, int32_t> cases[] = {
        {std::string("c9ea9d\0", 7), 13232797},
        {std::string("C9EA9D\0", 7), 13232797},
        {std::string("c9ea9d12\0", 9), 13232797},
        {std::string("c9ea9\0d", 7), 13232736},
        {std::string("0\0ea9d", 6), -3085667},
        {std::string("x9ea9d\0", 7), 649885},
        {std::string(" c9ea9\0", 7), -15950167},
        {std::string("\xff"
                     "00000",
                     6),
         -49 * 0x100000},
        {std::string(":G0000", 6), 0},
    };
    for (const auto& [answer, value] : cases) {
        Console::AnswerBuffer buffer{};
        std::copy(answer.begin(), answer.end(), buffer.begin());
        EXPECT_EQ(FilterSettings::parseHex(buffer), value) << answer;
    }
}

TEST(ParseHex, AnswerOfZeroIsNegativeWhateverTheLeftovers) {
    for (std::string earlier : {"", "ffffff", "000000", "zzzzzzzzz", "\x80\x80\x80\x80\x80\x80"}) {
        Console::AnswerBuffer buffer{};
        std::copy(earlier.begin(), earlier.end(), buffer.begin());
        buffer[0] = '0';
        buffer[1] = '\0';
        EXPECT_LE(FilterSettings::parseHex(buffer), -3080193) << earlier;
    }
}
