#include <array>
#include <cstddef>

#include "filters/CloudTable.h"
#include "filters/PixelFilter.h"
#include "platform/VectorVersions.h"

namespace {

constexpr size_t kKeys = PixelFilter::kKeys;

// One row against the table, eight pixels at a time where the processor can look up eight
// words at once: the row and the table do not overlap, the index is a signed word and the
// choice is a mask, or the compiler would not vectorise. The row's counts for cloudCount
// clouds, a constant here, ride along in vector registers as in the exact keep.
template <size_t cloudCount>
VELSTRAM_VECTOR_VERSIONS std::array<uint32_t, cloudCount> keepRow(uint32_t* __restrict row,
                                                                  int32_t width,
                                                                  const uint32_t* __restrict table,
                                                                  uint32_t replacement) {
    std::array<uint32_t, cloudCount> inRow{};
    for (int32_t c = 0; c < width; ++c) {
        const uint32_t p = row[c];
        const auto at = static_cast<int32_t>(p & (ColourTable::kColours - 1));
        const uint32_t owner = table[at >> 3] >> ((p & 7) * 4) & 15;
#pragma GCC unroll 10
        for (uint32_t k = 0; k < cloudCount; ++k) {
            inRow[k] += static_cast<uint32_t>(owner == k + 1);
        }
        const uint32_t removed = owner == 0 ? ~uint32_t{0} : 0;
        row[c] = p ^ ((p ^ replacement) & removed);
    }
    return inRow;
}

// A row's counts fit 32 bits, as a row has fewer than 2^31 pixels.
template <size_t cloudCount>
void keepRows(uint32_t* const* rows, const uint32_t* table, uint32_t replacement, int32_t width,
              int32_t height, uint64_t* kept) {
    for (int32_t r = 0; r < height; ++r) {
        const std::array<uint32_t, cloudCount> inRow =
            keepRow<cloudCount>(rows[r], width, table, replacement);
        for (size_t k = 0; k < cloudCount; ++k) {
            kept[k] += inRow[k];
        }
    }
}

using KeepRows = void (*)(uint32_t* const* rows, const uint32_t* table, uint32_t replacement,
                          int32_t width, int32_t height, uint64_t* kept);

// By the number of clouds.
constexpr std::array<KeepRows, kKeys + 1> kKeepRows = {
    &keepRows<0>, &keepRows<1>, &keepRows<2>, &keepRows<3>, &keepRows<4>, &keepRows<5>,
    &keepRows<6>, &keepRows<7>, &keepRows<8>, &keepRows<9>, &keepRows<10>};

}  // namespace

// The table decides each pixel and the cloud it counts for.
std::vector<uint64_t> PixelFilter::keepNear(uint32_t* const* rows,
                                            const std::vector<InkCloud>& clouds,
                                            uint32_t replacement, int32_t width, int32_t height) {
    if (clouds.empty()) {
        return {};
    }
    const CloudTable table(clouds);
    std::vector<uint64_t> kept(clouds.size());
    kKeepRows[clouds.size()](rows, table.words(), replacement, width, height, kept.data());
    return kept;
}
