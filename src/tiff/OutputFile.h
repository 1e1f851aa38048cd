#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/RunEnded.h"

class Console;

// The output image, appended to through a large buffer. It is written into a file of its
// own and goes to its name only when complete, so a run that does not finish, however it
// ends, leaves the name as it found it. It is the one owner of that file: keep() puts it at
// its name, discard() (or the end of its life) removes it.
class OutputFile {
  public:
    std::string name;

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { discard(); }

    // Asks for the name until one is given that the output can be claimed under.
    void askName(Console& console);
    // Claims name for the output, reserving it (as the prompt does) or not (as a command
    // does, which names --replace when the name holds data); when it cannot be claimed,
    // says why.
    Refusal claim(bool replace, bool reserve = true);
    // Starts a stage: the first creates the file written into, the others append to it. On
    // failure says "**Cannot open" with the system's reason.
    Refusal open();
    // Ends a stage: nothing when every byte so far reached the file, else the refusal with
    // the system's reason for the write that failed.
    Refusal endStage();
    // Puts the complete output at its name; a refusal gives the system's reason.
    Attempt<platform::Placement> keep();
    // Removes what a run that did not finish had written; false when that failed.
    bool discard();

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
    bool claimed() const { return claimed_; }

  private:
    void flush();

    std::FILE* file_ = nullptr;
    bool claimed_ = false;
    std::vector<uint8_t> buffer_;
    size_t used_{};
    // Set while nothing is open, or once a write failed: the stage goes on without writing,
    // and its end gives this refusal.
    Refusal failed_ = RunEnded{};
};
