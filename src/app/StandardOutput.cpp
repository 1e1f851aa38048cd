#include "app/StandardOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {
// The reason of the first failed write to the watched stream, 0 while none failed or the
// system gave none. One stream is watched at a time.
int firstFailure{};
bool failed = false;
}  // namespace

StandardOutputWatch::StandardOutputWatch(std::ostream& out) : out_(out), next_(out.rdbuf()) {
    firstFailure = 0;
    failed = false;
    out_.rdbuf(this);
}

StandardOutputWatch::~StandardOutputWatch() {
    out_.rdbuf(next_);
}

void StandardOutputWatch::noteFailure() {
    if (!failed) {
        failed = true;
        firstFailure = errno;
    }
}

StandardOutputWatch::int_type StandardOutputWatch::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return sync() == 0 ? traits_type::not_eof(c) : traits_type::eof();
    }
    errno = 0;
    int_type put = next_->sputc(traits_type::to_char_type(c));
    if (traits_type::eq_int_type(put, traits_type::eof())) {
        noteFailure();
    }
    return put;
}

std::streamsize StandardOutputWatch::xsputn(const char* text, std::streamsize count) {
    errno = 0;
    std::streamsize written = next_->sputn(text, count);
    if (written != count) {
        noteFailure();
    }
    return written;
}

int StandardOutputWatch::sync() {
    errno = 0;
    int synced = next_->pubsync();
    if (synced != 0) {
        noteFailure();
    }
    return synced;
}

bool printedWhole(std::ostream& out, std::ostream& err) {
    out.flush();
    // Beneath the stream, the C library marks a write of its own that failed.
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    if (!flushed && !failed) {
        failed = true;
        firstFailure = errno;
    }
    if (!failed && out.good()) {
        return true;
    }
    // NOLINTNEXTLINE(concurrency-mt-unsafe): one thread
    const std::string reason = firstFailure != 0 ? std::strerror(firstFailure) : "";
    err << "velstram: write error" << (reason.empty() ? "" : ": " + reason) << '\n' << std::flush;
    return false;
}
