#include "filters/PixelFilter.h"

#include <algorithm>
#include <iterator>

namespace {

// Neighbours in the order in which they are tested: E, NE, N, NW, W, SW, S, SE.
struct Offset {
    int row;
    int column;
};
constexpr Offset kNeighbours[8] = {{0, 1},  {-1, 1}, {-1, 0}, {-1, -1},
                                   {0, -1}, {1, -1}, {1, 0},  {1, 1}};

bool surroundedByWhite(uint32_t* const* rows, int32_t r, int32_t c) {
    return std::all_of(std::begin(kNeighbours), std::end(kNeighbours), [&](const Offset& n) {
        return rows[r + n.row][c + n.column] == PixelFilter::kWhite;
    });
}

void blacken(uint32_t& pixel) {
    if (pixel != PixelFilter::kMarker) {
        pixel = PixelFilter::kBlack;
    }
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

// Only interior pixels are visited, so every neighbour lies inside the image. A pixel that
// comes out white does so whether or not it is surrounded, so only the others are tested.
void PixelFilter::removeSpecks(uint32_t* const* rows, uint32_t key1, uint32_t key2,
                               uint32_t replacement, int32_t width, int32_t height) {
    for (int32_t r = 1; r < height - 1; ++r) {
        uint32_t* row = rows[r];
        for (int32_t c = 1; c < width - 1; ++c) {
            uint32_t p = row[c];
            uint32_t kept = (p == key1 || p == key2) ? p : replacement;
            if (kept != kWhite && surroundedByWhite(rows, r, c)) {
                kept = kWhite;
            }
            row[c] = kept;
        }
    }
}

// Markers are never repainted, so a marker right after a painting marker has a marker as its
// west neighbour and paints too; of its eight neighbours only the east column is new.
void PixelFilter::thickenMarkers(uint32_t* const* rows, int32_t width, int32_t height) {
    for (int32_t r = 1; r < height - 1; ++r) {
        uint32_t* above = rows[r - 1];
        uint32_t* row = rows[r];
        uint32_t* below = rows[r + 1];
        bool westPainted = false;
        for (int32_t c = 1; c < width - 1; ++c) {
            if (row[c] != kMarker) {
                westPainted = false;
                continue;
            }
            if (!westPainted) {
                if (surroundedByWhite(rows, r, c)) {
                    continue;
                }
                blacken(above[c - 1]);
                blacken(above[c]);
                blacken(row[c - 1]);
                blacken(below[c - 1]);
                blacken(below[c]);
            }
            blacken(above[c + 1]);
            blacken(row[c + 1]);
            blacken(below[c + 1]);
            westPainted = true;
        }
    }
}
