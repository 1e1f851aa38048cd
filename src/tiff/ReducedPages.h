#pragma once

#include <cstdint>
#include <vector>

#include "tiff/DirEntry.h"

// A reduced-resolution page (an overview) that is rebuilt from the filtered image: its size
// and the blocks, strips or tiles, that hold its pixels. A strip is a block as wide as the
// page.
struct ReducedPage {
    uint32_t width = 0;
    uint32_t length = 0;
    uint32_t blockWidth = 0;
    uint32_t blockLength = 0;
    std::vector<uint32_t> offsets;
    std::vector<uint32_t> counts;

    uint64_t blocksAcross() const { return (uint64_t{width} + blockWidth - 1) / blockWidth; }
    uint64_t blocksDown() const { return (uint64_t{length} + blockLength - 1) / blockLength; }
    // Whether every block lies inside a file of fileSize bytes and holds its pixels.
    bool blocksFit(uint64_t fileSize) const;
};

// One block of a rebuilt page, for the copy in file order.
struct ReducedBlock {
    uint64_t offset = 0;
    uint64_t count = 0;
    uint32_t page = 0;
    uint32_t index = 0;
};
