#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace platform {

// The file an output is written into gets a hidden name beside the output, made from the
// output's name and the process, so that one left by a killed run is recognisable: a part of
// the name's own, then the process's number and ".tmp". Names are in the system's units:
// bytes of UTF-8, or UTF-16 units on Windows.
constexpr std::string_view kHiddenMark = ".velstram-";
constexpr std::string_view kHiddenEnd = ".tmp";
// The most digits a process number has.
constexpr size_t kNumberDigits = 10;

template <typename Char>
std::basic_string<Char> inUnits(std::string_view ascii) {
    return {ascii.begin(), ascii.end()};
}

// FNV-1a over the units, 64 bits as 16 hex digits: enough that two long names of one
// folder that share their start do not meet.
template <typename Char>
std::basic_string<Char> hashOf(std::basic_string_view<Char> text) {
    uint64_t hash = 14695981039346656037ULL;
    for (Char unit : text) {
        hash = (hash ^ static_cast<std::make_unsigned_t<Char>>(unit)) * 1099511628211ULL;
    }
    constexpr std::string_view kDigits = "0123456789abcdef";
    std::basic_string<Char> hex(16, Char{'0'});
    for (size_t at = hex.size(); at-- > 0; hash >>= 4) {
        hex[at] = static_cast<Char>(kDigits[hash & 0xF]);
    }
    return hex;
}

// Whether a unit continues a letter begun before it (a UTF-8 continuation byte, the second
// half of a UTF-16 surrogate pair), so that a cut there would split the letter.
template <typename Char>
bool continuesLetter(Char unit) {
    const auto value = static_cast<std::make_unsigned_t<Char>>(unit);
    if constexpr (sizeof(Char) == 1) {
        return (value & 0xC0) == 0x80;
    } else {
        return value >= 0xDC00 && value <= 0xDFFF;
    }
}

// The part of the hidden name before the process's number: "." NAME ".velstram-". Where the
// whole hidden name could pass limit, the folder's longest name, the part keeps as much of
// the name's start as fits, in whole letters, then "~" and a hash of the whole name, so that
// it still belongs to this name alone and the clean-up of left-overs finds it.
template <typename Char>
std::basic_string<Char> hiddenPrefix(std::basic_string_view<Char> file, size_t limit) {
    const std::basic_string<Char> mark = inUnits<Char>(kHiddenMark);
    const size_t end = kNumberDigits + kHiddenEnd.size();
    if (1 + file.size() + mark.size() + end <= limit) {
        return inUnits<Char>(".") + std::basic_string<Char>(file) + mark;
    }
    const size_t fixed = 2 + 16 + mark.size() + end;
    size_t kept = std::min(file.size(), limit > fixed ? limit - fixed : 0);
    while (kept > 0 && kept < file.size() && continuesLetter(file[kept])) {
        --kept;
    }
    return inUnits<Char>(".") + std::basic_string<Char>(file.substr(0, kept)) + inUnits<Char>("~") +
           hashOf(file) + mark;
}

}  // namespace platform
