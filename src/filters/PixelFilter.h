#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "filters/InkCloud.h"

// The colour filters. Each works in place on the raster's rows, row by row and column by
// column, and visits only the image's rows 0 to height - 1. Each counts what it did as it
// goes, where the count costs next to nothing, for the summary of a run.
class PixelFilter {
  public:
    static constexpr uint32_t kRemoved = 0xFFFFFFFF;
    static constexpr uint32_t kWhite = 0xFFFFFF;
    static constexpr uint32_t kBlack = 0;
    static constexpr size_t kKeys = 10;

    // Option 1: pixels equal to none of the keys get the replacement word. Returns, for each
    // key, the pixels that stay because they equal it (a key given twice counts them at both
    // places; a key equal to the replacement word keeps nothing).
    std::array<uint64_t, kKeys> keepColours(uint32_t* const* rows, uint32_t key1, uint32_t key2,
                                            uint32_t key3, uint32_t key4, uint32_t key5,
                                            uint32_t key6, uint32_t key7, uint32_t key8,
                                            uint32_t key9, uint32_t key10, uint32_t replacement,
                                            int32_t width, int32_t height);

    // Option 1 with a reach (the command line's --fuzz and --fit): pixels whose colour no
    // cloud holds get the replacement word. Returns, for each cloud (kKeys at most), the
    // pixels that stay with it: those lying deeper in it than in any other (in the first of
    // equals).
    std::vector<uint64_t> keepNear(uint32_t* const* rows, const std::vector<InkCloud>& clouds,
                                   uint32_t replacement, int32_t width, int32_t height);

    // Option 2: pixels whose word lies in [low, high], compared unsigned, get the replacement.
    // Returns how many did.
    uint64_t removeBand(uint32_t* const* rows, uint32_t low, uint32_t high, uint32_t replacement,
                        int32_t width, int32_t height);

    // Option 3: coloured pixels away from the edges grow into black 3 x 3 squares, lone ones
    // vanish, the edges keep what is not white as black, and the rest turns white. Needs
    // nine bytes of memory of its own per column (std::bad_alloc when there are none).
    // Returns how many pixels are black afterwards.
    uint64_t cleanUpContours(uint32_t* const* rows, int32_t width, int32_t height);

    // Option 4: reddish pixels get red 80. Returns how many did.
    uint64_t dampRedCast(uint32_t* const* rows, int32_t width, int32_t height);
};
