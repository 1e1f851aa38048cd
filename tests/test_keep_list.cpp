#include <gtest/gtest.h>

#include "FilterModels.h"
#include "FilterTestSupport.h"
#include "filters/PixelFilter.h"

namespace {

constexpr uint32_t kRemoved = 0xFFFFFFFF;

void keep(TestRaster& raster, std::vector<uint32_t> keys) {
    keys.resize(10, keys.empty() ? 0xFF000000 : keys.back());
    PixelFilter().keepColours(raster.rows(), keys[0], keys[1], keys[2], keys[3], keys[4], keys[5],
                              keys[6], keys[7], keys[8], keys[9], kRemoved, raster.width(),
                              raster.height());
}

}  // namespace

TEST(KeepList, ListedColoursStayAndEveryOtherPixelIsRemoved) {
    TestRaster raster(
        4, 2, {0x000000, 0xFFFFFF, 0xC9EA9D, 0xC96A2D, 0x000001, 0xFFFFFE, 0xC9EA9D, 0x123456});
    keep(raster, {0xC9EA9D, 0x000000, 0xFFFFFF, 0xC9EA9D});
    EXPECT_EQ(raster.at(0, 0), 0x000000u);
    EXPECT_EQ(raster.at(0, 1), 0xFFFFFFu);
    EXPECT_EQ(raster.at(0, 2), 0xC9EA9Du);
    EXPECT_EQ(raster.at(0, 3), kRemoved);
    EXPECT_EQ(raster.at(1, 0), kRemoved);
    EXPECT_EQ(raster.at(1, 1), kRemoved);
    EXPECT_EQ(raster.at(1, 2), 0xC9EA9Du);
    EXPECT_EQ(raster.at(1, 3), kRemoved);
    EXPECT_TRUE(raster.spareRowUntouched());
}

TEST(KeepList, KeysNoPixelCanEqualKeepNothing) {
    TestRaster raster(3, 1, {0x000000, 0xFFFFFF, 0x00FF00});
    keep(raster, {0x1000000, 0xFFFFFFFF, 0x80000000, static_cast<uint32_t>(-3085667)});
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(raster.at(0, c), kRemoved);
    }
}

TEST(KeepList, EmptyImagesAreLeftAlone) {
    TestRaster noRows(3, 0, {});
    keep(noRows, {1});
    EXPECT_TRUE(noRows.spareRowUntouched());
}

TEST(KeepList, AgreesWithTheRuleOnRandomImages) {
    std::mt19937 random(7);
    const std::vector<uint32_t> palette = {0, 0xFFFFFF, 0xC96A2D, 0xC9EA9D, 0x8A4030, 0x000001};
    for (int trial = 0; trial < 50; ++trial) {
        int32_t w = static_cast<int32_t>(random() % 7) + 1;
        int32_t h = static_cast<int32_t>(random() % 7) + 1;
        TestRaster raster(w, h, randomPixels(random, static_cast<size_t>(w * h), palette));
        testing_support::Image before = raster.asFileImage();
        keep(raster, {0xC96A2D, 0});
        EXPECT_EQ(raster.asFileImage().pixels, models::keepList(before, {0xC96A2D, 0}).pixels);
        EXPECT_TRUE(raster.spareRowUntouched());
    }
}
