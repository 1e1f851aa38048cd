#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

using namespace testing_support;

namespace {

const std::string kLengthError =
    "Error reading strip data\nprobably not a 24-bit tiff file\nexiting program\n";

// The strip lines of a report: from the strip count check to the end.
std::string stripPart(const std::string& report) {
    size_t start = report.find("\nNumberStripOffsets Check OK");
    if (start == std::string::npos) {
        start = report.find("\nStrip Offset Error");
    }
    return start == std::string::npos ? report : report.substr(start);
}

std::string marksOf(const std::string& report) {
    const std::string progress = "This will take a moment.\n\n";
    size_t start = report.find(progress) + progress.size();
    return report.substr(start, report.find('\n', start) - start);
}

void expectRefused(const FileRun& run, const std::string& lastLines) {
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.output.empty());
    ASSERT_GE(run.report.size(), lastLines.size()) << run.report;
    EXPECT_EQ(run.report.substr(run.report.size() - lastLines.size()), lastLines) << run.report;
}

// tifffile_rps.tif: 40 x 24 pixels, 6 strips of 4 rows, LONG offsets array at 240, SHORT
// byte counts at 264, strips from 304, directory first.
std::vector<uint8_t> sixStrips() {
    return readBytes(fixture("tifffile_rps.tif"));
}

}  // namespace

TEST(StripTables, CountCheckTypeLinesAndMarks) {
    FileRun run = runOnBytes(sixStrips(), kNoFilter);
    EXPECT_EQ(stripPart(run.report),
              "\nNumberStripOffsets Check OK\n\n"
              "StripOffsetsDataType is;  4\n\n"
              "StripByteCountDataType is;  3\n\n"
              "Reading strip data.  O(n^2) file i/o operation. This will take a moment.\n\n"
              "xxxxx\n\n"
              "In default--Error\nPress any key to continue\n\nDone\n");
    EXPECT_EQ(marksOf(runOnBytes(readBytes(fixture("pillow.tif")), kNoFilter).report), "");
    EXPECT_EQ(marksOf(runOnBytes(readBytes(fixture("hand_short_arrays.tif")), kNoFilter).report),
              "xxxx");
}

TEST(StripTables, AtMostSeventyMarks) {
    // 100 strips of one row each, 3 bytes per row.
    std::vector<uint8_t> tiff = readBytes(fixture("hand_no_rowsperstrip.tif"));
    Image image = decodeImage(tiff);
    std::vector<uint8_t> built(8, 0);
    built[0] = built[1] = 0x49;
    built[2] = 0x2A;
    put32(built, 4, 8);
    const uint32_t rows = 100;
    size_t directory = 8;
    size_t offsets = directory + 2 + 12 * 6 + 4;
    size_t counts = offsets + 4 * rows;
    size_t pixels = counts + 4 * rows;
    built.resize(pixels + 3 * rows, 0x7F);
    put16(built, directory, 6);
    const uint32_t entries[6][4] = {
        {256, 4, 1, 1}, {257, 4, 1, rows}, {273, 4, rows, static_cast<uint32_t>(offsets)},
        {277, 3, 1, 3}, {278, 4, 1, 1},    {279, 4, rows, static_cast<uint32_t>(counts)}};
    for (int i = 0; i < 6; ++i) {
        size_t at = directory + 2 + 12 * i;
        put16(built, at, entries[i][0]);
        put16(built, at + 2, entries[i][1]);
        put32(built, at + 4, entries[i][2]);
        put32(built, at + 8, entries[i][3]);
    }
    put32(built, directory + 2 + 12 * 6, 0);
    for (uint32_t s = 0; s < rows; ++s) {
        put32(built, offsets + 4 * s, static_cast<uint32_t>(pixels + 3 * s));
        put32(built, counts + 4 * s, 3);
    }
    FileRun run = runOnBytes(built, kNoFilter);
    EXPECT_EQ(marksOf(run.report), std::string(70, 'x'));
    EXPECT_EQ(run.output, built);
    EXPECT_GT(image.width, 0u);
}

TEST(StripTables, WrongStripCountIsReportedAndTheRunGoesOn) {
    std::vector<uint8_t> tiff = sixStrips();
    setEntry(tiff, 278, 4, 1, 5);  // 24 rows of 5 would need 5 strips; there are 6 of 4
    FileRun run = runOnBytes(tiff, kNoFilter);
    EXPECT_EQ(stripPart(run.report).substr(0, 21), "\nStrip Offset Error\nS");
    // The first strip holds 4 rows, not the 5 that RowsPerStrip now claims.
    expectRefused(run, kLengthError);

    std::vector<uint8_t> fewer = sixStrips();
    put32(fewer, entryAt(fewer, 273) + 4, 5);
    FileRun shortTable = runOnBytes(fewer, kNoFilter);
    EXPECT_NE(shortTable.report.find("\nStrip Offset Error\nStripOffsetsDataType is;  4\n"),
              std::string::npos);
    EXPECT_EQ(shortTable.status, 0);
    EXPECT_EQ(shortTable.output, fewer);
}

