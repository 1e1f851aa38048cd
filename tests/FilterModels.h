#pragma once

// What each option makes of an image, written from the rules users are told, pixel by pixel
// and independently of the filters' own passes, and a raster to run the filters on. White and
// removed both come out as 0xFFFFFF in a file, so the models give file colours.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "TestSupport.h"
#include "dialogue/Console.h"
#include "filters/PixelFilter.h"

namespace models {

using testing_support::Image;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0;

using Model = std::function<Image(Image)>;

// Options 1 and 2 whiten the pixels that their rule removes.
inline Model whitening(std::function<bool(uint32_t)> removed) {
    return [removed](Image image) {
        std::replace_if(image.pixels.begin(), image.pixels.end(), removed, kWhite);
        return image;
    };
}

inline Model keepList(std::vector<uint32_t> keys) {
    return whitening(
        [keys](uint32_t p) { return std::find(keys.begin(), keys.end(), p) == keys.end(); });
}

inline Model band(uint32_t low, uint32_t high) {
    return whitening([low, high](uint32_t p) { return low <= p && p <= high; });
}

inline Image redCast(Image image) {
    for (uint32_t& p : image.pixels) {
        if ((p >> 16 & 0xFF) > 90 && (p >> 8 & 0xFF) < 130 && (p & 0xFF) < 130) {
            p = 0x500000 | (p & 0xFFFF);
        }
    }
    return image;
}

// The contour clean-up, stated on the image as read: a coloured interior pixel with any
// neighbour that is not exactly white becomes the centre of a black 3x3 square; one with
// only white neighbours (a dot) vanishes; the frame keeps whatever is not white, as black.
inline Image contours(const Image& in) {
    const int w = static_cast<int>(in.width);
    const int h = static_cast<int>(in.height);
    auto inside = [&](int r, int c) { return r >= 0 && r < h && c >= 0 && c < w; };
    auto at = [&](int r, int c) { return static_cast<size_t>(r * w + c); };
    auto pixel = [&](int r, int c) { return inside(r, c) ? in.pixels[at(r, c)] : kWhite; };
    auto coloured = [&](int r, int c) { return pixel(r, c) != kBlack && pixel(r, c) != kWhite; };
    auto anyNeighbour = [](int r, int c, auto test) {
        for (int n = 0; n < 9; ++n) {
            if (n != 4 && test(r + n / 3 - 1, c + n % 3 - 1)) {
                return true;
            }
        }
        return false;
    };
    auto centre = [&](int r, int c) {
        return inside(r - 1, c - 1) && inside(r + 1, c + 1) && coloured(r, c) &&
               anyNeighbour(r, c, [&](int nr, int nc) { return pixel(nr, nc) != kWhite; });
    };
    Image out = in;
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            bool interior = inside(r - 1, c - 1) && inside(r + 1, c + 1);
            bool black =
                anyNeighbour(r, c, centre) || (interior ? centre(r, c) : pixel(r, c) != kWhite);
            out.pixels[at(r, c)] = black ? kBlack : kWhite;
        }
    }
    return out;
}

// What a run of the model's option writes for a file: the file with its strips' pixels
// replaced by the model's, rows that no strip fills being white paper to the filter.
inline testing_support::Bytes filteredFile(testing_support::Bytes tiff, const Model& model) {
    Image image = testing_support::decodeImage(tiff);
    size_t filled = image.pixels.size();
    image.pixels.resize(size_t{image.width} * image.height, kWhite);
    const std::vector<uint32_t> pixels = model(image).pixels;
    auto pixel = pixels.begin();
    for (auto [at, length] : image.strips) {
        for (size_t p = at; p + 3 <= at + length && filled > 0; p += 3, ++pixel, --filled) {
            tiff[p] = static_cast<uint8_t>(*pixel >> 16);
            tiff[p + 1] = static_cast<uint8_t>(*pixel >> 8);
            tiff[p + 2] = static_cast<uint8_t>(*pixel);
        }
    }
    return tiff;
}

}  // namespace models

// A raster as the job hands it to a filter, with the spare row that no filter may visit
// filled with a reddish colour that every filter would change.
struct TestRaster {
    static constexpr uint32_t kSentinel = 0xA00000;
    int32_t width;
    int32_t height;
    std::vector<uint32_t> words;
    std::vector<uint32_t*> rows;

    TestRaster(int32_t w, int32_t h, std::vector<uint32_t> pixels)
        : width(w), height(h), words(std::move(pixels)) {
        words.resize(static_cast<size_t>(w) * static_cast<size_t>(h + 1), kSentinel);
        for (int32_t r = 0; r <= h; ++r) {
            rows.push_back(words.data() + static_cast<size_t>(r) * static_cast<size_t>(w));
        }
    }
    std::vector<uint32_t> image() const { return {words.begin(), words.end() - width}; }
    bool spareRowUntouched() const {
        return std::all_of(words.end() - width, words.end(),
                           [](uint32_t p) { return p == kSentinel; });
    }
};
