#include <gtest/gtest.h>

#include "FilterModels.h"
#include "FilterTestSupport.h"
#include "filters/PixelFilter.h"

namespace {

constexpr uint32_t W = 0xFFFFFF;
constexpr uint32_t B = 0x000000;
constexpr uint32_t C = 0xC96A2D;

void cleanUp(TestRaster& raster) {
    PixelFilter().cleanUpContours(raster.rows(), raster.width(), raster.height());
}

std::vector<uint32_t> cleaned(int32_t width, int32_t height, std::vector<uint32_t> pixels) {
    TestRaster raster(width, height, std::move(pixels));
    cleanUp(raster);
    EXPECT_TRUE(raster.spareRowUntouched());
    return raster.asFileImage().pixels;
}

}  // namespace

TEST(ContourCleanUp, LoneDotVanishesAndATouchedOneBecomesASquare) {
    EXPECT_EQ(
        cleaned(5, 5, {W, W, W, W, W, W, W, W, W, W, W, W, C, W, W, W, W, W, W, W, W, W, W, W, W}),
        std::vector<uint32_t>(25, W));
    EXPECT_EQ(
        cleaned(5, 5, {W, W, W, W, W, W, W, W, W, W, W, W, C, B, W, W, W, W, W, W, W, W, W, W, W}),
        (std::vector<uint32_t>{W, W, W, W, W, W, B, B, B, W, W, B, B,
                               B, W, W, B, B, B, W, W, W, W, W, W}));
}

TEST(ContourCleanUp, RunOfThreeGrowsToAFiveByThreeBlock) {
    std::vector<uint32_t> in(7 * 5, W);
    std::fill_n(in.begin() + 7 * 2 + 2, 3, C);
    std::vector<uint32_t> expected(7 * 5, W);
    for (int r = 1; r <= 3; ++r) {
        std::fill_n(expected.begin() + 7 * r + 1, 5, B);
    }
    EXPECT_EQ(cleaned(7, 5, in), expected);
}

TEST(ContourCleanUp, BlackInsideVanishesButTheFrameKeepsWhatIsNotWhite) {
    std::vector<uint32_t> in(6 * 4, W);
    std::fill_n(in.begin() + 6 * 2, 6, B);  // a black line across an interior row
    in[3] = C;                              // a coloured dot on the top edge
    std::vector<uint32_t> expected(6 * 4, W);
    expected[6 * 2] = B;
    expected[6 * 2 + 5] = B;
    expected[3] = B;
    EXPECT_EQ(cleaned(6, 4, in), expected);
}

TEST(ContourCleanUp, ThinImagesOnlyTurnWhatIsNotWhiteBlack) {
    EXPECT_EQ(cleaned(2, 3, {C, W, 0x000001, 0xFFFFFE, B, W}),
              (std::vector<uint32_t>{B, W, B, B, B, W}));
    EXPECT_EQ(cleaned(5, 1, {W, C, C, W, B}), (std::vector<uint32_t>{W, B, B, W, B}));
}

// The passes run in one sweep, each a row behind the one before; the result must still be
// what the rule says of the image as it was read, whatever the pixels and sizes. Every
// third image is large enough for the sweep to reuse its rows many times over.
TEST(ContourCleanUp, AgreesWithTheRuleOnRandomImages) {
    std::mt19937 random(11);
    const std::vector<uint32_t> sparse = {W, W, W, W,        W,        W,       W,
                                          W, B, C, 0x0000FF, 0x000001, 0xFFFFFE};
    const std::vector<uint32_t> dense = {W, B, C, 0x0000FF};
    for (int trial = 0; trial < 400; ++trial) {
        const uint32_t largest = trial % 3 == 0 ? 40 : 9;
        int32_t w = static_cast<int32_t>(random() % largest) + 1;
        int32_t h = static_cast<int32_t>(random() % largest) + 1;
        TestRaster raster(
            w, h, randomPixels(random, static_cast<size_t>(w * h), trial % 2 ? sparse : dense));
        testing_support::Image before = raster.asFileImage();
        cleanUp(raster);
        ASSERT_EQ(raster.asFileImage().pixels, models::contours(before).pixels)
            << w << " x " << h << " #" << trial;
        ASSERT_TRUE(raster.spareRowUntouched());
    }
}
