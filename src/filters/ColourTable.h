#pragma once

#include <bit>
#include <cstdint>
#include <vector>

// One bit for each of the 2^24 colours (2 MiB): a set of colours that a pass over the pixels
// asks about at the cost of one load per pixel, however much work decided the set. Its
// words are 32 bits wide, which vector units load eight at a time.
class ColourTable {
  public:
    static constexpr uint32_t kColours = uint32_t{1} << 24;

    ColourTable() : words_(kColours / 32) {}

    // Colour c is bit c % 32 of word c / 32.
    const uint32_t* words() const { return words_.data(); }
    bool holds(uint32_t colour) const {
        const uint32_t at = colour & (kColours - 1);
        return (words_[at >> 5] >> (at & 31) & 1) != 0;
    }
    void add(uint32_t colour) {
        const uint32_t at = colour & (kColours - 1);
        words_[at >> 5] |= uint32_t{1} << (at & 31);
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
        for (uint32_t word = first >> 5; word <= last >> 5; ++word) {
            uint32_t bits = words_[word];
            if (word == first >> 5) {
                bits &= ~uint32_t{0} << (first & 31);
            }
            if (word == last >> 5) {
                bits &= ~uint32_t{0} >> (31 - (last & 31));
            }
            words_[word] &= ~bits;
            for (; bits != 0; bits &= bits - 1) {
                take(word << 5 | static_cast<uint32_t>(std::countr_zero(bits)));
            }
        }
    }

  private:
    std::vector<uint32_t> words_;
};
