#pragma once

#include <vector>

#include "tiff/ReducedPages.h"

class InputFile;

// One page of a TIFF's chain of directories: the size of its image, and whether it is a
// reduced-resolution copy of the first (an overview).
struct ChainPage {
    PageSize size;
    bool reduced = false;
};

// Every page of a TIFF of either byte order, classic or BigTIFF, in the order of its chain,
// but transparency masks and pages without a size.
std::vector<ChainPage> readPageChain(InputFile& file);
