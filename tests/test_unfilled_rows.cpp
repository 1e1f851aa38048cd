// Rows that no strip fills (an ImageLength above what the strips hold) are whitened only
// after the strips are read, so they must still reach the filters as white paper.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "TestSupport.h"

using namespace testing_support;

TEST(UnfilledRows, AreWhiteToTheContourCleanUp) {
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
