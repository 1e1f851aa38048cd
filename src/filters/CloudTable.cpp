#include "filters/CloudTable.h"

#include <algorithm>

#include "platform/Platform.h"

namespace {

constexpr size_t kWords = ColourTable::kColours / 8;

}  // namespace

// Each cloud claims its colours in turn. A colour an earlier cloud holds goes to a later one
// only when it lies strictly deeper in it; the clouds that do not hold a colour reach past 1
// there, so they never are the deepest.
CloudTable::CloudTable(const std::vector<InkCloud>& clouds)
    : words_(std::make_unique_for_overwrite<uint32_t[]>(kWords)) {
    platform::preferLargePages(words_.get(), kWords * sizeof(uint32_t));
    std::fill(words_.get(), words_.get() + kWords, 0U);
    for (uint32_t n = 0; n < clouds.size(); ++n) {
        clouds[n].runs([&](uint32_t first, uint32_t last) {
            for (uint32_t colour = first; colour <= last; ++colour) {
                claim(colour, clouds, n);
            }
        });
    }
}

void CloudTable::claim(uint32_t colour, const std::vector<InkCloud>& clouds, uint32_t cloud) {
    const uint32_t owner = ownerOf(colour);
    if (owner == 0 || clouds[cloud].spread(colour) < clouds[owner - 1].spread(colour)) {
        const uint32_t shift = (colour & 7) * 4;
        uint32_t& word = words_[colour >> 3];
        word = (word & ~(uint32_t{15} << shift)) | (cloud + 1) << shift;
    }
}
