#include "FilterModels.h"

// The band runs over the whole packed word, compared unsigned, both bounds included; crossed
// bounds remove nothing. The filter counts the pixels it removes.
TEST(Band, PixelsInsideTheBoundsAreRemoved) {
    constexpr uint32_t R = 0xFFFFFFFF;
    using Words = std::vector<uint32_t>;
    const std::tuple<uint32_t, uint32_t, Words, Words> cases[] = {
        {0x100000,
         0x1FFFFF,
         {0x0FFFFF, 0x100000, 0x10FF00, 0x1FFFFF, 0x200000},
         {0x0FFFFF, R, R, R, 0x200000}},
        {0xC9EA9D, 0xC9EA9D, {0xC9EA9D, 0xC9EA9C, 0xC9EA9E}, {R, 0xC9EA9C, 0xC9EA9E}},
        {0xFFFFFF, 0, {0, 0x808080, 0xFFFFFF}, {0, 0x808080, 0xFFFFFF}},
        {0x80000000, 0xFFFFFFFF, {0, 0xFFFFFF}, {0, 0xFFFFFF}},
        {0x800000, 0xFFFFFFFF, {0, 0x7FFFFF, 0xFFFFFF}, {0, 0x7FFFFF, R}},
    };
    for (const auto& [low, high, pixels, expected] : cases) {
        TestRaster raster(1, static_cast<int32_t>(pixels.size()), pixels);
        const uint64_t removed =
            PixelFilter().removeBand(raster.rows.data(), low, high, R, 1, raster.height);
        EXPECT_EQ(raster.image(), expected);
        EXPECT_EQ(removed, static_cast<uint64_t>(std::count(expected.begin(), expected.end(), R)));
        EXPECT_TRUE(raster.spareRowUntouched());
    }
}
