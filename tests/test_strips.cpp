// The strip tables and the strip pass. The recorded reports in tests/data/reports show the
// count check, type lines and marks of every fixture, the 70-mark limit included, and the
// corpus in tests/malformed holds the files that must be refused; these are the cases
// that need a file changed on the way.

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

using namespace testing_support;

namespace {

// tifffile_rps.tif: 40 x 24 pixels in 6 strips of 4 rows, directory first.
std::vector<uint8_t> sixStrips() {
    return readBytes(fixture("tifffile_rps.tif"));
}

}  // namespace

TEST(StripTables, WrongStripCountIsReportedAndTheRunGoesOn) {
    std::vector<uint8_t> fewer = sixStrips();
    put32(fewer, entryAt(fewer, 273) + 4, 5);
    FileRun run = runOnBytes(fewer, kNoFilter);
    EXPECT_NE(run.report.find("\nStrip Offset Error\nStripOffsetsDataType is;  4\n"),
              std::string::npos);
    EXPECT_NE(run.report.find("moment.\n\nxxxx\n\n"), std::string::npos);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, fewer);
}

// Rows that no strip fills are whitened only after the strips are read; they must still
// reach the filters as white paper.
TEST(StripTables, RowsNoStripFillsAreWhiteToTheContourCleanUp) {
    // tifffile_rps.tif: 40 x 24 in six strips of four rows; all white but for one dot on
    // the last filled row. Above white paper the dot vanishes; above any other colour it
    // would grow into a black square.
    std::vector<uint8_t> tiff = readBytes(fixture("tifffile_rps.tif"));
    const Image image = decodeImage(tiff);
    auto [lastAt, lastLength] = image.strips.back();
    for (auto [at, length] : image.strips) {
        std::fill_n(tiff.begin() + static_cast<std::ptrdiff_t>(at), length, uint8_t{0xFF});
    }
    const size_t dot = lastAt + lastLength - size_t{3} * (image.width - 5);
    tiff[dot] = 0xC9;
    tiff[dot + 1] = 0x6A;
    tiff[dot + 2] = 0x2D;
    std::vector<uint8_t> blank = tiff;
    std::fill_n(blank.begin() + static_cast<std::ptrdiff_t>(dot), 3, uint8_t{0xFF});

    for (uint32_t extraRows : {1U, 3U}) {
        SCOPED_TRACE(extraRows);
        setEntry(tiff, 257, 4, 1, image.height + extraRows);
        setEntry(blank, 257, 4, 1, image.height + extraRows);
        FileRun run = runOnBytes(tiff, "3\n");
        EXPECT_EQ(run.status, 0) << run.report;
        EXPECT_TRUE(run.output == blank);
    }
}

TEST(StripTables, LastStripOfWholeRowsPasses) {
    std::vector<uint8_t> tiff = readBytes(fixture("hand_width10_last125.tif"));
    put32(tiff, get32(tiff, entryAt(tiff, 279) + 8) + 8, 120);
    FileRun run = runOnBytes(tiff, kNoFilter);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, tiff);
}
