#include <algorithm>
#include <vector>

#include "tiff/TifFile.h"

// A big-endian or BigTIFF file is refused, but its first directory is read far enough to
// know what else its conversion must change, so that one command makes a file this program
// reads. Nothing here stops the run: what cannot be read is left at the header's word.

namespace {

// Reads unsigned numbers of 2, 4 or 8 bytes in the file's byte order.
class OrderedReader {
  public:
    OrderedReader(InputFile& input, bool bigEndian) : input_(input), bigEndian_(bigEndian) {}

    uint64_t number(unsigned size) {
        std::array<uint8_t, 8> bytes{};
        for (unsigned i = 0; i < size; ++i) {
            bytes[i] = input_.readByte();
        }
        return decode(bytes.data(), size);
    }
    uint64_t decode(const uint8_t* bytes, unsigned size) const {
        uint64_t value = 0;
        for (unsigned i = 0; i < size; ++i) {
            value = value << 8 | bytes[bigEndian_ ? i : size - 1 - i];
        }
        return value;
    }

  private:
    InputFile& input_;
    bool bigEndian_;
};

struct ForeignEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint64_t count = 0;
    std::array<uint8_t, 8> field{};
};

constexpr uint64_t kMostEntries = 4096;
// BitsPerSample and SampleFormat are told by their first few values.
constexpr uint64_t kMostValues = 16;

unsigned typeSize(uint16_t type) {
    switch (type) {
        case 3:
            return 2;
        case 4:
            return 4;
        case 16:
            return 8;
        default:
            return 0;
    }
}

}  // namespace

ImageKind TifFile::foreignKind(bool bigEndian, bool bigTiff) {
    ImageKind kind;
    kind.bigEndian = bigEndian;
    kind.bigTiff = bigTiff;
    openInput();
    OrderedReader reader(input, bigEndian);
    const unsigned wordSize = bigTiff ? 8 : 4;
    const unsigned countSize = bigTiff ? 8 : 2;
    const uint64_t entrySize = bigTiff ? 20 : 12;
    input.seek(bigTiff ? 8 : 4);
    const uint64_t directory = reader.number(wordSize);
    std::vector<ForeignEntry> entries;
    if (directory <= fileSize_ && fileSize_ - directory >= countSize) {
        input.seek(directory);
        uint64_t room = (fileSize_ - directory - countSize) / entrySize;
        entries.resize(std::min({reader.number(countSize), room, kMostEntries}));
    }
    for (ForeignEntry& entry : entries) {
        entry.tag = static_cast<uint16_t>(reader.number(2));
        entry.type = static_cast<uint16_t>(reader.number(2));
        entry.count = reader.number(wordSize);
        for (unsigned i = 0; i < wordSize; ++i) {
            entry.field[i] = readByte();
        }
    }
    // The values of an entry: in its field when they fit, else where the field points.
    auto values = [&](const ForeignEntry& entry) {
        std::vector<uint64_t> found;
        const unsigned size = typeSize(entry.type);
        const uint64_t wanted = std::min(entry.count, kMostValues);
        if (size == 0 || entry.count == 0) {
            return found;
        }
        if (entry.count * size <= wordSize) {
            for (uint64_t i = 0; i < wanted; ++i) {
                found.push_back(reader.decode(entry.field.data() + i * size, size));
            }
            return found;
        }
        uint64_t at = reader.decode(entry.field.data(), wordSize);
        if (at <= fileSize_ && (fileSize_ - at) / size >= wanted) {
            input.seek(at);
            for (uint64_t i = 0; i < wanted; ++i) {
                found.push_back(reader.number(size));
            }
        }
        return found;
    };
    for (const ForeignEntry& entry : entries) {
        std::vector<uint64_t> v = values(entry);
        std::vector<uint32_t> narrow(v.begin(), v.end());
        uint32_t first = narrow.empty() ? 0 : narrow.front();
        switch (entry.tag) {
            case 258:
                kind.firstBits = narrow.empty() ? kind.firstBits : first;
                kind.otherBits = firstOtherThan(narrow, 8);
                break;
            case 259:
                kind.compression = narrow.empty() ? kind.compression : first;
                break;
            case 262:
                kind.photometric = narrow.empty() ? kind.photometric : first;
                break;
            case 277:
                kind.samples = narrow.empty() ? kind.samples : first;
                break;
            case 284:
                kind.planar = narrow.empty() ? kind.planar : first;
                break;
            case 339:
                kind.sampleFormat = firstOtherThan(narrow, ImageKind::kUnsigned);
                break;
            case 33550:
            case 33922:
            case 34264:
            case 34735:
                kind.georeferenced = true;
                break;
            default:
                kind.tiled = kind.tiled || (entry.tag >= 322 && entry.tag <= 325);
                break;
        }
    }
    if (std::none_of(entries.begin(), entries.end(), [](const ForeignEntry& e) { return e.tag == 277; })) {
        kind.withoutSamplesTag();
    }
    input.close();
    return kind;
}
