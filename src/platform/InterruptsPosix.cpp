#include "platform/Interrupts.h"

#include <unistd.h>

#include <csignal>
#include <initializer_list>

namespace platform {
namespace {

extern "C" void onInterrupt([[maybe_unused]] int signal) {
    atInterrupt::restoreTerminal();
    static_cast<void>(write(STDOUT_FILENO, "\n", 1));
    if (atInterrupt::outputPlaced()) {
        _exit(0);
    }
    atInterrupt::removeOutput();
    _exit(1);
}

}  // namespace

void installInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    // A second signal waits for the first one's clean-up rather than cutting into it.
    sigfillset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM}) {
        sigaction(signal, &action, nullptr);
    }
    action.sa_handler = SIG_IGN;
    for (int signal : {SIGPIPE, SIGXFSZ}) {
        sigaction(signal, &action, nullptr);
    }
}

}  // namespace platform
