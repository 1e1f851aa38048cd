#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "TestSupport.h"

// A raster as the job hands it to a filter: rows of words plus the spare row no filter
// may visit, which is filled with a sentinel to catch any visit.
class TestRaster {
  public:
    static constexpr uint32_t kSentinel = 0xDEADBEEF;

    TestRaster(int32_t width, int32_t height, std::vector<uint32_t> pixels)
        : width_(width), height_(height), words_(std::move(pixels)) {
        words_.resize(static_cast<size_t>(width) * static_cast<size_t>(height + 1), kSentinel);
        for (int32_t r = 0; r <= height; ++r) {
            rows_.push_back(words_.data() + static_cast<size_t>(r) * static_cast<size_t>(width));
        }
    }

    uint32_t* const* rows() { return rows_.data(); }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    uint32_t at(int32_t r, int32_t c) const { return rows_[r][c]; }
    bool spareRowUntouched() const {
        for (int32_t c = 0; c < width_; ++c) {
            if (rows_[height_][c] != kSentinel) {
                return false;
            }
        }
        return true;
    }
    // The image as a file would show it: the removal word comes out white.
    testing_support::Image asFileImage() const {
        testing_support::Image image;
        image.width = static_cast<uint32_t>(width_);
        image.height = static_cast<uint32_t>(height_);
        for (int32_t r = 0; r < height_; ++r) {
            for (int32_t c = 0; c < width_; ++c) {
                image.pixels.push_back(rows_[r][c] & 0xFFFFFF);
            }
        }
        return image;
    }

  private:
    int32_t width_;
    int32_t height_;
    std::vector<uint32_t> words_;
    std::vector<uint32_t*> rows_;
};

// Small images drawn from a palette, so that specks, lines and frames all turn up.
inline std::vector<uint32_t> randomPixels(std::mt19937& random, size_t count,
                                          const std::vector<uint32_t>& palette) {
    std::uniform_int_distribution<size_t> pick(0, palette.size() - 1);
    std::vector<uint32_t> pixels(count);
    for (uint32_t& p : pixels) {
        p = palette[pick(random)];
    }
    return pixels;
}
