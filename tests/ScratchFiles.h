#pragma once

// What the tests and the fuzz targets share: a scratch folder of the process's own (so that
// processes running side by side never share a file), removed when the process ends, and
// whole-file reads and writes.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace scratch_files {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline const fs::path& scratchRoot() {
    static const struct Folder {
        fs::path path =
            fs::temp_directory_path() / ("velstram-scratch-" + std::to_string(getpid()));
        Folder() { fs::create_directories(path); }
        ~Folder() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } folder;
    return folder.path;
}

inline Bytes readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const fs::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

inline bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace scratch_files
