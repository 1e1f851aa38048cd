#include "tiff/OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "dialogue/Console.h"
#include "dialogue/FileNamePrompts.h"
#include "platform/Platform.h"
#include "tiff/FileHandle.h"

namespace {
constexpr size_t kBufferSize = size_t{1} << 20;
}

Refusal OutputFile::open() {
    if (file_ != nullptr) {
        return failed_ ? Refusal(RunEnded{}) : Refusal();
    }
    auto [file, refusal] = platform::createOutput();
    file_ = file;
    used_ = 0;
    claimed_ = file_ != nullptr;
    if (refusal) {
        failed_ = RunEnded{};
        refusal->lines.insert(refusal->lines.begin(), cannotOpen(name));
        return refusal;
    }
    buffer_.resize(kBufferSize);
    failed_.reset();
    return {};
}

// Appending a new image after an old one would leave a file whose visible image is the old
// one, so an output that already holds data is refused; so is a pipe or a device, where a
// complete output cannot be put in one step.
void OutputFile::askName(Console& console) {
    askFileName(console, FileRole::Output, [this](const std::string& meant) {
        name = meant;
        return claim(false);
    });
}

Refusal OutputFile::claim(bool replace, bool reserve) {
    auto [claim, refusal] = platform::claimOutput(name, replace, reserve);
    if (refusal) {
        // A command says a failure in one line; the dialogue keeps its own two.
        std::vector<std::string>& lines = refusal->lines;
        if (!reserve) {
            lines.back() = "cannot open " + name + ": " + lines.back();
        } else {
            lines.insert(lines.begin(), cannotOpen(name));
        }
        return refusal;
    }
    switch (claim) {
        case platform::Claim::Taken:
            claimed_ = true;
            return {};
        case platform::Claim::HoldsData:
            return RunEnded{{"**" + name + " already holds data and will not be written" +
                             (reserve ? "**" : " without --replace**")}};
        case platform::Claim::NotRegular:
            return RunEnded{{"**" + name + " is not a regular file and will not be written**"}};
    }
    return {};
}

Refusal OutputFile::endStage() {
    flush();
    return file_ != nullptr ? failed_ : RunEnded{};
}

Attempt<platform::Placement> OutputFile::keep() {
    if (Refusal refusal = endStage()) {
        return std::move(*refusal);
    }
    Attempt<platform::Placement> placement = platform::placeOutput(std::exchange(file_, nullptr));
    claimed_ = placement.refusal || placement.value != platform::Placement::Placed;
    return placement;
}

bool OutputFile::discard() {
    used_ = 0;
    failed_ = RunEnded{};
    if (!claimed_ && file_ == nullptr) {
        return true;
    }
    claimed_ = false;
    return platform::abandonOutput(std::exchange(file_, nullptr));
}

void OutputFile::flush() {
    if (used_ > 0 && file_ != nullptr && !failed_ &&
        std::fwrite(buffer_.data(), 1, used_, file_) != used_) {
        failed_ = RunEnded{{std::strerror(errno)}};  // NOLINT(concurrency-mt-unsafe): one thread
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
