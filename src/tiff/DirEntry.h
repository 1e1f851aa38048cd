#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Every number in the file is little-endian ("II"): byte b0 is the lowest.
constexpr uint32_t littleEndian16(uint32_t b0, uint32_t b1) {
    return (b0 & 0xFF) | (b1 & 0xFF) << 8;
}
constexpr uint32_t littleEndian32(uint32_t b0, uint32_t b1, uint32_t b2, uint32_t b3) {
    return littleEndian16(b0, b1) | littleEndian16(b2, b3) << 16;
}

// One image file directory entry, kept as the 12 bytes read from the file.
class DirEntry {
  public:
    static constexpr uint16_t kShort = 3;
    static constexpr uint16_t kLong = 4;

    std::array<uint8_t, 12> bytes{};

    uint16_t tag() const { return read16(0); }
    uint16_t type() const { return read16(2); }
    uint32_t count() const { return read32(4); }

    // A single SHORT sits in the first two bytes of the value field; everything else that
    // is read as one number (a LONG, or the position of values that do not fit) takes four.
    uint32_t value() const { return type() == kShort && count() <= 2 ? read16(8) : read32(8); }

    // Bytes per element of a strip array, or 0 for a field type that cannot hold one.
    uint32_t elementSize() const;

  private:
    uint16_t read16(size_t at) const {
        return static_cast<uint16_t>(littleEndian16(bytes[at], bytes[at + 1]));
    }
    uint32_t read32(size_t at) const {
        return littleEndian32(bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]);
    }
};
