#include <random>

#include "FilterModels.h"
#include "filters/InkCloud.h"

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

namespace {

uint32_t offset(uint32_t colour, int32_t dr, int32_t dg, int32_t db) {
    return static_cast<uint32_t>(static_cast<int32_t>(colour) + dr * 65536 + dg * 256 + db);
}

// Keys widened as a run does it: each key's sphere into the table, then the pass.
std::vector<uint64_t> keepWithin(TestRaster& raster, const std::vector<uint32_t>& keys,
                                 uint32_t distanceSquared) {
    ColourTable table;
    std::vector<InkCloud> clouds;
    for (uint32_t key : keys) {
        clouds.push_back(InkCloud::sphere(key, distanceSquared));
        clouds.back().runs([&table](uint32_t from, uint32_t to) { table.addRun(from, to); });
    }
    return PixelFilter().keepNear(raster.rows.data(), table, clouds, PixelFilter::kRemoved,
                                  raster.width, raster.height);
}

}  // namespace

// A pixel stays when dr² + dg² + db² to some key is at most the distance's square: at
// DIST - 1 and DIST along each channel, either way, and on a diagonal exactly at DIST, but not
// at DIST + 1 nor beyond a diagonal. A pixel within reach of two keys counts for the nearer.
TEST(KeepList, WithAFuzzPixelsWithinTheDistanceOfAKeyStay) {
    constexpr uint32_t kKey = 0x647896;
    constexpr uint32_t R = PixelFilter::kRemoved;
    for (int32_t distance : {1, 5, 30}) {
        std::vector<uint32_t> pixels;
        std::vector<uint32_t> expected;
        for (int32_t step : {distance - 1, distance, distance + 1}) {
            for (int32_t sign : {-1, 1}) {
                for (int32_t channel = 0; channel < 3; ++channel) {
                    const int32_t d = sign * step;
                    pixels.push_back(offset(kKey, channel == 0 ? d : 0, channel == 1 ? d : 0,
                                            channel == 2 ? d : 0));
                    expected.push_back(step <= distance ? pixels.back() : R);
                }
            }
        }
        TestRaster raster(2, static_cast<int32_t>(pixels.size()) / 2, pixels);
        const auto kept = keepWithin(raster, {kKey}, static_cast<uint32_t>(distance * distance));
        EXPECT_EQ(raster.image(), expected) << distance;
        EXPECT_EQ(kept[0], static_cast<uint64_t>(12));
        EXPECT_TRUE(raster.spareRowUntouched());
    }
    // Keys 10 apart, distance 7: 2-3-6 lies on the edge (49), 2-3-7 beyond it; red 4 and 5
    // count for the first key (5 is as far from both), red 6 for the second.
    const uint32_t second = offset(kKey, 10, 0, 0);
    const std::vector<uint32_t> pixels = {offset(kKey, 2, 3, 6), offset(kKey, 2, 3, 7),
                                          offset(kKey, 4, 0, 0), offset(kKey, 5, 0, 0),
                                          offset(kKey, 6, 0, 0), second};
    TestRaster raster(6, 1, pixels);
    EXPECT_EQ(keepWithin(raster, {kKey, second}, 49), (std::vector<uint64_t>{3, 2}));
    std::vector<uint32_t> expected = pixels;
    expected[1] = R;
    EXPECT_EQ(raster.image(), expected);
}

// --fuzz 0 is the exact keep: the same pixels stay, and each key counts the same ones.
TEST(KeepList, AFuzzOfNothingIsTheExactKeep) {
    std::mt19937 random(38);
    std::vector<uint32_t> pixels(600);
    const std::vector<uint32_t> keys = {0x102030, 0x102031, 0xFFFFFF, 0};
    for (uint32_t& p : pixels) {
        p = random() % 3 == 0 ? keys[random() % 4] : offset(keys[random() % 4] & 0xFEFEFE, 0, 0, 1);
    }
    TestRaster exact(20, 30, pixels);
    TestRaster near(20, 30, pixels);
    const auto counts = PixelFilter().keepColours(
        exact.rows.data(), keys[0], keys[1], keys[2], keys[3], PixelFilter::kRemoved,
        PixelFilter::kRemoved, PixelFilter::kRemoved, PixelFilter::kRemoved, PixelFilter::kRemoved,
        PixelFilter::kRemoved, PixelFilter::kRemoved, exact.width, exact.height);
    const auto kept = keepWithin(near, keys, 0);
    EXPECT_EQ(near.words, exact.words);
    EXPECT_EQ(kept, std::vector<uint64_t>(counts.begin(), counts.begin() + 4));
}
