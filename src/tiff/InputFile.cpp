#include "tiff/InputFile.h"

#include <algorithm>

#include "dialogue/FileNamePrompts.h"
#include "platform/Platform.h"
#include "tiff/FileHandle.h"

namespace {
// Small enough to stay in the processor's cache from the read that fills it to the row
// conversion that empties it; with 1 MiB the kernel's copy into it took four times as long.
constexpr size_t kBufferSize = size_t{64} << 10;
}  // namespace

void InputFile::askName(Console& console) {
    askFileName(console, FileRole::Input, [this](const std::string& meant) {
        name = meant;
        return hold();
    });
}

Refusal InputFile::hold() {
    auto [file, refusal] = platform::openRegularFile(name);
    file_.reset(file);
    if (refusal) {
        refusal->lines.insert(refusal->lines.begin(), cannotOpen(name));
        return refusal;
    }
    stamp_ = platform::stampOf(file_.get());
    size_ = static_cast<uint64_t>(std::max<int64_t>(stamp_.size, 0));
    buffer_.resize(kBufferSize);
    return {};
}

void InputFile::rewind() {
    close();
    unpositioned_ = true;
    failed_ = !file_;
}

void InputFile::close() {
    next_ = end_ = 0;
    bufferStart_ = 0;
    unpositioned_ = false;
    failed_ = true;
}

bool InputFile::unchanged() const {
    return file_ && platform::untouched(stamp_, platform::stampOf(file_.get()));
}

void InputFile::seek(uint64_t offset) {
    if (offset >= bufferStart_ && offset <= bufferStart_ + end_) {
        next_ = static_cast<size_t>(offset - bufferStart_);
        return;
    }
    // The file itself is moved only when a read needs bytes from there: writing the output
    // moves past every strip, mostly without reading anything in between.
    bufferStart_ = offset;
    next_ = end_ = 0;
    unpositioned_ = true;
    if (!file_) {
        failed_ = true;
    }
}

uint8_t InputFile::refill() {
    if (unpositioned_ && !failed_ && file_ && !platform::seekTo(file_.get(), bufferStart_)) {
        failed_ = true;
    }
    unpositioned_ = false;
    if (!failed_ && file_) {
        bufferStart_ += end_;
        end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_.get());
        bytesRead_ += end_;
        next_ = 0;
        if (end_ > next_) {
            return buffer_[next_++];
        }
    }
    failed_ = true;
    return kPastEnd;
}

const uint8_t* InputFile::buffered(size_t& available) {
    if (next_ == end_) {
        refill();
        if (failed_) {
            available = 0;
            return nullptr;
        }
        --next_;
    }
    available = end_ - next_;
    return buffer_.data() + next_;
}
