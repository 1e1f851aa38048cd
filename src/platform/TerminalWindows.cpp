#include "platform/Terminal.h"

#include "platform/Interrupts.h"
#include "platform/LineEditor.h"
#include "platform/Narrow.h"
#include "platform/SystemWindows.h"

#include <conio.h>

#include <cstdio>
#include <iostream>
#include <streambuf>
#include <string>

namespace platform {
namespace {

// The console's output mode before colours were asked for, restored on an interrupt.
DWORD consoleOutputMode{};
volatile LONG consoleModeChanged{};

// The length of the longest start of text that ends on a whole UTF-8 character, so that a
// letter cut by a buffer's end is shown once its last byte has come.
size_t wholeCharacters(const std::string& text) {
    size_t end = text.size();
    for (size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) == 0xC0) {
            size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
            end = needed > back ? text.size() - back : text.size();
            break;
        }
        if ((byte & 0xC0) != 0x80) {
            break;
        }
    }
    return end;
}

// A console shows each letter of a name only when written in UTF-16; the bytes are kept
// until they form whole letters.
class ConsoleText : public std::streambuf {
  public:
    explicit ConsoleText(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return sync() == 0 ? traits_type::not_eof(c) : traits_type::eof();
        }
        pending_.push_back(traits_type::to_char_type(c));
        return c == '\n' && sync() != 0 ? traits_type::eof() : c;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        pending_.append(text, narrow<size_t>(count));
        return pending_.find('\n') != std::string::npos && sync() != 0 ? 0 : count;
    }
    int sync() override {
        size_t whole = wholeCharacters(pending_);
        std::wstring text = wide(pending_.substr(0, whole));
        pending_.erase(0, whole);
        DWORD written = 0;
        return text.empty() || WriteConsoleW(console_, text.data(), narrow<DWORD>(text.size()),
                                             &written, nullptr)
                   ? 0
                   : -1;
    }

  private:
    HANDLE console_;
    std::string pending_;
};

// Puts a console's text buffer under a stream for the life of the program, and takes it
// away before the streams are flushed for the last time.
class ConsoleStream {
  public:
    ConsoleStream(std::ostream& stream, DWORD handle)
        : stream_(stream), text_(GetStdHandle(handle)) {
        DWORD mode = 0;
        if (GetConsoleMode(GetStdHandle(handle), &mode) != 0) {
            previous_ = stream_.rdbuf(&text_);
        }
    }
    ~ConsoleStream() {
        if (previous_ != nullptr) {
            stream_.flush();
            stream_.rdbuf(previous_);
        }
    }
    ConsoleStream(const ConsoleStream&) = delete;
    ConsoleStream& operator=(const ConsoleStream&) = delete;

  private:
    std::ostream& stream_;
    ConsoleText text_;
    std::streambuf* previous_ = nullptr;
};

}  // namespace

void atInterrupt::restoreTerminal() {
    if (isSet(consoleModeChanged)) {
        SetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), consoleOutputMode);
    }
}

void reopenClosedStandardStreams() {
    const struct {
        DWORD handle;
        std::FILE* stream;
        const char* mode;
    } streams[] = {{STD_INPUT_HANDLE, stdin, "r"},
                   {STD_OUTPUT_HANDLE, stdout, "w"},
                   {STD_ERROR_HANDLE, stderr, "w"}};
    for (const auto& [handle, stream, mode] : streams) {
        HANDLE standard = GetStdHandle(handle);
        if (standard == nullptr || standard == INVALID_HANDLE_VALUE) {
            static_cast<void>(std::freopen("NUL", mode, stream));
        }
    }
}

bool standardInputIsTerminal() {
    return inputIsConsole();
}

// A console shows ANSI colour sequences only once asked to (Windows 10 and later).
bool standardOutputIsTerminal() {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(output, &mode) == 0) {
        return false;
    }
    if (isSet(consoleModeChanged) == 0) {
        consoleOutputMode = mode;
        InterlockedExchange(&consoleModeChanged, 1);
    }
    return SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void waitForKey() {
    if (!inputIsConsole()) {
        return;
    }
    // Arrow and function keys come as two codes; the second must not answer the next wait.
    int key = _getch();
    if (key == 0 || key == 0xE0) {
        _getch();
    }
}

// Each stream is handed back, flushed, before the C++ runtime flushes its streams at exit.
void showLettersAtConsoles() {
    static ConsoleStream output(std::cout, STD_OUTPUT_HANDLE);
    static ConsoleStream errors(std::cerr, STD_ERROR_HANDLE);
}

// The console edits the line itself; read in UTF-16, every letter of a typed name arrives.
// The C stream then buffers nothing of the lines that are not names.
bool startLineEditor() {
    return inputIsConsole() && std::setvbuf(stdin, nullptr, _IONBF, 0) == 0;
}

std::optional<std::string> editLine() {
    std::wstring line;
    constexpr DWORD kChunk = 256;
    wchar_t chunk[kChunk];
    DWORD got = 0;
    while (ReadConsoleW(GetStdHandle(STD_INPUT_HANDLE), chunk, kChunk, &got, nullptr) != 0 &&
           got > 0) {
        line.append(chunk, got);
        if (line.back() == L'\n') {
            break;
        }
    }
    // Ctrl-Z at the start of a line ends the console's input.
    if (line.empty() || line.front() == L'\x1a') {
        return std::nullopt;
    }
    line.erase(line.find_last_not_of(L"\r\n") + 1);
    return utf8(line);
}

}  // namespace platform
