#include "tiff/PageChain.h"

#include "tiff/DirectoryTags.h"
#include "tiff/InputFile.h"
#include "tiff/TiffDirectory.h"

namespace {

constexpr uint64_t kReducedImage = 1;  // NewSubfileType bits
constexpr uint64_t kTransparencyMask = 4;

// The single unsigned integer of an entry; 0 for another type or count.
uint64_t single(TiffDirectory& directory, const TiffEntry& entry) {
    const std::vector<uint64_t> value = directory.integers(entry, 1);
    return entry.count == 1 && !value.empty() ? value.front() : 0;
}

// Adds the page of a directory of the chain, as far as the file holds its entries.
void addPage(TiffDirectory& directory, const WalkedDirectory& walked,
             std::vector<ChainPage>& pages) {
    uint64_t subfileType = 0;
    uint64_t width = 0;
    uint64_t length = 0;
    for (const TiffEntry& entry : walked.entries) {
        const uint64_t field = single(directory, entry);
        subfileType = entry.tag == tag::NewSubfileType ? field : subfileType;
        width = entry.tag == tag::ImageWidth ? field : width;
        length = entry.tag == tag::ImageLength ? field : length;
    }
    if ((subfileType & kTransparencyMask) == 0 && width > 0 && width <= UINT32_MAX && length > 0 &&
        length <= UINT32_MAX) {
        pages.push_back({{static_cast<uint32_t>(width), static_cast<uint32_t>(length)},
                         (subfileType & kReducedImage) != 0});
    }
}

}  // namespace

// Nothing in the file is trusted: the header must name a byte order and a version, and the
// walk checks every position.
std::vector<ChainPage> readPageChain(InputFile& file) {
    std::vector<ChainPage> pages;
    file.rewind();
    const uint8_t order = file.readByte();
    const uint8_t sameOrder = file.readByte();
    const uint8_t first = file.readByte();
    const TiffHeader header = TiffHeader::of(order, sameOrder, first, file.readByte());
    if (file.size() >= 16 && header.tiff) {
        TiffDirectory directory(file, file.size(), header.bigEndian, header.bigTiff);
        directory.walk(directory.firstDirectory(), false,
                       [&](const WalkedDirectory& walked) { addPage(directory, walked, pages); });
    }
    file.close();
    return pages;
}
