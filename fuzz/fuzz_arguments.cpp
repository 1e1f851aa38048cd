// libFuzzer target: each input is an argument vector, the arguments separated by zero bytes
// (an empty input stands for no arguments, where the dialogue starts, which fuzz_dialogue
// covers). Whatever the arguments, the answer is status 0 with text on standard output
// alone, or status 2 with one line on standard error alone; no dialogue starts.
#include <sstream>
#include <string_view>

#include "FuzzSupport.h"
#include "app/CommandLine.h"

using namespace fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
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
    if (status == 0 && (out.str().empty() || !err.str().empty())) {
        finding("an answered argument printed nothing, or printed to standard error", text);
    }
    if (status == 2 && (!out.str().empty() || err.str().find('\n') + 1 != err.str().size())) {
        finding("a refused argument gave other than one line on standard error", text);
    }
    if ((status != 0 && status != 2) ||
        out.str().find("Welcome to VELSTRAM") != std::string::npos) {
        finding("arguments gave another status than 0 or 2, or started the dialogue", text);
    }
    return 0;
}
