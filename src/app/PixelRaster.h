#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// The whole image as one 32-bit word 0x00RRGGBB per pixel, with a table of row pointers.
// It holds one row more than the image; no filter visits that spare row.
class PixelRaster {
  public:
    static constexpr uint32_t kWhite = 0xFFFFFF;

    // Rows 0 through count, each of width words, all white.
    void allocate(uint32_t count, uint32_t width);
    void release();

    uint32_t* const* rows() const { return table_.data(); }
    bool empty() const { return table_.empty(); }

  private:
    std::unique_ptr<uint32_t[]> pixels_;
    std::vector<uint32_t*> table_;
};
