#include "platform/LineEditor.h"

#include "platform/Names.h"
#include "platform/Terminal.h"

#ifdef VELSTRAM_HAVE_LIBEDIT

#include <editline/readline.h>
#include <sys/stat.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <string>

namespace platform {
namespace {

bool isFolder(std::string path) {
    if (path.starts_with("~/")) {
        path = homeFolder() + path.substr(1);
    }
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A folder that completes alone gets its slash, so the next part of the path can follow at
// once; a file gets nothing, as Enter is all that is left to type.
char** completeFileName(const char* text, int /*start*/, int /*end*/) {
    char** matches = rl_completion_matches(text, rl_filename_completion_function);
    bool oneFolder = matches != nullptr && matches[1] != nullptr && matches[2] == nullptr &&
                     isFolder(matches[0]);
    rl_completion_append_character = oneFolder ? int{'/'} : 0;
    return matches;
}

// The editor works on the characters of the locale and drops bytes it cannot decode. In the
// C locale that would be every letter outside ASCII, which a terminal most likely sends as
// UTF-8; without a locale for them, names are read as plain lines, byte for byte. The
// program has one thread, so the locale calls race with nothing.
// NOLINTBEGIN(concurrency-mt-unsafe)
bool lettersOutsideAsciiDecode() {
    wchar_t letter = 0;
    std::mbstate_t state{};
    return std::mbrtowc(&letter, "\xC3\xA9", 2, &state) <= 2;
}

bool decodesTypedLetters() {
    static_cast<void>(std::setlocale(LC_CTYPE, ""));
    return lettersOutsideAsciiDecode() ||
           (std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr && lettersOutsideAsciiDecode());
}
// NOLINTEND(concurrency-mt-unsafe)

}  // namespace

bool startLineEditor() {
    if (!standardInputIsTerminal() || !decodesTypedLetters()) {
        return false;
    }
    // The editor reads the terminal itself. Whatever the C stream had buffered of a line
    // would never reach it, such as the rest of the line whose first character the dialogue
    // drops before the input name; unbuffered, that rest stays with the terminal.
    if (std::setvbuf(stdin, nullptr, _IONBF, 0) != 0) {
        return false;
    }
    rl_readline_name = "velstram";
    // A path is one word, blanks included.
    rl_basic_word_break_characters = "";
    rl_completer_word_break_characters = const_cast<char*>("");
    rl_attempted_completion_function = completeFileName;
    return true;
}

std::optional<std::string> editLine() {
    // The prompt has been printed through the console and ends with a line end.
    std::unique_ptr<char, decltype(&std::free)> line(readline(""), &std::free);
    if (!line) {
        return std::nullopt;
    }
    if (*line != '\0') {
        add_history(line.get());
    }
    return std::string(line.get());
}

}  // namespace platform

#elif !defined(_WIN32)

namespace platform {

bool startLineEditor() {
    return false;
}

std::optional<std::string> editLine() {
    return std::nullopt;
}

}  // namespace platform

#endif
