// libFuzzer target: each input is the content of an input image, run through one whole job
// in-process with a scripted console. Besides the sanitizers' findings, a run must keep the
// rules for malformed files: an ended run leaves the output empty, a completed one writes an
// output the size of the input, and the input is never changed.
#include <sstream>

#include "FuzzSupport.h"

using namespace fuzzing;

namespace {

// The option comes from the bytes themselves, so each input always takes the same path and
// a corpus entry replays exactly; mutations of one file then reach every option.
uint64_t fnv1a(const uint8_t* data, size_t size) {
    uint64_t hash = 0xcbf29ce484222325;
    for (size_t i = 0; i < size; ++i) {
        hash = (hash ^ data[i]) * 0x100000001b3;
    }
    return hash;
}

std::string colourLine(uint64_t& hash) {
    static constexpr char kDigits[] = "0123456789abcdef";
    hash = hash * 6364136223846793005 + 1442695040888963407;
    std::string line;
    for (int shift = 40; shift >= 20; shift -= 4) {
        line.push_back(kDigits[(hash >> shift) & 0xF]);
    }
    return line + "\n";
}

// Option 5 stands for a band that removes nothing (its low bound above its high one), so
// that a completed run must give back the input byte for byte, but for reduced-resolution
// pages, which are rebuilt from the image by nearest sampling.
struct Typed {
    int option = 0;
    std::string lines;
};

Typed typedLines(uint64_t hash, const std::string& input, const std::string& output) {
    Typed typed;
    typed.option = static_cast<int>(hash % 5) + 1;
    if (typed.option == 5) {
        typed.lines = "2\nffffff\n000000\n";
    } else {
        typed.lines = std::to_string(typed.option) + "\n";
    }
    int colours = typed.option == 1 ? 10 : typed.option == 2 ? 2 : 0;
    for (int n = 0; n < colours; ++n) {
        typed.lines += colourLine(hash);
    }
    typed.lines += "\n" + input + "\n" + output + "\n";
    return typed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path input = scratchRoot() / "in.tif";
    const fs::path output = scratchRoot() / "out.tif";
    const Bytes tiff(data, data + size);
    writeBytes(input, tiff);
    std::error_code ignored;
    fs::remove(output, ignored);

    Typed typed = typedLines(fnv1a(data, size), input.string(), output.string());
    std::istringstream in(typed.lines);
    const auto [status, transcript] = runJob(in, [] {});

    const Bytes inputAfter = readBytes(input);
    if (inputAfter != tiff) {
        finding("the input file was changed", transcript);
    }
    const Bytes written = readBytes(output);
    if (status == 1 && !written.empty()) {
        finding("a run that ended left bytes in the output", transcript);
    } else if (status == 0 && written.size() != size) {
        finding("a completed run wrote an output of another size than the input", transcript);
    } else if (status == 0 && typed.option == 5 && written != inputAfter &&
               transcript.find("rebuilt from the filtered image") == std::string::npos) {
        finding("a band that removes nothing wrote an output that differs from the input",
                transcript);
    }
    return 0;
}
