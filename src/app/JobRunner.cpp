#include "app/JobRunner.h"

#include <string>

#include "app/ImageJob.h"

int reportStop(Console& console, const RunEnded& stop, bool closing) noexcept {
    try {
        for (const std::string& line : stop.lines) {
            console.errorLine(line);
        }
        if (stop.exiting && closing) {
            console.errorLine("exiting program");
        }
    } catch (...) {
        // Nothing is left to say it with; the status still tells.
    }
    return stop.status;
}

int reportFailure(Console& console, const char* what, bool closing) noexcept {
    try {
        return reportStop(console, RunEnded{{std::string("The run failed: ") + what}}, closing);
    } catch (...) {
        return 1;
    }
}

int exitStatusOfJob(Console& console) {
    return guardedRun(console, [&console] { ImageJob job(console); });
}
