#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "app/JobRunner.h"
#include "dialogue/Console.h"

namespace testing_support {

fs::path scratch(const std::string& name) {
    fs::remove_all(scratchRoot() / name);
    fs::create_directories(scratchRoot() / name);
    return scratchRoot() / name;
}

fs::path fixture(const std::string& name) {
    return fs::path(VELSTRAM_TEST_DATA) / name;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

void expectRecorded(const std::string& text, const fs::path& recorded) {
    if (std::getenv("VELSTRAM_RECORD") != nullptr) {
        writeBytes(recorded, {text.begin(), text.end()});
    }
    Bytes expected = readBytes(recorded);
    EXPECT_EQ(text, std::string(expected.begin(), expected.end())) << "recorded in " << recorded;
}

namespace {

// One folder for every run: making a folder for each run costs more than the run.
const fs::path& runFolder() {
    static const fs::path folder = scratch("runs");
    return folder;
}

uint32_t get(const Bytes& bytes, size_t at, size_t size = 4) {
    uint32_t value = 0;
    for (size_t i = size; i-- > 0;) {
        value = value << 8 | bytes.at(at + i);
    }
    return value;
}

bool windowsBuild() {
    return std::getenv("VELSTRAM_WINDOWS_PATHS") != nullptr;
}

// The values of an entry: in its value field when they fit, else where that field points.
std::vector<uint32_t> entryValues(const Bytes& tiff, uint16_t tag) {
    const size_t entry = entryAt(tiff, tag);
    const size_t size = get(tiff, entry + 2, 2) == 3 ? 2 : 4;
    const uint32_t count = get(tiff, entry + 4);
    const size_t where = count * size <= 4 ? entry + 8 : get(tiff, entry + 8);
    std::vector<uint32_t> values;
    for (size_t at = where; at < where + count * size; at += size) {
        values.push_back(get(tiff, at, size));
    }
    return values;
}

}  // namespace

RunResult runJob(const std::string& typed) {
    std::istringstream in(typed);
    std::ostringstream out;
    Console console(in, out, [] {});
    const int status = exitStatusOfJob(console);
    return {out.str(), status, ""};
}

std::string programCommand() {
    const char* runner = std::getenv("VELSTRAM_RUNNER");
    const char* binary = std::getenv("VELSTRAM_PROGRAM");
    return std::string(runner ? runner : "") + " \"" + (binary ? binary : VELSTRAM_BINARY) + "\" ";
}

std::pair<int, int> runTogether(const std::string& first, const std::string& second) {
    const std::string quiet = " </dev/null >/dev/null 2>&1";
    const std::string both = programCommand() + first + quiet + " & " + programCommand() + second +
                             quiet + "; s=$?; wait $!; exit $(($? * 16 + s))";
    const int raw = std::system(both.c_str());
    return {WEXITSTATUS(raw) / 16, WEXITSTATUS(raw) % 16};
}

RunResult runProgram(const std::string& typed, const std::string& arguments) {
    const fs::path in = runFolder() / "typed.txt";
    const fs::path out = runFolder() / "transcript.txt";
    const fs::path errors = runFolder() / "errors.txt";
    std::ofstream(in, std::ios::binary)
        << (windowsBuild() ? replaceAll(typed, "\n", "\r\n") : typed);
    std::string command = programCommand() + arguments + " < \"" + in.string() + "\" > \"" +
                          out.string() + "\" 2> \"" + errors.string() + "\"";
    int raw = std::system(command.c_str());
    auto text = [](const fs::path& file) {
        Bytes bytes = readBytes(file);
        return replaceAll(std::string(bytes.begin(), bytes.end()), "\r\n", "\n");
    };
    return {text(out), WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text(errors)};
}

// The Windows build reads redirected input in UTF-8, as it reads its arguments.
std::string typedPath(const fs::path& file) {
    return windowsBuild() ? replaceAll("Z:" + fs::absolute(file).string(), "/", "\\")
                          : file.string();
}

Bytes makeImage(uint32_t width, uint32_t height, bool directoryFirst) {
    const uint32_t pixels = width * height * 3;
    const uint32_t directory = directoryFirst ? 8 : 8 + pixels, strip = directoryFirst ? 62 : 8;
    Bytes tiff(8 + 54 + pixels);
    put(tiff, 0, 0x002A4949);
    put(tiff, 4, directory);
    put(tiff, directory, 4, 2);
    const uint32_t entries[4][2] = {{256, width}, {257, height}, {273, strip}, {279, pixels}};
    for (size_t e = 0; e < 4; ++e) {
        put(tiff, directory + 2 + 12 * e, entries[e][0] | 4U << 16);
        put(tiff, directory + 6 + 12 * e, 1);
        put(tiff, directory + 10 + 12 * e, entries[e][1]);
    }
    for (uint32_t i = 0; i < pixels; ++i) {
        tiff[strip + i] = static_cast<uint8_t>(i * 7 + i / 4099);
    }
    return tiff;
}

FileRun runFile(const fs::path& input, const std::string& settings, bool asProcess) {
    const Bytes before = readBytes(input);
    const fs::path output = runFolder() / "output.tif";
    fs::remove(output);
    const std::string typed[] = {asProcess ? typedPath(input) : input.string(),
                                 asProcess ? typedPath(output) : output.string()};
    const std::string answers = settings + "\n" + typed[0] + "\n" + typed[1] + "\n";
    RunResult result = asProcess ? runProgram(answers) : runJob(answers);
    const std::string lastPrompt = "for example: c:\\outfile.TIF\n\n";
    size_t prompt = result.transcript.rfind(lastPrompt);
    std::string report = prompt == std::string::npos
                             ? result.transcript
                             : result.transcript.substr(prompt + lastPrompt.size());
    // The report names the files as they were typed; it is kept without their folders.
    for (const std::string& name : typed) {
        const std::string folder = name.substr(0, name.find_last_of("/\\") + 1);
        for (size_t at = 0; (at = report.find(folder)) != std::string::npos;) {
            report.erase(at, folder.size());
        }
    }
    EXPECT_TRUE(readBytes(input) == before) << "the input was changed";
    return {report, result.status, readBytes(output)};
}

FileRun runOnBytes(const Bytes& tiff, const std::string& settings) {
    writeBytes(runFolder() / "input.tif", tiff);
    return runFile(runFolder() / "input.tif", settings);
}

int expectSound(const FileRun& run, const Bytes& healthy) {
    if (run.status == 0) {
        EXPECT_TRUE(run.output == healthy) << "a completed run wrote another output\n"
                                           << run.report;
    } else {
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.output.empty()) << "an ended run left " << run.output.size() << " bytes";
        EXPECT_TRUE(endsWith(run.report, "exiting program\n")) << run.report;
    }
    return run.status;
}

int runWithoutFilter(const Bytes& tiff) {
    return expectSound(runOnBytes(tiff, kNoFilter), tiff);
}

void put(Bytes& bytes, size_t at, uint32_t value, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        bytes.at(at + i) = static_cast<uint8_t>(value >> 8 * i);
    }
}

