#include "advice/Cure.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "advice/Conversion.h"
#include "platform/Platform.h"

// A file of another kind than uncompressed 8-bit RGB in strips is refused before a strip is
// read, by the line that names its kind; these lines follow it with one command, with the
// user's own file names, that converts the file into one this program reads.

namespace {

bool isTiffExtension(std::string extension) {
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c | 0x20); });
    return extension == ".tif" || extension == ".tiff";
}

// The converted file goes beside the input, named after it: sheet12.tif gives
// sheet12-rgb.tif, or sheet12-rgb-2.tif where a file has that name, and so on, so the
// printed command can be pasted as it is and replaces nothing.
std::string convertedName(const std::string& input) {
    size_t folderEnd = input.find_last_of("/\\");
    size_t dot = input.rfind('.');
    bool hasExtension = dot != std::string::npos &&
                        (folderEnd == std::string::npos || dot > folderEnd + 1) &&
                        isTiffExtension(input.substr(dot));
    const std::string base = (hasExtension ? input.substr(0, dot) : input) + "-rgb";
    const std::string extension = hasExtension ? input.substr(dot) : ".tif";
    std::string name = base + extension;
    for (uint64_t n = 2; platform::isRegularFile(name); ++n) {
        name = base;
        name.append("-").append(std::to_string(n)).append(extension);
    }
    return name;
}

}  // namespace

std::vector<std::string> cureLines(const ImageKind& kind, const std::string& input) {
    return {"Convert it first" + conversionNote(kind) + ", for example with:",
            "  " + conversion(kind, input, convertedName(input))};
}
