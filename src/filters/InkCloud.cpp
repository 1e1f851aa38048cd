#include "filters/InkCloud.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

uint32_t channelOf(uint32_t colour, uint32_t shift) {
    return colour >> shift & 0xFF;
}

}  // namespace

// The largest whole d with d * d <= n.
uint32_t InkCloud::rootBelow(uint32_t n) {
    auto d = static_cast<uint32_t>(std::sqrt(static_cast<double>(n)));
    while (d * d > n) {
        --d;
    }
    while ((d + 1) * (d + 1) <= n) {
        ++d;
    }
    return d;
}

InkCloud InkCloud::sphere(uint32_t key, uint32_t reachSquared) {
    InkCloud cloud;
    cloud.key_ = key & (ColourTable::kColours - 1);
    cloud.reachSquared_ = reachSquared;
    for (size_t c = 0; c < 3; ++c) {
        cloud.centre_[c] = channel(cloud.key_, c);
    }
    return cloud;
}

InkCloud InkCloud::ellipsoid(const std::array<double, 3>& centre,
                             const std::array<double, 9>& inverse, double boundSquared) {
    InkCloud cloud;
    cloud.fitted_ = true;
    cloud.centre_ = centre;
    cloud.inverse_ = inverse;
    cloud.boundSquared_ = boundSquared;
    return cloud;
}

// Whole numbers decide a sphere, so that a colour on its edge is held whatever the rounding.
uint32_t InkCloud::sumOfSquares(uint32_t colour) const {
    uint32_t sum = 0;
    for (uint32_t shift : {16U, 8U, 0U}) {
        const auto d = static_cast<int32_t>(channelOf(colour, shift)) -
                       static_cast<int32_t>(channelOf(key_, shift));
        sum += static_cast<uint32_t>(d * d);
    }
    return sum;
}

bool InkCloud::holds(uint32_t colour) const {
    return fitted_ ? spread(colour) <= 1.0 : sumOfSquares(colour) <= reachSquared_;
}

double InkCloud::spread(uint32_t colour) const {
    if (!fitted_) {
        const uint32_t sum = sumOfSquares(colour);
        if (reachSquared_ == 0) {
            return sum == 0 ? 0.0 : std::numeric_limits<double>::infinity();
        }
        return static_cast<double>(sum) / static_cast<double>(reachSquared_);
    }
    std::array<double, 3> v{};
    for (size_t c = 0; c < 3; ++c) {
        v[c] = channel(colour, c) - centre_[c];
    }
    double squared = 0;
    for (size_t i = 0; i < 3; ++i) {
        for (size_t j = 0; j < 3; ++j) {
            squared += v[i] * inverse_[i * 3 + j] * v[j];
        }
    }
    return squared / boundSquared_;
}

uint32_t InkCloud::centre() const {
    uint32_t colour = 0;
    for (double value : centre_) {
        colour = colour << 8 | static_cast<uint32_t>(std::clamp(std::lround(value), 0L, 255L));
    }
    return colour;
}
