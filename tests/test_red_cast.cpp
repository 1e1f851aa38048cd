#include <gtest/gtest.h>

#include "FilterModels.h"
#include "FilterTestSupport.h"
#include "filters/PixelFilter.h"

namespace {

uint32_t damped(uint32_t pixel) {
    TestRaster raster(1, 1, {pixel});
    PixelFilter().dampRedCast(raster.rows(), 1, 1);
    EXPECT_TRUE(raster.spareRowUntouched());
    return raster.at(0, 0);
}

}  // namespace

// Red must be above 90, green and blue below 130; neutral greys in between lose their red.
TEST(RedCast, ThresholdsAreStrict) {
    const std::pair<uint32_t, uint32_t> cases[] = {
        {0x8A4030, 0x504030}, {0x5A4030, 0x5A4030}, {0x5B4030, 0x504030}, {0xFF8100, 0x508100},
        {0xFF8200, 0xFF8200}, {0xFF0081, 0x500081}, {0xFF0082, 0xFF0082}, {0xFF0000, 0x500000},
        {0xFFFFFF, 0xFFFFFF}, {0x000000, 0x000000}, {0x5A5A5A, 0x5A5A5A}, {0x5B5B5B, 0x505B5B},
        {0x808080, 0x508080}, {0x818181, 0x508181}, {0x828282, 0x828282},
    };
    for (auto [before, after] : cases) {
        EXPECT_EQ(damped(before), after) << std::hex << before;
    }
}

TEST(RedCast, SecondPassChangesNothingAndThinImagesAreFiltered) {
    std::mt19937 random(3);
    for (auto [w, h] : {std::pair{1, 9}, std::pair{9, 1}, std::pair{5, 4}}) {
        std::vector<uint32_t> pixels(static_cast<size_t>(w * h));
        for (uint32_t& p : pixels) {
            p = random() & 0xFFFFFF;
        }
        TestRaster raster(w, h, pixels);
        testing_support::Image before = raster.asFileImage();
        PixelFilter().dampRedCast(raster.rows(), w, h);
        testing_support::Image once = raster.asFileImage();
        EXPECT_EQ(once.pixels, models::redCast(before).pixels);
        PixelFilter().dampRedCast(raster.rows(), w, h);
        EXPECT_EQ(raster.asFileImage().pixels, once.pixels);
        EXPECT_TRUE(raster.spareRowUntouched());
    }
}
