#pragma once

#include <ostream>
#include <streambuf>

// Standard output is part of a form's result: the census, the check's lines, a summary. A
// write that fails there (a full disk, /dev/full, a closed pipe's reader) must not pass for
// success, and its reason must still be known once the form is done, however many writes
// came after it: the stream stops writing at the first failure, and the C library drops
// what it held. So the stream's writes pass through this watch, which keeps that reason.
class StandardOutputWatch : public std::streambuf {
  public:
    // Watches out from here on, until the watch goes.
    explicit StandardOutputWatch(std::ostream& out);
    ~StandardOutputWatch() override;
    StandardOutputWatch(const StandardOutputWatch&) = delete;
    StandardOutputWatch& operator=(const StandardOutputWatch&) = delete;

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    void noteFailure();

    std::ostream& out_;
    std::streambuf* next_;
};

// Whether all that was printed on out, standard output, reached it: flushed, with no write
// failed on the way. When not, says so on err as "velstram: write error: REASON" (the
// system's reason where it gave one, kept by the watch), as GNU tools do at their end.
bool printedWhole(std::ostream& out, std::ostream& err);
