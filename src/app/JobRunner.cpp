#include "app/JobRunner.h"

#include <string>

#include "app/ImageJob.h"

int reportFailure(Console& console, const char* what) noexcept {
    try {
        console.errorLine(std::string("The run failed: ") + what);
        console.errorLine("exiting program");
    } catch (...) {
        // Nothing is left to say it with; the status still tells.
    }
    return 1;
}

int exitStatusOfJob(Console& console) {
    return guardedRun(console, [&console] { ImageJob job(console); });
}
