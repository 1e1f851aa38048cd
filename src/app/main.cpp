#include <iostream>
#include <utility>

#include "app/ImageJob.h"
#include "app/RunEnded.h"
#include "platform/LineEditor.h"
#include "platform/Platform.h"

int main() {
    platform::installInterruptHandlers();
    Console::LineEditor nameEditor;
    if (platform::startLineEditor()) {
        nameEditor = platform::editLine;
    }
    Console console(std::cin, std::cout, platform::waitForKey, std::move(nameEditor));
    try {
        ImageJob job(console);
    } catch (const RunEnded&) {
        return 1;
    }
    return 0;
}
