// The header and directory reader. The recorded reports in tests/data/reports show the
// report of every fixture (every writer, 12, 100 and 101 entries, a LONG ImageWidth of
// 65541, arrays beyond 64 KiB, big-endian and BigTIFF headers, a directory past the end),
// and the corpus in tests/malformed the truncated files; these are the cases that need a
// file changed on the way.

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

using namespace testing_support;

namespace {

std::vector<uint8_t> pillow() {
    return readBytes(fixture("pillow.tif"));
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

TEST(DirectoryReport, EmptyDirectoryAndEachMissingTagAreNamed) {
    std::vector<uint8_t> empty = pillow();
    put16(empty, get32(empty, 4), 0);
    FileRun none = runOnBytes(empty, kNoFilter);
    EXPECT_EQ(none.report,
              "idf_offset is:  8\n NumDirEntries in hex is:  0\n\n"
              "The directory has no ImageWidth (256) tag\nexiting program\n");
    for (auto [tag, name] :
         {std::pair{256, "ImageWidth (256)"}, std::pair{257, "ImageLength (257)"},
          std::pair{273, "StripOffsets (273)"}, std::pair{279, "StripByteCounts (279)"}}) {
        std::vector<uint8_t> tiff = pillow();
        put16(tiff, entryAt(tiff, static_cast<uint16_t>(tag)), 65001);
        FileRun run = runOnBytes(tiff, kNoFilter);
        EXPECT_TRUE(endsWith(
            run.report, std::string("\nThe directory has no ") + name + " tag\nexiting program\n"))
            << run.report;
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.output.empty());
    }
}

TEST(DirectoryReport, TagThatOccursTwicePrintsTwiceAndKeepsTheLaterValue) {
    std::vector<uint8_t> tiff = pillow();
    put16(tiff, entryAt(tiff, 259), 256);
    std::string report = runOnBytes(tiff, kNoFilter).report;
    EXPECT_NE(report.find(" ImageWidth is:  21\n ImageLength is:  13\n BitsPerSample is:  86\n "
                          "ImageWidth is:  1\n"),
              std::string::npos)
        << report;
    // One pixel a row: the single strip of 627 rows cannot fit the 19 of the image.
    EXPECT_NE(report.find("Strip 0 holds rows beyond the image's last row (ImageLength 19)"),
              std::string::npos);
}

TEST(DirectoryReport, DirectoryPositionIsPrintedInDecimal) {
    std::vector<uint8_t> tiff = pillow();
    tiff.resize(65536 + 2 + 12 * 10 + 4, 0);
    std::copy(tiff.begin() + 8, tiff.begin() + 8 + 2 + 12 * 10 + 4, tiff.begin() + 65536);
    put32(tiff, 4, 65536);
    FileRun run = runOnBytes(tiff, kNoFilter);
    EXPECT_EQ(run.report.substr(0, 22), "idf_offset is:  65536\n");
    EXPECT_EQ(run.output, tiff);
}
