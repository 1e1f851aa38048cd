#pragma once

#include <cstddef>
#include <cstdint>

// Runs of pixels between their three file bytes (red, green, blue) and their raster words
// 0x00RRGGBB. Taking whole runs lets the compiler move several pixels per instruction.
namespace pixel_bytes {

void unpack(const uint8_t* bytes, uint32_t* pixels, size_t count);

// The word's top byte is dropped, so the removal word 0xFFFFFFFF comes out white.
void pack(const uint32_t* pixels, uint8_t* bytes, size_t count);

}  // namespace pixel_bytes
