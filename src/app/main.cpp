#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "app/JobRunner.h"
#include "dialogue/Console.h"
#include "platform/LineEditor.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
    platform::reopenClosedStandardStreams();
    if (argc > 1) {
        return answerArguments(std::vector<std::string_view>(argv + 1, argv + argc), std::cout,
                               std::cerr);
    }
    platform::installInterruptHandlers();
    Console::LineEditor nameEditor;
    if (platform::startLineEditor()) {
        nameEditor = platform::editLine;
    }
    auto input =
        platform::standardInputIsTerminal() ? Console::Input::Terminal : Console::Input::Piped;
    Console console(std::cin, std::cout, platform::waitForKey, input, std::move(nameEditor));
    return exitStatusOfJob(console);
}
