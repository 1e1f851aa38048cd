#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

// What the POSIX parts of the jobs say of a failed call.
namespace platform {

inline std::string systemReason(int error) {
    return std::strerror(error);  // NOLINT(concurrency-mt-unsafe): one thread
}

inline std::string notRegularReason(const struct stat& info) {
    return S_ISDIR(info.st_mode) ? systemReason(EISDIR)
                                 : "Not a regular file: a pipe, a device or a socket is not read";
}

}  // namespace platform
