// libFuzzer target: each input is an argument vector, the arguments separated by zero bytes
// (an empty input stands for no arguments, where the dialogue starts, which fuzz_dialogue
// covers). The scratch folder holds a readable image, in.tif, which every name the arguments
// give reaches by its last component. Whatever the arguments: status 2 comes with one usage
// line and the pointer to --help on standard error alone and no file touched; a stop (1)
// says why on standard error; status 0 has nothing but warnings there; every line there
// begins "velstram: "; no dialogue starts; in.tif never changes; and no file is left behind
// but, after status 0, a whole output of the input's size.
#include <algorithm>
#include <sstream>
#include <string_view>

#include "FuzzSupport.h"
#include "app/CommandLine.h"

using namespace fuzzing;

namespace {

const Bytes& image() {
    static const Bytes bytes = readBytes(VELSTRAM_FUZZ_IMAGE);
    return bytes;
}

// Only in.tif is left in the folder, as it was, so that every input replays alike.
void resetScratch() {
    for (const auto& entry : fs::directory_iterator(scratchRoot())) {
        fs::remove_all(entry.path());
    }
    writeBytes(scratchRoot() / "in.tif", image());
}

void checkFilesLeft(int status, const std::string& text) {
    if (readBytes(scratchRoot() / "in.tif") != image()) {
        finding("the input image was changed", text);
    }
    for (const auto& entry : fs::directory_iterator(scratchRoot())) {
        if (entry.path().filename() == "in.tif") {
            continue;
        }
        const uintmax_t size = entry.is_regular_file() ? fs::file_size(entry.path()) : 0;
        if (status != 0 || size != image().size()) {
            finding("a file was touched by misuse, or left by a stop, half-written or wrong", text);
        }
    }
}

// Each line of standard error names the program first.
bool allNamed(const std::string& errors) {
    std::istringstream lines(errors);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("velstram: ")) {
            return false;
        }
    }
    return errors.empty() || errors.back() == '\n';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    resetScratch();
    const std::string all(data, data + size);
    std::vector<std::string_view> arguments;
    for (size_t start = 0, end = 0; start <= all.size(); start = end + 1) {
        end = std::min(all.find('\0', start), all.size());
        arguments.push_back(std::string_view(all).substr(start, end - start));
    }
    std::ostringstream out;
    std::ostringstream err;
    const int status = answerArguments(arguments, out, err);
    const std::string text = out.str() + err.str();
    const std::string errors = err.str();
    if (status == 0 && errors.find("exiting program\n") != std::string::npos) {
        finding("a command that succeeded said it stopped", text);
    }
    if (status == 1 && errors.empty()) {
        finding("a stop did not say why", text);
    }
    const std::string tryHelp = "\nTry 'velstram --help'.\n";
    if (status == 2 && (!out.str().empty() || !errors.ends_with(tryHelp) ||
                        errors.find('\n') + tryHelp.size() != errors.size())) {
        finding("a refused argument gave other than one usage line on standard error", text);
    }
    if (status != 2 && !allNamed(errors)) {
        finding("a line on standard error does not begin with the program's name", text);
    }
    if (status < 0 || status > 2 ||
        out.str().find("Welcome to VELSTRAM                 *\n") != std::string::npos) {
        finding("arguments gave another status than 0, 1 or 2, or started the dialogue", text);
    }
    checkFilesLeft(status, text);
    return 0;
}
