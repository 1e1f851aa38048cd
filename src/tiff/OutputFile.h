#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tiff/FileHandle.h"

class Console;

// The output image, appended to through a large buffer. A run that does not finish
// empties it again, so no half-written image is ever left behind.
class OutputFile {
  public:
    std::string name;

    // Opens name for binary appending; on failure reports "**Cannot open" and returns false.
    bool reopen(Console& console);
    // Closes, reporting whether every byte reached the file.
    bool close();
    // Asks for the name until one is given that this file can be used under.
    void askName(Console& console);
    // Size of the named file, or -1 when it does not open for appending.
    int64_t sizeOnDisk() const;
    // Empties the named file after a run that did not finish.
    void discard();

    void writeByte(uint8_t byte) {
        if (used_ == buffer_.size()) {
            flush();
        }
        buffer_[used_++] = byte;
    }
    void writeBytes(const uint8_t* bytes, size_t count);
    // Space for up to count bytes in the buffer, to be filled and then committed.
    uint8_t* reserve(size_t count, size_t& granted);
    void commit(size_t count) { used_ += count; }
    bool failed() const { return failed_; }

  private:
    void flush();

    FileHandle file_;
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
    bool failed_ = true;
};
