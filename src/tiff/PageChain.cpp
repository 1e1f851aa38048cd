#include "tiff/PageChain.h"

#include <algorithm>

#include "tiff/DirectoryTags.h"
#include "tiff/InputFile.h"
#include "tiff/TiffDirectory.h"

namespace {

constexpr uint32_t kMostDirectories = 64;
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
        if (version != 42 && version != 43) {
            return sizes;
        }
        TiffDirectory directory(file_, file_.size(), bigEndian_, version == 43);
        std::vector<uint64_t> seen;
        uint64_t at = directory.firstDirectory();
        while (at != 0 && seen.size() < kMostDirectories &&
               std::find(seen.begin(), seen.end(), at) == seen.end()) {
            seen.push_back(at);
            at = addPage(directory, at, sizes);
        }
        return sizes;
    }

  private:
    // Reads the directory at at, adds its page, and gives the position of the next one (0
    // for none, or where the file ends first).
    static uint64_t addPage(TiffDirectory& directory, uint64_t at, std::vector<ChainPage>& sizes) {
        uint64_t next = 0;
        uint64_t subfileType = 0;
        uint64_t width = 0;
        uint64_t length = 0;
        for (const TiffEntry& entry : directory.readEntries(at, next)) {
            const uint64_t field = single(directory, entry);
            subfileType = entry.tag == tag::NewSubfileType ? field : subfileType;
            width = entry.tag == tag::ImageWidth ? field : width;
            length = entry.tag == tag::ImageLength ? field : length;
        }
        if ((subfileType & kTransparencyMask) == 0 && width > 0 && width <= UINT32_MAX &&
            length > 0 && length <= UINT32_MAX) {
            sizes.push_back({{static_cast<uint32_t>(width), static_cast<uint32_t>(length)},
                             (subfileType & kReducedImage) != 0});
        }
        return next;
    }

    // The single SHORT, LONG or LONG8 of an entry; 0 for another type or count.
    static uint64_t single(TiffDirectory& directory, const TiffEntry& entry) {
        if (entry.count != 1 || (entry.type != 3 && entry.type != 4 && entry.type != 16)) {
            return 0;
        }
        const std::vector<uint64_t> value = directory.elements(entry, 0, 1);
        return value.empty() ? 0 : value.front();
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
};

}  // namespace

std::vector<ChainPage> readPageChain(InputFile& file) {
    std::vector<ChainPage> pages = PageWalk(file).pages();
    file.close();
    return pages;
}
