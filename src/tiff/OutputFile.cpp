#include "tiff/OutputFile.h"

#include <algorithm>
#include <cstring>

#include "dialogue/Console.h"
#include "platform/Platform.h"

namespace {
constexpr size_t kBufferSize = size_t{1} << 20;
}

bool OutputFile::reopen(Console& console) {
    file_.reset(platform::openFile(name, "ab"));
    used_ = 0;
    if (!file_) {
        failed_ = true;
        console.line("**Cannot open" + name + "**");
        return false;
    }
    buffer_.resize(kBufferSize);
    failed_ = false;
    platform::setPendingOutput(name);
    return true;
}

bool OutputFile::close() {
    if (!file_) {
        return !failed_;
    }
    flush();
    if (std::fclose(file_.release()) != 0) {
        failed_ = true;
    }
    return !failed_;
}

int64_t OutputFile::sizeOnDisk() const {
    FileHandle probe(platform::openFile(name, "ab"));
    return probe ? platform::fileSize(probe.get()) : -1;
}

void OutputFile::discard() {
    file_.reset();
    used_ = 0;
    platform::emptyFile(name);
    platform::clearPendingOutput();
}

void OutputFile::flush() {
    if (used_ > 0 && file_ && !failed_ &&
        std::fwrite(buffer_.data(), 1, used_, file_.get()) != used_) {
        failed_ = true;
    }
    used_ = 0;
}

void OutputFile::writeBytes(const uint8_t* bytes, size_t count) {
    while (count > 0) {
        size_t granted = 0;
        uint8_t* space = reserve(count, granted);
        std::memcpy(space, bytes, granted);
        commit(granted);
        bytes += granted;
        count -= granted;
    }
}

uint8_t* OutputFile::reserve(size_t count, size_t& granted) {
    if (used_ == buffer_.size()) {
        flush();
    }
    granted = std::min(count, buffer_.size() - used_);
    return buffer_.data() + used_;
}
