#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tiff/OverviewsToRebuild.h"

// The warnings of a run that give another tool's command, which the user runs on the output
// (named output) to make good what the filter could not: each warning's lines, none where
// nothing is to be made good.

// The input's reduced-resolution pages that were copied unchanged or lie in a file of their
// own, with the command that rebuilds them from the output.
std::vector<std::string> overviewWarnings(const OverviewsToRebuild& overviews,
                                          const std::string& output);
// The input's no-data value (noData) where the filter of option writes it, with the command
// that clears it from the output.
std::vector<std::string> noDataWarning(std::optional<double> noData, int32_t option,
                                       const std::string& output);
