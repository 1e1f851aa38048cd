#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "app/ImageJob.h"
#include "app/RunEnded.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace testing_support {

ScratchDir::ScratchDir() {
    std::random_device seed;
    path_ = fs::temp_directory_path() / ("velstram-test-" + std::to_string(seed()) + std::to_string(seed()));
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

fs::path fixture(const std::string& name) { return fs::path(VELSTRAM_TEST_DATA) / name; }

std::vector<uint8_t> readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

RunResult runJob(const std::string& typed) {
    std::istringstream in(typed);
    std::ostringstream out;
    Console console(in, out, [] {});
    RunResult result;
    try {
        ImageJob job(console);
        result.status = 0;
    } catch (const RunEnded&) {
        result.status = 1;
    }
    result.transcript = out.str();
    return result;
}

RunResult runProgram(const std::string& typed) {
    ScratchDir scratch;
    fs::path typedFile = scratch / "typed.txt";
    fs::path transcriptFile = scratch / "transcript.txt";
    std::ofstream(typedFile, std::ios::binary) << typed;
    const char* runner = std::getenv("VELSTRAM_RUNNER");
    const char* binary = std::getenv("VELSTRAM_PROGRAM");
    std::string command = std::string(runner ? runner : "") + " \"" + (binary ? binary : VELSTRAM_BINARY) +
                          "\" < \"" + typedFile.string() + "\" > \"" + transcriptFile.string() + "\" 2>/dev/null";
    int raw = std::system(command.c_str());
    RunResult result;
#if defined(_WIN32)
    result.status = raw;
#else
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    std::ifstream in(transcriptFile, std::ios::binary);
    result.transcript.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (std::getenv("VELSTRAM_WINDOWS_PATHS") != nullptr) {
        std::string unix;
        for (size_t i = 0; i < result.transcript.size(); ++i) {
            if (!(result.transcript[i] == '\r' && i + 1 < result.transcript.size() &&
                  result.transcript[i + 1] == '\n')) {
                unix.push_back(result.transcript[i]);
            }
        }
        result.transcript = unix;
    }
    return result;
}

std::string typedPath(const fs::path& file) {
    if (std::getenv("VELSTRAM_WINDOWS_PATHS") == nullptr) {
        return file.string();
    }
    std::string windows = "Z:" + fs::absolute(file).string();
    for (char& c : windows) {
        if (c == '/') {
            c = '\\';
        }
    }
    return windows;
}

std::string typedRun(int option, const std::string& input, const std::string& output) {
    return std::to_string(option) + "\n\n" + input + "\n" + output + "\n";
}

std::string afterDialogue(const std::string& transcript) {
    size_t start = transcript.find("\n\nInput the name of the input TIF file");
    return start == std::string::npos ? transcript : transcript.substr(start);
}

}  // namespace testing_support
