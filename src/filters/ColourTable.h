#pragma once

#include <bit>
#include <cstdint>
#include <vector>

// One bit for each of the 2^24 colours (2 MiB): a set of colours that a pass over the pixels
// asks about at the cost of one load per pixel, however much work decided the set.
class ColourTable {
  public:
    static constexpr uint32_t kColours = uint32_t{1} << 24;

    ColourTable() : words_(kColours / 64) {}

    bool holds(uint32_t colour) const {
        const uint32_t at = colour & (kColours - 1);
        return (words_[at >> 6] >> (at & 63) & 1) != 0;
    }
    void add(uint32_t colour) {
        const uint32_t at = colour & (kColours - 1);
        words_[at >> 6] |= uint64_t{1} << (at & 63);
    }
    // The colours first to last, both included.
    void addRun(uint32_t first, uint32_t last) {
        for (uint32_t colour = first; colour <= last; ++colour) {
            add(colour);
        }
    }
    // Hands each colour of first to last (both included) that the set holds to take, lowest
    // first, and removes it: a word at a time, so that a long run of absent colours costs
    // little.
    template <typename Take>
    void takeRun(uint32_t first, uint32_t last, Take&& take) {
        for (uint32_t word = first >> 6; word <= last >> 6; ++word) {
            uint64_t bits = words_[word];
            if (word == first >> 6) {
                bits &= ~uint64_t{0} << (first & 63);
            }
            if (word == last >> 6) {
                bits &= ~uint64_t{0} >> (63 - (last & 63));
            }
            words_[word] &= ~bits;
            for (; bits != 0; bits &= bits - 1) {
                take(word << 6 | static_cast<uint32_t>(std::countr_zero(bits)));
            }
        }
    }

  private:
    std::vector<uint64_t> words_;
};
