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

// Every pixel of columns first to last that is not a marker becomes black.
void blackenColumns(uint32_t* row, int32_t first, int32_t last) {
    for (int32_t c = first; c <= last; ++c) {
        row[c] = row[c] == PixelFilter::kMarker ? PixelFilter::kMarker : PixelFilter::kBlack;
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

// Markers never change in this pass, so every marker of a run after a painting marker has a
// marker to its west and paints as well: a run is tested once, at its first pixel, and its
// neighbours are painted together. Runs are taken in order, so the test at the start of the
// next run still sees the paint of the runs before it.
void PixelFilter::thickenMarkers(uint32_t* const* rows, int32_t width, int32_t height) {
    if (width < 3) {
        return;
    }
    auto isMarker = [](uint32_t p) { return p == kMarker; };
    for (int32_t r = 1; r < height - 1; ++r) {
        uint32_t* row = rows[r];
        uint32_t* const interiorEnd = row + width - 1;
        uint32_t* run = std::find(row + 1, interiorEnd, kMarker);
        while (run < interiorEnd) {
            uint32_t* runEnd = std::find_if_not(run + 1, interiorEnd, isMarker);
            auto first = static_cast<int32_t>(run - row);
            auto last = static_cast<int32_t>(runEnd - row);
            if (!surroundedByWhite(rows, r, first)) {
                blackenColumns(rows[r - 1], first - 1, last);
                blackenColumns(rows[r + 1], first - 1, last);
                blackenColumns(row, first - 1, first - 1);
                blackenColumns(row, last, last);
            }
            run = std::find(runEnd, interiorEnd, kMarker);
        }
    }
}
