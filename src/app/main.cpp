#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "app/JobRunner.h"
#include "app/StandardOutput.h"
#include "dialogue/Console.h"
#include "platform/LineEditor.h"
#include "platform/Platform.h"

namespace {

int run(const std::vector<std::string>& arguments) {
    platform::reopenClosedStandardStreams();
    StandardOutputWatch watch(std::cout);
    if (!arguments.empty()) {
        return answerArguments(std::vector<std::string_view>(arguments.begin(), arguments.end()),
                               std::cout, std::cerr);
    }
    platform::installInterruptHandlers();
    Console::LineEditor nameEditor;
    if (platform::startLineEditor()) {
        nameEditor = platform::editLine;
    }
    auto input =
        platform::standardInputIsTerminal() ? Console::Input::Terminal : Console::Input::Piped;
    Console console(std::cin, std::cout, platform::waitForKey, input, std::move(nameEditor));
    const int status = exitStatusOfJob(console);
    // The dialogue's status tells of the output, which its lost lines leave as it is.
    static_cast<void>(printedWhole(std::cout, std::cerr));
    return status;
}

}  // namespace

#ifdef _WIN32
// The wide entry gets names in any language, where main would get them in the ANSI code page.
int wmain(int argc, wchar_t** argv) {
    platform::showLettersAtConsoles();
    return run(platform::argumentsInUtf8(argc, argv));
}
#else
int main(int argc, char** argv) {
    return run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
