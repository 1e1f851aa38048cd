#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "dialogue/JobOrder.h"

// One use of the program from the command line, settled from its arguments: a filter run
// from IN to OUT, the colour census of IN, or the check of several inputs. None of them
// reads the console or waits for a key. Standard output gets what was asked for (a filter's
// summary or report, the census, the check's "ok" lines) unless quiet; everything else goes
// to standard error, each line as "velstram: IN: message".
struct CommandForm {
    enum class Kind { Filter, Colours, Check };

    Kind kind = Kind::Filter;
    JobOrder order;  // the settings and both names of a filter run
    std::vector<std::string> names;
    uint32_t top = 16;
    bool quiet = false;
    // A filter prints the dialogue's report of the file before its summary.
    bool report = false;
};

// Names the problem with the arguments on err and points to the help; returns 2.
int usageError(std::ostream& err, std::string_view problem);

// Each returns the exit status: 0 done, 1 a file could not be read or written; 2 when a
// filter run's output is its input. The census and the check are their standard output, so
// a failed write there is 1; a filter's output in place keeps 0, its summary line lost.
int runFilter(const CommandForm& form, std::ostream& out, std::ostream& err);
int showColours(const CommandForm& form, std::ostream& out, std::ostream& err);
int checkFiles(const CommandForm& form, std::ostream& out, std::ostream& err);
