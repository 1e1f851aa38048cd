#include "app/PixelRaster.h"

#include <algorithm>

#include "platform/Platform.h"

void PixelRaster::allocate(uint32_t count, uint32_t width) {
    size_t rowCount = size_t{count} + 1;
    width_ = width;
    pixels_ = std::make_unique_for_overwrite<uint32_t[]>(rowCount * width);
    platform::preferLargePages(pixels_.get(), rowCount * width * sizeof(uint32_t));
    table_.resize(rowCount);
    for (size_t r = 0; r < rowCount; ++r) {
        table_[r] = pixels_.get() + r * width;
    }
}

// Rows lie one after another, so the rows from first on are one stretch of words.
void PixelRaster::whitenFrom(uint32_t first) {
    if (first < table_.size()) {
        std::fill(table_[first], pixels_.get() + table_.size() * width_, kWhite);
    }
}

void PixelRaster::release() {
    table_.clear();
    table_.shrink_to_fit();
    pixels_.reset();
}
