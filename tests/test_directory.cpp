#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

using namespace testing_support;

namespace {

const std::string kNotTiff = "not a valid little endian TIF file\nexiting program\n";

std::string reportOf(const std::string& fixtureName) {
    return runOnBytes(readBytes(fixture(fixtureName)), kNoFilter).report;
}

// The directory lines alone: from the position line to the blank line after the tags.
std::string directoryPart(const std::string& report) {
    return report.substr(0, report.find("\n\n", report.find("\n\n") + 2) + 2);
}

std::vector<uint8_t> withEntryCount(uint32_t entries) {
    std::vector<uint8_t> tiff = readBytes(fixture("pillow.tif"));
    put16(tiff, get32(tiff, 4), entries);
    return tiff;
}

}  // namespace

TEST(DirectoryReport, LibtiffFileWithDirectoryAfterTheStrips) {
    EXPECT_EQ(directoryPart(reportOf("tiffcp_r1_odd.tif")),
              "idf_offset is:  2562\n"
              " NumDirEntries in hex is:  b\n\n"
              " ImageWidth is:  25\n"
              " ImageLength is:  17\n"
              " BitsPerSample is:  a8c\n"
              " Compression is:  1\n"
              " PhotometricInterpretation is:  2\n"
              " StripOffsets is:  ac0\n"
              " NumberStripOffsets is:  17\n"
              " StripOffsetsDataType is:  4\n"
              " SamplesPerPixel is:  3\n"
              " RowsPerStrip is:  1\n"
              " StripByteCount is:  a92\n"
              " StripByteCountDataType is:  3\n"
              " NumberStripByteCounts is:  17\n\n");
}

TEST(DirectoryReport, SingleStripFileWithDirectoryFirstShowsItsInlineStrip) {
    std::string report = reportOf("pillow.tif");
    EXPECT_EQ(report.substr(0, 48), "idf_offset is:  8\n NumDirEntries in hex is:  a\n\n");
    EXPECT_NE(report.find(" ImageWidth is:  21\n ImageLength is:  13\n"), std::string::npos);
    EXPECT_NE(
        report.find(
            " StripOffsets is:  8c\n NumberStripOffsets is:  1\n StripOffsetsDataType is:  4\n"),
        std::string::npos);
    EXPECT_NE(report.find(" RowsPerStrip is:  13\n StripByteCount is:  759\n"), std::string::npos);
}

TEST(DirectoryReport, EveryWriterReportsTheImageSizeItWrote) {
    for (const char* name :
         {"tiffcp_default.tif", "tifffile_contig.tif", "tifffile_rps.tif", "imagemagick.tif",
          "vips.tif", "hand_12_entries.tif", "hand_arrays_above_64k.tif"}) {
        std::vector<uint8_t> tiff = readBytes(fixture(name));
        Image image = decodeImage(tiff);
        std::string report = reportOf(name);
        char expected[80];
        std::snprintf(expected, sizeof expected, " ImageWidth is:  %x\n ImageLength is:  %x\n",
                      image.width, image.height);
        EXPECT_NE(report.find(expected), std::string::npos) << name << "\n" << report;
        EXPECT_EQ(report.find("idf_offset is:  " + std::to_string(get32(tiff, 4)) + "\n"), 0u)
            << name;
    }
}

TEST(DirectoryReport, FullValuesAreReadFromLongAndPositionFields) {
    std::string report = reportOf("hand_long_width_65541.tif");
    EXPECT_NE(report.find(" ImageWidth is:  10005\n"), std::string::npos) << report;
    std::string above = reportOf("hand_arrays_above_64k.tif");
    EXPECT_NE(above.find(" StripOffsets is:  10c62\n"), std::string::npos) << above;
    EXPECT_NE(above.find("NumberStripOffsets Check OK"), std::string::npos);
    EXPECT_EQ(reportOf("hand_12_entries.tif").substr(0, 48),
              "idf_offset is:  8\n NumDirEntries in hex is:  c\n\n");
}

TEST(DirectoryReport, OnlyTheFirstHundredEntriesAreKept) {
    std::string hundred = reportOf("hand_100_entries.tif");
    EXPECT_EQ(hundred.find("tag counter array limits exceeded"), std::string::npos);
    EXPECT_NE(hundred.find(" NumDirEntries in hex is:  64\n\n ImageWidth"), std::string::npos);
    std::string more = reportOf("hand_101_entries.tif");
    EXPECT_NE(
        more.find(
            " NumDirEntries in hex is:  65\n\ntag counter array limits exceeded\n ImageWidth"),
        std::string::npos)
        << more;
    EXPECT_NE(more.find("Done\n"), std::string::npos);
}

