#pragma once

// What the fuzz targets share besides the tests' scratch folder and whole-file reads and
// writes: one whole job on typed answers, and the report of a broken rule, which libFuzzer
// keeps as a crash.

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "../tests/ScratchFiles.h"
#include "app/JobRunner.h"
#include "dialogue/Console.h"

namespace fuzzing {

using namespace scratch_files;

[[noreturn]] inline void finding(const char* rule, const std::string& transcript) {
    std::fprintf(stderr, "\n== Rule broken: %s\n== Transcript:\n%s\n", rule, transcript.c_str());
    std::abort();
}

struct Run {
    int status = 0;
    std::string transcript;
};

// One whole job on the typed answers: status 1 when it ended early, which it must say last.
inline Run runJob(std::istream& typed, std::function<void()> keyWait,
                  Console::Input input = Console::Input::Piped) {
    std::ostringstream out;
    Console console(typed, out, std::move(keyWait), input);
    Run run;
    run.status = exitStatusOfJob(console);
    run.transcript = out.str();
    if (run.status == 1 && !endsWith(run.transcript, "exiting program\n")) {
        finding("a run that ended did not say \"exiting program\" last", run.transcript);
    }
    return run;
}

}  // namespace fuzzing
