#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// Everything that differs between operating systems lives behind these few calls.
namespace platform {

// What the system records of an open file, to tell whether it changed: which file it is (the
// device and the file number), its size, its modification and change times in nanoseconds,
// and its number of links. The change time cannot be set back, so a rewrite that restores the
// modification time still shows.
struct FileStamp {
    uint64_t device{};
    uint64_t file{};
    int64_t size = -1;
    int64_t modifiedNs{};
    int64_t changedNs{};
    uint64_t links{};

    bool operator==(const FileStamp&) const = default;
};

// Whether a file stamped then and now is untouched: any difference is a change. A link added
// or removed (another file renamed over its name, say) moves the change time as a rewrite
// does, and nothing the system records tells the two apart, so it counts as a change too.
inline bool untouched(const FileStamp& then, const FileStamp& now) {
    return then.size >= 0 && then == now;
}

// Opens an existing regular file by its name exactly as the user typed it, for reading. A
// pipe, a device or a socket is refused without waiting for a writer. On failure returns
// null and puts the system's reason in reason.
std::FILE* openRegularFile(const std::string& name, std::string& reason);
FileStamp stampOf(std::FILE* file);

// Whether name leads to an existing regular file (a world file beside an image, say).
bool isRegularFile(const std::string& name);

// Positions an open file at an absolute byte offset; false on failure.
bool seekTo(std::FILE* file, uint64_t offset);

// The output is claimed by name (at its prompt, or from the command line) and written into a
// file of its own in the same folder, which goes to the name only once complete; until then
// the name holds what it held before. The state lives here because the interrupt handler
// needs it.
enum class Claim { Taken, HoldsData, NotRegular, Refused };
// Accepts the empty regular file the name holds, or a name that holds nothing, which reserve
// takes by creating it empty (the prompt's answer then stands until the run ends); without
// reserve nothing appears at the name before the complete output. With replace, a regular
// file that holds data is accepted too: it stays whole until the complete output takes its
// place, and is not replaced if it changes meanwhile.
Claim claimOutput(const std::string& name, std::string& reason, bool replace = false,
                  bool reserve = true);
// Creates the file that the output is written into.
std::FILE* createOutput(std::string& reason);
enum class Placement { Placed, NameTaken, Failed };
// Closes the output and puts it at the claimed name, which must still hold the claimed file
// as it was claimed, or nothing: a file that took the name meanwhile is never replaced. An output
// not placed is then to be abandoned; a failure gives the system's reason.
Placement placeOutput(std::FILE* output, std::string& reason);
// Closes and removes an output that is not to be put in place (output may be null), and
// removes the empty file the claim created; false when the part written could not be removed.
bool abandonOutput(std::FILE* output);

// Opens each of the standard streams 0, 1 and 2 that the process was started without on the
// null device, so that no file the program opens later takes its place.
void reopenClosedStandardStreams();

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
uint64_t installedMemory();
// The figure an image's raster is checked against: the installed memory, unless another
// figure is assumed in its place until std::nullopt is, so that the check can be tried at
// its limit on any machine.
uint64_t physicalMemory();
void assumePhysicalMemory(std::optional<uint64_t> bytes);

// A hint that a large block about to be written in full should get the system's large pages:
// one page fault per 2 MiB instead of per 4 KiB is most of the cost of a first write.
void preferLargePages(void* start, size_t bytes);

// On an interrupt the terminal settings are restored and the line is ended; an output put in
// place ends the process with status 0, else the output is abandoned and the status is 1. A
// broken console and a file size limit become failed writes instead of ending the process.
void installInterruptHandlers();

#ifdef _WIN32
// The arguments after the program's name, passed by Windows in UTF-16, in UTF-8.
std::vector<std::string> argumentsInUtf8(int count, wchar_t** arguments);
// Standard output and standard error, where they are a console, show the letters of any
// language from here to the program's end; redirected, they carry UTF-8.
void showLettersAtConsoles();
#endif

}  // namespace platform
