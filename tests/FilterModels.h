#pragma once

// What each option makes of an image, written from the rules users are told, pixel by
// pixel and independently of the filters' own passes. White and removed both come out as
// 0xFFFFFF in a file, so the models give file colours.

#include <array>
#include <cstdint>
#include <vector>

#include "TestSupport.h"

namespace models {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0;

inline testing_support::Image keepList(testing_support::Image image,
                                       const std::vector<uint32_t>& keys) {
    for (uint32_t& p : image.pixels) {
        bool listed = false;
        for (uint32_t key : keys) {
            listed = listed || key == p;
        }
        p = listed ? p : kWhite;
    }
    return image;
}

inline testing_support::Image band(testing_support::Image image, uint32_t low, uint32_t high) {
    for (uint32_t& p : image.pixels) {
        p = low <= p && p <= high ? kWhite : p;
    }
    return image;
}

inline testing_support::Image redCast(testing_support::Image image) {
    for (uint32_t& p : image.pixels) {
        uint32_t red = p >> 16 & 0xFF;
        uint32_t green = p >> 8 & 0xFF;
        uint32_t blue = p & 0xFF;
        if (red > 90 && green < 130 && blue < 130) {
            p = 0x500000 | (p & 0xFFFF);
        }
    }
    return image;
}

// The contour clean-up, stated on the image as read: a coloured interior pixel with any
// neighbour that is not exactly white becomes the centre of a black 3x3 square; one with
// only white neighbours (a dot) vanishes; the frame keeps whatever is not white, as black.
inline testing_support::Image contours(const testing_support::Image& in) {
    const int w = static_cast<int>(in.width);
    const int h = static_cast<int>(in.height);
    auto pixel = [&](int r, int c) { return in.pixels[static_cast<size_t>(r) * in.width + c]; };
    auto interior = [&](int r, int c) { return r >= 1 && r <= h - 2 && c >= 1 && c <= w - 2; };
    auto coloured = [&](int r, int c) { return pixel(r, c) != kBlack && pixel(r, c) != kWhite; };
    auto centre = [&](int r, int c) {
        if (!interior(r, c) || !coloured(r, c)) {
            return false;
        }
        for (int dr = -1; dr <= 1; ++dr) {
            for (int dc = -1; dc <= 1; ++dc) {
                if ((dr != 0 || dc != 0) && pixel(r + dr, c + dc) != kWhite) {
                    return true;
                }
            }
        }
        return false;
    };
    auto nextToCentre = [&](int r, int c) {
        for (int dr = -1; dr <= 1; ++dr) {
            for (int dc = -1; dc <= 1; ++dc) {
                if ((dr != 0 || dc != 0) && r + dr >= 0 && r + dr < h && c + dc >= 0 &&
                    c + dc < w && centre(r + dr, c + dc)) {
                    return true;
                }
            }
        }
        return false;
    };
    testing_support::Image out = in;
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            bool black = interior(r, c) ? centre(r, c) || (!coloured(r, c) && nextToCentre(r, c))
                                        : pixel(r, c) != kWhite || nextToCentre(r, c);
            out.pixels[static_cast<size_t>(r) * in.width + c] = black ? kBlack : kWhite;
        }
    }
    return out;
}

}  // namespace models
