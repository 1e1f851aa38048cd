#include "tiff/PageChain.h"

#include <algorithm>

#include "tiff/DirectoryTags.h"
#include "tiff/InputFile.h"

namespace {

constexpr uint32_t kMostDirectories = 64;
constexpr uint64_t kMostEntries = 4096;
constexpr uint64_t kReducedImage = 1;  // NewSubfileType bits
constexpr uint64_t kTransparencyMask = 4;

// Nothing in the file is trusted: every position is checked against the file's size before
// it is read, the walk stops at a directory it has seen, and what cannot be read ends the
// list.
class PageWalk {
  public:
    explicit PageWalk(InputFile& file) : file_(file) {}

    std::vector<ChainPage> pages() {
        file_.rewind();
        std::vector<ChainPage> sizes;
        const uint8_t order = file_.readByte();
        bigEndian_ = order == 'M';
        if (file_.size() < 16 || order != file_.readByte() || (order != 'I' && order != 'M')) {
            return sizes;
        }
        const uint64_t version = number(2);
        if (version == 43) {
            wordSize_ = 8;
            static_cast<void>(number(4));
        } else if (version != 42) {
            return sizes;
        }
        std::vector<uint64_t> seen;
        uint64_t at = number(wordSize_);
        while (at != 0 && seen.size() < kMostDirectories &&
               std::find(seen.begin(), seen.end(), at) == seen.end()) {
            seen.push_back(at);
            at = readDirectory(at, sizes);
        }
        return sizes;
    }

  private:
    // Reads the directory at at, adds its page, and gives the position of the next one (0
    // for none, or where the file ends first).
    uint64_t readDirectory(uint64_t at, std::vector<ChainPage>& sizes) {
        const uint64_t countSize = wordSize_ == 8 ? 8 : 2;
        const uint64_t entrySize = wordSize_ == 8 ? 20 : 12;
        if (at > file_.size() || file_.size() - at < countSize) {
            return 0;
        }
        file_.seek(at);
        const uint64_t count = number(static_cast<unsigned>(countSize));
        const uint64_t room = file_.size() - at - countSize;
        if (room / entrySize < count) {
            return 0;
        }
        uint64_t subfileType = 0;
        uint64_t width = 0;
        uint64_t length = 0;
        for (uint64_t e = 0; e < std::min(count, kMostEntries); ++e) {
            const auto tag = static_cast<uint16_t>(number(2));
            const auto type = static_cast<uint16_t>(number(2));
            const bool single = number(wordSize_) == 1;
            const uint64_t field = value(type);
            subfileType = single && tag == tag::NewSubfileType ? field : subfileType;
            width = single && tag == tag::ImageWidth ? field : width;
            length = single && tag == tag::ImageLength ? field : length;
        }
        if ((subfileType & kTransparencyMask) == 0 && width > 0 && width <= UINT32_MAX &&
            length > 0 && length <= UINT32_MAX) {
            sizes.push_back({{static_cast<uint32_t>(width), static_cast<uint32_t>(length)},
                             (subfileType & kReducedImage) != 0});
        }
        if (room - count * entrySize < wordSize_) {
            return 0;
        }
        file_.seek(at + countSize + count * entrySize);
        return number(wordSize_);
    }

    // The single SHORT, LONG or LONG8 in an entry's value field, which the field's first
    // bytes hold; 0 for another type.
    uint64_t value(uint16_t type) {
        const unsigned size = type == 3 ? 2 : type == 4 ? 4 : type == 16 ? 8 : 0;
        const uint64_t found = size <= wordSize_ ? number(size) : 0;
        for (unsigned i = size <= wordSize_ ? size : 0; i < wordSize_; ++i) {
            static_cast<void>(file_.readByte());
        }
        return found;
    }

    uint64_t number(unsigned size) {
        uint64_t result = 0;
        for (unsigned i = 0; i < size; ++i) {
            const uint64_t byte = file_.readByte();
            result = bigEndian_ ? result << 8 | byte : result | byte << (8 * i);
        }
        return result;
    }

    InputFile& file_;
    bool bigEndian_ = false;
    unsigned wordSize_ = 4;
};

}  // namespace

std::vector<ChainPage> readPageChain(InputFile& file) {
    std::vector<ChainPage> pages = PageWalk(file).pages();
    file.close();
    return pages;
}
