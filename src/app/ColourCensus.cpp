#include "app/ColourCensus.h"

#include <algorithm>
#include <iomanip>
#include <sstream>
#include <string>

#include "platform/Platform.h"

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

// The caller keeps the image below 2^32 pixels, so no count can overflow. Maps hold long
// runs of one colour, and adding a run at a time spares the table most of its updates,
// which would each wait for the one before on the same count.
ColourCensus::ColourCensus(uint32_t* const* rows, uint32_t width, uint32_t height)
    : counts_(std::make_unique_for_overwrite<uint32_t[]>(kColours)),
      pixels_(uint64_t{width} * height) {
    platform::preferLargePages(counts_.get(), kColours * sizeof(uint32_t));
    std::fill(counts_.get(), counts_.get() + kColours, 0U);
    for (uint32_t r = 0; r < height; ++r) {
        countRow(rows[r], width);
    }
}

void ColourCensus::countRow(const uint32_t* row, uint32_t width) {
    uint32_t colour = row[0];
    uint32_t run = 0;
    for (uint32_t c = 0; c < width; ++c) {
        if (row[c] != colour) {
            counts_[colour & (kColours - 1)] += run;
            colour = row[c];
            run = 0;
        }
        ++run;
    }
    counts_[colour & (kColours - 1)] += run;
}

// A heap of the top commonest seen so far, its least common on top, keeps the memory to the
// number of lines asked for. Colours come in rising order, so a colour as common as the
// least common one kept comes after it: only a larger count earns a place.
ColourCensus::Summary ColourCensus::summary(uint32_t top) const {
    Summary found;
    const uint32_t* counts = counts_.get();
    uint32_t distinct = 0;
    uint32_t enough = top == 0 ? UINT32_MAX : 0;
    for (uint32_t colour = 0; colour < kColours; ++colour) {
        distinct += counts[colour] != 0 ? 1 : 0;
        if (counts[colour] > enough) {
            enough = keep(found.commonest, {colour, counts[colour]}, top);
        }
    }
    found.distinct = distinct;
    std::sort_heap(found.commonest.begin(), found.commonest.end(), commoner);
    return found;
}

// Returns the count a further colour must exceed: any, until the heap is full.
uint32_t ColourCensus::keep(std::vector<Share>& kept, Share share, uint32_t top) {
    if (kept.size() == top) {
        std::pop_heap(kept.begin(), kept.end(), commoner);
        kept.pop_back();
    }
    kept.push_back(share);
    std::push_heap(kept.begin(), kept.end(), commoner);
    return kept.size() == top ? kept.front().pixels : 0;
}

void ColourCensus::print(std::ostream& out, uint32_t top, bool swatches) const {
    const int countWidth = static_cast<int>(std::to_string(pixels_).size());
    Summary found = summary(top);
    for (const Share& share : found.commonest) {
        std::ostringstream line;
        line << std::hex << std::setfill('0') << std::setw(6) << share.colour << std::dec
             << std::setfill(' ') << "  " << std::setw(countWidth) << share.pixels << "  "
             << std::fixed << std::setprecision(2) << std::setw(6)
             << 100.0 * share.pixels / static_cast<double>(pixels_) << " %\n";
        out << (swatches ? swatch(share.colour) : "") << line.str();
    }
    out << found.distinct << (found.distinct == 1 ? " distinct colour\n" : " distinct colours\n")
        << std::flush;
}
