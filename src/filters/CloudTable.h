#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "filters/ColourTable.h"
#include "filters/InkCloud.h"

// For each of the 2^24 colours, which of the clouds (15 at most) it counts for, or none: the cloud
// it lies deepest in, the first of equals. Four bits a colour (8 MiB), decided once for each colour
// of the clouds, so that a pass over the pixels both keeps and counts a pixel with one load. Its
// words are 32 bits wide, which vector units load eight at a time.
class CloudTable {
  public:
    // std::bad_alloc without the memory.
    explicit CloudTable(const std::vector<InkCloud>& clouds);

    // Colour c's cloud plus 1, or 0, is bits 4 * (c % 8) to 4 * (c % 8) + 3 of word c / 8.
    const uint32_t* words() const { return words_.get(); }

  private:
    uint32_t ownerOf(uint32_t colour) const {
        return words_[colour >> 3] >> ((colour & 7) * 4) & 15;
    }
    void claim(uint32_t colour, const std::vector<InkCloud>& clouds, uint32_t cloud);

    std::unique_ptr<uint32_t[]> words_;
};
