#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

#include "app/ImageJob.h"
#include "app/RunEnded.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace testing_support {

ScratchDir::ScratchDir() {
    std::random_device seed;
    path_ = fs::temp_directory_path() /
            ("velstram-test-" + std::to_string(seed()) + std::to_string(seed()));
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

fs::path fixture(const std::string& name) {
    return fs::path(VELSTRAM_TEST_DATA) / name;
}

std::vector<uint8_t> readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
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

namespace {

// Under an emulator that runs the Windows build, the program meets a Windows console:
// typed lines end in CR LF, and so do the lines it prints.
bool windowsConsole() {
    return std::getenv("VELSTRAM_WINDOWS_PATHS") != nullptr;
}

std::string withCrLf(const std::string& text) {
    std::string windows;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            windows.push_back('\r');
        }
        windows.push_back(text[i]);
    }
    return windows;
}

std::string withoutCrLf(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            plain.push_back(text[i]);
        }
    }
    return plain;
}

}  // namespace

RunResult runProgram(const std::string& typed, const std::string& arguments) {
    ScratchDir scratch;
    fs::path typedFile = scratch / "typed.txt";
    fs::path transcriptFile = scratch / "transcript.txt";
    fs::path errorsFile = scratch / "errors.txt";
    std::ofstream(typedFile, std::ios::binary) << (windowsConsole() ? withCrLf(typed) : typed);
    const char* runner = std::getenv("VELSTRAM_RUNNER");
    const char* binary = std::getenv("VELSTRAM_PROGRAM");
    std::string command = std::string(runner ? runner : "") + " \"" +
                          (binary ? binary : VELSTRAM_BINARY) + "\" " + arguments + " < \"" +
                          typedFile.string() + "\" > \"" + transcriptFile.string() + "\" 2> \"" +
                          errorsFile.string() + "\"";
    int raw = std::system(command.c_str());
    RunResult result;
#if defined(_WIN32)
    result.status = raw;
#else
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    std::vector<uint8_t> transcript = readBytes(transcriptFile);
    std::vector<uint8_t> errors = readBytes(errorsFile);
    result.transcript.assign(transcript.begin(), transcript.end());
    result.errors.assign(errors.begin(), errors.end());
    if (windowsConsole()) {
        result.transcript = withoutCrLf(result.transcript);
        result.errors = withoutCrLf(result.errors);
    }
    return result;
}

namespace {

// Redirected input reaches the Windows build in the ANSI code page, 1252 under the locale
// that scripts/test-windows.sh gives Wine, so a Latin-1 letter is typed as one byte.
std::string latin1(const std::string& utf8) {
    std::string typed;
    for (size_t i = 0; i < utf8.size(); ++i) {
        auto lead = static_cast<unsigned char>(utf8[i]);
        if ((lead == 0xC2 || lead == 0xC3) && i + 1 < utf8.size()) {
            typed.push_back(static_cast<char>((lead & 0x03) << 6 | (utf8[++i] & 0x3F)));
        } else {
            typed.push_back(utf8[i]);
        }
    }
    return typed;
}

}  // namespace

std::string typedPath(const fs::path& file) {
    if (!windowsConsole()) {
        return file.string();
    }
    std::string windows = "Z:" + fs::absolute(file).string();
    for (char& c : windows) {
        if (c == '/') {
            c = '\\';
        }
    }
    return latin1(windows);
}

std::string typedRun(int option, const std::string& input, const std::string& output) {
    return std::to_string(option) + "\n\n" + input + "\n" + output + "\n";
}

std::string afterDialogue(const std::string& transcript) {
    size_t start = transcript.find("\n\nInput the name of the input TIF file");
    return start == std::string::npos ? transcript : transcript.substr(start);
}

}  // namespace testing_support

