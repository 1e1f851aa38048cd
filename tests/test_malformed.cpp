// Systematically broken variants of the fixtures. Whatever a file holds, a run either
// completes with the output a healthy run gives for what the file holds, or ends with
// "exiting program" and an empty output; the input is never changed (runOnBytes checks that).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FilterModels.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {

using Bytes = std::vector<uint8_t>;

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// tifffile_rps.tif: 40 x 24, directory of 15 entries at 8, StripOffsets LONG[6] at 240,
// StripByteCounts SHORT[6] at 264, six strips of 480 bytes from 304.
constexpr size_t kOffsetsAt = 240;
constexpr size_t kCountsAt = 264;
constexpr size_t kArraysEnd = 276;
constexpr size_t kDirectoryEnd = 8 + 2 + 15 * 12 + 4;

Bytes sixStrips() {
    return readBytes(fixture("tifffile_rps.tif"));
}

Bytes pillow() {
    return readBytes(fixture("pillow.tif"));
}

// Checks one run against the rules and returns its status; healthy is what a completed run
// must write.
int expectSound(const FileRun& run, const Bytes& healthy) {
    if (run.status == 0) {
        EXPECT_TRUE(run.output == healthy) << "a completed run wrote another output\n"
                                           << run.report;
    } else {
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.output.empty()) << "an ended run left " << run.output.size() << " bytes";
        EXPECT_TRUE(endsWith(run.report, "exiting program\n")) << run.report;
    }
    return run.status;
}

// Without a filter a completed run writes the input itself.
int runWithoutFilter(const Bytes& tiff) {
    return expectSound(runOnBytes(tiff, kNoFilter), tiff);
}

void expectEnded(const Bytes& tiff, const std::string& lastLines) {
    FileRun run = runOnBytes(tiff, kNoFilter);
    EXPECT_EQ(expectSound(run, tiff), 1);
    EXPECT_TRUE(endsWith(run.report, lastLines)) << run.report;
}

// The size checks end the run before the raster is allocated; which of the two applies
// depends on the machine's memory.
void expectRefusedForSize(const Bytes& tiff, const std::string& size) {
    FileRun run = runOnBytes(tiff, kNoFilter);
    EXPECT_EQ(expectSound(run, tiff), 1);
    const std::string tooLarge =
        "The image of " + size + " needs more memory than this machine has\nexiting program\n";
    const std::string unfillable = "The image of " + size + " is far larger than the file's " +
                                   std::to_string(tiff.size()) +
                                   " bytes can fill\nexiting program\n";
    EXPECT_TRUE(endsWith(run.report, tooLarge) || endsWith(run.report, unfillable)) << run.report;
}

// The file with each strip's bytes replaced by the image's pixels, taken in strip order:
// what a correct program writes for an image it read strip by strip.
Bytes withPixels(Bytes tiff, const Image& image) {
    size_t next = 0;
    for (auto [at, length] : image.strips) {
        for (size_t p = at; p + 3 <= at + length && next < image.pixels.size(); p += 3, ++next) {
            tiff[p] = static_cast<uint8_t>(image.pixels[next] >> 16);
            tiff[p + 1] = static_cast<uint8_t>(image.pixels[next] >> 8);
            tiff[p + 2] = static_cast<uint8_t>(image.pixels[next]);
        }
    }
    return tiff;
}

// Option 3 and 4 runs: rows that no strip fills are white paper to the filters.
void expectFiltered(const Bytes& tiff, int option) {
    FileRun run = runOnBytes(tiff, std::to_string(option) + "\n");
    if (run.status != 0) {
        expectSound(run, tiff);
        return;
    }
    Image image = decodeImage(tiff);
    size_t filled = image.pixels.size();
    image.pixels.resize(size_t{image.width} * image.height, models::kWhite);
    Image filtered = option == 3 ? models::contours(image) : models::redCast(image);
    filtered.pixels.resize(filled);
    filtered.strips = image.strips;
    expectSound(run, withPixels(tiff, filtered));
}

}  // namespace

TEST(MalformedFiles, EveryPrefixEndsTheRunWithItsReason) {
    const Bytes whole = pillow();
    for (size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE("prefix of " + std::to_string(length) + " bytes");
        Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        std::string reason;
        if (length < 4) {
            reason = "not a valid little endian TIF file\n";
        } else if (length < 8) {
            reason = "The file ends inside its 8-byte header\n";
        } else if (length < 10) {
            reason = "The directory position 8 lies past the end of the file (" +
                     std::to_string(length) + " bytes)\n";
        } else if (length < 8 + 2 + 10 * 12) {
            reason = "The file ends inside the directory of 10 entries at position 8\n";
        } else {
            reason = "Strip 0 (1881 bytes at position 140) runs past the end of the file (" +
                     std::to_string(length) + " bytes)\n";
        }
        expectEnded(prefix, reason + "exiting program\n");
    }
}

