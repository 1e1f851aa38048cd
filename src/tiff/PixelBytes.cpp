#include "tiff/PixelBytes.h"

// Three-byte pixels need a byte shuffle to move several at once, which x86-64's baseline
// instruction set lacks. On x86-64 Linux each loop is therefore also compiled for SSSE3, and
// the loader picks the version the processor can run; other targets vectorise as they are.
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__)
#define PIXEL_LOOP_VERSIONS __attribute__((target_clones("default", "ssse3")))
#else
#define PIXEL_LOOP_VERSIONS
#endif

namespace pixel_bytes {

PIXEL_LOOP_VERSIONS void unpack(const uint8_t* bytes, uint32_t* pixels, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        pixels[i] =
            uint32_t{bytes[3 * i]} << 16 | uint32_t{bytes[3 * i + 1]} << 8 | bytes[3 * i + 2];
    }
}

PIXEL_LOOP_VERSIONS void pack(const uint32_t* pixels, uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        bytes[3 * i] = static_cast<uint8_t>(pixels[i] >> 16);
        bytes[3 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        bytes[3 * i + 2] = static_cast<uint8_t>(pixels[i]);
    }
}

}  // namespace pixel_bytes
