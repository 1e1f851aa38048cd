#include "FilterModels.h"

namespace {

// The clean-up's result as a file shows it, where the removal word comes out white; the
// clean-up counts the black pixels it leaves.
std::vector<uint32_t> cleanUp(int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
    TestRaster raster(width, height, pixels);
    const uint64_t black = PixelFilter().cleanUpContours(raster.rows.data(), width, height);
    EXPECT_TRUE(raster.spareRowUntouched());
    std::vector<uint32_t> image = raster.image();
    EXPECT_EQ(black, static_cast<uint64_t>(std::count(image.begin(), image.end(), 0U)));
    for (uint32_t& p : image) {
        p &= 0xFFFFFF;
    }
    return image;
}

}  // namespace

// The passes run in one sweep, each a row behind the one before; the result must still be
// what the rule says of the image as it was read, whatever the pixels and sizes. Every third
// image is large enough for the sweep to reuse its rows many times over.
TEST(ContourCleanUp, AgreesWithTheRuleOnRandomImages) {
    std::mt19937 random(11);
    const uint32_t palette[] = {0xFFFFFF, 0,        0xC96A2D, 0x0000FF, 1,        0xFFFFFE,
                                0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
    for (int trial = 0; trial < 400; ++trial) {
        const uint32_t largest = trial % 3 == 0 ? 40 : 9;
        const auto w = static_cast<uint32_t>(random() % largest + 1);
        const auto h = static_cast<uint32_t>(random() % largest + 1);
        const uint32_t colours = trial % 2 == 0 ? 4 : 12;
        models::Image image{w, h, std::vector<uint32_t>(w * h), {}};
        for (uint32_t& p : image.pixels) {
            p = palette[random() % colours];
        }
        ASSERT_EQ(cleanUp(static_cast<int32_t>(w), static_cast<int32_t>(h), image.pixels),
                  models::contours(image).pixels)
            << w << " x " << h << " #" << trial;
    }
}
