#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// The one way a run stops short: the lines that say why, the exit status, and whether
// "exiting program" follows them. Whatever finds that the run cannot go on throws it; what
// takes a file by name returns it, so that a prompt can ask again. It lives in the bottom
// layer so that the system's calls give their reasons in it too. The one runner, guardedRun
// (app/JobRunner.h), prints it and gives its status; the job's closing lines are skipped
// because the job's construction never completes.
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

// What a call of the system that can be refused gives: its value, or the refusal whose one
// line is the system's reason (the value then means nothing).
template <typename T>
struct Attempt {
    Attempt(T taken) : value(taken) {}
    Attempt(RunEnded refused) : refusal(std::move(refused)) {}

    T value{};
    Refusal refusal;
};
