#pragma once

#include <exception>

#include "dialogue/RunEnded.h"

class Console;

// Says why a run failed with an exception (memory that could not be had, say) in the lines a
// stop ends with, "exiting program" last; never throws. Returns the exit status, 1.
int reportFailure(Console& console, const char* what) noexcept;

// Runs one use of the program, of the dialogue or of the command line alike, and gives its
// exit status: 0 when it completes, 1 when it ended early, which it has said, or failed with
// an exception, which is said here once the job's files are let go of (an output not put in
// place is gone by then). Nothing that goes wrong ends the process.
template <typename Work>
int guardedRun(Console& console, Work&& work) {
    try {
        work();
    } catch (const RunEnded&) {
        return 1;
    } catch (const std::exception& error) {
        return reportFailure(console, error.what());
    } catch (...) {
        return reportFailure(console, "an unknown error");
    }
    return 0;
}

// One whole run of the dialogue on the console, guarded so.
int exitStatusOfJob(Console& console);
