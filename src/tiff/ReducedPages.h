#pragma once

#include <cstdint>
#include <vector>

#include "tiff/DirEntry.h"

// The size of a reduced-resolution page, in pixels.
struct PageSize {
    uint32_t width{};
    uint32_t length{};
};

// A reduced-resolution page (an overview) that is rebuilt from the filtered image: its size
// and the blocks, strips or tiles, that hold its pixels. A strip is a block as wide as the
// page.
struct ReducedPage {
    uint32_t page{};  // its place in the file's chain of directories, from 1
    uint32_t width{};
    uint32_t length{};
    uint32_t blockWidth{};
    uint32_t blockLength{};
    std::vector<uint32_t> offsets;
    std::vector<uint32_t> counts;
    // The raster's column for each column of the page, and its row for each row.
    std::vector<uint32_t> sourceColumns;
    std::vector<uint32_t> sourceRows;

    uint64_t blocksAcross() const { return (uint64_t{width} + blockWidth - 1) / blockWidth; }
    uint64_t blocksDown() const { return (uint64_t{length} + blockLength - 1) / blockLength; }
    // Whether every block lies inside a file of fileSize bytes and holds its pixels.
    bool blocksFit(uint64_t fileSize) const;
    // Fills sourceColumns and sourceRows from the sizes of every reduced-resolution page of the
    // file and of the full image.
    void sampleFrom(std::vector<PageSize> chain, PageSize full);
};

// One block of a rebuilt page, for the copy in file order.
struct ReducedBlock {
    uint64_t offset{};
    uint64_t count{};
    uint32_t page{};
    uint32_t index{};
};

// The reduction factor that gdaladdo takes to make a page of this size from the full image.
uint64_t overviewLevel(PageSize page, PageSize full);
// The levels of the pages, for gdaladdo: whole, above 1, each once and in increasing order,
// which is the order in which gdaladdo samples each page from the one before.
std::vector<uint64_t> overviewLevels(const std::vector<PageSize>& pages, PageSize full);