namespace testing_support {

uint32_t get16(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes.at(at) | bytes.at(at + 1) << 8;
}

uint32_t get32(const std::vector<uint8_t>& bytes, size_t at) {
    return get16(bytes, at) | get16(bytes, at + 2) << 16;
}

void put16(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    bytes.at(at) = static_cast<uint8_t>(value);
    bytes.at(at + 1) = static_cast<uint8_t>(value >> 8);
}

void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    put16(bytes, at, value & 0xFFFF);
    put16(bytes, at + 2, value >> 16);
}

size_t entryAt(const std::vector<uint8_t>& tiff, uint16_t tag) {
    size_t directory = get32(tiff, 4);
    uint32_t count = get16(tiff, directory);
    for (uint32_t i = 0; i < count; ++i) {
        size_t entry = directory + 2 + 12 * size_t{i};
        if (get16(tiff, entry) == tag) {
            return entry;
        }
    }
    throw std::runtime_error("no entry with tag " + std::to_string(tag));
}

void setEntry(std::vector<uint8_t>& tiff, uint16_t tag, uint16_t type, uint32_t count,
              uint32_t value) {
    size_t entry = entryAt(tiff, tag);
    put16(tiff, entry + 2, type);
    put32(tiff, entry + 4, count);
    put32(tiff, entry + 8, 0);
    if (type == 3 && count <= 2) {
        put16(tiff, entry + 8, value);
    } else {
        put32(tiff, entry + 8, value);
    }
}

namespace {

uint32_t entryValue(const std::vector<uint8_t>& tiff, size_t entry) {
    return get16(tiff, entry + 2) == 3 ? get16(tiff, entry + 8) : get32(tiff, entry + 8);
}

std::vector<uint32_t> entryArray(const std::vector<uint8_t>& tiff, size_t entry) {
    uint32_t type = get16(tiff, entry + 2);
    uint32_t count = get32(tiff, entry + 4);
    size_t size = type == 3 ? 2 : 4;
    size_t where = count * size <= 4 ? entry + 8 : get32(tiff, entry + 8);
    std::vector<uint32_t> values;
    for (uint32_t i = 0; i < count; ++i) {
        values.push_back(size == 2 ? get16(tiff, where + 2 * i) : get32(tiff, where + 4 * i));
    }
    return values;
}

}  // namespace

Image decodeImage(const std::vector<uint8_t>& tiff) {
    Image image;
    image.width = entryValue(tiff, entryAt(tiff, 256));
    image.height = entryValue(tiff, entryAt(tiff, 257));
    image.pixels.reserve(size_t{image.width} * image.height);
    std::vector<uint32_t> offsets = entryArray(tiff, entryAt(tiff, 273));
    std::vector<uint32_t> counts = entryArray(tiff, entryAt(tiff, 279));
    for (size_t s = 0; s < offsets.size(); ++s) {
        image.strips.emplace_back(offsets[s], counts[s]);
        for (size_t at = offsets[s]; at + 3 <= size_t{offsets[s]} + counts[s]; at += 3) {
            if (image.pixels.size() < image.pixels.capacity()) {
                image.pixels.push_back(uint32_t{tiff.at(at)} << 16 |
                                       uint32_t{tiff.at(at + 1)} << 8 | tiff.at(at + 2));
            }
        }
    }
    return image;
}

FileRun runOnBytes(const std::vector<uint8_t>& tiff, const std::string& typedSettings) {
    ScratchDir scratch;
    fs::path input = scratch / "input.tif";
    fs::path output = scratch / "output.tif";
    writeBytes(input, tiff);
    RunResult result =
        runJob(typedSettings + "\n" + input.string() + "\n" + output.string() + "\n");
    FileRun run;
    const std::string lastPrompt = "for example: c:\\outfile.TIF\n\n";
    size_t prompt = result.transcript.find(lastPrompt);
    run.report = prompt == std::string::npos ? result.transcript
                                             : result.transcript.substr(prompt + lastPrompt.size());
    run.status = result.status;
    run.output = readBytes(output);
    EXPECT_EQ(readBytes(input), tiff) << "the input was changed";
    return run;
}

}  // namespace testing_support
