#include "FilterModels.h"

// A pixel stays when its whole word equals one of the ten keys, wherever the key stands in
// the list; keys that no pixel word can equal keep nothing. Each key counts the pixels it
// keeps.
TEST(KeepList, OnlyPixelsEqualToAKeyStay) {
    constexpr uint32_t R = 0xFFFFFFFF;
    using Words = std::vector<uint32_t>;
    using Counts = std::array<uint64_t, 10>;
    const std::tuple<Words, Words, Words, Counts> cases[] = {
        {{0xC9EA9D, 0, 0xFFFFFF, 0xC9EA9D, 0, 0, 0, 0, 0, 0},
         {0, 0xFFFFFF, 0xC9EA9D, 0xC96A2D, 1, 0xFFFFFE, 0xC9EA9D, 0x123456},
         {0, 0xFFFFFF, 0xC9EA9D, R, R, R, 0xC9EA9D, R},
         {2, 1, 1, 2, 1, 1, 1, 1, 1, 1}},
        {{0x1000000, R, 0x80000000, static_cast<uint32_t>(-3085667), R, R, R, R, R, R},
         {0, 0xFFFFFF, 0xFF00, 0xD0EA9D},
         {R, R, R, R},
         {}},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
         {10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 11, 0, 2, 9},
         {10, 9, 8, 7, 6, 5, 4, 3, 2, 1, R, R, 2, 9},
         {1, 2, 1, 1, 1, 1, 1, 1, 2, 1}},
    };
    for (const auto& [k, pixels, expected, counts] : cases) {
        for (int32_t width : {1, 2}) {
            TestRaster raster(width, static_cast<int32_t>(pixels.size()) / width, pixels);
            Counts kept =
                PixelFilter().keepColours(raster.rows.data(), k[0], k[1], k[2], k[3], k[4], k[5],
                                          k[6], k[7], k[8], k[9], R, raster.width, raster.height);
            EXPECT_EQ(raster.image(), expected);
            EXPECT_EQ(kept, counts);
            EXPECT_TRUE(raster.spareRowUntouched());
        }
    }
}
