#include "app/ColourGroups.h"

#include <algorithm>
#include <array>
#include <iomanip>
#include <sstream>

#include "filters/InkCloud.h"

namespace {

// Starts drawn at a time (their heap takes 512 KiB).
constexpr size_t kBatch = size_t{1} << 16;

}  // namespace

// The commonest colours in no group yet are taken as starts, as many as groups are still
// wanted but no more than a batch, which keeps the memory small however many are asked
// for; a start that an earlier group of the same batch took is passed over, and a further
// batch is drawn while groups are wanted and colours are left.
ColourGroups::ColourGroups(const ColourCensus& census, uint32_t distanceSquared, uint32_t top)
    : census_(census), distanceSquared_(distanceSquared) {
    for (uint32_t colour = 0; colour < ColourTable::kColours; ++colour) {
        if (census.pixelsOf(colour) != 0) {
            ungrouped_.add(colour);
            ++distinct_;
        }
    }
    while (groups_.size() < top) {
        const auto wanted = static_cast<uint32_t>(std::min<size_t>(top - groups_.size(), kBatch));
        ColourCensus::Summary starts = census.summary(wanted, &ungrouped_);
        if (starts.commonest.empty()) {
            break;
        }
        for (const ColourCensus::Share& start : starts.commonest) {
            if (ungrouped_.holds(start.colour)) {
                groups_.push_back(gather(start.colour));
            }
        }
    }
}

// The colours within the distance, a run of blues at a time from the table of those in no
// group yet; the sums of the mean fit 64 bits, as the image has fewer than 2^32 pixels.
ColourGroups::Group ColourGroups::gather(uint32_t first) {
    Group group{first, 0, 0, 0};
    std::array<uint64_t, 3> sums{};
    InkCloud::sphere(first, distanceSquared_).runs([&](uint32_t from, uint32_t to) {
        ungrouped_.takeRun(from, to, [&](uint32_t colour) {
            const uint64_t pixels = census_.pixelsOf(colour);
            group.pixels += pixels;
            ++group.colours;
            sums[0] += pixels * (colour >> 16);
            sums[1] += pixels * (colour >> 8 & 0xFF);
            sums[2] += pixels * (colour & 0xFF);
        });
    });
    for (uint64_t sum : sums) {
        group.mean =
            group.mean << 8 | static_cast<uint32_t>((2 * sum + group.pixels) / (2 * group.pixels));
    }
    return group;
}

void ColourGroups::print(std::ostream& out, bool swatches) const {
    for (const Group& group : groups_) {
        std::ostringstream rest;
        rest << "  " << std::setw(8) << group.colours
             << (group.colours == 1 ? " colour " : " colours") << "  mean " << std::hex
             << std::setfill('0') << std::setw(6) << group.mean;
        out << census_.shareLine(group.first, group.pixels, swatches) << rest.str() << '\n';
    }
    out << ColourCensus::distinctLine(distinct_) << std::flush;
}
