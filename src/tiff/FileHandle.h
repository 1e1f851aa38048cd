#pragma once

#include <cstdio>
#include <memory>
#include <string>

// Owns an open C stream and closes it when it goes. Only streams whose closing has nothing
// to report end here: the held input and probes. The output's stream is handed to the
// platform, which checks that every byte was written before the output takes its name.
struct FileCloser {
    void operator()(std::FILE* file) const { static_cast<void>(std::fclose(file)); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The report of a name that cannot be opened, the name as it was tried; the system's reason
// follows on a line of its own.
inline std::string cannotOpen(const std::string& name) {
    return "**Cannot open" + name + "**";
}
