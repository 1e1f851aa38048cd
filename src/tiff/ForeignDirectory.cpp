#include <algorithm>
#include <array>
#include <vector>

#include "tiff/TifFile.h"

// A big-endian or BigTIFF file is refused, but its first directory is read far enough to
// know what else its conversion must change, so that one command makes a file this program
// reads. Nothing here stops the run: what cannot be read is left at the header's word.

namespace {

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

// The first directory of a classic big-endian file or of a BigTIFF of either byte order:
// 8-byte counts and positions and 20-byte entries in a BigTIFF, 12-byte entries otherwise.
class ForeignDirectory {
  public:
    ForeignDirectory(InputFile& input, uint64_t fileSize, bool bigEndian, bool bigTiff)
        : input_(input),
          fileSize_(fileSize),
          bigEndian_(bigEndian),
          wordSize_(bigTiff ? 8 : 4),
          countSize_(bigTiff ? 8 : 2),
          entrySize_(bigTiff ? 20 : 12) {}

    std::vector<ForeignEntry> readEntries() {
        input_.seek(wordSize_ == 8 ? 8 : 4);
        const uint64_t directory = number(wordSize_);
        std::vector<ForeignEntry> entries;
        if (directory > fileSize_ || fileSize_ - directory < countSize_) {
            return entries;
        }
        input_.seek(directory);
        const uint64_t room = (fileSize_ - directory - countSize_) / entrySize_;
        entries.resize(std::min({number(countSize_), room, kMostEntries}));
        for (ForeignEntry& entry : entries) {
            entry.tag = static_cast<uint16_t>(number(2));
            entry.type = static_cast<uint16_t>(number(2));
            entry.count = number(wordSize_);
            for (unsigned i = 0; i < wordSize_; ++i) {
                entry.field[i] = input_.readByte();
            }
        }
        return entries;
    }

    // The first values of an entry: in its field when they fit, else where the field points;
    // none where they do not lie inside the file.
    std::vector<uint32_t> values(const ForeignEntry& entry) {
        std::vector<uint32_t> found;
        const unsigned size = typeSize(entry.type);
        const uint64_t wanted = std::min(entry.count, kMostValues);
        if (size == 0) {
            return found;
        }
        if (entry.count <= wordSize_ / size) {
            for (uint64_t i = 0; i < wanted; ++i) {
                found.push_back(static_cast<uint32_t>(decode(entry.field.data() + i * size, size)));
            }
            return found;
        }
        const uint64_t at = decode(entry.field.data(), wordSize_);
        if (at <= fileSize_ && (fileSize_ - at) / size >= wanted) {
            input_.seek(at);
            for (uint64_t i = 0; i < wanted; ++i) {
                found.push_back(static_cast<uint32_t>(number(size)));
            }
        }
        return found;
    }

  private:
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

    InputFile& input_;
    uint64_t fileSize_;
    bool bigEndian_;
    unsigned wordSize_;
    unsigned countSize_;
    uint64_t entrySize_;
};

}  // namespace

ImageKind TifFile::foreignKind(bool bigEndian, bool bigTiff) {
    ImageKind kind;
    kind.bigEndian = bigEndian;
    kind.bigTiff = bigTiff;
    openInput();
    ForeignDirectory directory(input, fileSize_, bigEndian, bigTiff);
    const std::vector<ForeignEntry> entries = directory.readEntries();
    for (const ForeignEntry& entry : entries) {
        kind.take(entry.tag, directory.values(entry));
    }
    if (std::none_of(entries.begin(), entries.end(),
                     [](const ForeignEntry& entry) { return entry.tag == tag::SamplesPerPixel; })) {
        kind.withoutSamplesTag();
    }
    input.close();
    return kind;
}
