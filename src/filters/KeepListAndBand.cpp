#include <algorithm>

#include "filters/PixelFilter.h"
#include "platform/VectorVersions.h"

namespace {

constexpr size_t kKeys = PixelFilter::kKeys;

// The rows against keyCount distinct keys, a constant here, so that the loop unrolls over
// them and keeps the keys and the row's counts in vector registers. The comparisons keep the
// processor busier than memory does, so every key left out pays, and wider vectors do too;
// the counts ride along nearly free up to seven keys, beyond which the registers run out.
// A row's counts fit 32 bits, as a row has fewer than 2^31 pixels.
template <size_t keyCount>
VELSTRAM_VECTOR_VERSIONS void keepRows(uint32_t* const* rows, const uint32_t* keys,
                                       uint32_t replacement, int32_t width, int32_t height,
                                       uint64_t* kept) {
    std::array<uint32_t, keyCount> key{};
    std::copy_n(keys, keyCount, key.begin());
    for (int32_t r = 0; r < height; ++r) {
        uint32_t* row = rows[r];
        std::array<uint32_t, keyCount> inRow{};
        for (int32_t c = 0; c < width; ++c) {
            const uint32_t p = row[c];
            uint32_t matched = 0;
#pragma GCC unroll 10
            for (size_t k = 0; k < keyCount; ++k) {
                const uint32_t equal = p == key[k] ? 1 : 0;
                inRow[k] += equal;
                matched |= equal;
            }
            row[c] = matched != 0 ? p : replacement;
        }
        for (size_t k = 0; k < keyCount; ++k) {
            kept[k] += inRow[k];
        }
    }
}

using KeepRows = void (*)(uint32_t* const* rows, const uint32_t* keys, uint32_t replacement,
                          int32_t width, int32_t height, uint64_t* kept);

// By the number of distinct keys.
constexpr std::array<KeepRows, kKeys + 1> kKeepRows = {
    &keepRows<0>, &keepRows<1>, &keepRows<2>, &keepRows<3>, &keepRows<4>, &keepRows<5>,
    &keepRows<6>, &keepRows<7>, &keepRows<8>, &keepRows<9>, &keepRows<10>};

}  // namespace

// A key given twice, or equal to the replacement word, makes no pixel come out otherwise, so
// only the distinct others are compared.
std::array<uint64_t, kKeys> PixelFilter::keepColours(uint32_t* const* rows, uint32_t key1,
                                                     uint32_t key2, uint32_t key3, uint32_t key4,
                                                     uint32_t key5, uint32_t key6, uint32_t key7,
                                                     uint32_t key8, uint32_t key9, uint32_t key10,
                                                     uint32_t replacement, int32_t width,
                                                     int32_t height) {
    const std::array<uint32_t, kKeys> given = {key1, key2, key3, key4, key5,
                                               key6, key7, key8, key9, key10};
    std::array<uint32_t, kKeys> distinct{};
    size_t count = 0;
    for (uint32_t key : given) {
        if (key != replacement && std::find(distinct.begin(), distinct.begin() + count, key) ==
                                      distinct.begin() + count) {
            distinct[count++] = key;
        }
    }
    std::array<uint64_t, kKeys> counted{};
    kKeepRows[count](rows, distinct.data(), replacement, width, height, counted.data());
    std::array<uint64_t, kKeys> kept{};
    for (size_t n = 0; n < kKeys; ++n) {
        const auto* at = std::find(distinct.begin(), distinct.begin() + count, given[n]);
        kept[n] = at == distinct.begin() + count
                      ? 0
                      : counted[static_cast<size_t>(at - distinct.begin())];
    }
    return kept;
}

uint64_t PixelFilter::removeBand(uint32_t* const* rows, uint32_t low, uint32_t high,
                                 uint32_t replacement, int32_t width, int32_t height) {
    uint64_t removed = 0;
    for (int32_t r = 0; r < height; ++r) {
        uint32_t* row = rows[r];
        uint32_t inRow = 0;
        for (int32_t c = 0; c < width; ++c) {
            const uint32_t p = row[c];
            const bool inBand = p >= low && p <= high;
            inRow += inBand ? 1 : 0;
            row[c] = inBand ? replacement : p;
        }
        removed += inRow;
    }
    return removed;
}
