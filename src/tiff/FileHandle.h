#pragma once

#include <cstdio>
#include <memory>

// Owns an open C stream and closes it when it goes.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;
