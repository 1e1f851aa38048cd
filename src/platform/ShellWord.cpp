#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

#include "platform/Names.h"

namespace platform {

#ifdef _WIN32
// A Windows file name holds no double quote, so quoting the whole name is always enough.
std::string shellWord(const std::string& name) {
    bool plain = !name.empty() && name.find_first_of(" \t&()[]{}^=;!'+,`~%") == std::string::npos;
    return plain ? name : '"' + name + '"';
}
#else
// In single quotes sh takes every byte as it is, save the quote itself.
std::string shellWord(const std::string& name) {
    auto plain = [](unsigned char c) {
        return std::isalnum(c) != 0 ||
               std::string_view("/._-+,:@%=").find(static_cast<char>(c)) != std::string_view::npos;
    };
    if (!name.empty() && std::all_of(name.begin(), name.end(), plain)) {
        return name;
    }
    std::string quoted = "'";
    for (char c : name) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}
#endif

}  // namespace platform
