// The built program as a user runs it: typed lines piped in, files on disk, exit status.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "FilterModels.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {

const char* const kWriterFixtures[] = {
    "tiffcp_r1_odd.tif",
    "tiffcp_default.tif",
    "tifffile_contig.tif",
    "tifffile_rps.tif",
    "pillow.tif",
    "imagemagick.tif",
    "vips.tif",
    "hand_12_entries.tif",
    "hand_100_entries.tif",
    "hand_101_entries.tif",
    "hand_short_arrays.tif",
    "hand_two_shorts_inline.tif",
    "hand_arrays_above_64k.tif",
    "hand_strips_out_of_order.tif",
    "hand_gap_between_strips.tif",
    "hand_no_rowsperstrip.tif",
    "hand_rps_huge.tif",
    "hand_height0.tif",
};

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

TEST(ProgramRun, EveryWriterComesBackByteForByteWithoutAFilter) {
    bool haveTiffinfo = std::system("tiffinfo -h > /dev/null 2>&1") != 127 * 256 &&
                        std::getenv("VELSTRAM_WINDOWS_PATHS") == nullptr;
    for (const char* name : kWriterFixtures) {
        ScratchDir scratch;
        fs::path output = scratch / "out.tif";
        RunResult result = runProgram(kNoFilter + "\n" + typedPath(fixture(name)) + "\n" +
                                      typedPath(output) + "\n");
        EXPECT_EQ(result.status, 0) << name;
        EXPECT_TRUE(endsWith(result.transcript, "In default--Error\n" + kClosing)) << name;
        EXPECT_EQ(readBytes(output), readBytes(fixture(name))) << name;
        if (haveTiffinfo && std::string(name) != "hand_height0.tif") {
            std::string check = "tiffinfo -D \"" + output.string() + "\" > /dev/null 2>&1";
            EXPECT_EQ(std::system(check.c_str()), 0) << name;
        }
    }
}

// Each fixture's console report, from the directory position to the end, as recorded in
// tests/data/reports: what a user sees of the file.
TEST(ProgramRun, EveryFixturePrintsItsRecordedReport) {
    const std::string lastPrompt = "for example: c:\\outfile.TIF\n\n";
    for (const auto& entry : fs::directory_iterator(fixture("reports"))) {
        std::string name = entry.path().stem().string() + ".tif";
        std::vector<uint8_t> recorded = readBytes(entry.path());
        std::string expected(recorded.begin(), recorded.end());
        ProgramRun run = runFixture(name, kNoFilter);
        size_t prompt = run.result.transcript.find(lastPrompt);
        ASSERT_NE(prompt, std::string::npos) << name;
        EXPECT_EQ(run.result.transcript.substr(prompt + lastPrompt.size()), expected) << name;
        bool completes = endsWith(expected, kClosing);
        EXPECT_EQ(run.result.status, completes ? 0 : 1) << name;
        EXPECT_EQ(run.output.empty(), !completes) << name;
    }
}

TEST(ProgramRun, FatalErrorEndsWithStatusOneAndNoClosingLines) {
    ProgramRun run = runFixture("bigendian_mm.tif", "4\n");
    EXPECT_EQ(run.result.status, 1);
    EXPECT_TRUE(
        endsWith(run.result.transcript, "not a valid little endian TIF file\nexiting program\n"));
    EXPECT_TRUE(run.output.empty());

    ProgramRun wide = runFixture("hand_32bit.tif", "4\n");
    EXPECT_EQ(wide.result.status, 1);
    EXPECT_TRUE(endsWith(wide.result.transcript,
                         "\n\nError reading strip data\nprobably not a 24-bit tiff file\n"
                         "exiting program\n"))
        << wide.result.transcript;
    EXPECT_TRUE(wide.output.empty());
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
