#include "platform/Names.h"

#include "platform/Narrow.h"
#include "platform/SystemWindows.h"

#include <limits>

namespace platform {

std::wstring wide(const std::string& text) {
    if (text.empty() || text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        return {};
    }
    auto length = narrow<int>(text.size());
    int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    if (needed <= 0) {
        return {};
    }
    std::wstring result(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, result.data(), needed);
    return result;
}

std::string utf8(const std::wstring& text) {
    if (text.empty() || text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        return {};
    }
    auto length = narrow<int>(text.size());
    int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return {};
    }
    std::string result(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, result.data(), needed, nullptr, nullptr);
    return result;
}

// Windows names have no short form for the home folder.
std::string homeFolder() {
    return {};
}

std::vector<std::string> argumentsInUtf8(int count, wchar_t** arguments) {
    std::vector<std::string> converted;
    for (int n = 1; n < count; ++n) {
        converted.push_back(utf8(arguments[n]));
    }
    return converted;
}

}  // namespace platform
