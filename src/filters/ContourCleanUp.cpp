#include "filters/PixelFilter.h"

namespace {

// Neighbours in the order in which they are tested and painted: E, NE, N, NW, W, SW, S, SE.
struct Offset {
    int row;
    int column;
};
constexpr Offset kNeighbours[8] = {{0, 1},  {-1, 1}, {-1, 0}, {-1, -1},
                                   {0, -1}, {1, -1}, {1, 0},  {1, 1}};

bool surroundedByWhite(uint32_t* const* rows, int32_t r, int32_t c) {
    for (const Offset& n : kNeighbours) {
        if (rows[r + n.row][c + n.column] != PixelFilter::kWhite) {
            return false;
        }
    }
    return true;
}

}  // namespace

void PixelFilter::paintColoured(uint32_t* const* rows, int32_t width, int32_t height,
                                uint32_t value) {
    for (int32_t r = 0; r < height; ++r) {
        uint32_t* row = rows[r];
        for (int32_t c = 0; c < width; ++c) {
            uint32_t p = row[c];
            row[c] = (p >= 1 && p <= 0xFFFFFE) ? value : p;
        }
    }
}

// Only interior pixels are visited, so every neighbour lies inside the image.
void PixelFilter::removeSpecks(uint32_t* const* rows, uint32_t key1, uint32_t key2,
                               uint32_t replacement, int32_t width, int32_t height) {
    for (int32_t r = 1; r < height - 1; ++r) {
        uint32_t* row = rows[r];
        for (int32_t c = 1; c < width - 1; ++c) {
            if (row[c] != key1 && row[c] != key2) {
                row[c] = replacement;
            }
            if (surroundedByWhite(rows, r, c)) {
                row[c] = kWhite;
            }
        }
    }
}

void PixelFilter::thickenMarkers(uint32_t* const* rows, int32_t width, int32_t height) {
    for (int32_t r = 1; r < height - 1; ++r) {
        for (int32_t c = 1; c < width - 1; ++c) {
            if (rows[r][c] != kMarker || surroundedByWhite(rows, r, c)) {
                continue;
            }
            for (const Offset& n : kNeighbours) {
                uint32_t& neighbour = rows[r + n.row][c + n.column];
                if (neighbour != kMarker) {
                    neighbour = kBlack;
                }
            }
        }
    }
}
