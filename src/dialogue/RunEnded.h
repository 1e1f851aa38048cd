#pragma once

#include <optional>
#include <string>
#include <vector>

// The one way a run stops short: the lines that say why, the exit status, and whether
// "exiting program" follows them. Whatever finds that the run cannot go on throws it; what
// takes a file by name returns it, so that a prompt can ask again. The one runner,
// guardedRun (app/JobRunner.h), prints it and gives its status; the job's closing lines are
// skipped because the job's construction never completes.
struct RunEnded {
    std::vector<std::string> lines;
    int status = 1;
    bool exiting = true;
};

// Ends the run with the lines that say why.
[[noreturn]] void endRun(std::vector<std::string> lines = {});

// What taking a file by name gives: nothing when it was taken, else the stop that says why
// not, the system's reason last.
using Refusal = std::optional<RunEnded>;
