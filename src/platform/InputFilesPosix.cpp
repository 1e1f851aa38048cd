#include "platform/InputFiles.h"

#include "platform/SystemPosix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {
namespace {

int64_t nanoseconds(const struct timespec& time) {
    return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

}  // namespace

Attempt<std::FILE*> openRegularFile(const std::string& name) {
    struct stat info {};
    // A pipe or a device is told apart before it is opened, as opening one can wait or act.
    if (stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return RunEnded{{notRegularReason(info)}};
    }
    int fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        RunEnded refusal{{fd < 0 ? systemReason(errno) : notRegularReason(info)}};
        if (fd >= 0) {
            close(fd);
        }
        return refusal;
    }
    std::FILE* file = fdopen(fd, "rb");
    if (file == nullptr) {
        RunEnded refusal{{systemReason(errno)}};
        close(fd);
        return refusal;
    }
    return {file};
}

bool isRegularFile(const std::string& name) {
    struct stat info {};
    return stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

FileStamp stampOf(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0) {
        return {};
    }
    FileStamp stamp;
    stamp.device = static_cast<uint64_t>(info.st_dev);
    stamp.file = static_cast<uint64_t>(info.st_ino);
    stamp.size = static_cast<int64_t>(info.st_size);
    stamp.modifiedNs = nanoseconds(info.st_mtim);
    stamp.changedNs = nanoseconds(info.st_ctim);
    stamp.links = static_cast<uint64_t>(info.st_nlink);
    return stamp;
}

bool seekTo(std::FILE* file, uint64_t offset) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool sameFile(const std::string& first, const std::string& second) {
    struct stat one {};
    struct stat other {};
    return stat(first.c_str(), &one) == 0 && stat(second.c_str(), &other) == 0 &&
           one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

}  // namespace platform
