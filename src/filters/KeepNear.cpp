#include <cstddef>

#include "filters/PixelFilter.h"

namespace {

size_t deepest(const std::vector<InkCloud>& clouds, uint32_t colour) {
    size_t found = 0;
    double least = clouds[0].spread(colour);
    for (size_t n = 1; n < clouds.size(); ++n) {
        if (const double spread = clouds[n].spread(colour); spread < least) {
            least = spread;
            found = n;
        }
    }
    return found;
}

}  // namespace

// The table decides each pixel; which cloud a kept pixel counts for is worked out again only
// where its colour differs from the last kept one, which on a map is seldom.
std::vector<uint64_t> PixelFilter::keepNear(uint32_t* const* rows, const ColourTable& kept,
                                            const std::vector<InkCloud>& clouds,
                                            uint32_t replacement, int32_t width, int32_t height) {
    std::vector<uint64_t> counted(clouds.size());
    if (clouds.empty()) {
        return counted;
    }
    uint32_t last = kRemoved;
    size_t cloud = 0;
    for (int32_t r = 0; r < height; ++r) {
        uint32_t* row = rows[r];
        for (int32_t c = 0; c < width; ++c) {
            const uint32_t p = row[c];
            if (!kept.holds(p)) {
                row[c] = replacement;
                continue;
            }
            if (p != last) {
                last = p;
                cloud = deepest(clouds, p);
            }
            ++counted[cloud];
        }
    }
    return counted;
}
