#include "app/ColourCensus.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace {

constexpr uint32_t kColours = uint32_t{1} << 24;

bool commoner(const ColourCensus::Share& a, const ColourCensus::Share& b) {
    return a.pixels != b.pixels ? a.pixels > b.pixels : a.colour < b.colour;
}

// A 24-bit colour swatch of two blanks, for terminals that show such colours.
std::string swatch(uint32_t colour) {
    return "\x1b[48;2;" + std::to_string(colour >> 16 & 0xFF) + ";" +
           std::to_string(colour >> 8 & 0xFF) + ";" + std::to_string(colour & 0xFF) + "m  \x1b[0m ";
}

}  // namespace

// The caller keeps the image below 2^32 pixels, so no count can overflow.
ColourCensus::ColourCensus(uint32_t* const* rows, uint32_t width, uint32_t height)
    : counts_(kColours), pixels_(uint64_t{width} * height) {
    for (uint32_t r = 0; r < height; ++r) {
        const uint32_t* row = rows[r];
        for (uint32_t c = 0; c < width; ++c) {
            ++counts_[row[c] & (kColours - 1)];
        }
    }
    distinct_ = static_cast<uint32_t>(
        kColours - static_cast<uint32_t>(std::count(counts_.begin(), counts_.end(), 0U)));
}

// A heap of the top commonest seen so far, its least common on top, keeps the memory to the
// number of lines asked for.
std::vector<ColourCensus::Share> ColourCensus::commonest(uint32_t top) const {
    std::vector<Share> kept;
    top = std::min(top, distinct_);
    kept.reserve(top);
    for (uint32_t colour = 0; colour < kColours && top > 0; ++colour) {
        Share share{colour, counts_[colour]};
        if (share.pixels == 0) {
            continue;
        }
        if (kept.size() < top) {
            kept.push_back(share);
            std::push_heap(kept.begin(), kept.end(), commoner);
        } else if (commoner(share, kept.front())) {
            std::pop_heap(kept.begin(), kept.end(), commoner);
            kept.back() = share;
            std::push_heap(kept.begin(), kept.end(), commoner);
        }
    }
    std::sort_heap(kept.begin(), kept.end(), commoner);
    return kept;
}

void ColourCensus::print(std::ostream& out, uint32_t top, bool swatches) const {
    const int countWidth = static_cast<int>(std::to_string(pixels_).size());
    for (const Share& share : commonest(top)) {
        std::array<char, 64> line{};
        std::snprintf(line.data(), line.size(), "%06x  %*u  %6.2f %%\n", share.colour,
                      countWidth, share.pixels, 100.0 * share.pixels / static_cast<double>(pixels_));
        out << (swatches ? swatch(share.colour) : "") << line.data();
    }
    out << distinct_ << (distinct_ == 1 ? " distinct colour\n" : " distinct colours\n")
        << std::flush;
}
