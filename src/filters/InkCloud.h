#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "filters/ColourTable.h"

// Where the colours of one ink lie around its key: within a distance of the key (a sphere),
// or within a number of standard deviations of a cloud fitted to the image's colours near it
// (an ellipsoid). Distances are in 8-bit units of red, green and blue.
class InkCloud {
  public:
    // The colours whose dr² + dg² + db² to key is at most reachSquared.
    static InkCloud sphere(uint32_t key, uint32_t reachSquared);
    // The colours v with (v - centre)' inverse (v - centre) <= boundSquared, where inverse is
    // the inverse of the covariance; both row by row.
    static InkCloud ellipsoid(const std::array<double, 3>& centre,
                              const std::array<double, 9>& covariance,
                              const std::array<double, 9>& inverse, double boundSquared);

    bool holds(uint32_t colour) const;
    // How far into the cloud a colour lies: 0 at its centre, 1 on its edge; which key a colour
    // counts for when several clouds hold it.
    double spread(uint32_t colour) const;
    // Hands the cloud's colours to take as runs (first, last) of one red and green, both ends
    // included, exactly the colours that holds takes: a cloud is added to a table, or
    // gathered from one, at a cost that follows its area, not its volume.
    void runs(const std::function<void(uint32_t first, uint32_t last)>& take) const;
    // The centre, rounded to a colour 0x00RRGGBB.
    uint32_t centre() const;
    bool fitted() const { return fitted_; }

  private:
    static uint32_t rootBelow(uint32_t n);
    void sphereRuns(const std::function<void(uint32_t, uint32_t)>& take) const;
    void ellipsoidRuns(const std::function<void(uint32_t, uint32_t)>& take) const;
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
    // How far the ellipsoid reaches from its centre along red and green.
    std::array<double, 2> reach_{};
};
