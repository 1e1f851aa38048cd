#include <iostream>

#include "app/ImageJob.h"
#include "app/RunEnded.h"
#include "platform/Platform.h"

int main() {
    platform::installInterruptHandlers();
    Console console(std::cin, std::cout, platform::waitForKey);
    try {
        ImageJob job(console);
    } catch (const RunEnded&) {
        return 1;
    }
    return 0;
}
