#include "tiff/TiffDirectory.h"

#include <algorithm>
#include <bit>

#include "tiff/InputFile.h"

namespace {

// The most a classic TIFF directory holds; a BigTIFF one is read no further.
constexpr uint64_t kMostEntries = 0xFFFF;
constexpr uint32_t kSigned = 2;
constexpr uint32_t kFloat = 3;

// How a numeric field type's elements read as numbers, in SampleFormat's terms; 0 for the
// types that hold no single number (text, bytes of no meaning, fractions).
uint32_t numberFormat(uint16_t type) {
    switch (type) {
        case 1:
        case 3:
        case 4:
        case 13:
        case 16:
        case 18:
            return 1;
        case 6:
        case 8:
        case 9:
        case 17:
            return kSigned;
        case 11:
        case 12:
            return kFloat;
        default:
            return 0;
    }
}

}  // namespace

unsigned fieldTypeSize(uint16_t type) {
    constexpr std::array<uint8_t, 19> kSizes = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4,
                                                8, 4, 8, 4, 0, 0, 8, 8, 8};
    return type < kSizes.size() ? kSizes[type] : 0;
}

double sampleNumber(uint64_t raw, unsigned size, uint32_t format) {
    if (format == kSigned) {
        const unsigned unused = 64 - 8 * size;
        return static_cast<double>(static_cast<int64_t>(raw << unused) >> unused);
    }
    if (format == kFloat) {
        return size == 4 ? static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(raw)))
                         : std::bit_cast<double>(raw);
    }
    return static_cast<double>(raw);
}

TiffDirectory::TiffDirectory(InputFile& input, uint64_t fileSize, bool bigEndian, bool bigTiff)
    : input_(input),
      fileSize_(fileSize),
      bigEndian_(bigEndian),
      wordSize_(bigTiff ? 8 : 4),
      countSize_(bigTiff ? 8 : 2),
      entrySize_(bigTiff ? 20 : 12) {}

uint64_t TiffDirectory::firstDirectory() {
    input_.seek(wordSize_ == 8 ? 8 : 4);
    return number(wordSize_);
}

std::vector<TiffEntry> TiffDirectory::readEntries() {
    uint64_t next = 0;
    return readEntries(firstDirectory(), next);
}

uint64_t TiffDirectory::entryCount(uint64_t at) {
    if (at > fileSize_ || fileSize_ - at < countSize_) {
        return 0;
    }
    input_.seek(at);
    return number(countSize_);
}

std::vector<TiffEntry> TiffDirectory::readEntries(uint64_t at, uint64_t& next) {
    std::vector<TiffEntry> entries;
    next = 0;
    if (at > fileSize_ || fileSize_ - at < countSize_) {
        return entries;
    }
    input_.seek(at);
    const uint64_t count = number(countSize_);
    const uint64_t room = (fileSize_ - at - countSize_) / entrySize_;
    entries.resize(std::min({count, room, kMostEntries}));
    for (TiffEntry& entry : entries) {
        entry.tag = static_cast<uint16_t>(number(2));
        entry.type = static_cast<uint16_t>(number(2));
        entry.count = number(wordSize_);
        for (unsigned i = 0; i < wordSize_; ++i) {
            entry.field[i] = input_.readByte();
        }
    }
    const uint64_t end = at + countSize_ + std::min(count, room) * entrySize_;
    if (count <= room && fileSize_ - end >= wordSize_) {
        input_.seek(end);
        next = number(wordSize_);
    }
    return entries;
}

std::vector<uint64_t> TiffDirectory::elements(const TiffEntry& entry, uint64_t first,
                                              uint64_t count) {
    std::vector<uint64_t> found;
    const unsigned size = fieldTypeSize(entry.type);
    if (size == 0 || first > entry.count || entry.count - first < count) {
        return found;
    }
    if (entry.count <= wordSize_ / size) {
        for (uint64_t i = first; i < first + count; ++i) {
            found.push_back(decode(entry.field.data() + i * size, size));
        }
        return found;
    }
    // Divided rather than multiplied: a count from the file times the size may pass 64 bits.
    const uint64_t at = decode(entry.field.data(), wordSize_);
    if (at > fileSize_ || (fileSize_ - at) / size < first + count) {
        return found;
    }
    input_.seek(at + first * size);
    found.resize(count);
    for (uint64_t& element : found) {
        element = number(size);
    }
    return found;
}

std::vector<double> TiffDirectory::numbers(const TiffEntry& entry, uint64_t most) {
    std::vector<double> found;
    const uint32_t format = numberFormat(entry.type);
    if (format != 0) {
        for (uint64_t raw : elements(entry, 0, std::min(entry.count, most))) {
            found.push_back(sampleNumber(raw, fieldTypeSize(entry.type), format));
        }
    }
    return found;
}

std::string TiffDirectory::text(const TiffEntry& entry, uint64_t most) {
    std::string found;
    if (entry.type == 2) {
        for (uint64_t c : elements(entry, 0, std::min(entry.count, most))) {
            if (c == 0) {
                break;
            }
            found.push_back(static_cast<char>(c));
        }
    }
    return found;
}

DirEntry TiffDirectory::classicEntry(const TiffEntry& entry) {
    DirEntry classic;
    const uint64_t head = entry.tag | uint64_t{entry.type} << 16 | entry.count << 32;
    for (size_t b = 0; b < 8; ++b) {
        classic.bytes[b] = static_cast<uint8_t>(head >> (8 * b));
    }
    std::copy_n(entry.field.begin(), 4, classic.bytes.begin() + 8);
    return classic;
}

uint64_t TiffDirectory::number(unsigned size) {
    std::array<uint8_t, 8> bytes{};
    for (unsigned i = 0; i < size; ++i) {
        bytes[i] = input_.readByte();
    }
    return decode(bytes.data(), size);
}

uint64_t TiffDirectory::decode(const uint8_t* bytes, unsigned size) const {
    uint64_t value = 0;
    for (unsigned i = 0; i < size; ++i) {
        value = value << 8 | bytes[bigEndian_ ? i : size - 1 - i];
    }
    return value;
}
