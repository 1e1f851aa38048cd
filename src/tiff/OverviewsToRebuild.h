#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The input's reduced-resolution pages that the output does not hold rebuilt from the
// filtered image, for the warning that says how to rebuild them.
struct OverviewsToRebuild {
    // Pages of the file copied unchanged (compressed, of another kind or damaged), and whether
    // some lie under SubIFDs; the levels of every reduced-resolution page of the file.
    bool copied = false;
    bool underSubIfds = false;
    std::vector<uint64_t> levels;
    // The file of overviews beside the input, which the output does not get, and its levels;
    // empty where there is none or the run writes nothing.
    std::string besideFile;
    std::vector<uint64_t> besideLevels;
};
