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

bool hexPrefixed(std::string_view text) {
    return text.starts_with("0x") || text.starts_with("0X");
}

std::string_view withoutPrefix(std::string_view text) {
    if (text.starts_with('#')) {
        return text.substr(1);
    }
    return hexPrefixed(text) ? text.substr(2) : text;
}

// The packed word 0x00RRGGBB, whose last six digits are the colour.
bool isPackedWord(std::string_view text) {
    return hexPrefixed(text) && text.size() == 2 + 2 + kDigits && text.substr(2, 2) == "00";
}

// The word of the first six characters, when all are hex digits.
ColourAnswer sixDigits(std::string_view digits) {
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
    return {ColourAnswer::Kind::Colour, word};
}

}  // namespace

ColourAnswer ColourAnswer::of(std::string_view typed) {
    std::string_view answer = trimmed(typed);
    if (answer.empty() || answer == "0") {
        return {Kind::NoColour, 0};
    }
    return sixDigits(isPackedWord(answer) ? answer.substr(4) : withoutPrefix(answer));
}

ColourAnswer ColourAnswer::exactly(std::string_view given) {
    std::string_view digits = isPackedWord(given) ? given.substr(4) : withoutPrefix(given);
    return digits.size() == kDigits ? sixDigits(digits) : ColourAnswer{};
}
