#include "platform/Terminal.h"

#include "platform/Interrupts.h"
#include "platform/KeyPress.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace platform {
namespace {

// Shared with the signal handler, so plain static storage only.
struct termios savedTerminal;
volatile std::sig_atomic_t terminalIsRaw{};

// The bytes of one key press (an arrow's escape sequence, a letter's UTF-8 bytes) are sent
// together, but a slow link (SSH over a busy line) can deliver them a good part of a second
// apart. A byte that has not come within this bound belongs to another key; a lone Escape
// costs the wait for it.
constexpr int kKeyBytesBoundMs = 500;

bool nextByteOfKey(unsigned char& byte) {
    struct pollfd input {
        STDIN_FILENO, POLLIN, 0
    };
    return poll(&input, 1, kKeyBytesBoundMs) > 0 && read(STDIN_FILENO, &byte, 1) == 1;
}

}  // namespace

void atInterrupt::restoreTerminal() {
    if (terminalIsRaw != 0) {
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
        terminalIsRaw = 0;
    }
}

void reopenClosedStandardStreams() {
    for (int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        // The lower ones are open by now, so the null device gets the number of this one.
        if (fcntl(stream, F_GETFD) == -1 && errno == EBADF) {
            static_cast<void>(open("/dev/null", stream == STDIN_FILENO ? O_RDONLY : O_WRONLY));
        }
    }
}

bool standardInputIsTerminal() {
    return isatty(STDIN_FILENO) != 0;
}

bool standardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) != 0;
}

void waitForKey() {
    if (!standardInputIsTerminal() || tcgetattr(STDIN_FILENO, &savedTerminal) != 0) {
        return;
    }
    struct termios raw = savedTerminal;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    terminalIsRaw = 1;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) {
        unsigned char key = 0;
        ssize_t got = 0;
        while ((got = read(STDIN_FILENO, &key, 1)) < 0 && errno == EINTR) {
        }
        if (got == 1) {
            takeRestOfKey(key, nextByteOfKey);
        }
    }
    atInterrupt::restoreTerminal();
}

}  // namespace platform
