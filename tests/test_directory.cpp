// The header and directory reader on broken variants of the fixtures. What each kind of
// broken file prints is recorded with the malformed corpus (tests/malformed); here every
// variant must give a sound run: complete with the input written back, or end cleanly.

#include "TestSupport.h"

using namespace testing_support;

namespace {

// tifffile_rps.tif: 40 x 24 pixels in six strips of four rows; a directory of 15 entries at
// 8, StripOffsets LONG[6] at 240, StripByteCounts SHORT[6] at 264, the strips from 304.
Bytes sixStrips() {
    return readBytes(fixture("tifffile_rps.tif"));
}

}  // namespace

TEST(Directory, EveryPrefixAndEveryHeaderDirectoryOrArrayByteAs00AndFF) {
    const Bytes whole = sixStrips();
    for (Bytes prefix = whole; !prefix.empty();) {
        prefix.pop_back();
        SCOPED_TRACE("prefix of " + std::to_string(prefix.size()) + " bytes");
        EXPECT_EQ(runWithoutFilter(prefix), 1);
    }
    int completed = 0;
    for (size_t at = 0; at < 276; at = at == 8 + 2 + 15 * 12 + 3 ? 240 : at + 1) {
        for (uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}}) {
            Bytes tiff = whole;
            tiff[at] = value;
            SCOPED_TRACE("byte " + std::to_string(at) + " set to " + std::to_string(value));
            completed += tiff != whole && runWithoutFilter(tiff) == 0 ? 1 : 0;
        }
    }
    // Bytes of tags the program does not read leave the image intact.
    EXPECT_GT(completed, 100);
}

TEST(Directory, DimensionsAreCheckedBeforeAnythingIsAllocated) {
    const uint32_t sizes[] = {0, 65535, 0x7FFFFFFE, 0x80000000, 0xFFFFFFFF};
    for (uint32_t width : sizes) {
        for (uint32_t length : sizes) {
            Bytes tiff = sixStrips();
            setEntry(tiff, 256, 4, 1, width);
            setEntry(tiff, 257, 4, 1, length);
            SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(length));
            EXPECT_EQ(runWithoutFilter(tiff), 1);
        }
    }
}

TEST(Directory, DirectoryAbove64KiBIsFoundAndItsPositionPrintedInDecimal) {
    Bytes tiff = readBytes(fixture("pillow.tif"));
    tiff.resize(65536 + 2 + 12 * 10 + 4, 0);
    std::copy(tiff.begin() + 8, tiff.begin() + 8 + 2 + 12 * 10 + 4, tiff.begin() + 65536);
    put(tiff, 4, 65536);
    FileRun run = runOnBytes(tiff, kNoFilter);
    EXPECT_EQ(run.report.substr(0, 22), "idf_offset is:  65536\n");
    EXPECT_TRUE(run.output == tiff);
}
