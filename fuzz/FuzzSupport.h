#pragma once

// What the fuzz targets share: a scratch folder of the process's own (so that fuzzers
// running side by side never share a file), whole-file reads and writes, one whole job on
// typed answers, and the report of a broken rule, which libFuzzer keeps as a crash.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/JobRunner.h"
#include "dialogue/Console.h"

namespace fuzzing {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline const fs::path& scratch() {
    static const struct Folder {
        fs::path path = fs::temp_directory_path() / ("velstram-fuzz-" + std::to_string(getpid()));
        Folder() { fs::create_directories(path); }
        ~Folder() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } folder;
    return folder.path;
}

inline Bytes readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeAll(const fs::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

inline bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

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
