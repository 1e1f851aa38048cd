#include "dialogue/FileNamePrompts.h"

#include "dialogue/Console.h"
#include "dialogue/TypedName.h"
#include "platform/Platform.h"

std::string fileNameMeant(std::string_view typed) {
    constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
    size_t first = typed.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    typed = typed.substr(first, typed.find_last_not_of(kWhiteSpace) - first + 1);
    if (typed.size() >= 2 && (typed.front() == '\'' || typed.front() == '"') &&
        typed.back() == typed.front()) {
        typed = typed.substr(1, typed.size() - 2);
    }
    std::string home = platform::homeFolder();
    if (!home.empty() && typed.starts_with("~/")) {
        return home + std::string(typed.substr(1));
    }
    return std::string(typed);
}

namespace {

void showPrompt(Console& console, std::string_view what, std::string_view example) {
    console.print("\n\nInput the name of the ");
    console.print(what);
    console.print(" TIF file\n\n");
    console.print("Please type in the complete file name including");
    console.print(" the directory path\n");
    console.print("for example: c:\\");
    console.print(example);
    console.print("\n\n");
}

void askAgain(Console& console, const std::string& report) {
    console.line(report);
    console.print("Please try again.");
    console.endLine();
    console.endLine();
}

}  // namespace

// Piped, the key wait after the settings takes nothing, so scripts send a line for it whose
// first character stands for the key; it is dropped before the input's name, and a bare line
// end does not become an empty file name. At a terminal the key wait took the key itself.
void askFileName(Console& console, FileRole role, const NameTrial& tryName) {
    const bool input = role == FileRole::Input;
    if (input && !console.atTerminal()) {
        console.discardCharacter();
    }
    for (;;) {
        showPrompt(console, input ? "input" : "output", input ? "infile.TIF" : "outfile.TIF");
        const Refusal refusal = tryName(fileNameMeant(console.readName()));
        if (!refusal) {
            return;
        }
        const std::vector<std::string>& lines = refusal->lines;
        for (size_t n = 0; n + 1 < lines.size(); ++n) {
            console.line(lines[n]);
        }
        askAgain(console, lines.back());
    }
}
