#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ScratchFiles.h"

namespace testing_support {

using namespace scratch_files;

// A fresh, empty folder of this name, removed when the test process ends.
fs::path scratch(const std::string& name);
fs::path fixture(const std::string& name);
std::string replaceAll(std::string text, const std::string& from, const std::string& to);
// Compares text with the file recorded for it; with VELSTRAM_RECORD set, records text instead,
// so that a change of what the program prints is reviewed as a diff of the recorded files.
void expectRecorded(const std::string& text, const fs::path& recorded);

// Settings that change no pixel (a band whose low bound lies above its high one), and the
// last lines of a run that completes.
inline const std::string kNoFilter = "2\nffffff\n000000\n";
inline const std::string kClosing = "Press any key to continue\n\nDone\n";

struct RunResult {
    std::string transcript;
    int status = -1;
    std::string errors;  // standard error, of a separate process only
};
// A whole job in-process, through the console object.
RunResult runJob(const std::string& typed);
// The built program as a process with the typed lines on standard input. VELSTRAM_RUNNER
// is put in front of it (an emulator, say); VELSTRAM_WINDOWS_PATHS marks the Windows build,
// which gets CR LF lines and paths as Windows writes them (typedPath).
RunResult runProgram(const std::string& typed, const std::string& arguments = "");
std::string typedPath(const fs::path& file);
// The runner and the program, ready for its arguments.
std::string programCommand();
// Two runs of the program started together, each with its arguments; their statuses.
std::pair<int, int> runTogether(const std::string& first, const std::string& second);
// An uncompressed RGB image in one strip, its directory in front of the pixels or after them.
Bytes makeImage(uint32_t width, uint32_t height, bool directoryFirst);

// One file through a run: the report after the last prompt, the status and the output;
// the input must come through unchanged.
struct FileRun {
    std::string report;
    int status = -1;
    Bytes output;
};
FileRun runFile(const fs::path& input, const std::string& settings, bool asProcess = false);
FileRun runOnBytes(const Bytes& tiff, const std::string& settings);

// Whatever a file holds, a run either completes and writes what a healthy run writes, or
// ends with "exiting program", status 1 and an empty output. Returns the status.
int expectSound(const FileRun& run, const Bytes& healthy);
// With settings that change no pixel, a completed run writes the input itself.
int runWithoutFilter(const Bytes& tiff);

// Little-endian fields and directory entries of a TIFF in memory, for variants of fixtures.
void put(Bytes& bytes, size_t at, uint32_t value, size_t size = 4);
// The position of the first directory's entry of a tag.
size_t entryAt(const Bytes& tiff, uint16_t tag);
void setEntry(Bytes& tiff, uint16_t tag, uint16_t type, uint32_t count, uint32_t value);

// The image of an uncompressed 24-bit RGB TIFF as words 0x00RRGGBB, read independently of
// the program, with where each strip's bytes lie.
struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;
    std::vector<std::pair<size_t, size_t>> strips;
};
Image decodeImage(const Bytes& tiff);

}  // namespace testing_support
