#include "platform/Platform.h"

#include "dialogue/KeyPress.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

// Shared with the signal handler, so plain static storage only.
struct termios savedTerminal;
volatile std::sig_atomic_t terminalIsRaw = 0;
char pendingOutput[4096];
volatile std::sig_atomic_t hasPendingOutput = 0;

void restoreTerminal() {
    if (terminalIsRaw != 0) {
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
        terminalIsRaw = 0;
    }
}

extern "C" void onInterrupt([[maybe_unused]] int signal) {
    restoreTerminal();
    if (hasPendingOutput != 0) {
        int fd = open(pendingOutput, O_WRONLY | O_TRUNC);
        if (fd >= 0) {
            close(fd);
        }
    }
    _exit(1);
}

// The bytes of one key press (an arrow's escape sequence, a letter's UTF-8 bytes) reach the
// terminal together. A byte that has not come within this bound belongs to another key, so a
// lone Escape still ends the wait at once.
constexpr int kKeyBytesBoundMs = 30;

bool nextByteOfKey(unsigned char& byte) {
    struct pollfd input {
        STDIN_FILENO, POLLIN, 0
    };
    return poll(&input, 1, kKeyBytesBoundMs) > 0 && read(STDIN_FILENO, &byte, 1) == 1;
}

}  // namespace

std::FILE* openFile(const std::string& name, const char* mode) {
    return std::fopen(name.c_str(), mode);
}

int64_t fileSize(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0) {
        return -1;
    }
    return static_cast<int64_t>(info.st_size);
}

bool seekTo(std::FILE* file, uint64_t offset) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool emptyFile(const std::string& name) {
    return truncate(name.c_str(), 0) == 0;
}

bool standardInputIsTerminal() {
    return isatty(STDIN_FILENO) != 0;
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");  // NOLINT(concurrency-mt-unsafe): one thread
    return home != nullptr ? home : "";
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
    restoreTerminal();
}

uint64_t physicalMemory() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) {
        return 0;
    }
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

void preferLargePages([[maybe_unused]] void* start, [[maybe_unused]] size_t bytes) {
#ifdef MADV_HUGEPAGE
    // madvise takes whole pages; the partial pages at either end keep small ones.
    auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t lead = (page - reinterpret_cast<uintptr_t>(start) % page) % page;
    if (bytes >= lead + page) {
        madvise(static_cast<char*>(start) + lead, (bytes - lead) / page * page, MADV_HUGEPAGE);
    }
#endif
}

void installInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        sigaction(signal, &action, nullptr);
    }
}

void setPendingOutput(const std::string& name) {
    hasPendingOutput = 0;
    if (name.size() < sizeof pendingOutput) {
        std::memcpy(pendingOutput, name.c_str(), name.size() + 1);
        hasPendingOutput = 1;
    }
}

void clearPendingOutput() {
    hasPendingOutput = 0;
}

}  // namespace platform
