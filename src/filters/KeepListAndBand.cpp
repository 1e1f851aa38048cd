#include "filters/PixelFilter.h"
#include "platform/VectorVersions.h"

// Ten comparisons per pixel keep the processor busier than memory does, so wider vectors
// pay here.
VELSTRAM_VECTOR_VERSIONS void PixelFilter::keepColours(uint32_t* const* rows, uint32_t key1,
                                                       uint32_t key2, uint32_t key3, uint32_t key4,
                                                       uint32_t key5, uint32_t key6, uint32_t key7,
                                                       uint32_t key8, uint32_t key9, uint32_t key10,
                                                       uint32_t replacement, int32_t width,
                                                       int32_t height) {
    for (int32_t r = 0; r < height; ++r) {
        uint32_t* row = rows[r];
        for (int32_t c = 0; c < width; ++c) {
            uint32_t p = row[c];
            bool keep = (p == key1) | (p == key2) | (p == key3) | (p == key4) | (p == key5) |
                        (p == key6) | (p == key7) | (p == key8) | (p == key9) | (p == key10);
            row[c] = keep ? p : replacement;
        }
    }
}

void PixelFilter::removeBand(uint32_t* const* rows, uint32_t low, uint32_t high,
                             uint32_t replacement, int32_t width, int32_t height) {
    for (int32_t r = 0; r < height; ++r) {
        uint32_t* row = rows[r];
        for (int32_t c = 0; c < width; ++c) {
            uint32_t p = row[c];
            row[c] = (p >= low && p <= high) ? replacement : p;
        }
    }
}