TEST(StripTables, LastStripHoldsWholeRowsOnly) {
    FileRun run = runOnBytes(readBytes(fixture("hand_width10_last125.tif")), kNoFilter);
    // The marks line has no end of its own, so the error follows the two marks directly.
    expectRefused(run, "moment.\n\nxx" + kLengthError);

    std::vector<uint8_t> tiff = readBytes(fixture("hand_width10_last125.tif"));
    size_t counts = get32(tiff, entryAt(tiff, 279) + 8);
    put32(tiff, counts + 8, 120);
    FileRun exact = runOnBytes(tiff, kNoFilter);
    EXPECT_EQ(exact.status, 0);
    EXPECT_EQ(exact.output, tiff);
}

TEST(StripTables, WiderPixelsStopAtTheFirstStrip) {
    FileRun run = runOnBytes(readBytes(fixture("hand_32bit.tif")), kNoFilter);
    expectRefused(run, "This will take a moment.\n\n" + kLengthError);
}

TEST(StripTables, MalformedGeometryEndsTheRunBeforeAnyOutput) {
    struct Case {
        const char* what;
        void (*breakIt)(std::vector<uint8_t>&);
        std::string lastLines;
    };
    const Case cases[] = {
        {"RowsPerStrip 0", [](std::vector<uint8_t>& t) { setEntry(t, 278, 4, 1, 0); },
         "RowsPerStrip is 0, so no strip can hold a row\nexiting program\n"},
        {"ImageWidth 0", [](std::vector<uint8_t>& t) { setEntry(t, 256, 4, 1, 0); },
         "ImageWidth is 0, so the image has no pixels\nexiting program\n"},
        {"no strips", [](std::vector<uint8_t>& t) { put32(t, entryAt(t, 273) + 4, 0); },
         "StripOffsetsDataType is;  4\nThe directory lists no strips\nexiting program\n"},
        {"fewer byte counts", [](std::vector<uint8_t>& t) { put32(t, entryAt(t, 279) + 4, 5); },
         "The directory lists 6 strips but only 5 strip byte counts\nexiting program\n"},
        {"offsets of type 5", [](std::vector<uint8_t>& t) { put16(t, entryAt(t, 273) + 2, 5); },
         "StripOffsetsDataType is;  5\nswitch error\n"
         "The StripOffsets array has field type 5; only SHORT (3) and LONG (4) arrays can be "
         "read\nexiting program\n"},
        {"counts of type 1", [](std::vector<uint8_t>& t) { put16(t, entryAt(t, 279) + 2, 1); },
         "StripByteCountDataType is;  1\nswitch error\n"
         "The StripByteCounts array has field type 1; only SHORT (3) and LONG (4) arrays can be "
         "read\n"
         "exiting program\n"},
        {"array past the end", [](std::vector<uint8_t>& t) { put32(t, entryAt(t, 273) + 8, 3170); },
         "The StripOffsets array of 6 entries at position 3170 runs past the end of the file (3184 "
         "bytes)\n"
         "exiting program\n"},
        {"strip past the end", [](std::vector<uint8_t>& t) { put32(t, 240 + 4 * 5, 2800); },
         "Strip 5 (480 bytes at position 2800) runs past the end of the file (3184 bytes)\nexiting "
         "program\n"},
        {"overlapping strips",
         [](std::vector<uint8_t>& t) { put32(t, 240 + 4 * 3, get32(t, 240 + 4 * 2) + 3); },
         "Strips 2 and 3 overlap in the file\nexiting program\n"},
        {"rows beyond the image", [](std::vector<uint8_t>& t) { setEntry(t, 257, 4, 1, 22); },
         "xxxxx"
         "Strip 5 holds rows beyond the image's last row (ImageLength 22)\nexiting program\n"},
        {"huge image", [](std::vector<uint8_t>& t) { setEntry(t, 257, 4, 1, 0x7FFFFFFF); },
         "The image of 40 x 2147483647 pixels needs more memory than this machine has\nexiting "
         "program\n"},
        {"image far larger than its file",
         [](std::vector<uint8_t>& t) { setEntry(t, 257, 4, 1, 200000); },
         "The image of 40 x 200000 pixels is far larger than the file's 3184 bytes can "
         "fill\nexiting program\n"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> tiff = sixStrips();
        c.breakIt(tiff);
        SCOPED_TRACE(c.what);
        expectRefused(runOnBytes(tiff, "4\n"), c.lastLines);
    }
}

TEST(StripTables, ShortRowsAtTheEndStayWhite) {
    std::vector<uint8_t> tiff = readBytes(fixture("pillow.tif"));
    Image image = decodeImage(tiff);
    setEntry(tiff, 257, 4, 1, image.height + 5);
    FileRun run = runOnBytes(tiff, "3\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output.size(), tiff.size());
}
