#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

// How often each colour occurs in an image, for choosing the colours a filter keeps or
// removes. One count per possible colour (64 MiB) costs the same for every image and needs
// no sorting of pixels.
class ColourCensus {
  public:
    struct Share {
        uint32_t colour{};  // 0x00RRGGBB
        uint32_t pixels{};
    };

    // rows as the raster holds them: height rows of width words 0x00RRGGBB.
    ColourCensus(uint32_t* const* rows, uint32_t width, uint32_t height);

    // The top commonest colours, commonest first (of equally common ones the lower word
    // first), and how many colours occur at all.
    struct Summary {
        std::vector<Share> commonest;
        uint32_t distinct{};
    };
    Summary summary(uint32_t top) const;

    // One line per colour: RRGGBB, the pixel count and the share in per cent (after a swatch
    // of the colour when asked for), then the number of distinct colours.
    void print(std::ostream& out, uint32_t top, bool swatches) const;

  private:
    void countRow(const uint32_t* row, uint32_t width);
    static uint32_t keep(std::vector<Share>& kept, Share share, uint32_t top);

    std::unique_ptr<uint32_t[]> counts_;
    uint64_t pixels_{};
};
