#pragma once

#include <exception>

#include "platform/RunEnded.h"

class Console;

// Says why a run stopped: its lines, then "exiting program" where the stop says so and
// closing asks for it (a check of several files goes on with the next one instead); never
// throws. Returns the stop's exit status.
int reportStop(Console& console, const RunEnded& stop, bool closing) noexcept;
// The stop of a run that failed with an exception (memory that could not be had, say).
int reportFailure(Console& console, const char* what, bool closing) noexcept;

// Runs one use of the program, of the dialogue or of the command line alike, and gives its
// exit status: 0 when it completes, else that of its stop, which is said here once the job's
// files are let go of (an output not put in place is gone by then), as is a failure with an
// exception. Nothing that goes wrong ends the process.
template <typename Work>
int guardedRun(Console& console, Work&& work, bool closing = true) {
    try {
        work();
    } catch (const RunEnded& stop) {
        return reportStop(console, stop, closing);
    } catch (const std::exception& error) {
        return reportFailure(console, error.what(), closing);
    } catch (...) {
        return reportFailure(console, "an unknown error", closing);
    }
    return 0;
}

// One whole run of the dialogue on the console, guarded so.
int exitStatusOfJob(Console& console);
