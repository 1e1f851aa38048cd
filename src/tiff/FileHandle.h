#pragma once

#include <cstdio>
#include <memory>

// Owns an open C stream and closes it when it goes. Only streams whose closing has nothing
// to report end here: inputs, probes, and outputs being discarded. OutputFile::close takes
// its stream out first and checks that closing it wrote every byte.
struct FileCloser {
    void operator()(std::FILE* file) const { static_cast<void>(std::fclose(file)); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;
