#include "tiff/TiffDirectory.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "tiff/DirectoryTags.h"
#include "tiff/InputFile.h"

namespace {

// The most a classic TIFF directory holds; a BigTIFF one is read no further.
constexpr uint64_t kMostEntries = 0xFFFF;
constexpr uint32_t kUnsigned = 1;
constexpr uint32_t kSigned = 2;
constexpr uint32_t kFloat = 3;
// A walk reads from the file and parses at most this much and kReadsPerByte times the
// file's size: thousands of directories and their tables in any file, more in a larger one,
// but never the same bytes over and over.
constexpr uint64_t kFixedCost = uint64_t{64} << 20;
constexpr uint64_t kReadsPerByte = 8;
// Directories that do not share bytes hold at most as many entries as the file has bytes,
// and there are at most as many of them as there is room for empty ones (6 bytes each).
constexpr uint64_t kSpareEntryBytes = uint64_t{64} << 10;
constexpr uint64_t kSpareDirectories = 64;
constexpr uint64_t kSmallestDirectory = 6;

// The field types: bytes per element, and how an element reads as a number, in SampleFormat's
// terms (0 for the types that hold no single number: text, bytes of no meaning, fractions).
struct FieldType {
    uint8_t size;
    uint8_t format;
};
constexpr std::array<FieldType, 19> kFieldTypes = {{
    {0, 0},                                        // none
    {1, kUnsigned}, {1, 0},       {2, kUnsigned},  // BYTE, ASCII, SHORT
    {4, kUnsigned}, {8, 0},       {1, kSigned},    // LONG, RATIONAL, SBYTE
    {1, 0},         {2, kSigned}, {4, kSigned},    // UNDEFINED, SSHORT, SLONG
    {8, 0},         {4, kFloat},  {8, kFloat},     // SRATIONAL, FLOAT, DOUBLE
    {4, kUnsigned}, {0, 0},       {0, 0},          // IFD, -, -
    {8, kUnsigned}, {8, kSigned}, {8, kUnsigned},  // LONG8, SLONG8, IFD8
}};

uint32_t numberFormat(uint16_t type) {
    return type < kFieldTypes.size() ? kFieldTypes[type].format : 0;
}

}  // namespace

TiffHeader TiffHeader::of(uint8_t order, uint8_t sameOrder, uint8_t first, uint8_t second) {
    TiffHeader header;
    header.bigEndian = order == 'M';
    const uint32_t version =
        header.bigEndian ? littleEndian16(second, first) : littleEndian16(first, second);
    header.tiff = order == sameOrder && (header.bigEndian || order == 'I') &&
                  (version == 42 || version == 43);
    header.bigTiff = version == 43;
    return header;
}

