// libFuzzer target: each input is what is typed on the console for one whole run: the menu
// answer, the colours, the line after the settings and the file names. When the first byte
// is odd the console is a terminal, and each key wait takes one key press, all its bytes,
// from the same typed stream; otherwise the key waits take nothing, as when answers are
// piped. The input image is a small fixture in the scratch folder, and every name typed is
// taken to that folder (ConfinedPlatform.cpp). Besides the sanitizers' findings, each run
// must end with status 0 or 1, leave the input as it was, and leave every other file empty
// or complete: the input's size, with every byte outside its strip the input's own.
#include <sstream>

#include "FuzzSupport.h"
#include "platform/KeyPress.h"

using namespace fuzzing;

namespace {

// pillow.tif: the directory first, then one strip of 33 x 19 pixels up to the end.
constexpr size_t kStripAt = 140;

std::function<void()> keyPresses(std::istream& typed) {
    return [&typed] {
        auto next = [&typed](unsigned char& byte) {
            const int c = typed.get();
            byte = static_cast<unsigned char>(c);
            typed.clear();
            return c != std::char_traits<char>::eof();
        };
        unsigned char first = 0;
        if (next(first)) {
            takeRestOfKey(first, next);
        }
    };
}

bool complete(const Bytes& written, const Bytes& input) {
    return written.size() == input.size() &&
           std::equal(input.begin(), input.begin() + kStripAt, written.begin());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Bytes image = readBytes(VELSTRAM_FUZZ_IMAGE);
    const fs::path input = scratchRoot() / "in.tif";
    for (const auto& entry : fs::directory_iterator(scratchRoot())) {
        fs::remove_all(entry.path());
    }
    writeBytes(input, image);

    const bool terminal = size > 0 && (data[0] & 1) != 0;
    std::istringstream typed(std::string(data + (size > 0 ? 1 : 0), data + size));
    const std::string transcript =
        terminal ? runJob(typed, keyPresses(typed), Console::Input::Terminal).transcript
                 : runJob(typed, [] {}).transcript;
    if (readBytes(input) != image) {
        finding("the input file was changed", transcript);
    }
    for (const auto& entry : fs::directory_iterator(scratchRoot())) {
        const Bytes written = readBytes(entry.path());
        if (entry.path() != input && !written.empty() && !complete(written, image)) {
            finding("a file other than the input is neither empty nor a complete output",
                    transcript);
        }
    }
    return 0;
}
