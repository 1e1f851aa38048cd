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
                             const std::array<double, 9>& covariance,
                             const std::array<double, 9>& inverse, double boundSquared) {
    InkCloud cloud;
    cloud.fitted_ = true;
    cloud.centre_ = centre;
    cloud.inverse_ = inverse;
    cloud.boundSquared_ = boundSquared;
    cloud.reach_ = {std::sqrt(boundSquared * covariance[0]),
                    std::sqrt(boundSquared * covariance[4])};
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

void InkCloud::runs(const std::function<void(uint32_t, uint32_t)>& take) const {
    if (fitted_) {
        ellipsoidRuns(take);
    } else {
        sphereRuns(take);
    }
}

void InkCloud::sphereRuns(const std::function<void(uint32_t, uint32_t)>& take) const {
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

// For each red and green, the blues inside form one stretch, where a quadratic in blue lies
// below the bound; its ends, found in floating point, are then settled colour by colour
// against holds, so that the runs and holds cannot disagree.
void InkCloud::ellipsoidRuns(const std::function<void(uint32_t, uint32_t)>& take) const {
    const std::array<double, 9>& a = inverse_;
    auto channelRange = [](double centre, double reach) {
        return std::pair{static_cast<int32_t>(std::clamp(std::floor(centre - reach), 0.0, 255.0)),
                         static_cast<int32_t>(std::clamp(std::ceil(centre + reach), 0.0, 255.0))};
    };
    const auto [redLow, redHigh] = channelRange(centre_[0], reach_[0]);
    const auto [greenLow, greenHigh] = channelRange(centre_[1], reach_[1]);
    for (int32_t r = redLow; r <= redHigh; ++r) {
        for (int32_t g = greenLow; g <= greenHigh; ++g) {
            const double dr = r - centre_[0];
            const double dg = g - centre_[1];
            const double linear = a[2] * dr + a[5] * dg;
            const double rest =
                a[0] * dr * dr + 2 * a[1] * dr * dg + a[4] * dg * dg - boundSquared_;
            const double discriminant = linear * linear - a[8] * rest;
            if (discriminant < 0) {
                continue;
            }
            const double root = std::sqrt(discriminant);
            const auto base = static_cast<uint32_t>(r << 16 | g << 8);
            auto inside = [&](int32_t b) {
                return b >= 0 && b <= 255 && holds(base | static_cast<uint32_t>(b));
            };
            auto low = static_cast<int32_t>(
                std::clamp(std::ceil(centre_[2] + (-linear - root) / a[8]), 0.0, 255.0));
            auto high = static_cast<int32_t>(
                std::clamp(std::floor(centre_[2] + (-linear + root) / a[8]), 0.0, 255.0));
            while (low <= high && !inside(low)) {
                ++low;
            }
            while (high >= low && !inside(high)) {
                --high;
            }
            if (low > high) {
                continue;
            }
            while (inside(low - 1)) {
                --low;
            }
            while (inside(high + 1)) {
                ++high;
            }
            take(base | static_cast<uint32_t>(low), base | static_cast<uint32_t>(high));
        }
    }
}

uint32_t InkCloud::centre() const {
    uint32_t colour = 0;
    for (double value : centre_) {
        colour = colour << 8 | static_cast<uint32_t>(std::clamp(std::lround(value), 0L, 255L));
    }
    return colour;
}
