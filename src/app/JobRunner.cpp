#include "app/JobRunner.h"

#include <exception>
#include <string>

#include "app/ImageJob.h"
#include "dialogue/RunEnded.h"

int exitStatusOfJob(Console& console) {
    try {
        ImageJob job(console);
    } catch (const RunEnded&) {
        return 1;
    } catch (const std::exception& error) {
        // The job's files are already let go of: an output not put in place is gone.
        console.line(std::string("The run failed: ") + error.what());
        console.line("exiting program");
        return 1;
    }
    return 0;
}
