#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/ImageJob.h"
#include "dialogue/JobOrder.h"

// What a filter run from the command line did, in one line for standard output, such as
//   sheet.tif -> out.tif: red cast damped in 1,204,331 of 42,000,000 pixels (2.9 %)
// and the warnings of a run whose settings caught less than they were meant to: a key colour
// that matches no pixel, a band or a red cast damping that changes none.
class RunSummary {
  public:
    RunSummary(const JobOrder& order, const ImageJob::FilterCounts& counts, uint64_t pixels);

    std::string line() const;
    std::vector<std::string> warnings() const;

  private:
    // The keys of option 1, each once, in the order given, with the pixels each kept.
    struct Key {
        uint32_t colour{};
        uint64_t pixels{};
        InkFit fit;
    };

    std::string share(uint64_t count) const;
    std::string keptLine() const;
    std::string keyWords(const Key& key) const;
    std::string fitWarning(const Key& key) const;

    JobOrder order_;
    std::vector<Key> keys_;
    uint64_t changed_{};
    uint64_t pixels_{};
};
