#include "dialogue/RunEnded.h"

#include "dialogue/Console.h"

void endRun(Console& console, std::initializer_list<std::string_view> lines) {
    for (std::string_view text : lines) {
        console.errorLine(text);
    }
    console.errorLine("exiting program");
    throw RunEnded{};
}
