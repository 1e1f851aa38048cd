#include "dialogue/Console.h"

#include <algorithm>
#include <limits>

#include "platform/RunEnded.h"

namespace {

constexpr int kEnd = std::char_traits<char>::eof();

bool isSpace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

}  // namespace

Console::Console(std::istream& in, std::ostream& out, std::function<void()> keyWait, Input input,
                 LineEditor nameEditor)
    : in_(in),
      out_(out),
      err_(&out),
      keyWait_(std::move(keyWait)),
      input_(input),
      nameEditor_(std::move(nameEditor)) {}

void Console::waitKey() {
    out_.flush();
    keyWait_();
}

void Console::sendErrorsTo(std::ostream& err, std::string prefix) {
    err_ = &err;
    errorPrefix_ = std::move(prefix);
}

// Each line goes out in one write, so that the lines of runs side by side do not mix.
void Console::errorLine(std::string_view text) {
    out_.flush();
    *err_ << errorPrefix_ + (errorPrefix_.empty() ? std::string(text) : shown(text)) + '\n'
          << std::flush;
}

std::string shown(std::string_view text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string line;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            line += {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 0xF]};
        } else {
            line.push_back(c);
        }
    }
    return line;
}

void Console::inputEnded() {
    // The one end whose reason and "exiting program" share a line.
    throw RunEnded{
        {"Console input ended before the dialogue was complete; exiting program"}, 1, false};
}

bool Console::readNumber(int32_t& value) {
    out_.flush();
    int c = in_.peek();
    while (isSpace(c)) {
        in_.get();
        c = in_.peek();
    }
    if (c == kEnd) {
        inputEnded();
    }
    bool negative = false;
    if (c == '+' || c == '-') {
        in_.get();
        if (!isDigit(in_.peek())) {
            in_.clear();
            in_.putback(static_cast<char>(c));
            return false;
        }
        negative = c == '-';
    } else if (!isDigit(c)) {
        return false;
    }
    int64_t magnitude = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    while (isDigit(in_.peek())) {
        magnitude = std::min(kLimit, magnitude * 10 + (in_.get() - '0'));
    }
    in_.clear();
    int64_t signedValue = negative ? -magnitude : magnitude;
    value = static_cast<int32_t>(std::clamp<int64_t>(
        signedValue, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    return true;
}

int Console::takeLineEnd(int c) {
    if (c == '\r' && in_.peek() == '\n') {
        return in_.get();
    }
    return c;
}

std::string Console::readLine() {
    out_.flush();
    std::string line;
    int c = takeLineEnd(in_.get());
    if (c == kEnd) {
        inputEnded();
    }
    while (c != '\n' && c != kEnd) {
        if (line.size() < kLongestLine) {
            line.push_back(static_cast<char>(c));
        }
        c = takeLineEnd(in_.get());
    }
    in_.clear();
    return line;
}

void Console::discardCharacter() {
    out_.flush();
    if (takeLineEnd(in_.get()) == kEnd) {
        inputEnded();
    }
}

std::string Console::readName() {
    out_.flush();
    if (nameEditor_) {
        std::optional<std::string> edited = nameEditor_();
        if (!edited) {
            // The editor leaves the cursor on the line it was reading.
            endLine();
            inputEnded();
        }
        return *edited;
    }
    std::string name;
    int c = takeLineEnd(in_.get());
    if (c == kEnd) {
        inputEnded();
    }
    while (c != '\n' && c != kEnd) {
        name.push_back(static_cast<char>(c));
        c = takeLineEnd(in_.get());
    }
    in_.clear();
    return name;
}