// From the end of the directory through the arrays and into the second strip.
TEST(MalformedFiles, PrefixesThatCutTheStripArrays) {
    const Bytes whole = sixStrips();
    for (size_t length = kDirectoryEnd; length < 304 + 2 * 480; ++length) {
        Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        SCOPED_TRACE("prefix of " + std::to_string(length) + " bytes");
        EXPECT_EQ(runWithoutFilter(prefix), 1);
    }
}

TEST(MalformedFiles, EachByteOfHeaderDirectoryAndArraysAsZeroAndAllOnes) {
    const Bytes healthy = sixStrips();
    std::vector<size_t> positions;
    for (size_t at = 0; at < kDirectoryEnd; ++at) {
        positions.push_back(at);
    }
    for (size_t at = kOffsetsAt; at < kArraysEnd; ++at) {
        positions.push_back(at);
    }
    int completed = 0;
    for (size_t at : positions) {
        for (uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}}) {
            if (healthy[at] == value) {
                continue;
            }
            Bytes tiff = healthy;
            tiff[at] = value;
            SCOPED_TRACE("byte " + std::to_string(at) + " set to " + std::to_string(value));
            completed += runWithoutFilter(tiff) == 0 ? 1 : 0;
        }
    }
    // Bytes of tags the program does not read leave the image intact.
    EXPECT_GT(completed, 100);
}

TEST(MalformedFiles, EntryCounts) {
    for (uint32_t entries : {0u, 101u, 65535u}) {
        for (const Bytes& original : {pillow(), sixStrips()}) {
            Bytes tiff = original;
            put16(tiff, 8, entries);
            SCOPED_TRACE(std::to_string(entries) + " entries");
            // With 101 the pixel bytes after the directory are read as entries.
            runWithoutFilter(tiff);
        }
    }
    Bytes none = pillow();
    put16(none, 8, 0);
    expectEnded(none, "The directory has no ImageWidth (256) tag\nexiting program\n");
    Bytes tooMany = pillow();
    put16(tooMany, 8, 65535);
    expectEnded(tooMany,
                "The file ends inside the directory of 65535 entries at position 8\n"
                "exiting program\n");
}

TEST(MalformedFiles, HugeDimensionsAreRefusedBeforeAnyAllocation) {
    const std::vector<uint32_t> sizes = {65535, 0x80000000, 0xFFFFFFFF, 0x7FFFFFFE, 0};
    for (uint32_t width : sizes) {
        for (uint32_t length : sizes) {
            if (width < 65535 || (width == 65535 && length == 0)) {
                continue;
            }
            Bytes tiff = sixStrips();
            setEntry(tiff, 256, 4, 1, width);
            setEntry(tiff, 257, 4, 1, length);
            SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(length));
            expectRefusedForSize(
                tiff, std::to_string(width) + " x " + std::to_string(length) + " pixels");
        }
    }
    Bytes square = sixStrips();
    setEntry(square, 256, 3, 1, 65535);
    setEntry(square, 257, 3, 1, 65535);
    expectRefusedForSize(square, "65535 x 65535 pixels");
}

