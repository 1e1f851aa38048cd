#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Runs of pixels between their three file bytes (red, green, blue) and their raster words
// 0x00RRGGBB. Each pixel moves as one four-byte load or store, the fourth byte belonging to
// the next pixel; the last pixel of a run goes byte by byte so nothing outside the run is
// touched.
namespace pixel_bytes {

static_assert(std::endian::native == std::endian::little,
              "the four-byte moves take the first byte as the word's lowest");

// Compilers turn this into a single byte-swap instruction.
constexpr uint32_t reversed(uint32_t word) {
    return word >> 24 | (word >> 8 & 0xFF00) | (word << 8 & 0xFF0000) | word << 24;
}

inline void unpack(const uint8_t* bytes, uint32_t* pixels, size_t count) {
    if (count == 0) {
        return;
    }
    for (size_t i = 0; i + 1 < count; ++i, bytes += 3) {
        uint32_t word = 0;
        std::memcpy(&word, bytes, sizeof word);
        pixels[i] = reversed(word) >> 8;
    }
    pixels[count - 1] = uint32_t{bytes[0]} << 16 | uint32_t{bytes[1]} << 8 | bytes[2];
}

// The word's top byte is dropped, so the removal word 0xFFFFFFFF comes out white.
inline void pack(const uint32_t* pixels, uint8_t* bytes, size_t count) {
    if (count == 0) {
        return;
    }
    for (size_t i = 0; i + 1 < count; ++i, bytes += 3) {
        uint32_t word = reversed(pixels[i]) >> 8;
        std::memcpy(bytes, &word, sizeof word);
    }
    uint32_t last = pixels[count - 1];
    bytes[0] = static_cast<uint8_t>(last >> 16);
    bytes[1] = static_cast<uint8_t>(last >> 8);
    bytes[2] = static_cast<uint8_t>(last);
}

}  // namespace pixel_bytes
