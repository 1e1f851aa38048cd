#include "filters/PixelFilter.h"
#include "platform/VectorVersions.h"

namespace {

constexpr uint32_t kRedThreshold = 90;
constexpr uint32_t kGreenCeiling = 130;
constexpr uint32_t kBlueCeiling = 130;
constexpr uint32_t kNewRed = 0x500000;

}  // namespace

// Three unsigned comparisons per pixel keep the processor busier than memory does, so
// wider vectors pay here.
VELSTRAM_VECTOR_VERSIONS uint64_t PixelFilter::dampRedCast(uint32_t* const* rows, int32_t width,
                                                           int32_t height) {
    uint64_t damped = 0;
    for (int32_t r = 0; r < height; ++r) {
        uint32_t* row = rows[r];
        uint32_t inRow = 0;
        for (int32_t c = 0; c < width; ++c) {
            uint32_t p = row[c];
            uint32_t red = (p & 0xFF0000) >> 16;
            uint32_t green = (p & 0xFF00) >> 8;
            uint32_t blue = p & 0xFF;
            bool reddish = red > kRedThreshold && green < kGreenCeiling && blue < kBlueCeiling;
            inRow += reddish ? 1 : 0;
            row[c] = reddish ? (p & 0xFFFF) | kNewRed : p;
        }
        damped += inRow;
    }
    return damped;
}
