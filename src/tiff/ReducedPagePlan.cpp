#include "tiff/ReducedPagePlan.h"

#include <algorithm>

#include "tiff/ImageKind.h"

namespace {

constexpr uint64_t kHeaderSize = 8;
constexpr uint32_t kReducedImage = 1;  // NewSubfileType bits
constexpr uint32_t kTransparencyMask = 4;
// The most pages of the chain that are taken for reduced-resolution ones: GDAL writes a few
// dozen at most. Those after them are copied unchanged as further images.
constexpr uint32_t kMostPages = 1 + 64;

// A missing tag takes TIFF's default.
bool pageHoldsRgb(TiffDirectory& directory, const DirectoryTags& tags) {
    std::vector<uint32_t> bits;
    std::vector<uint32_t> formats{ImageKind::kUnsigned};
    return tags.bitsPerSample && directory.values(*tags.bitsPerSample, bits) && bits.size() == 3 &&
           firstOtherThan(bits, 8) == 8 &&
           (!tags.sampleFormat || directory.values(*tags.sampleFormat, formats)) &&
           firstOtherThan(formats, ImageKind::kUnsigned) == ImageKind::kUnsigned &&
           valueOr(tags.compression, ImageKind::kUncompressed) == ImageKind::kUncompressed &&
           valueOr(tags.samplesPerPixel, 1) == 3 &&
           valueOr(tags.photometric, 0) == ImageKind::kRgb &&
           valueOr(tags.planarConfiguration, 1) == 1;
}

}  // namespace

bool ReducedPagePlan::read(TiffDirectory& directory, uint64_t firstDirectory, uint64_t fileSize) {
    fileSize_ = fileSize;
    kept_.assign(1, FilePart{0, kHeaderSize, FilePart::Kind::Header});
    return directory.walk(firstDirectory, true, [this, &directory](const WalkedDirectory& found) {
        take(directory, found);
    });
}

// A directory, its values and, for a page, its image data stay where they stand, but for the
// pages that are rebuilt. A page whose directory is cut short ends the chain.
void ReducedPagePlan::take(TiffDirectory& directory, const WalkedDirectory& walked) {
    if (!walked.whole) {
        others_ = others_ || walked.under == 0;
        return;
    }
    kept_.push_back({walked.at, walked.at + walked.size, FilePart::Kind::Directory, walked.page, 0,
                     walked.under});
    DirectoryTags tags;
    for (const TiffEntry& entry : walked.entries) {
        const DirEntry classic = TiffDirectory::classicEntry(entry);
        tags.take(classic);
        noteValues(classic, walked.page, walked.under);
    }
    if (walked.under == tag::SubIfds) {
        notePageData(directory, walked.page, tags, walked.under);
        noteSubIfdPage(walked.page, tags);
    } else if (walked.under == 0 && walked.page > 1) {
        takePage(directory, walked.page, tags);
    }
}

// The reduced-resolution pages under the filtered image's SubIFDs are not rebuilt, but their
// levels are named in the command that rebuilds them.
void ReducedPagePlan::noteSubIfdPage(uint32_t page, const DirectoryTags& tags) {
    const uint32_t subfileType = valueOr(tags.subfileType, 0);
    const PageSize size{valueOr(tags.imageWidth, 0), valueOr(tags.imageLength, 0)};
    if (page == 1 && (subfileType & kReducedImage) != 0 && (subfileType & kTransparencyMask) == 0 &&
        size.width > 0 && size.length > 0) {
        subIfdSizes_.push_back(size);
    }
}

void ReducedPagePlan::takePage(TiffDirectory& directory, uint32_t page, const DirectoryTags& tags) {
    const uint32_t subfileType = valueOr(tags.subfileType, 0);
    if ((subfileType & kReducedImage) == 0 || (subfileType & kTransparencyMask) != 0 ||
        page > kMostPages) {
        others_ = true;
        notePageData(directory, page, tags, 0);
        return;
    }
    const PageSize size{valueOr(tags.imageWidth, 0), valueOr(tags.imageLength, 0)};
    if (size.width > 0 && size.length > 0) {
        reducedSizes_.push_back(size);
    }
    if (std::optional<ReducedPage> candidate = rebuildablePage(directory, page, tags)) {
        pages_.push_back(std::move(*candidate));
    } else {
        stale_ = true;
        notePageData(directory, page, tags, 0);
    }
}

