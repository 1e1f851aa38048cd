#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Everything that differs between operating systems lives behind these few calls.
namespace platform {

// Opens a file by its name exactly as the user typed it; mode as for std::fopen.
std::FILE* openFile(const std::string& name, const char* mode);

// Size in bytes of an open file, or -1 when it cannot be told.
int64_t fileSize(std::FILE* file);

// Positions an open file at an absolute byte offset; false on failure.
bool seekTo(std::FILE* file, uint64_t offset);

// Empties the named file; used to leave no half-written output behind.
bool emptyFile(const std::string& name);

bool standardInputIsTerminal();
bool standardOutputIsTerminal();

// Whether the two names lead to one and the same existing file (the same device and file
// number), whatever links or spellings lead there.
bool sameFile(const std::string& first, const std::string& second);

// The user's home folder, which a typed name may begin with as "~/"; empty where names have
// no such form.
std::string homeFolder();

// A file name as one word of this system's command shell (sh, or cmd.exe on Windows),
// quoted only where the shell would otherwise split or change it.
std::string shellWord(const std::string& name);

// One key press, without echo and without Enter, when standard input is a terminal;
// returns at once and consumes nothing when it is not.
void waitForKey();

// Installed physical memory in bytes (0 when it cannot be told).
uint64_t physicalMemory();

// A hint that a large block about to be written in full should get the system's large pages:
// one page fault per 2 MiB instead of per 4 KiB is most of the cost of a first write.
void preferLargePages(void* start, size_t bytes);

// On an interrupt the terminal settings are restored, the output named by
// setPendingOutput is emptied, and the process ends with status 1.
void installInterruptHandlers();
void setPendingOutput(const std::string& name);
void clearPendingOutput();

}  // namespace platform