size_t entryAt(const Bytes& tiff, uint16_t tag) {
    const size_t directory = get(tiff, 4);
    for (size_t entry = directory + 2; entry < directory + 2 + 12 * get(tiff, directory, 2);
         entry += 12) {
        if (get(tiff, entry, 2) == tag) {
            return entry;
        }
    }
    throw std::runtime_error("no entry with tag " + std::to_string(tag));
}

void setEntry(Bytes& tiff, uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    size_t entry = entryAt(tiff, tag);
    put(tiff, entry + 2, type, 2);
    put(tiff, entry + 4, count);
    put(tiff, entry + 8, value);
}

Image decodeImage(const Bytes& tiff) {
    Image image{entryValues(tiff, 256).at(0), entryValues(tiff, 257).at(0), {}, {}};
    std::vector<uint32_t> offsets = entryValues(tiff, 273);
    std::vector<uint32_t> counts = entryValues(tiff, 279);
    for (size_t s = 0; s < offsets.size(); ++s) {
        image.strips.emplace_back(offsets[s], counts[s]);
        for (size_t at = offsets[s]; at + 3 <= size_t{offsets[s]} + counts[s] &&
                                     image.pixels.size() < size_t{image.width} * image.height;
             at += 3) {
            image.pixels.push_back(uint32_t{tiff.at(at)} << 16 | uint32_t{tiff.at(at + 1)} << 8 |
                                   tiff.at(at + 2));
        }
    }
    return image;
}

}  // namespace testing_support
