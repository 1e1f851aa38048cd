#include "app/PixelRaster.h"

#include <algorithm>

#include "platform/Platform.h"

void PixelRaster::allocate(uint32_t count, uint32_t width) {
    size_t rowCount = size_t{count} + 1;
    pixels_ = std::make_unique_for_overwrite<uint32_t[]>(rowCount * width);
    platform::preferLargePages(pixels_.get(), rowCount * width * sizeof(uint32_t));
    std::fill_n(pixels_.get(), rowCount * width, kWhite);
    table_.resize(rowCount);
    for (size_t r = 0; r < rowCount; ++r) {
        table_[r] = pixels_.get() + r * width;
    }
}

void PixelRaster::release() {
    table_.clear();
    table_.shrink_to_fit();
    pixels_.reset();
}
