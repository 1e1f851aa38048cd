#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
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
    std::string errors;  // standard error, of a separate process only
};

// Runs a whole job in-process: the typed lines go in, the console transcript comes out,
// and the status is what the program's entry would return.
RunResult runJob(const std::string& typed);

// Runs the built program as a separate process with the typed lines on standard input.
// VELSTRAM_RUNNER, when set, is put in front of the command (an emulator, say).
RunResult runProgram(const std::string& typed, const std::string& arguments = "");

// A path as the program under test expects to be given it (Windows form under an emulator
// that runs the Windows build, set by VELSTRAM_WINDOWS_PATHS, with Latin-1 letters in code
// page 1252).
std::string typedPath(const fs::path& file);

// What to type for a run without a colour dialogue: option, the Enter that answers the
// key wait, then the two names.
std::string typedRun(int option, const std::string& input, const std::string& output);

// The transcript of a normal run, from the start of its first file-name prompt to the
// end: everything before it is the dialogue.
std::string afterDialogue(const std::string& transcript);

}  // namespace testing_support

namespace testing_support {

// Little-endian fields of a TIFF held in memory, for making broken variants of fixtures.
uint32_t get16(const std::vector<uint8_t>& bytes, size_t at);
uint32_t get32(const std::vector<uint8_t>& bytes, size_t at);
void put16(std::vector<uint8_t>& bytes, size_t at, uint32_t value);
void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value);
// Position of the directory entry with this tag (the first directory only).
size_t entryAt(const std::vector<uint8_t>& tiff, uint16_t tag);
void setEntry(std::vector<uint8_t>& tiff, uint16_t tag, uint16_t type, uint32_t count,
              uint32_t value);

// The image of an uncompressed 24-bit RGB TIFF as words 0x00RRGGBB, read independently of
// the program: what a real reader would show of a file.
struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;
    // Where each strip's bytes lie in the file: position and length.
    std::vector<std::pair<size_t, size_t>> strips;
    uint32_t at(uint32_t row, uint32_t column) const {
        return pixels[size_t{row} * width + column];
    }
};
Image decodeImage(const std::vector<uint8_t>& tiff);

// A whole in-process run of one file: the file is written to a scratch folder, the job
// runs with the given typed settings, and the output is read back.
struct FileRun {
    std::string report;  // the transcript after the dialogue
    int status = -1;
    std::vector<uint8_t> output;
};
FileRun runOnBytes(const std::vector<uint8_t>& tiff, const std::string& typedSettings);

// Settings that apply no filter: the menu loop gives up on a non-number.
inline const std::string kNoFilter = "7\nx\n";

}  // namespace testing_support
