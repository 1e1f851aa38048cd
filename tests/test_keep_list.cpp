#include <random>

#include "FilterModels.h"
#include "app/ColourGroups.h"
#include "app/InkFit.h"
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

// Keys widened as a run does it: each key's sphere, then the pass.
std::vector<uint64_t> keepWithin(TestRaster& raster, const std::vector<uint32_t>& keys,
                                 uint32_t distanceSquared) {
    std::vector<InkCloud> clouds;
    for (uint32_t key : keys) {
        clouds.push_back(InkCloud::sphere(key, distanceSquared));
    }
    return PixelFilter().keepNear(raster.rows.data(), clouds, PixelFilter::kRemoved, raster.width,
                                  raster.height);
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

// A cloud of known shape: a 5 x 5 x 5 grid around a centre, stretched 6, 2 and 1 times along
// red, green and blue, one pixel each, so that its standard deviations are 6, 2 and 1 times
// the square root of 2; and one pixel 15 greener, which the first round takes and the second
// leaves out. Three standard deviations then reach 25 reds, 8 greens and 4 blues from the
// centre, beyond the starting distance of 20. Too few colours, or colours in a plane, leave
// the sphere of the distance in the cloud's place.
TEST(KeepList, AFitFindsTheEllipsoidOfACloudOfColours) {
    constexpr uint32_t kCentre = 0x785028;
    std::vector<ColourCensus::Share> colours = {{offset(kCentre, 0, 15, 0), 1}, {0xF0F0E6, 900}};
    for (int32_t n = 0; n < 125; ++n) {
        colours.push_back({offset(kCentre, 6 * (n / 25 - 2), 2 * (n / 5 % 5 - 2), n % 5 - 2), 1});
    }
    std::sort(colours.begin(), colours.end(),
              [](const auto& a, const auto& b) { return a.colour < b.colour; });
    KeepReach reach{true, 400, "20", 3.0, "3"};
    const InkFit fit = fitInk(kCentre, reach, colours);
    EXPECT_EQ(fit.outcome, InkFit::Outcome::Fitted);
    EXPECT_EQ(fit.colours, 125U);
    EXPECT_EQ(fit.cloud.centre(), kCentre);
    const std::pair<uint32_t, bool> edges[] = {
        {offset(kCentre, 25, 0, 0), true},  {offset(kCentre, -26, 0, 0), false},
        {offset(kCentre, 0, -8, 0), true},  {offset(kCentre, 0, 9, 0), false},
        {offset(kCentre, 0, 0, 4), true},   {offset(kCentre, 0, 0, -5), false},
        {offset(kCentre, 0, 15, 0), false}, {offset(kCentre, 12, 4, 0), true}};
    for (const auto& [colour, held] : edges) {
        EXPECT_EQ(fit.cloud.holds(colour), held) << std::hex << colour;
    }
    ColourTable table;
    fit.cloud.runs([&table](uint32_t from, uint32_t to) { table.addRun(from, to); });
    for (int32_t n = 0; n < 61 * 21 * 11; ++n) {
        const uint32_t colour = offset(kCentre, n / 231 - 30, n / 11 % 21 - 10, n % 11 - 5);
        ASSERT_EQ(table.holds(colour), fit.cloud.holds(colour)) << std::hex << colour;
    }

    const std::vector<ColourCensus::Share> few = {{kCentre, 9}, {offset(kCentre, 0, 0, 1), 9}};
    const std::vector<ColourCensus::Share> flat = {{kCentre, 9},
                                                   {offset(kCentre, 0, 1, 0), 9},
                                                   {offset(kCentre, 1, 0, 0), 9},
                                                   {offset(kCentre, 1, 1, 0), 9}};
    const std::pair<const std::vector<ColourCensus::Share>*, InkFit::Outcome> degenerate[] = {
        {&few, InkFit::Outcome::TooFewColours}, {&flat, InkFit::Outcome::Flat}};
    for (const auto& [shares, outcome] : degenerate) {
        const InkFit sphere = fitInk(kCentre, reach, *shares);
        EXPECT_EQ(sphere.outcome, outcome);
        EXPECT_TRUE(sphere.cloud.holds(offset(kCentre, 0, 0, 20)));
        EXPECT_FALSE(sphere.cloud.holds(offset(kCentre, 0, 1, 20)));
    }
}

// The census's groups against the rule as users are told it, pair by pair: from the
// commonest colour down (the lower word first among equals), each colour in no group starts
// one and takes every colour in no group within the distance; the mean is weighted by the
// pixels and rounded.
TEST(KeepList, TheCensusGroupsNearColoursFromTheCommonestDown) {
    std::mt19937 random(38);
    const uint32_t centres[] = {0x404040, 0x484a40, 0xa0a0a0, 0x40a040, 0xfafafa};
    std::vector<uint32_t> pixels(3000);
    for (uint32_t& p : pixels) {
        const auto jitter = [&random] { return static_cast<int32_t>(random() % 13) - 6; };
        p = offset(centres[random() % 5] & 0xFCFCFC, jitter(), jitter(), jitter());
    }
    ColourCensus census;
    census.count(pixels.data(), pixels.size());
    std::vector<ColourCensus::Share> order = census.present();
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return a.pixels != b.pixels ? a.pixels > b.pixels : a.colour < b.colour;
    });
    const auto apart = [](uint32_t a, uint32_t b) {
        int32_t sum = 0;
        for (int shift : {16, 8, 0}) {
            const int32_t d =
                static_cast<int32_t>(a >> shift & 0xFF) - static_cast<int32_t>(b >> shift & 0xFF);
            sum += d * d;
        }
        return sum;
    };
    using Group = std::array<uint64_t, 4>;  // first colour, pixels, colours, mean
    std::vector<Group> expected;
    std::vector<bool> grouped(order.size());
    for (size_t first = 0; first < order.size(); ++first) {
        std::array<uint64_t, 4> sums{};  // pixels, then each channel times its pixels
        Group group{order[first].colour, 0, 0, 0};
        for (size_t n = first; n < order.size() && !grouped[first]; ++n) {
            if (n == first || (!grouped[n] && apart(order[n].colour, order[first].colour) <= 100)) {
                grouped[n] = n != first;
                ++group[2];
                sums[0] += order[n].pixels;
                for (size_t k = 1; k < 4; ++k) {
                    sums[k] += order[n].pixels * (order[n].colour >> (24 - 8 * k) & 0xFF);
                }
            }
        }
        if (!grouped[first]) {
            grouped[first] = true;
            group[1] = sums[0];
            for (size_t k = 1; k < 4; ++k) {
                group[3] = group[3] << 8 | (2 * sums[k] + sums[0]) / (2 * sums[0]);
            }
            expected.push_back(group);
        }
    }
    for (uint32_t top : {3U, 1000U}) {
        std::vector<Group> found;
        const ColourGroups groups(census, 100, top);
        for (const auto& g : groups.groups()) {
            found.push_back({g.first, g.pixels, g.colours, g.mean});
        }
        const auto shown = static_cast<std::ptrdiff_t>(std::min<size_t>(top, expected.size()));
        EXPECT_EQ(found, std::vector<Group>(expected.begin(), expected.begin() + shown));
    }
    EXPECT_GT(expected.size(), 10U);
}
