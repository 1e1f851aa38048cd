#include <array>
#include <cstddef>
#include <vector>

#include "filters/PixelFilter.h"
#include "platform/VectorVersions.h"

namespace {

constexpr uint32_t kWhite = PixelFilter::kWhite;
constexpr uint32_t kBlack = PixelFilter::kBlack;
constexpr uint32_t kRemoved = PixelFilter::kRemoved;

// The sweep keeps what it knows of a pixel in one byte, so that one vector instruction
// handles four times as many pixels as on the words. Masks are all ones for yes, zero for
// no.
constexpr uint8_t kYes = 0xFF;

// What the first paint makes of a pixel: white stays white, black stays black, every other
// colour becomes a marker. White is all ones, so the neighbours of a pixel are all white
// exactly when their AND is.
constexpr uint8_t kWhiteKind = 0xFF;
constexpr uint8_t kBlackKind = 0x01;
constexpr uint8_t kMarkerKind = 0x00;

bool coloured(uint32_t p) {
    return p >= 1 && p <= 0xFFFFFE;
}

VELSTRAM_VECTOR_VERSIONS void paintColoured(uint32_t* row, int32_t width, uint32_t value) {
    for (int32_t c = 0; c < width; ++c) {
        row[c] = coloured(row[c]) ? value : row[c];
    }
}

// The first paint, for one row as read. Words read from the file lie in 0 to 0xFFFFFF, so
// a word that is neither white nor black is coloured.
VELSTRAM_VECTOR_VERSIONS void markColoured(const uint32_t* row, uint8_t* kinds, int32_t width) {
    for (int32_t c = 0; c < width; ++c) {
        const uint32_t p = row[c];
        kinds[c] = p == kWhite ? kWhiteKind : (p == kBlack ? kBlackKind : kMarkerKind);
    }
}

// The speck test of one interior row, between the rows above and below as read. Run in
// place, the test of a pixel sees its neighbours above and to the left already tested; but
// a pixel that the test makes white had only white around it, so its neighbours still to
// come were white and stay white, and every test comes out as it would against the rows as
// read. A marked pixel stays a marker unless it is surrounded by white; a pixel is white
// afterwards if it was white or was surrounded by white; the rest is the removal word.
VELSTRAM_VECTOR_VERSIONS void removeSpecks(const uint8_t* above, const uint8_t* kinds,
                                           const uint8_t* below, uint8_t* markers,
                                           uint8_t* whiteAfter, int32_t width) {
    for (int32_t c = 1; c < width - 1; ++c) {
        const uint8_t around = above[c - 1] & above[c] & above[c + 1] & kinds[c - 1] &
                               kinds[c + 1] & below[c - 1] & below[c] & below[c + 1];
        const bool surrounded = around == kWhiteKind;
        const bool marker = (kinds[c] == kMarkerKind) & !surrounded;
        const bool white = (kinds[c] == kWhiteKind) | surrounded;
        markers[c] = marker ? kYes : 0;
        whiteAfter[c] = white ? kYes : 0;
    }
    markers[0] = 0;
    markers[width - 1] = 0;
}

VELSTRAM_VECTOR_VERSIONS uint32_t blackIn(const uint32_t* row, int32_t width) {
    uint32_t black = 0;
    for (int32_t c = 0; c < width; ++c) {
        black += row[c] == kBlack ? 1 : 0;
    }
    return black;
}

// Whether a marker of the row lies in column c or next to it.
uint8_t markerNear(const uint8_t* markers, int32_t c, int32_t width) {
    const uint8_t left = c > 0 ? markers[c - 1] : 0;
    const uint8_t right = c < width - 1 ? markers[c + 1] : 0;
    return left | markers[c] | right;
}

// An edge pixel is never a marker: it takes the last paint on its word as read.
uint32_t finishEdge(uint32_t p, uint8_t covered) {
    return covered != 0 || coloured(p) ? kBlack : p;
}

// Thickening and the last paint of an interior row. After the speck test every marker has
// a neighbour that is not white, and thickening only adds black, so every marker blackens
// all its neighbours whatever order the markers are taken in: a pixel turns black when a
// marker lies in its own or a neighbouring column of the three rows around it. That takes
// in the markers themselves, which the last paint turns black.
VELSTRAM_VECTOR_VERSIONS void thickenMarkers(const uint8_t* above, const uint8_t* own,
                                             const uint8_t* below, const uint8_t* whiteAfter,
                                             uint32_t* row, int32_t width) {
    for (int32_t c = 1; c < width - 1; ++c) {
        const uint8_t covered = above[c - 1] | above[c] | above[c + 1] | own[c - 1] | own[c] |
                                own[c + 1] | below[c - 1] | below[c] | below[c + 1];
        const uint32_t kept = whiteAfter[c] != 0 ? kWhite : kRemoved;
        row[c] = covered != 0 ? kBlack : kept;
    }
    for (int32_t c : {0, width - 1}) {
        row[c] = finishEdge(row[c], markerNear(above, c, width) | markerNear(own, c, width) |
                                        markerNear(below, c, width));
    }
}

// Thickening and the last paint of the top or bottom row, next to one marker row.
VELSTRAM_VECTOR_VERSIONS void thickenEdgeRow(const uint8_t* markers, uint32_t* row, int32_t width) {
    for (int32_t c = 1; c < width - 1; ++c) {
        row[c] = finishEdge(row[c], markers[c - 1] | markers[c] | markers[c + 1]);
    }
    for (int32_t c : {0, width - 1}) {
        row[c] = finishEdge(row[c], markerNear(markers, c, width));
    }
}

// The four passes as one sweep down an image with an interior, each a row behind the one
// before: row r + 1 is marked, row r speck-tested, and row r - 1 thickened and painted
// black. The speck test of a row needs the rows on either side marked, thickening needs the
// speck test of the rows on either side. What the passes find out about a row is kept in
// byte masks beside the image, so each image row is read once, when it is marked, and
// written once, when it is finished, while the masks of the few rows in between stay in
// the cache.
class ContourSweep {
  public:
    ContourSweep(uint32_t* const* rows, int32_t width, int32_t height)
        : rows_(rows), width_(width), height_(height), noMarkers_(static_cast<size_t>(width)) {
        for (auto* ring : {&kinds_, &markers_}) {
            for (auto& row : *ring) {
                row.resize(static_cast<size_t>(width));
            }
        }
        for (auto& row : whiteAfter_) {
            row.resize(static_cast<size_t>(width));
        }
    }

