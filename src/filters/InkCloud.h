#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "filters/ColourTable.h"

// Where the colours of one ink lie around its key: within a distance of the key (a sphere),
// or within a number of standard deviations of a cloud fitted to the image's colours near it
// (an ellipsoid). Distances are in 8-bit units of red, green and blue.
class InkCloud {
  public:
    // The colours whose dr² + dg² + db² to key is at most reachSquared.
    static InkCloud sphere(uint32_t key, uint32_t reachSquared);
    // The colours v with (v - centre)' inverse (v - centre) <= boundSquared; inverse is the
    // inverse of the covariance, row by row.
    static InkCloud ellipsoid(const std::array<double, 3>& centre,
                              const std::array<double, 9>& inverse, double boundSquared);

    bool holds(uint32_t colour) const;
    // How far into the cloud a colour lies: 0 at its centre, 1 on its edge; which key a colour
    // counts for when several clouds hold it.
    double spread(uint32_t colour) const;
    // Hands a sphere's colours to take as runs (first, last) of one red and green, both ends
    // included: a sphere is added to a table, or gathered from one, at a cost that follows its
    // area, not its volume.
    template <typename Take>
    void sphereRuns(Take&& take) const;
    // The centre, rounded to a colour 0x00RRGGBB.
    uint32_t centre() const;
    bool fitted() const { return fitted_; }

  private:
    static uint32_t rootBelow(uint32_t n);
    static double channel(uint32_t colour, size_t c) {
        return static_cast<double>(colour >> (16 - 8 * c) & 0xFF);
    }
    uint32_t sumOfSquares(uint32_t colour) const;

    bool fitted_ = false;
    uint32_t key_{};
    uint32_t reachSquared_{};
    std::array<double, 3> centre_{};
    std::array<double, 9> inverse_{};
    double boundSquared_{};
};

template <typename Take>
void InkCloud::sphereRuns(Take&& take) const {
    const auto reach = static_cast<int32_t>(rootBelow(reachSquared_));
    const auto red = static_cast<int32_t>(key_ >> 16);
    const auto green = static_cast<int32_t>(key_ >> 8 & 0xFF);
    const auto blue = static_cast<int32_t>(key_ & 0xFF);
    for (int32_t r = std::max(red - reach, 0); r <= std::min(red + reach, 255); ++r) {
        for (int32_t g = std::max(green - reach, 0); g <= std::min(green + reach, 255); ++g) {
            const auto used =
                static_cast<uint32_t>((r - red) * (r - red) + (g - green) * (g - green));
            if (used <= reachSquared_) {
                const auto db = static_cast<int32_t>(rootBelow(reachSquared_ - used));
                const auto base = static_cast<uint32_t>(r << 16 | g << 8);
                take(base | static_cast<uint32_t>(std::max(blue - db, 0)),
                     base | static_cast<uint32_t>(std::min(blue + db, 255)));
            }
        }
    }
}