std::optional<ReducedPage> ReducedPagePlan::rebuildablePage(TiffDirectory& directory,
                                                            uint32_t number,
                                                            const DirectoryTags& tags) const {
    const bool tiled = tags.tileOffsets.has_value();
    const std::optional<DirEntry>& offsets = tiled ? tags.tileOffsets : tags.stripOffsets;
    const std::optional<DirEntry>& counts =
        tags.tileByteCounts ? tags.tileByteCounts : tags.stripByteCounts;
    ReducedPage page;
    page.page = number;
    page.width = valueOr(tags.imageWidth, 0);
    page.length = valueOr(tags.imageLength, 0);
    if (!pageHoldsRgb(directory, tags) || page.width == 0 || page.length == 0 || !offsets ||
        !counts) {
        return std::nullopt;
    }
    page.blockWidth = tiled ? valueOr(tags.tileWidth, 0) : page.width;
    page.blockLength = tiled ? valueOr(tags.tileLength, 0)
                             : std::min(valueOr(tags.rowsPerStrip, UINT32_MAX), page.length);
    if (page.blockWidth == 0 || page.blockLength == 0) {
        return std::nullopt;
    }
    const uint64_t blocks = page.blocksAcross() * page.blocksDown();
    if (offsets->count() != blocks || counts->count() != blocks ||
        !directory.values(*offsets, page.offsets) || !directory.values(*counts, page.counts) ||
        !page.blocksFit(fileSize_)) {
        return std::nullopt;
    }
    return page;
}

void ReducedPagePlan::noteValues(const DirEntry& entry, uint32_t page, uint16_t under) {
    const uint64_t size = uint64_t{fieldTypeSize(entry.type())} * entry.count();
    if (size > 4) {
        kept_.push_back({entry.value(), entry.value() + size, FilePart::Kind::Values, page,
                         entry.tag(), under});
    }
}

// The strips or tiles of a page that is copied unchanged, as far as its tables can be read.
void ReducedPagePlan::notePageData(TiffDirectory& directory, uint32_t page,
                                   const DirectoryTags& tags, uint16_t under) {
    const std::optional<DirEntry>& offsets =
        tags.tileOffsets ? tags.tileOffsets : tags.stripOffsets;
    const std::optional<DirEntry>& counts =
        tags.tileByteCounts ? tags.tileByteCounts : tags.stripByteCounts;
    std::vector<uint32_t> at;
    std::vector<uint32_t> sizes;
    if (offsets && counts && directory.values(*offsets, at) && directory.values(*counts, sizes)) {
        for (size_t b = 0; b < std::min(at.size(), sizes.size()); ++b) {
            kept_.push_back(
                {at[b], uint64_t{at[b]} + sizes[b], FilePart::Kind::PageData, page, 0, under});
        }
    }
}

void ReducedPagePlan::copyUnchanged(const ReducedPage& page) {
    for (size_t b = 0; b < page.offsets.size(); ++b) {
        kept_.push_back({page.offsets[b], uint64_t{page.offsets[b]} + page.counts[b],
                         FilePart::Kind::PageData, page.page});
    }
    stale_ = true;
}

// The output is written in file order, so a page is rebuilt only where its blocks follow
// the first image's strips.
void ReducedPagePlan::keepAfter(uint64_t stripsEnd, bool hasRows) {
    std::vector<ReducedPage> rebuilt;
    for (ReducedPage& page : pages_) {
        if (hasRows && std::all_of(page.offsets.begin(), page.offsets.end(),
                                   [stripsEnd](uint32_t at) { return at >= stripsEnd; })) {
            rebuilt.push_back(std::move(page));
        } else {
            copyUnchanged(page);
        }
    }
    pages_ = std::move(rebuilt);
    blocks_.clear();
    for (uint32_t p = 0; p < pages_.size(); ++p) {
        for (uint32_t b = 0; b < pages_[p].offsets.size(); ++b) {
            blocks_.push_back({pages_[p].offsets[b], pages_[p].counts[b], p, b});
        }
    }
    std::sort(blocks_.begin(), blocks_.end(),
              [](const ReducedBlock& a, const ReducedBlock& b) { return a.offset < b.offset; });
}

void ReducedPagePlan::copyAllUnchanged() {
    std::for_each(pages_.begin(), pages_.end(),
                  [this](const ReducedPage& page) { copyUnchanged(page); });
    pages_.clear();
    blocks_.clear();
}

void ReducedPagePlan::sampleFrom(PageSize full) {
    for (ReducedPage& page : pages_) {
        page.sampleFrom(reducedSizes_, full);
    }
}

const std::vector<FilePart>& ReducedPagePlan::kept() {
    std::stable_sort(kept_.begin(), kept_.end(),
                     [](const FilePart& a, const FilePart& b) { return a.begin < b.begin; });
    return kept_;
}

std::vector<PageSize> ReducedPagePlan::levelSizes() const {
    std::vector<PageSize> sizes = reducedSizes_;
    sizes.insert(sizes.end(), subIfdSizes_.begin(), subIfdSizes_.end());
    return sizes;
}
