#include "platform/Interrupts.h"

#include <windows.h>

namespace platform {
namespace {

HANDLE mainThread = nullptr;

// The main thread is halted first so that no write of it lands after the clean-up, and the
// process is then terminated rather than exited: an exit would let the C runtime flush the
// output's stream buffer. Ctrl-C, Ctrl-Break and a closed console window all end here.
BOOL WINAPI onInterrupt(DWORD) {
    if (mainThread != nullptr && SuspendThread(mainThread) != static_cast<DWORD>(-1)) {
        CONTEXT halted{};
        halted.ContextFlags = CONTEXT_CONTROL;
        GetThreadContext(mainThread, &halted);
    }
    atInterrupt::restoreTerminal();
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "\r\n", 2, &written, nullptr);
    if (atInterrupt::outputPlaced()) {
        TerminateProcess(GetCurrentProcess(), 0);
    }
    atInterrupt::removeOutput();
    TerminateProcess(GetCurrentProcess(), 1);
    return TRUE;
}

}  // namespace

void installInterruptHandlers() {
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &mainThread,
                    THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, 0);
    SetConsoleCtrlHandler(onInterrupt, TRUE);
}

}  // namespace platform