TEST(DirectoryReport, NoEntriesAtAll) {
    FileRun run = runOnBytes(withEntryCount(0), kNoFilter);
    EXPECT_EQ(run.report,
              "idf_offset is:  8\n NumDirEntries in hex is:  0\n\n"
              "The directory has no ImageWidth (256) tag\nexiting program\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.output.empty());
}

TEST(DirectoryReport, MissingTagsAreNamed) {
    for (auto [tag, name] :
         {std::pair{256, "ImageWidth (256)"}, std::pair{257, "ImageLength (257)"},
          std::pair{273, "StripOffsets (273)"}, std::pair{279, "StripByteCounts (279)"}}) {
        std::vector<uint8_t> tiff = readBytes(fixture("pillow.tif"));
        put16(tiff, entryAt(tiff, static_cast<uint16_t>(tag)), 65001);
        FileRun run = runOnBytes(tiff, kNoFilter);
        std::string expected =
            std::string("The directory has no ") + name + " tag\nexiting program\n";
        ASSERT_GE(run.report.size(), expected.size());
        EXPECT_EQ(run.report.substr(run.report.size() - expected.size()), expected);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.output.empty());
    }
}

TEST(DirectoryReport, TagThatOccursTwiceKeepsTheLaterValue) {
    std::vector<uint8_t> tiff = readBytes(fixture("pillow.tif"));
    put16(tiff, entryAt(tiff, 259), 256);
    std::string report = runOnBytes(tiff, kNoFilter).report;
    EXPECT_NE(report.find(" ImageWidth is:  21\n ImageLength is:  13\n BitsPerSample"),
              std::string::npos);
    EXPECT_EQ(report.find(" Compression is:"), std::string::npos);
    EXPECT_NE(report.find(" ImageWidth is:  1\n"), std::string::npos) << report;
}

TEST(HeaderCheck, OnlyLittleEndianClassicTiffIsAccepted) {
    for (const char* name : {"bigendian_mm.tif", "hand_magic_2b.tif"}) {
        FileRun run = runOnBytes(readBytes(fixture(name)), kNoFilter);
        EXPECT_EQ(run.report, kNotTiff) << name;
        EXPECT_EQ(run.status, 1);
    }
    for (std::vector<uint8_t> start :
         {std::vector<uint8_t>{}, {0x49}, {0x49, 0x49, 0x2A}, {0x49, 0x4D, 0x2A, 0}}) {
        EXPECT_EQ(runOnBytes(start, kNoFilter).report, kNotTiff);
    }
}

TEST(HeaderCheck, DirectoryPositionIsPrintedInDecimal) {
    std::vector<uint8_t> tiff = readBytes(fixture("pillow.tif"));
    tiff.resize(65536 + 200, 0);
    std::copy(tiff.begin() + 8, tiff.begin() + 8 + 2 + 12 * 10 + 4, tiff.begin() + 65536);
    put32(tiff, 4, 65536);
    EXPECT_EQ(runOnBytes(tiff, kNoFilter).report.substr(0, 22), "idf_offset is:  65536\n");
}

TEST(HeaderCheck, FileThatEndsBeforeOrInsideTheDirectory) {
    std::vector<uint8_t> tiff = readBytes(fixture("tifffile_contig.tif"));
    std::vector<uint8_t> header(tiff.begin(), tiff.begin() + 6);
    EXPECT_EQ(runOnBytes(header, kNoFilter).report,
              "The file ends inside its 8-byte header\nexiting program\n");

    FileRun pastEnd = runOnBytes(readBytes(fixture("hand_dir_past_end.tif")), kNoFilter);
    EXPECT_EQ(pastEnd.report,
              "idf_offset is:  6658\nThe directory position 6658 lies past the end of the file "
              "(2562 bytes)\nexiting program\n");

    std::vector<uint8_t> cut(tiff.begin(), tiff.begin() + 8 + 2 + 12 * 3);
    FileRun inside = runOnBytes(cut, kNoFilter);
    EXPECT_EQ(inside.report.substr(inside.report.find('\n') + 1),
              " NumDirEntries in hex is:  f\n\nThe file ends inside the directory of 15 entries at "
              "position 8\n"
              "exiting program\n");
    EXPECT_EQ(inside.status, 1);
    EXPECT_TRUE(inside.output.empty());

    FileRun huge = runOnBytes(withEntryCount(65535), kNoFilter);
    EXPECT_NE(
        huge.report.find(
            " NumDirEntries in hex is:  ffff\n\ntag counter array limits exceeded\nThe file ends"),
        std::string::npos);
}
