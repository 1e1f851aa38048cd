#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tiff/FileHandle.h"

class Console;

// The input image, read one byte at a time through a large buffer of its own. Positioning
// by skipping is done by seeking, which ends in the same place as reading and discarding.
class InputFile {
  public:
    // What a read yields once it has run past the end of the file.
    static constexpr uint8_t kPastEnd = 0xFF;

    std::string name;

    // Opens name for binary reading; on failure reports "**Cannot open" and returns false.
    bool reopen(Console& console);
    // The same open, silent, for proving a typed name.
    bool opens() const;
    // Asks for the name until one is given that this file can be used under.
    void askName(Console& console);
    void close();

    uint64_t size() const { return size_; }
    // Set once a read has run past the end of the file (or the open failed).
    bool failed() const { return failed_; }

    uint8_t readByte() {
        if (next_ < end_) {
            return buffer_[next_++];
        }
        return refill();
    }
    void skip(uint64_t count) { seek(position() + count); }
    void seek(uint64_t offset);
    uint64_t position() const { return bufferStart_ + next_; }

    // The bytes already buffered from the current position on (refilling an empty buffer),
    // for bulk work; advance() then moves past the ones used.
    const uint8_t* buffered(size_t& available);
    void advance(size_t count) { next_ += count; }

  private:
    uint8_t refill();

    FileHandle file_;
    std::vector<uint8_t> buffer_;
    size_t next_ = 0;
    size_t end_ = 0;
    uint64_t bufferStart_ = 0;
    uint64_t size_ = 0;
    // Set when a seek has left the file behind bufferStart_.
    bool unpositioned_ = false;
    bool failed_ = true;
};