unsigned fieldTypeSize(uint16_t type) {
    return type < kFieldTypes.size() ? kFieldTypes[type].size : 0;
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
      entrySize_(bigTiff ? 20 : 12),
      mostCost_(kFixedCost + kReadsPerByte * fileSize),
      readBefore_(input.bytesRead()) {}

uint64_t TiffDirectory::firstDirectory() {
    input_.seek(wordSize_ == 8 ? 8 : 4);
    return number(wordSize_);
}

std::vector<TiffEntry> TiffDirectory::readEntries() {
    return read(firstDirectory()).entries;
}

TiffDirectory::Read TiffDirectory::read(uint64_t at) {
    Read directory;
    if (at > fileSize_ || fileSize_ - at < countSize_) {
        return directory;
    }
    input_.seek(at);
    directory.count = number(countSize_);
    const uint64_t room = (fileSize_ - at - countSize_) / entrySize_;
    std::vector<TiffEntry>& entries = directory.entries;
    entries.resize(std::min({directory.count, room, kMostEntries}));
    parsed_ += entries.size() * entrySize_;
    entryBytes_ += entries.size() * entrySize_;
    for (TiffEntry& entry : entries) {
        entry.tag = static_cast<uint16_t>(number(2));
        entry.type = static_cast<uint16_t>(number(2));
        entry.count = number(wordSize_);
        for (unsigned i = 0; i < wordSize_; ++i) {
            entry.field[i] = input_.readByte();
        }
    }
    const uint64_t end = at + countSize_ + std::min(directory.count, room) * entrySize_;
    if (directory.count <= room && fileSize_ - end >= wordSize_) {
        input_.seek(end);
        directory.next = number(wordSize_);
    }
    return directory;
}

bool TiffDirectory::walk(uint64_t first, bool sideDirectories, const Visitor& visitor) {
    uint64_t next = first;
    for (uint32_t page = 1; next != 0 && visited_.insert(next).second; ++page) {
        queued_.insert(next);
        if (!affordable(0) || !visit({next, page, 0}, next, visitor)) {
            break;
        }
    }
    while (sideDirectories && !pending_.empty() && affordable(0)) {
        const Pending directory = pending_.back();
        pending_.pop_back();
        if (visited_.insert(directory.at).second && visit(directory, next, visitor)) {
            queue({next, directory.page, directory.under});
        }
    }
    return affordable(0);
}

// Reads the directory, shows it to the visitor, and queues the directories it points to;
// false where there is none or it is cut short.
bool TiffDirectory::visit(const Pending& directory, uint64_t& next, const Visitor& visitor) {
    if (directory.at > fileSize_ || fileSize_ - directory.at < countSize_) {
        return false;
    }
    Read found = read(directory.at);
    next = found.next;
    WalkedDirectory walked;
    walked.at = directory.at;
    walked.page = directory.page;
    walked.under = directory.under;
    walked.whole = found.entries.size() == found.count;
    walked.entries = std::move(found.entries);
    walked.size = countSize_ + walked.entries.size() * entrySize_ + wordSize_;
    visitor(walked);
    if (walked.whole) {
        queuePointed(walked);
    }
    return walked.whole;
}

void TiffDirectory::queue(const Pending& directory) {
    if (directory.at != 0 && queued_.insert(directory.at).second) {
        pending_.push_back(directory);
    }
}

void TiffDirectory::queuePointed(const WalkedDirectory& directory) {
    for (const TiffEntry& entry : directory.entries) {
        if (!tag::pointsToDirectories(entry.tag)) {
            continue;
        }
        // More positions than could be visited would leave some unread.
        if (!affordable(entry.count)) {
            exhausted_ = true;
            return;
        }
        for (uint64_t at : integers(entry, entry.count)) {
            queue({at, directory.page, entry.tag});
        }
    }
}

// Whether the walk may still take directories more directories: those that do not share
// bytes fit in the file, and reading them stays within a few times its size.
bool TiffDirectory::affordable(uint64_t directories) {
    const uint64_t cost = input_.bytesRead() - readBefore_ + parsed_;
    exhausted_ = exhausted_ || cost > mostCost_ || entryBytes_ > fileSize_ + kSpareEntryBytes ||
                 queued_.size() + directories > fileSize_ / kSmallestDirectory + kSpareDirectories;
    return !exhausted_;
}

std::vector<uint64_t> TiffDirectory::elements(const TiffEntry& entry, uint64_t first,
                                              uint64_t count) {
    std::vector<uint64_t> found;
    readElements(entry, first, count, found);
    return found;
}

template <class Element>
bool TiffDirectory::readElements(const TiffEntry& entry, uint64_t first, uint64_t count,
                                 std::vector<Element>& found) {
    found.clear();
    const unsigned size = fieldTypeSize(entry.type);
    if (size == 0 || first > entry.count || entry.count - first < count) {
        return false;
    }
    if (entry.count <= wordSize_ / size) {
        for (uint64_t i = first; i < first + count; ++i) {
            found.push_back(static_cast<Element>(decode(entry.field.data() + i * size, size)));
        }
        return true;
    }
    // Divided rather than multiplied: a count from the file times the size may pass 64 bits.
    const uint64_t at = decode(entry.field.data(), wordSize_);
    if (at > fileSize_ || (fileSize_ - at) / size < first + count) {
        return false;
    }
    input_.seek(at + first * size);
    parsed_ += count * size;
    found.resize(count);
    for (Element& element : found) {
        element = static_cast<Element>(number(size));
    }
    return true;
}

std::vector<uint64_t> TiffDirectory::integers(const TiffEntry& entry, uint64_t most) {
    if (numberFormat(entry.type) != kUnsigned || fieldTypeSize(entry.type) < 2) {
        return {};
    }
    return elements(entry, 0, std::min(entry.count, most));
}

bool TiffDirectory::values(const DirEntry& entry, std::vector<uint32_t>& found) {
    TiffEntry whole{entry.tag(), entry.type(), entry.count(), {}};
    std::copy_n(entry.bytes.begin() + 8, 4, whole.field.begin());
    found.clear();
    return entry.elementSize() != 0 && readElements(whole, 0, whole.count, found);
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
