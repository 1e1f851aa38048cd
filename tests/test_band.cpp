#include <gtest/gtest.h>

#include <sstream>

#include "FilterTestSupport.h"
#include "dialogue/Console.h"
#include "filters/PixelFilter.h"

namespace {

constexpr uint32_t kRemoved = 0xFFFFFFFF;

struct BandRun {
    std::vector<uint32_t> pixels;
    std::string printed;
};

BandRun removeBand(std::vector<uint32_t> pixels, uint32_t low, uint32_t high) {
    std::istringstream in;
    std::ostringstream out;
    Console console(in, out, [] {});
    TestRaster raster(static_cast<int32_t>(pixels.size()), 1, pixels);
    PixelFilter().removeBand(raster.rows(), low, high, kRemoved, raster.width(), 1, console);
    EXPECT_TRUE(raster.spareRowUntouched());
    BandRun run;
    for (int32_t c = 0; c < raster.width(); ++c) {
        run.pixels.push_back(raster.at(0, c));
    }
    run.printed = out.str();
    return run;
}

}  // namespace

TEST(Band, BoundsAreIncludedAndCompareTheWholeWord) {
    BandRun run =
        removeBand({0x0FFFFF, 0x100000, 0x10FF00, 0x1FFFFF, 0x200000}, 0x100000, 0x1FFFFF);
    EXPECT_EQ(run.pixels,
              (std::vector<uint32_t>{0x0FFFFF, kRemoved, kRemoved, kRemoved, 0x200000}));
    EXPECT_EQ(run.printed, "low_filter is:  1048576\nhigh_filter is:  2097151\n");
}

TEST(Band, EqualBoundsRemoveOneColourAndCrossedBoundsNone) {
    EXPECT_EQ(removeBand({0xC9EA9D, 0xC9EA9C, 0xC9EA9E}, 0xC9EA9D, 0xC9EA9D).pixels,
              (std::vector<uint32_t>{kRemoved, 0xC9EA9C, 0xC9EA9E}));
    BandRun crossed = removeBand({0x000000, 0x808080, 0xFFFFFF}, 0xFFFFFF, 0x000000);
    EXPECT_EQ(crossed.pixels, (std::vector<uint32_t>{0x000000, 0x808080, 0xFFFFFF}));
    EXPECT_EQ(crossed.printed, "low_filter is:  16777215\nhigh_filter is:  0\n");
}

TEST(Band, BoundsAboveTwoToTheThirtyOneAreLargeUnsignedNumbers) {
    BandRun highLow = removeBand({0x000000, 0xFFFFFF}, 0x80000000, 0xFFFFFFFF);
    EXPECT_EQ(highLow.pixels, (std::vector<uint32_t>{0x000000, 0xFFFFFF}));
    EXPECT_EQ(highLow.printed, "low_filter is:  2147483648\nhigh_filter is:  4294967295\n");
    EXPECT_EQ(removeBand({0x000000, 0x7FFFFF, 0xFFFFFF}, 0x800000, 0xFFFFFFFF).pixels,
              (std::vector<uint32_t>{0x000000, 0x7FFFFF, kRemoved}));
    EXPECT_EQ(removeBand({0x000000, 0xFFFFFF}, 0, 0xFFFFFF).pixels,
              (std::vector<uint32_t>{kRemoved, kRemoved}));
}
