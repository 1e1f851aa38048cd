#include "tiff/ReducedPages.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "tiff/TifFile.h"
#include "tiff/TiffDirectory.h"

// GIS writers add reduced-resolution copies of the image (overviews) as further pages, so
// that a viewer draws the sheet quickly when zoomed out. Copied unchanged, they would still
// show the old colours, so those of the kind the first image is are rebuilt from the
// filtered raster, pixel for pixel as GDAL 3.6's gdaladdo rebuilds them by nearest sampling
// with its levels in increasing order:
// - the pages are taken largest first, and each is sampled from the page before it when
//   that one is wider, else from the full image;
// - pixel i of a page n pixels wide takes pixel floor(0.5 + i * (m / n)) of its source m
//   pixels wide, the ratio in double precision, and rows likewise.
// For a whole ratio that is the top-left pixel of the block a pixel stands for. Nearest
// sampling only selects, so the chain composes into one map of columns and one of rows into
// the raster for each page, and no level is ever held. Pages that are not rebuilt
// (compressed, damaged) stand in the chain all the same, as gdaladdo rebuilds them too: only
// their sizes count.

namespace {

// The pixel of a source `from` pixels wide that pixel i of a level `to` pixels wide takes.
// The half is added in double arithmetic, as GDAL adds it, not rounded exactly (lround):
// where the sum rounds up to a whole number, the two differ.
uint32_t nearest(uint32_t i, uint32_t from, uint32_t to) {
    const double ratio = static_cast<double>(from) / static_cast<double>(to);
    return std::min(from - 1, static_cast<uint32_t>(std::floor(0.5 + i * ratio)));
}

// Along one axis (size), the raster's pixel for each pixel of path's first level, through
// the levels it is sampled from down to the full image.
std::vector<uint32_t> sampled(const std::vector<PageSize>& path, uint32_t PageSize::*size) {
    std::vector<uint32_t> indices(path.front().*size);
    for (size_t i = 0; i < indices.size(); ++i) {
        auto at = static_cast<uint32_t>(i);
        for (size_t s = 1; s < path.size(); ++s) {
            at = nearest(at, path[s].*size, path[s - 1].*size);
        }
        indices[i] = at;
    }
    return indices;
}

uint64_t ceilDiv(uint64_t a, uint64_t b) {
    return (a + b - 1) / b;
}

}  // namespace

bool ReducedPage::blocksFit(uint64_t fileSize) const {
    for (size_t i = 0; i < offsets.size(); ++i) {
        uint64_t firstRow = i / blocksAcross() * blockLength;
        uint64_t rows = std::min<uint64_t>(blockLength, length - firstRow);
        // Divided rather than multiplied: rows times blockWidth may pass 64 bits.
        if (counts[i] / 3 / blockWidth < rows || uint64_t{offsets[i]} + counts[i] > fileSize) {
            return false;
        }
    }
    return true;
}

void ReducedPage::sampleFrom(std::vector<PageSize> chain, PageSize full) {
    std::stable_sort(chain.begin(), chain.end(), [](PageSize a, PageSize b) {
        return std::pair(a.width, a.length) > std::pair(b.width, b.length);
    });
    auto at = std::find_if(chain.begin(), chain.end(), [this](PageSize size) {
        return size.width == width && size.length == length;
    });
    std::vector<PageSize> path{{width, length}};
    for (; at != chain.end() && at != chain.begin() && std::prev(at)->width > at->width; --at) {
        path.push_back(*std::prev(at));
    }
    path.push_back(full);
    sourceColumns = sampled(path, &PageSize::width);
    sourceRows = sampled(path, &PageSize::length);
}

// The smallest level whose page has both sides of this size; else GDAL's own guess, the
// rounded ratio of the width (of the length for an image far taller than wide).
uint64_t overviewLevel(PageSize page, PageSize full) {
    if (page.width == 0 || page.length == 0) {
        return 0;
    }
    const uint64_t level =
        std::max(ceilDiv(full.width, page.width), ceilDiv(full.length, page.length));
    if (ceilDiv(full.width, level) == page.width && ceilDiv(full.length, level) == page.length) {
        return level;
    }
    return full.width >= full.length / 2 ? (uint64_t{full.width} + page.width / 2) / page.width
                                         : (uint64_t{full.length} + page.length / 2) / page.length;
}

// Every directory of the file, the first image's included, for the parts of the file they
// take up; the pages after the first are sorted into those rebuilt and those copied
// unchanged, as any further image is.
void TifFile::readFurtherPages() {
    openInput();
    TiffDirectory directory(input, fileSize_, false, false);
    const bool complete = plan_.read(directory, idf_offset, fileSize_);
    checkInputIntact();
    input.close();
    if (!complete) {
        fail("The file's directories name more directories and tables than its " +
             std::to_string(fileSize_) +
             " bytes can hold apart, so what the output keeps cannot all be checked");
    }
    if (plan_.others()) {
        console_.warningLine(
            "The file holds further images after this one; only this one is filtered, and the "
            "others are copied unchanged");
    }
}

