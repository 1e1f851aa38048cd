#include "FilterModels.h"

namespace {

// The passes in the order the job runs them; the result as a file shows it, where the
// removal word comes out white.
std::vector<uint32_t> cleanUp(int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
    TestRaster raster(width, height, pixels);
    PixelFilter filter;
    filter.paintColoured(raster.rows.data(), width, height, 0x0000FF);
    filter.removeSpecks(raster.rows.data(), 0x0000FF, 0xFFFFFF, 0xFFFFFFFF, width, height);
    filter.thickenMarkers(raster.rows.data(), width, height);
    filter.paintColoured(raster.rows.data(), width, height, 0);
    EXPECT_TRUE(raster.spareRowUntouched());
    std::vector<uint32_t> image = raster.image();
    for (uint32_t& p : image) {
        p &= 0xFFFFFF;
    }
    return image;
}

}  // namespace

// The passes work in place, one after another; the result must still be what the rule
// says of the image as it was read, whatever the pixels and sizes.
TEST(ContourCleanUp, AgreesWithTheRuleOnRandomImages) {
    std::mt19937 random(11);
    const uint32_t palette[] = {0xFFFFFF, 0,        0xC96A2D, 0x0000FF, 1,        0xFFFFFE,
                                0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
    for (int trial = 0; trial < 400; ++trial) {
        const uint32_t w = random() % 9 + 1;
        const uint32_t h = random() % 9 + 1;
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
