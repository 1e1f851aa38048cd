#include "dialogue/ColourAnswer.h"

namespace {

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
constexpr size_t kDigits = 6;

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string_view trimmed(std::string_view text) {
    size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

std::string_view withoutPrefix(std::string_view text) {
    if (text.starts_with('#')) {
        return text.substr(1);
    }
    if (text.starts_with("0x") || text.starts_with("0X")) {
        return text.substr(2);
    }
    return text;
}

}  // namespace

ColourAnswer ColourAnswer::of(std::string_view typed) {
    std::string_view answer = trimmed(typed);
    if (answer.empty() || answer == "0") {
        return {Kind::NoColour, 0};
    }
    std::string_view digits = withoutPrefix(answer);
    if (digits.size() < kDigits) {
        return {};
    }
    uint32_t word = 0;
    for (char c : digits.substr(0, kDigits)) {
        int value = hexDigitValue(c);
        if (value < 0) {
            return {};
        }
        word = word << 4 | static_cast<uint32_t>(value);
    }
    return {Kind::Colour, word};
}
