#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The whole image as one 32-bit word 0x00RRGGBB per pixel, with a table of row pointers.
// It holds one row more than the image; no filter visits that spare row.
class PixelRaster {
  public:
    static constexpr uint32_t kWhite = 0xFFFFFF;

    // Rows 0 through count, each of width words, left unset: the strips fill most of them.
    void allocate(uint32_t count, uint32_t width);
    // Rows first through count become white; they are the ones no strip filled.
    void whitenFrom(uint32_t first);
    void release();

    uint32_t* const* rows() const { return table_.data(); }

  private:
    std::unique_ptr<uint32_t[]> pixels_;
    std::vector<uint32_t*> table_;
    size_t width_{};
};
