// The system calls of the program as the fuzz targets see them. Every name a run uses is taken
// to the process's scratch folder by its last path component, whatever folders it names, so
// no input can open, create, write or empty a file anywhere else; there is no terminal, and
// nothing waits.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "FuzzSupport.h"
#include "platform/Platform.h"
#include "tiff/FileHandle.h"

namespace platform {
namespace {

std::string confined(const std::string& name) {
    const size_t slash = name.find_last_of("/\\");
    std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    if (last.empty() || last == "." || last == "..") {
        last = "unnamed";
    }
    return (fuzzing::scratchRoot() / last).string();
}

std::string& outputName() {
    static std::string name;
    return name;
}

}  // namespace

std::FILE* openRegularFile(const std::string& name, std::string& reason) {
    struct stat info {};
    std::FILE* file = nullptr;
    if (stat(confined(name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        file = std::fopen(confined(name).c_str(), "rb");
    }
    reason = file != nullptr ? "" : "No such file";
    return file;
}

bool isRegularFile(const std::string& name) {
    struct stat info {};
    return stat(confined(name).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

FileStamp stampOf(std::FILE* file) {
    struct stat info {};
    return fstat(fileno(file), &info) == 0
               ? FileStamp{0, 0, info.st_size, info.st_mtim.tv_nsec, 0, 0}
               : FileStamp{};
}

bool seekTo(std::FILE* file, uint64_t offset) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::string partName() {
    return outputName() + ".part";
}

// The output is written beside its confined name and renamed to it when complete; a reserved
// name is created empty at once.
Claim claimOutput(const std::string& name, std::string& reason, bool replace, bool reserve) {
    outputName() = confined(name);
    reason = "cannot be created";
    struct stat info {};
    if (stat(outputName().c_str(), &info) != 0) {
        return !reserve || FileHandle(std::fopen(outputName().c_str(), "ab")) ? Claim::Taken
                                                                              : Claim::Refused;
    }
    return !S_ISREG(info.st_mode)          ? Claim::Refused
           : info.st_size != 0 && !replace ? Claim::HoldsData
                                           : Claim::Taken;
}

std::FILE* createOutput(std::string& reason) {
    reason = "cannot be created";
    return std::fopen(partName().c_str(), "wb");
}

Placement placeOutput(std::FILE* output, std::string& reason) {
    reason = "cannot be renamed";
    return std::fclose(output) == 0 && std::rename(partName().c_str(), outputName().c_str()) == 0
               ? Placement::Placed
               : Placement::Failed;
}

bool abandonOutput(std::FILE* output) {
    if (output != nullptr) {
        std::fclose(output);
    }
    return std::remove(partName().c_str()) == 0 || errno == ENOENT;
}

void reopenClosedStandardStreams() {}

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
    return fuzzing::scratchRoot().string();
}

void waitForKey() {}

// A machine of 2 GiB, the fuzzers' memory limit.
uint64_t installedMemory() {
    return uint64_t{2} << 30;
}

void preferLargePages(void*, size_t) {}
void installInterruptHandlers() {}

}  // namespace platform
