#include "tiff/PixelBytes.h"

#include "platform/VectorVersions.h"

namespace pixel_bytes {

VELSTRAM_VECTOR_VERSIONS void unpack(const uint8_t* bytes, uint32_t* pixels, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        pixels[i] =
            uint32_t{bytes[3 * i]} << 16 | uint32_t{bytes[3 * i + 1]} << 8 | bytes[3 * i + 2];
    }
}

VELSTRAM_VECTOR_VERSIONS void pack(const uint32_t* pixels, uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        bytes[3 * i] = static_cast<uint8_t>(pixels[i] >> 16);
        bytes[3 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        bytes[3 * i + 2] = static_cast<uint8_t>(pixels[i]);
    }
}

}  // namespace pixel_bytes