// The strips of the first image in file order, then the blocks of the rebuilt pages, which
// all lie after the last strip: the rewritten parts, in order of position.
FilePart TifFile::rewrittenPart(size_t k) const {
    if (k < fileOrder_.size()) {
        const int32_t strip = fileOrder_[k];
        return {stripOffset(strip), uint64_t{stripOffset(strip)} + stripByteCount(strip),
                FilePart::Kind::Strip, 1, static_cast<uint32_t>(strip)};
    }
    const ReducedBlock& block = plan_.blocks()[k - fileOrder_.size()];
    return {block.offset, block.offset + block.count, FilePart::Kind::Block,
            plan_.pages()[block.page].page};
}

std::optional<std::pair<FilePart, FilePart>> TifFile::firstOverlap() {
    return ::firstOverlap(plan_.kept(), fileOrder_.size() + plan_.blocks().size(),
                          [this](size_t k) { return rewrittenPart(k); });
}

// The output is written in file order, so a page is rebuilt only where its blocks follow
// the first image's strips. A block over any other part of the file is a damaged page, and
// then no page is rebuilt; a strip over another part ends the run before anything is
// written.
void TifFile::settleReducedPages() {
    const uint64_t stripsEnd = fileOrder_.empty() ? fileSize_
                                                  : uint64_t{stripOffset(fileOrder_.back())} +
                                                        stripByteCount(fileOrder_.back());
    plan_.keepAfter(stripsEnd, ImageLength > 0);
    std::optional<std::pair<FilePart, FilePart>> overlap = firstOverlap();
    if (overlap && overlap->first.kind == FilePart::Kind::Block) {
        plan_.copyAllUnchanged();
        overlap = firstOverlap();
    }
    if (overlap) {
        refuseOverlap(overlap->first, overlap->second);
    }
    plan_.sampleFrom({ImageWidth, ImageLength});
    reportReducedPages();
    reportExternalOverviews();
}

void TifFile::refuseOverlap(const FilePart& strip, const FilePart& other) {
    if (other.kind == FilePart::Kind::Strip) {
        fail("Strips " + std::to_string(strip.number) + " and " + std::to_string(other.number) +
             " overlap in the file");
    }
    fail("Strip " + std::to_string(strip.number) + " " + strip.bytes() + " overlaps " +
         other.name());
}

std::vector<uint64_t> overviewLevels(const std::vector<PageSize>& pages, PageSize full) {
    std::vector<uint64_t> levels(pages.size());
    std::transform(pages.begin(), pages.end(), levels.begin(),
                   [full](PageSize page) { return overviewLevel(page, full); });
    std::sort(levels.begin(), levels.end());
    levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
    std::erase_if(levels, [](uint64_t level) { return level < 2; });
    return levels;
}

std::vector<uint64_t> TifFile::overviewLevels(const std::vector<PageSize>& pages) const {
    return ::overviewLevels(pages, {ImageWidth, ImageLength});
}

// The pages left to rebuild are given with every level of the file, so that they are
// sampled each from the same page before it as the rebuilt pages were.
void TifFile::reportReducedPages() {
    for (const ReducedPage& page : plan_.pages()) {
        console_.line("The reduced-resolution page of " + std::to_string(page.width) + " x " +
                      std::to_string(page.length) + " pixels is rebuilt from the filtered image");
    }
    toRebuild_.copied = plan_.stale() || tags_.subIfds;
    toRebuild_.underSubIfds = tags_.subIfds;
    toRebuild_.levels = overviewLevels(plan_.levelSizes());
}

// Each rebuilt block takes its pixels from the filtered raster; bytes of the block that
// hold no page pixel (the padding of edge tiles) are copied as they are.
void TifFile::writeReducedBlock(const ReducedBlock& block, const uint32_t* const* rows) {
    const ReducedPage& page = plan_.pages()[block.page];
    const uint64_t x0 = block.index % page.blocksAcross() * page.blockWidth;
    const uint64_t y0 = block.index / page.blocksAcross() * page.blockLength;
    const uint64_t inside = std::min<uint64_t>(page.blockWidth, page.width - x0);
    const uint64_t rowCount = std::min<uint64_t>(page.blockLength, page.length - y0);
    uint64_t at = block.offset;
    for (uint64_t y = y0; y < y0 + rowCount; ++y) {
        const uint32_t* row = rows[page.sourceRows[y]];
        for (uint64_t x = x0; x < x0 + inside; ++x) {
            uint32_t pixel = row[page.sourceColumns[x]];
            for (int shift : {16, 8, 0}) {
                output.writeByte(static_cast<uint8_t>(pixel >> shift));
            }
        }
        at += inside * 3;
        copyInput(at, at + (page.blockWidth - inside) * 3);
        at += (page.blockWidth - inside) * 3;
    }
    copyInput(at, block.offset + block.count);
}
