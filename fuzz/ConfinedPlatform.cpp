// The system calls of the program as the fuzz targets see them. Every name a run uses is taken
// to the process's scratch folder by its last path component, whatever folders it names, so
// no input can open, create, write or empty a file anywhere else; there is no terminal, and
// nothing waits.
#include <sys/stat.h>
#include <unistd.h>

#include "FuzzSupport.h"
#include "platform/Platform.h"

namespace platform {
namespace {

std::string confined(const std::string& name) {
    const size_t slash = name.find_last_of("/\\");
    std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    if (last.empty() || last == "." || last == "..") {
        last = "unnamed";
    }
    return (fuzzing::scratch() / last).string();
}

}  // namespace

std::FILE* openFile(const std::string& name, const char* mode) {
    return std::fopen(confined(name).c_str(), mode);
}

int64_t fileSize(std::FILE* file) {
    struct stat info {};
    return fstat(fileno(file), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

bool seekTo(std::FILE* file, uint64_t offset) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool emptyFile(const std::string& name) {
    return truncate(confined(name).c_str(), 0) == 0;
}

bool standardInputIsTerminal() {
    return false;
}

bool standardOutputIsTerminal() {
    return false;
}

bool sameFile(const std::string& first, const std::string& second) {
    struct stat one {};
    struct stat other {};
    return stat(confined(first).c_str(), &one) == 0 &&
           stat(confined(second).c_str(), &other) == 0 && one.st_dev == other.st_dev &&
           one.st_ino == other.st_ino;
}

std::string homeFolder() {
    return fuzzing::scratch().string();
}

void waitForKey() {}

// A machine of 2 GiB, the fuzzers' memory limit.
uint64_t physicalMemory() {
    return uint64_t{2} << 30;
}

void preferLargePages(void*, size_t) {}
void installInterruptHandlers() {}
void setPendingOutput(const std::string&) {}
void clearPendingOutput() {}

}  // namespace platform
