#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "dialogue/JobOrder.h"
#include "platform/RunEnded.h"

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

// A misuse of the arguments stops the command before any file is touched: its stop names the
// problem behind the program's name and points to the help, with status 2.
[[noreturn]] void misuse(std::string_view problem);
// Runs one command and gives its exit status: that of the work, or of a stop that no file's
// run took (a misuse), said on err as it is.
int guardedCommand(std::ostream& err, const std::function<int()>& work);

// Each returns the exit status: 0 done, 1 a file could not be read or written; a filter run
// whose output is its input is a misuse. The census and the check are their standard output,
// so a failed write there is 1; a filter's output in place keeps 0, its summary line lost.
int runFilter(const CommandForm& form, std::ostream& out, std::ostream& err);
int showColours(const CommandForm& form, std::ostream& out, std::ostream& err);
int checkFiles(const CommandForm& form, std::ostream& out, std::ostream& err);
