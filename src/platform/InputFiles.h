#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/RunEnded.h"

// The input: a file opened for reading and held for the run, and the stamps that tell whether
// it changed meanwhile. The system's part is in InputFilesPosix.cpp and InputFilesWindows.cpp.
namespace platform {

// What the system records of an open file, to tell whether it changed: which file it is (the
// device and the file number), its size, its modification and change times in nanoseconds,
// and its number of links. The change time cannot be set back, so a rewrite that restores the
// modification time still shows.
struct FileStamp {
    uint64_t device{};
    uint64_t file{};
    int64_t size = -1;
    int64_t modifiedNs{};
    int64_t changedNs{};
    uint64_t links{};

    bool operator==(const FileStamp&) const = default;
};

// Whether a file stamped then and now is untouched: any difference is a change. A link added
// or removed (another file renamed over its name, say) moves the change time as a rewrite
// does, and nothing the system records tells the two apart, so it counts as a change too.
inline bool untouched(const FileStamp& then, const FileStamp& now) {
    return then.size >= 0 && then == now;
}

// Opens an existing regular file by its name exactly as the user typed it, for reading. A
// pipe, a device or a socket is refused without waiting for a writer.
Attempt<std::FILE*> openRegularFile(const std::string& name);
FileStamp stampOf(std::FILE* file);

// Whether name leads to an existing regular file (a world file beside an image, say).
bool isRegularFile(const std::string& name);

// Positions an open file at an absolute byte offset; false on failure.
bool seekTo(std::FILE* file, uint64_t offset);

// Whether the two names lead to one and the same existing file (the same device and file
// number), whatever links or spellings lead there.
bool sameFile(const std::string& first, const std::string& second);

}  // namespace platform
