#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/RunEnded.h"
#include "tiff/FileHandle.h"

class Console;

// The input image, read one byte at a time through a large buffer of its own. Positioning
// by skipping is done by seeking, which ends in the same place as reading and discarding.
// The file is opened once, at its prompt, and held: every stage reads that same file from
// its start, so a file put in its place by name during the run cannot mix into the output.
class InputFile {
  public:
    // What a read yields once it has run past the end of the file.
    static constexpr uint8_t kPastEnd = 0xFF;

    std::string name;

    // Asks for the name until one is given whose regular file opens, and holds that file.
    void askName(Console& console);
    // Opens name's regular file and holds it; on failure says why, the system's reason last.
    Refusal hold();
    // Starts a stage's reading at the first byte of the held file.
    void rewind();
    // Ends a stage's reading; the file stays held for the next stage.
    void close();
    // Whether the held file is recorded as it was when it was opened (its size, its times and
    // its links): a file rewritten in place during the run must not be taken for the one
    // that was read.
    bool unchanged() const;

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
    // How many bytes have been read from the file since it was held, for a reader that must
    // keep its work within a bound.
    uint64_t bytesRead() const { return bytesRead_; }

    // The bytes already buffered from the current position on (refilling an empty buffer),
    // for bulk work; advance() then moves past the ones used.
    const uint8_t* buffered(size_t& available);
    void advance(size_t count) { next_ += count; }

  private:
    uint8_t refill();

    FileHandle file_;
    platform::FileStamp stamp_;
    std::vector<uint8_t> buffer_;
    size_t next_{};
    size_t end_{};
    uint64_t bufferStart_{};
    uint64_t size_{};
    uint64_t bytesRead_{};
    // Set when a seek has left the file behind bufferStart_.
    bool unpositioned_ = false;
    bool failed_ = true;
};
