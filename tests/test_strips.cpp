// The strip tables and the strip pass. The recorded reports in tests/data/reports show the
// count check, type lines and marks of every fixture, the 70-mark limit included, and the
// corpus in tests/malformed holds the files that must be refused; these are the cases
// that need a file changed on the way.

#include <gtest/gtest.h>

#include <string>

#include "FilterModels.h"
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

TEST(StripTables, RowsNoStripFillsStayWhiteForTheContourCleanUp) {
    std::vector<uint8_t> tiff = readBytes(fixture("pillow.tif"));
    Image image = decodeImage(tiff);
    setEntry(tiff, 257, 4, 1, image.height + 5);
    FileRun run = runOnBytes(tiff, "3\n");
    ASSERT_EQ(run.status, 0) << run.report;
    // The rows below the strips are white neighbours: the last row read is no frame row.
    const size_t read = image.pixels.size();
    image.height += 5;
    image.pixels.resize(size_t{image.width} * image.height, 0xFFFFFF);
    std::vector<uint32_t> expected = models::contours(image).pixels;
    expected.resize(read);
    EXPECT_EQ(decodeImage(run.output).pixels, expected);
}

TEST(StripTables, LastStripOfWholeRowsPasses) {
    std::vector<uint8_t> tiff = readBytes(fixture("hand_width10_last125.tif"));
    put32(tiff, get32(tiff, entryAt(tiff, 279) + 8) + 8, 120);
    FileRun run = runOnBytes(tiff, kNoFilter);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, tiff);
}
