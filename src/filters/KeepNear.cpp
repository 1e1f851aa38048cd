#include <algorithm>
#include <cstddef>

#include "filters/PixelFilter.h"
#include "platform/VectorVersions.h"

namespace {

// Kept pixels are looked for this many at a time: a block without one costs a few vector
// instructions.
constexpr int32_t kBlock = 16;

// One row against the table, eight pixels at a time where the processor can look up eight
// words at once: the row and the table do not overlap, the index is a signed word and the
// choice is a mask, or the compiler would not vectorise. Returns how many pixels stay.
VELSTRAM_VECTOR_VERSIONS uint32_t whitenRow(uint32_t* __restrict row, int32_t width,
                                            const uint32_t* __restrict table,
                                            uint32_t replacement) {
    uint32_t kept = 0;
    for (int32_t c = 0; c < width; ++c) {
        const uint32_t p = row[c];
        const auto at = static_cast<int32_t>(p & (ColourTable::kColours - 1));
        const uint32_t bit = table[at >> 5] >> (p & 31) & 1;
        kept += bit;
        row[c] = p ^ ((p ^ replacement) & (bit - 1));
    }
    return kept;
}

VELSTRAM_VECTOR_VERSIONS bool blockKeepsAny(const uint32_t* block, int32_t length,
                                            uint32_t replacement) {
    uint32_t differs = 0;
    for (int32_t c = 0; c < length; ++c) {
        differs |= block[c] ^ replacement;
    }
    return differs != 0;
}

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

// The pixels of one cloud are summed in a register until the cloud changes: an addition to
// memory for each would wait for the one before.
struct CloudCounts {
    const std::vector<InkCloud>& clouds;
    std::vector<uint64_t> counted;
    uint32_t last = PixelFilter::kRemoved;
    size_t cloud = 0;
    uint64_t run = 0;

    void add(uint32_t colour) {
        if (colour != last) {
            last = colour;
            const size_t next = deepest(clouds, colour);
            counted[cloud] += run;
            run = 0;
            cloud = next;
        }
        ++run;
    }
    std::vector<uint64_t> done() {
        counted[cloud] += run;
        return counted;
    }
};

}  // namespace

// The table decides each pixel. With several clouds, which one a kept pixel counts for is
// worked out only where the kept colour changes, which on a map is seldom.
std::vector<uint64_t> PixelFilter::keepNear(uint32_t* const* rows, const ColourTable& kept,
                                            const std::vector<InkCloud>& clouds,
                                            uint32_t replacement, int32_t width, int32_t height) {
    if (clouds.empty()) {
        return {};
    }
    CloudCounts counts{clouds, std::vector<uint64_t>(clouds.size())};
    for (int32_t r = 0; r < height; ++r) {
        uint32_t* row = rows[r];
        const uint32_t inRow = whitenRow(row, width, kept.words(), replacement);
        if (clouds.size() == 1) {
            counts.counted[0] += inRow;
            continue;
        }
        for (int32_t block = 0; block < width && inRow != 0; block += kBlock) {
            const int32_t end = std::min(block + kBlock, width);
            if (!blockKeepsAny(row + block, end - block, replacement)) {
                continue;
            }
            for (int32_t c = block; c < end; ++c) {
                if (row[c] != replacement) {
                    counts.add(row[c]);
                }
            }
        }
    }
    return counts.done();
}