TEST(MalformedFiles, StripsPastTheEnd) {
    const uint32_t size = static_cast<uint32_t>(sixStrips().size());
    for (uint32_t offset : {size - 479, size, size + 1, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        Bytes tiff = sixStrips();
        put32(tiff, kOffsetsAt + 4 * 5, offset);
        expectEnded(tiff, "Strip 5 (480 bytes at position " + std::to_string(offset) +
                              ") runs past the end of the file (3184 bytes)\nexiting program\n");
    }
    for (uint32_t count : {481u, 0xFFFFu}) {
        Bytes tiff = sixStrips();
        put16(tiff, kCountsAt + 2 * 5, count);
        expectEnded(tiff, "Strip 5 (" + std::to_string(count) +
                              " bytes at position 2704) runs past the end of the file (3184 "
                              "bytes)\nexiting program\n");
    }
    Bytes longCounts = sixStrips();
    setEntry(longCounts, 279, 4, 6, kOffsetsAt);  // the offsets read as counts: all too big
    EXPECT_EQ(runWithoutFilter(longCounts), 1);
    for (uint32_t position : {3184u - 23, 3184u, 0xFFFFFFF0u}) {
        Bytes tiff = sixStrips();
        setEntry(tiff, 273, 4, 6, position);
        expectEnded(tiff, "The StripOffsets array of 6 entries at position " +
                              std::to_string(position) +
                              " runs past the end of the file (3184 bytes)\nexiting program\n");
    }
    Bytes manyCounts = sixStrips();
    setEntry(manyCounts, 279, 3, 0x80000000, kCountsAt);
    expectEnded(manyCounts,
                "The StripByteCounts array of 2147483648 entries at position 264 runs "
                "past the end of the file (3184 bytes)\nexiting program\n");
}

TEST(MalformedFiles, OverlappingAndOutOfOrderStrips) {
    auto withOffsets = [](const std::vector<uint32_t>& offsets) {
        Bytes tiff = sixStrips();
        for (size_t s = 0; s < offsets.size(); ++s) {
            put32(tiff, kOffsetsAt + 4 * s, offsets[s]);
        }
        return tiff;
    };
    expectEnded(withOffsets({304, 304, 1264, 1744, 2224, 2704}),
                "Strips 0 and 1 overlap in the file\nexiting program\n");
    expectEnded(withOffsets({304, 784, 1264, 1744, 2224, 2225}),
                "Strips 4 and 5 overlap in the file\nexiting program\n");
    expectEnded(withOffsets({784, 305, 1264, 1744, 2224, 2704}),
                "Strips 1 and 0 overlap in the file\nexiting program\n");
    // A strip over the header and directory still reads as pixels; written back unchanged.
    EXPECT_EQ(runWithoutFilter(withOffsets({0, 784, 1264, 1744, 2224, 2704})), 0);
    expectEnded(withOffsets({0, 1, 1264, 1744, 2224, 2704}),
                "Strips 0 and 1 overlap in the file\nexiting program\n");
    // Strips stored last-first, or in any order, are a healthy file.
    Bytes reversed = withOffsets({2704, 2224, 1744, 1264, 784, 304});
    EXPECT_EQ(runWithoutFilter(reversed), 0);
    expectFiltered(reversed, 4);
    expectFiltered(withOffsets({784, 2224, 304, 2704, 1264, 1744}), 3);
}

TEST(MalformedFiles, RowsPerStripZeroAndStripRowsBeyondTheImage) {
    for (uint16_t type : {uint16_t{3}, uint16_t{4}}) {
        Bytes tiff = sixStrips();
        setEntry(tiff, 278, type, 1, 0);
        expectEnded(tiff, "RowsPerStrip is 0, so no strip can hold a row\nexiting program\n");
    }
    for (uint32_t length : {1u, 20u, 23u}) {
        Bytes tiff = sixStrips();
        setEntry(tiff, 257, 4, 1, length);
        SCOPED_TRACE(length);
        EXPECT_EQ(runWithoutFilter(tiff), 1);
    }
    // More rows than the strips hold: the rest stays white and the run completes.
    Bytes taller = sixStrips();
    setEntry(taller, 257, 4, 1, 30);
    EXPECT_EQ(runWithoutFilter(taller), 0);
    expectFiltered(taller, 3);
    expectFiltered(taller, 4);
}

TEST(MalformedFiles, StripArraysOfEveryOtherFieldType) {
    for (uint32_t type = 0; type <= 20; ++type) {
        if (type == 3 || type == 4) {
            continue;
        }
        for (uint16_t tag : {uint16_t{273}, uint16_t{279}}) {
            Bytes tiff = sixStrips();
            put16(tiff, entryAt(tiff, tag) + 2, type);
            std::string name = tag == 273 ? "StripOffsets" : "StripByteCounts";
            SCOPED_TRACE(name + " of type " + std::to_string(type));
            expectEnded(tiff, "switch error\nThe " + name + " array has field type " +
                                  std::to_string(type) +
                                  "; only SHORT (3) and LONG (4) arrays can be read\n"
                                  "exiting program\n");
        }
    }
    Bytes oddType = pillow();
    put16(oddType, entryAt(oddType, 273) + 2, 65535);
    expectEnded(oddType,
                "switch error\nThe StripOffsets array has field type 65535; only SHORT "
                "(3) and LONG (4) arrays can be read\nexiting program\n");
}

TEST(MalformedFiles, StripCountsThatDisagreeWithTheImage) {
    Bytes fewerCounts = sixStrips();
    put32(fewerCounts, entryAt(fewerCounts, 279) + 4, 2);
    EXPECT_EQ(runWithoutFilter(fewerCounts), 1);
    // Fewer strips than the rows need: the rows without a strip are never written.
    Bytes fewerStrips = sixStrips();
    put32(fewerStrips, entryAt(fewerStrips, 273) + 4, 3);
    EXPECT_EQ(runWithoutFilter(fewerStrips), 0);
    expectFiltered(fewerStrips, 3);
    Bytes emptyStrip = sixStrips();
    put16(emptyStrip, kCountsAt + 2 * 2, 0);
    EXPECT_EQ(runWithoutFilter(emptyStrip), 1);
}

TEST(MalformedFiles, WideImageWithoutRowsIsRefusedBeforeAllocating) {
    Bytes tiff = pillow();
    setEntry(tiff, 256, 4, 1, 0x7FFFFFFE);
    setEntry(tiff, 257, 4, 1, 0);
    expectRefusedForSize(tiff, "2147483646 x 0 pixels");
}

// tests/malformed/: each file beside the report a run on it must print, made by
// make_corpus.py.
TEST(MalformedCorpus, EachFilePrintsItsExpectedReportAndLeavesNoOutput) {
    const fs::path corpus = fs::path(VELSTRAM_TEST_DATA).parent_path() / "malformed";
    const std::string prompts =
        "\n\nInput the name of the input TIF file\n\nPlease type in the complete file name "
        "including the directory path\nfor example: c:\\infile.TIF\n\n"
        "\n\nInput the name of the output TIF file\n\nPlease type in the complete file name "
        "including the directory path\nfor example: c:\\outfile.TIF\n\n";
    int files = 0;
    for (const auto& item : fs::directory_iterator(corpus)) {
        if (item.path().extension() != ".tif") {
            continue;
        }
        ++files;
        SCOPED_TRACE(item.path().filename().string());
        fs::path expected = item.path();
        expected.replace_extension(".expected.txt");
        ASSERT_TRUE(fs::exists(expected));
        const Bytes tiff = readBytes(item.path());
        ScratchDir scratch;
        const fs::path input = scratch / "input.tif";
        const fs::path output = scratch / "output.tif";
        writeBytes(input, tiff);
        RunResult run = runJob(typedRun(4, input.string(), output.string()));
        const Bytes report = readBytes(expected);
        EXPECT_EQ(afterDialogue(run.transcript),
                  prompts + std::string(report.begin(), report.end()));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(fs::file_size(output), 0u);
        EXPECT_TRUE(readBytes(input) == tiff);
    }
    EXPECT_GE(files, 15);
}

// The bulk paths convert whole pixels between buffer ends and fall back to single bytes for
// the pixel that a buffer end cuts: one strip of more than 1 MiB crosses the 64 KiB input
// buffer and the 1 MiB output buffer inside a pixel (2^16 and 2^20 are not multiples of 3).
TEST(BufferBoundaries, PixelsCutByBufferEndsComeThroughWhole) {
    constexpr uint32_t kWidth = 640;
    constexpr uint32_t kHeight = 560;
    constexpr size_t kStrip = 8 + 2 + 6 * 12 + 4;
    Bytes tiff(kStrip + size_t{kWidth} * kHeight * 3);
    tiff[0] = tiff[1] = 0x49;
    tiff[2] = 0x2A;
    put32(tiff, 4, 8);
    put16(tiff, 8, 6);
    const uint32_t entries[6][4] = {{256, 4, 1, kWidth},  {257, 4, 1, kHeight},
                                    {273, 4, 1, kStrip},  {277, 3, 1, 3},
                                    {278, 4, 1, kHeight}, {279, 4, 1, kWidth * kHeight * 3}};
    for (size_t i = 0; i < 6; ++i) {
        size_t at = 10 + 12 * i;
        put16(tiff, at, entries[i][0]);
        put16(tiff, at + 2, entries[i][1]);
        put32(tiff, at + 4, entries[i][2]);
        put32(tiff, at + 8, entries[i][3]);
    }
    for (size_t p = kStrip; p < tiff.size(); ++p) {
        tiff[p] = static_cast<uint8_t>(p * 37 + p / 251);
    }
    EXPECT_EQ(runWithoutFilter(tiff), 0);
    expectFiltered(tiff, 4);
}
