#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed again at the end of a test.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

fs::path fixture(const std::string& name);
std::vector<uint8_t> readBytes(const fs::path& file);
void writeBytes(const fs::path& file, const std::vector<uint8_t>& bytes);

struct RunResult {
    std::string transcript;
    int status = -1;
};

// Runs a whole job in-process: the typed lines go in, the console transcript comes out,
// and the status is what the program's entry would return.
RunResult runJob(const std::string& typed);

// Runs the built program as a separate process with the typed lines on standard input.
// VELSTRAM_RUNNER, when set, is put in front of the command (an emulator, say).
RunResult runProgram(const std::string& typed);

// A path as the program under test expects to be given it (Windows form under an emulator
// that runs the Windows build, set by VELSTRAM_WINDOWS_PATHS).
std::string typedPath(const fs::path& file);

// What to type for a run without a colour dialogue: option, the Enter that answers the
// key wait, then the two names.
std::string typedRun(int option, const std::string& input, const std::string& output);

// The transcript of a normal run, from the start of its first file-name prompt to the
// end: everything before it is the dialogue.
std::string afterDialogue(const std::string& transcript);

}  // namespace testing_support
