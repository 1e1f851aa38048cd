#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "app/ColourCensus.h"

// The census's colours gathered into groups of near colours, for the scan of a map whose
// every ink is a cloud of colours: from the commonest colour down, each colour in no group
// yet starts one and takes every colour in no group yet within the distance of it. Only the
// first groups asked for are gathered.
class ColourGroups {
  public:
    struct Group {
        uint32_t first{};  // the colour that started it, 0x00RRGGBB
        uint64_t pixels{};
        uint32_t colours{};
        uint32_t mean{};  // the mean of its colours, weighted by their pixels
    };

    ColourGroups(const ColourCensus& census, uint32_t distanceSquared, uint32_t top);
    const std::vector<Group>& groups() const { return groups_; }

    // One line per group: its first colour, pixels and share as the census shows a colour,
    // then its number of colours and its mean; then the census's number of distinct colours.
    void print(std::ostream& out, bool swatches) const;

  private:
    Group gather(uint32_t first);

    const ColourCensus& census_;
    uint32_t distanceSquared_;
    ColourTable ungrouped_;
    uint32_t distinct_{};
    std::vector<Group> groups_;
};
