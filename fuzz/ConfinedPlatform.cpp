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

Attempt<std::FILE*> openRegularFile(const std::string& name) {
    struct stat info {};
    std::FILE* file = nullptr;
    if (stat(confined(name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        file = std::fopen(confined(name).c_str(), "rb");
    }
    return file != nullptr ? Attempt<std::FILE*>{file}
                           : Attempt<std::FILE*>(RunEnded{{"No such file"}});
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
Attempt<Claim> claimOutput(const std::string& name, bool replace, bool reserve) {
    outputName() = confined(name);
    const Attempt<Claim> refused(RunEnded{{"cannot be created"}});
    struct stat info {};
    if (stat(outputName().c_str(), &info) != 0) {
        return !reserve || FileHandle(std::fopen(outputName().c_str(), "ab"))
                   ? Attempt<Claim>{Claim::Taken}
                   : refused;
    }
    return !S_ISREG(info.st_mode)          ? refused
           : info.st_size != 0 && !replace ? Attempt<Claim>{Claim::HoldsData}
                                           : Attempt<Claim>{Claim::Taken};
}

Attempt<std::FILE*> createOutput() {
    std::FILE* file = std::fopen(partName().c_str(), "wb");
    return file != nullptr ? Attempt<std::FILE*>{file}
                           : Attempt<std::FILE*>(RunEnded{{"cannot be created"}});
}

Attempt<Placement> placeOutput(std::FILE* output) {
    return std::fclose(output) == 0 && std::rename(partName().c_str(), outputName().c_str()) == 0
               ? Attempt<Placement>{Placement::Placed}
               : Attempt<Placement>(RunEnded{{"cannot be renamed"}});
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
