#include "app/ColourCensus.h"

#include <algorithm>
#include <iomanip>
#include <sstream>
#include <string>

#include "platform/Platform.h"
#include "platform/VectorVersions.h"

namespace {

constexpr uint32_t kColours = uint32_t{1} << 24;
// Pixels looked at at once for a colour of the census's table.
constexpr size_t kBlock = 16;

VELSTRAM_VECTOR_VERSIONS bool holdsAny(const uint32_t* __restrict pixels, size_t count,
                                       const uint32_t* __restrict words) {
    uint32_t held = 0;
    for (size_t c = 0; c < count; ++c) {
        const uint32_t p = pixels[c];
        const auto at = static_cast<int32_t>(p & (kColours - 1));
        held |= words[at >> 5] >> (p & 31) & 1;
    }
    return held != 0;
}

bool commoner(const ColourCensus::Share& a, const ColourCensus::Share& b) {
    return a.pixels != b.pixels ? a.pixels > b.pixels : a.colour < b.colour;
}

// A 24-bit colour swatch of two blanks, for terminals that show such colours.
std::string swatch(uint32_t colour) {
    return "\x1b[48;2;" + std::to_string(colour >> 16 & 0xFF) + ";" +
           std::to_string(colour >> 8 & 0xFF) + ";" + std::to_string(colour & 0xFF) + "m  \x1b[0m ";
}

}  // namespace

// Maps hold long runs of one colour, and adding a run at a time spares the table most of its
// updates, which would each wait for the one before on the same count.
ColourCensus::ColourCensus() : counts_(std::make_unique_for_overwrite<uint32_t[]>(kColours)) {
    platform::preferLargePages(counts_.get(), kColours * sizeof(uint32_t));
    std::fill(counts_.get(), counts_.get() + kColours, 0U);
}

ColourCensus::ColourCensus(const ColourTable& among)
    : among_(&among), ranks_(ColourTable::kColours / 32) {
    uint32_t held = 0;
    for (size_t word = 0; word < ranks_.size(); ++word) {
        ranks_[word] = held;
        held += static_cast<uint32_t>(std::popcount(among.words()[word]));
    }
    counts_ = std::make_unique<uint32_t[]>(held);
}

// A census of a table's colours passes over the blocks that hold none of them at the cost of
// a few vector instructions; in the others, as in a census of every colour, each run of one
// colour is added at once.
void ColourCensus::count(const uint32_t* pixels, size_t count) {
    pixels_ += count;
    if (among_ == nullptr) {
        countRuns(pixels, count);
        return;
    }
    for (size_t block = 0; block < count; block += kBlock) {
        const size_t length = std::min(kBlock, count - block);
        if (holdsAny(pixels + block, length, among_->words())) {
            countRuns(pixels + block, length);
        }
    }
}

void ColourCensus::countRuns(const uint32_t* pixels, size_t count) {
    if (count == 0) {
        return;
    }
    auto add = [this](uint32_t colour, uint32_t run) {
        if (among_ == nullptr || among_->holds(colour)) {
            counts_[at(colour)] += run;
        }
    };
    uint32_t colour = pixels[0];
    uint32_t run = 0;
    for (size_t c = 0; c < count; ++c) {
        if (pixels[c] != colour) {
            add(colour, run);
            colour = pixels[c];
            run = 0;
        }
        ++run;
    }
    add(colour, run);
}

// A heap of the top commonest seen so far, its least common on top, keeps the memory to the
// number of lines asked for. Colours come in rising order, so a colour as common as the
// least common one kept comes after it: only a larger count earns a place.
ColourCensus::Summary ColourCensus::summary(uint32_t top, const ColourTable* among) const {
    Summary found;
    uint32_t distinct = 0;
    uint32_t enough = top == 0 ? UINT32_MAX : 0;
    for (uint32_t colour = 0; colour < kColours; ++colour) {
        const uint32_t pixels = pixelsOf(colour);
        if (among != nullptr && (pixels == 0 || !among->holds(colour))) {
            continue;
        }
        distinct += pixels != 0 ? 1 : 0;
        if (pixels > enough) {
            enough = keep(found.commonest, {colour, pixels}, top);
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

// A census of a table's colours looks only at the colours the table holds, whose counts lie
// in their order.
std::vector<ColourCensus::Share> ColourCensus::present() const {
    std::vector<Share> found;
    uint32_t rank = 0;
    for (uint32_t word = 0; word < kColours / 32; ++word) {
        for (uint32_t bits = among_ != nullptr ? among_->words()[word] : ~uint32_t{0}; bits != 0;
             bits &= bits - 1) {
            const uint32_t colour = word << 5 | static_cast<uint32_t>(std::countr_zero(bits));
            const uint32_t pixels = counts_[among_ != nullptr ? rank++ : colour];
            if (pixels != 0) {
                found.push_back({colour, pixels});
            }
        }
    }
    return found;
}

std::string ColourCensus::shareLine(uint32_t colour, uint64_t pixels, bool swatches) const {
    const int countWidth = static_cast<int>(std::to_string(pixels_).size());
    std::ostringstream line;
    line << (swatches ? swatch(colour) : "") << std::hex << std::setfill('0') << std::setw(6)
         << colour << std::dec << std::setfill(' ') << "  " << std::setw(countWidth) << pixels
         << "  " << std::fixed << std::setprecision(2) << std::setw(6)
         << 100.0 * static_cast<double>(pixels) / static_cast<double>(pixels_) << " %";
    return line.str();
}

std::string ColourCensus::distinctLine(uint32_t distinct) {
    return std::to_string(distinct) +
           (distinct == 1 ? " distinct colour\n" : " distinct colours\n");
}

void ColourCensus::print(std::ostream& out, uint32_t top, bool swatches) const {
    Summary found = summary(top);
    for (const Share& share : found.commonest) {
        out << shareLine(share.colour, share.pixels, swatches) << '\n';
    }
    out << distinctLine(found.distinct) << std::flush;
}
