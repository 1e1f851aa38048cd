#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

// The program's only way to the user: typed lines in, text out, and the key wait.
// Tests hand it string streams and a key wait that does nothing.
// Text as it can be shown on one line: control characters, a line end among them, are
// written as \xNN.
std::string shown(std::string_view text);

class Console {
  public:
    // Reads one line with editing at a terminal; no value at the end of input.
    using LineEditor = std::function<std::optional<std::string>()>;
    // A person at a terminal can be asked again; a script's lines cannot be taken back.
    enum class Input { Piped, Terminal };

    // No answer comes near this length; a longer line is cut here.
    static constexpr size_t kLongestLine = 1000;

    // File names are read through nameEditor when one is given; every other answer keeps
    // its plain read, whose rules for what is left on the line the dialogue relies on.
    Console(std::istream& in, std::ostream& out, std::function<void()> keyWait,
            Input input = Input::Piped, LineEditor nameEditor = {});

    bool atTerminal() const { return input_ == Input::Terminal; }

    void print(std::string_view text) { out_ << text; }
    void print(uint32_t number) { out_ << number; }
    void endLine() { out_ << '\n' << std::flush; }
    void line(std::string_view text) {
        print(text);
        endLine();
    }
    void flush() { out_.flush(); }
    void waitKey();

    // Why a run stops. The dialogue shows these lines among the others; a command can send
    // them to a stream of their own, each line behind the prefix (the file it is about) and
    // shown on one line, whatever a file name in it holds.
    void sendErrorsTo(std::ostream& err, std::string prefix);
    void errorLine(std::string_view text);
    // What the user must know of an output that was written all the same (pages that still
    // show the old colours, images copied unchanged). The dialogue shows it among the report;
    // a command shows it with its errors, however quiet, or drops it when it writes no output.
    void warningLine(std::string_view text) {
        if (warningsShown_) {
            errorLine(text);
        }
    }
    void dropWarnings() { warningsShown_ = false; }

    // Skips white space, line ends included, then takes an optional sign and decimal digits.
    // When no number starts there, nothing is consumed and false is returned. A number
    // beyond the 32-bit range is stored as the nearest 32-bit bound.
    bool readNumber(int32_t& value);

    // Takes the rest of the current line and its end; returns its first kLongestLine
    // characters.
    std::string readLine();

    // Consumes one character; a CR LF line end counts as one character.
    void discardCharacter();

    // Takes a whole line as typed, without its line end, which is consumed.
    std::string readName();

  private:
    int takeLineEnd(int c);
    [[noreturn]] void inputEnded();

    std::istream& in_;
    std::ostream& out_;
    std::ostream* err_;
    std::string errorPrefix_;
    std::function<void()> keyWait_;
    Input input_;
    LineEditor nameEditor_;
    bool warningsShown_ = true;
};
