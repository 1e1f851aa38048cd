#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "dialogue/JobOrder.h"

// One use of the program from the command line, settled from its arguments: a filter run
// from IN to OUT, the colour census of IN, or the check of several inputs. None of them
// reads the console or waits for a key.
struct CommandForm {
    enum class Kind { Filter, Colours, Check };

    Kind kind = Kind::Filter;
    JobOrder order;  // the settings and both names of a filter run
    std::vector<std::string> names;
    uint32_t top = 16;
    bool quiet = false;
};

// Each returns the exit status: 0 done, 1 a file could not be read or written; 2 when a
// filter run's output is its input.
int runFilter(const CommandForm& form, std::ostream& out, std::ostream& err);
int showColours(const CommandForm& form, std::ostream& out, std::ostream& err);
int checkFiles(const CommandForm& form, std::ostream& out);