    // Returns how many pixels are black afterwards.
    uint64_t run() {
        mark(0);
        mark(1);
        for (int32_t r = 1; r <= height_ - 2; ++r) {
            mark(r + 1);
            testSpecks(r);
            finish(r - 1);
        }
        finish(height_ - 2);
        finish(height_ - 1);
        return black_;
    }

  private:
    // The rows kept in turn: row r's in slot r modulo their number (r is never negative).
    static size_t slot(int32_t r, int32_t kept) { return static_cast<size_t>(r % kept); }

    void mark(int32_t r) { markColoured(rows_[r], kinds_[slot(r, 3)].data(), width_); }

    void testSpecks(int32_t r) {
        removeSpecks(kinds_[slot(r - 1, 3)].data(), kinds_[slot(r, 3)].data(),
                     kinds_[slot(r + 1, 3)].data(), markers_[slot(r, 3)].data(),
                     whiteAfter_[slot(r, 2)].data(), width_);
    }

    // Only interior rows hold markers.
    const uint8_t* markers(int32_t r) const {
        return r >= 1 && r <= height_ - 2 ? markers_[slot(r, 3)].data() : noMarkers_.data();
    }

    // The finished row is counted while it is still in the cache.
    void finish(int32_t r) {
        if (r == 0 || r == height_ - 1) {
            thickenEdgeRow(markers(r == 0 ? 1 : r - 1), rows_[r], width_);
        } else {
            thickenMarkers(markers(r - 1), markers(r), markers(r + 1),
                           whiteAfter_[slot(r, 2)].data(), rows_[r], width_);
        }
        black_ += blackIn(rows_[r], width_);
    }

    uint32_t* const* rows_;
    int32_t width_;
    int32_t height_;
    std::array<std::vector<uint8_t>, 3> kinds_;
    std::array<std::vector<uint8_t>, 3> markers_;
    std::array<std::vector<uint8_t>, 2> whiteAfter_;
    std::vector<uint8_t> noMarkers_;
    uint64_t black_{};
};

}  // namespace

// An image less than three pixels wide or high has no interior, so no specks and no
// markers: the two paints together turn every coloured word black.
uint64_t PixelFilter::cleanUpContours(uint32_t* const* rows, int32_t width, int32_t height) {
    if (width < 3 || height < 3) {
        uint64_t black = 0;
        for (int32_t r = 0; r < height; ++r) {
            paintColoured(rows[r], width, kBlack);
            black += blackIn(rows[r], width);
        }
        return black;
    }
    return ContourSweep(rows, width, height).run();
}
