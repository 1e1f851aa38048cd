#include "app/InkFit.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr uint32_t kMostRounds = 8;
// Three colours always lie in a plane.
constexpr uint32_t kFewestColours = 4;
// A covariance whose determinant is this small a share of that of a round cloud of the same
// size is taken for flat: its inverse would stretch the cloud without bound.
constexpr double kFlatness = 1e-6;

double channel(uint32_t colour, size_t c) {
    return static_cast<double>(colour >> (16 - 8 * c) & 0xFF);
}

// The weighted sums of a selection of colours, taken about the key so that the covariance
// does not lose its digits to the square of the mean.
struct Moments {
    std::array<double, 3> origin{};
    double weight{};
    std::array<double, 3> sum{};
    std::array<double, 9> products{};
    uint32_t colours{};

    void add(uint32_t colour, uint32_t pixels) {
        std::array<double, 3> v{};
        for (size_t c = 0; c < 3; ++c) {
            v[c] = channel(colour, c) - origin[c];
        }
        const auto w = static_cast<double>(pixels);
        weight += w;
        ++colours;
        for (size_t i = 0; i < 3; ++i) {
            sum[i] += w * v[i];
            for (size_t j = 0; j < 3; ++j) {
                products[i * 3 + j] += w * v[i] * v[j];
            }
        }
    }
    bool sameAs(const Moments& other) const {
        return colours == other.colours && weight == other.weight;
    }
};

struct Shape {
    std::array<double, 3> mean{};
    std::array<double, 9> covariance{};
    std::array<double, 9> inverse{};
};

double determinant(const std::array<double, 9>& m) {
    return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
           m[2] * (m[3] * m[7] - m[4] * m[6]);
}

// False for a flat covariance.
bool shapeOf(const Moments& moments, Shape& shape) {
    for (size_t i = 0; i < 3; ++i) {
        shape.mean[i] = moments.origin[i] + moments.sum[i] / moments.weight;
    }
    std::array<double, 9>& m = shape.covariance;
    for (size_t i = 0; i < 3; ++i) {
        for (size_t j = 0; j < 3; ++j) {
            m[i * 3 + j] = moments.products[i * 3 + j] / moments.weight -
                           moments.sum[i] * moments.sum[j] / (moments.weight * moments.weight);
        }
    }
    const double det = determinant(m);
    const double round = std::pow((m[0] + m[4] + m[8]) / 3, 3);
    if (!(round > 0) || !(det > kFlatness * round)) {
        return false;
    }
    shape.inverse = {(m[4] * m[8] - m[5] * m[7]) / det, (m[2] * m[7] - m[1] * m[8]) / det,
                     (m[1] * m[5] - m[2] * m[4]) / det, (m[5] * m[6] - m[3] * m[8]) / det,
                     (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
                     (m[3] * m[7] - m[4] * m[6]) / det, (m[1] * m[6] - m[0] * m[7]) / det,
                     (m[0] * m[4] - m[1] * m[3]) / det};
    return true;
}

// The colours within the sphere around the key that the cloud holds as well; the list is in
// colour order, so the sphere's reds bound a stretch of it.
Moments select(const InkCloud& sphere, const InkCloud& cloud, uint32_t key, uint32_t reachSquared,
               const std::vector<ColourCensus::Share>& colours) {
    Moments moments;
    for (size_t c = 0; c < 3; ++c) {
        moments.origin[c] = channel(key, c);
    }
    const double reach = std::sqrt(static_cast<double>(reachSquared));
    const double red = channel(key, 0);
    const auto low = static_cast<uint32_t>(std::clamp(std::floor(red - reach), 0.0, 255.0));
    const auto high = static_cast<uint32_t>(std::clamp(std::ceil(red + reach), 0.0, 255.0));
    auto from =
        std::lower_bound(colours.begin(), colours.end(), low << 16,
                         [](const ColourCensus::Share& s, uint32_t w) { return s.colour < w; });
    for (auto at = from; at != colours.end() && at->colour >> 16 <= high; ++at) {
        if (sphere.holds(at->colour) && cloud.holds(at->colour)) {
            moments.add(at->colour, at->pixels);
        }
    }
    return moments;
}

}  // namespace

InkFit fitInk(uint32_t key, const KeepReach& reach,
              const std::vector<ColourCensus::Share>& colours) {
    InkFit fit;
    const InkCloud sphere = InkCloud::sphere(key, reach.distanceSquared);
    fit.cloud = sphere;
    Moments taken = select(sphere, sphere, key, reach.distanceSquared, colours);
    fit.colours = taken.colours;
    Shape shape;
    if (taken.colours < kFewestColours) {
        fit.outcome = InkFit::Outcome::TooFewColours;
        return fit;
    }
    if (!shapeOf(taken, shape)) {
        fit.outcome = InkFit::Outcome::Flat;
        return fit;
    }
    const double boundSquared = reach.fit * reach.fit;
    for (uint32_t round = 1;; ++round) {
        fit.cloud = InkCloud::ellipsoid(shape.mean, shape.covariance, shape.inverse, boundSquared);
        fit.colours = taken.colours;
        if (round == kMostRounds) {
            break;
        }
        Moments next = select(sphere, fit.cloud, key, reach.distanceSquared, colours);
        Shape nextShape;
        if (next.sameAs(taken) || next.colours < kFewestColours || !shapeOf(next, nextShape)) {
            break;
        }
        taken = next;
        shape = nextShape;
    }
    return fit;
}
