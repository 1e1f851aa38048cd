#pragma once

#include <bit>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "filters/ColourTable.h"

// How often each colour occurs in an image, for choosing the colours a filter keeps or
// removes. One count per possible colour (64 MiB) costs the same for every image, needs no
// sorting of pixels and takes the pixels in any blocks, so that no image need be held whole.
// A census of only the colours a table holds keeps one count for each of them, found by the
// colour's rank among them, and so is as small as they are few.
class ColourCensus {
  public:
    struct Share {
        uint32_t colour{};  // 0x00RRGGBB
        uint32_t pixels{};
    };

    // Every count 0; std::bad_alloc without the memory.
    ColourCensus();
    // Of the colours the table holds only, which must outlive the census.
    explicit ColourCensus(const ColourTable& among);
    // count words 0x00RRGGBB. The caller keeps the pixels of all counts below 2^32.
    void count(const uint32_t* pixels, size_t count);
    uint64_t pixels() const { return pixels_; }
    uint32_t pixelsOf(uint32_t colour) const {
        return among_ == nullptr || among_->holds(colour) ? counts_[at(colour)] : 0;
    }

    // The top commonest colours, commonest first (of equally common ones the lower word
    // first), and how many colours occur at all.
    struct Summary {
        std::vector<Share> commonest;
        uint32_t distinct{};
    };
    // Only the colours among those a table holds, when given one.
    Summary summary(uint32_t top, const ColourTable* among = nullptr) const;
    // Every colour that occurs, lowest word first.
    std::vector<Share> present() const;

    // One line per colour: RRGGBB, the pixel count and the share in per cent (after a swatch
    // of the colour when asked for), then the number of distinct colours.
    void print(std::ostream& out, uint32_t top, bool swatches) const;
    // One line's colour, count and share, without its end.
    std::string shareLine(uint32_t colour, uint64_t pixels, bool swatches) const;
    static std::string distinctLine(uint32_t distinct);

  private:
    // Where a colour's count lies; for a census of a table's colours, one the table holds.
    uint32_t at(uint32_t colour) const {
        const uint32_t word = (colour & (ColourTable::kColours - 1)) >> 5;
        return among_ == nullptr
                   ? colour & (ColourTable::kColours - 1)
                   : ranks_[word] +
                         static_cast<uint32_t>(std::popcount(among_->words()[word] &
                                                             ((uint32_t{1} << (colour & 31)) - 1)));
    }
    static uint32_t keep(std::vector<Share>& kept, Share share, uint32_t top);
    void countRuns(const uint32_t* pixels, size_t count);

    const ColourTable* among_ = nullptr;
    // For each word of the table, how many colours the words before it hold.
    std::vector<uint32_t> ranks_;
    std::unique_ptr<uint32_t[]> counts_;
    uint64_t pixels_{};
};
