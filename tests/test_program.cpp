// The built program as a user runs it: typed lines piped in, files on disk, exit status.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "FilterModels.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {

const std::string kClosing = "Press any key to continue\n\nDone\n";

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

struct ProgramRun {
    RunResult result;
    std::vector<uint8_t> output;
};

ProgramRun runFixture(const std::string& name, const std::string& settings) {
    ScratchDir scratch;
    fs::path output = scratch / "out.tif";
    ProgramRun run;
    run.result =
        runProgram(settings + "\n" + typedPath(fixture(name)) + "\n" + typedPath(output) + "\n");
    run.output = readBytes(output);
    return run;
}

// Every byte outside the strips is the input's own, at its own position.
void expectSameFileAround(const std::vector<uint8_t>& input, const std::vector<uint8_t>& output,
                          const Image& image) {
    ASSERT_EQ(output.size(), input.size());
    std::vector<bool> pixelByte(input.size(), false);
    for (auto [at, length] : image.strips) {
        std::fill_n(pixelByte.begin() + static_cast<std::ptrdiff_t>(at), length, true);
    }
    for (size_t i = 0; i < input.size(); ++i) {
        if (!pixelByte[i]) {
            ASSERT_EQ(output[i], input[i]) << "at byte " << i;
        }
    }
}

// Runs one option on a fixture and compares the decoded output with the option's model;
// returns the transcript.
template <typename Model>
std::string expectOption(const std::string& name, const std::string& settings, Model model) {
    std::vector<uint8_t> input = readBytes(fixture(name));
    ProgramRun run = runFixture(name, settings);
    EXPECT_EQ(run.result.status, 0) << name;
    EXPECT_TRUE(endsWith(run.result.transcript, "\n" + kClosing)) << name;
    Image image = decodeImage(input);
    EXPECT_EQ(decodeImage(run.output).pixels, model(image).pixels) << name;
    expectSameFileAround(input, run.output, image);
    return run.result.transcript;
}

}  // namespace

// Every fixture without a filter: the console report, from the directory position on, is
// the one recorded in tests/data/reports, and the output is the input byte for byte (and
// libtiff reads it) or, for a file that must be refused, empty with status 1.
TEST(ProgramRun, EveryFixturePrintsItsRecordedReportAndComesBackWhole) {
    const bool haveTiffinfo = std::system("tiffinfo -h > /dev/null 2>&1") != 127 * 256 &&
                              std::getenv("VELSTRAM_WINDOWS_PATHS") == nullptr;
    const std::string lastPrompt = "for example: c:\\outfile.TIF\n\n";
    for (const auto& entry : fs::directory_iterator(fixture("reports"))) {
        std::string name = entry.path().stem().string() + ".tif";
        SCOPED_TRACE(name);
        std::vector<uint8_t> recorded = readBytes(entry.path());
        std::string expected(recorded.begin(), recorded.end());
        ScratchDir scratch;
        fs::path output = scratch / "out.tif";
        RunResult result = runProgram(kNoFilter + "\n" + typedPath(fixture(name)) + "\n" +
                                      typedPath(output) + "\n");
        size_t prompt = result.transcript.find(lastPrompt);
        ASSERT_NE(prompt, std::string::npos);
        EXPECT_EQ(result.transcript.substr(prompt + lastPrompt.size()), expected);
        bool completes = endsWith(expected, kClosing);
        EXPECT_EQ(result.status, completes ? 0 : 1);
        EXPECT_EQ(readBytes(output), completes ? readBytes(fixture(name)) : std::vector<uint8_t>{});
        if (completes && haveTiffinfo && name != "hand_height0.tif") {
            std::string check = "tiffinfo -D \"" + output.string() + "\" > /dev/null 2>&1";
            EXPECT_EQ(std::system(check.c_str()), 0);
        }
    }
}

TEST(ProgramRun, OutputHoldingDataIsNeverWritten) {
    ScratchDir scratch;
    fs::path output = scratch / "kept.tif";
    writeBytes(output, {'o', 'l', 'd'});
    RunResult result =
        runProgram("4\n\n" + typedPath(fixture("pillow.tif")) + "\n" + typedPath(output) + "\n");
    EXPECT_NE(result.transcript.find("**" + typedPath(output) +
                                     " already holds data and will not be written**\n"
                                     "Please try again.\n\n"),
              std::string::npos);
    EXPECT_TRUE(
        endsWith(result.transcript,
                 "Console input ended before the dialogue was complete; exiting program\n"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(readBytes(output), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

TEST(ProgramOptions, KeepListKeepsOnlyTheListedColours) {
    const std::string settings = "1\nc96a2d\nc9ea9d\n000000\n0\n0\n0\n0\n0\n0\n0\n";
    for (const char* name : {"tiffcp_r1_odd.tif", "tifffile_rps.tif", "imagemagick.tif",
                             "hand_strips_out_of_order.tif"}) {
        expectOption(name, settings, [](const Image& in) {
            return models::keepList(in, {0xC96A2D, 0xC9EA9D, 0});
        });
    }
}

TEST(ProgramOptions, BandFilterWhitensTheBandAndEchoesItsBounds) {
    for (const char* name : {"tiffcp_default.tif", "pillow.tif", "vips.tif"}) {
        std::string transcript = expectOption(name, "2\n100000\nc9ffff\n", [](const Image& in) {
            return models::band(in, 0x100000, 0xC9FFFF);
        });
        EXPECT_NE(transcript.find("\n\nlow_filter is: 1048576\nlow_filter is:  1048576\n"
                                  "high_filter is:  13238271\n"),
                  std::string::npos);
    }
}

TEST(ProgramOptions, ContourCleanUpLeavesBlackLinesOnWhite) {
    for (const char* name :
         {"tiffcp_r1_odd.tif", "tifffile_contig.tif", "hand_gap_between_strips.tif"}) {
        expectOption(name, "3\n", models::contours);
    }
}

TEST(ProgramOptions, RedCastIsDampedAndNothingElseChanges) {
    for (const char* name :
         {"tiffcp_default.tif", "tifffile_contig.tif", "hand_arrays_above_64k.tif"}) {
        std::string transcript = expectOption(name, "4\n", models::redCast);
        // The option prints nothing of its own: the progress marks come right before the end.
        std::string tail = transcript.substr(transcript.rfind("moment.\n\n") + 9);
        EXPECT_EQ(tail, std::string(tail.find('\n'), 'x') + "\n\n" + kClosing) << name;
    }
}
