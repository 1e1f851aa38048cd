#include "platform/HiddenName.h"
#include "platform/LineEditor.h"
#include "platform/Narrow.h"
#include "platform/Platform.h"

#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <streambuf>
#include <string>
#include <string_view>

namespace platform {
namespace {

// Shared with the console control handler, which Windows runs on a thread of its own; the
// names are only changed while their flags mark them absent.
std::wstring outputName;
std::wstring tempName;
// The claimed file, held so that no other run (nor any other program) writes, claims or
// replaces it until this run puts its output there or lets it go.
HANDLE claimHandle = INVALID_HANDLE_VALUE;
volatile LONG hasClaim{};
volatile LONG claimCreated{};
volatile LONG hasTempName{};
volatile LONG outputPlaced{};
HANDLE mainThread = nullptr;
// The console's output mode before colours were asked for, restored on an interrupt.
DWORD consoleOutputMode{};
volatile LONG consoleModeChanged{};

bool inputIsConsole() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

// Names are UTF-8 inside the program, whether they came as arguments, from the console or
// through a pipe; the system gets them in UTF-16 at each call.
std::wstring wide(const std::string& text) {
    if (text.empty() || text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        return {};
    }
    auto length = narrow<int>(text.size());
    int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    if (needed <= 0) {
        return {};
    }
    std::wstring result(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, result.data(), needed);
    return result;
}

std::string utf8(const std::wstring& text) {
    if (text.empty() || text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        return {};
    }
    auto length = narrow<int>(text.size());
    int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return {};
    }
    std::string result(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, result.data(), needed, nullptr, nullptr);
    return result;
}

// The length of the longest start of text that ends on a whole UTF-8 character, so that a
// letter cut by a buffer's end is shown once its last byte has come.
size_t wholeCharacters(const std::string& text) {
    size_t end = text.size();
    for (size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) == 0xC0) {
            size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
            end = needed > back ? text.size() - back : text.size();
            break;
        }
        if ((byte & 0xC0) != 0x80) {
            break;
        }
    }
    return end;
}

// A console shows each letter of a name only when written in UTF-16; the bytes are kept
// until they form whole letters.
class ConsoleText : public std::streambuf {
  public:
    explicit ConsoleText(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return sync() == 0 ? traits_type::not_eof(c) : traits_type::eof();
        }
        pending_.push_back(traits_type::to_char_type(c));
        return c == '\n' && sync() != 0 ? traits_type::eof() : c;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        pending_.append(text, narrow<size_t>(count));
        return pending_.find('\n') != std::string::npos && sync() != 0 ? 0 : count;
    }
    int sync() override {
        size_t whole = wholeCharacters(pending_);
        std::wstring text = wide(pending_.substr(0, whole));
        pending_.erase(0, whole);
        DWORD written = 0;
        return text.empty() || WriteConsoleW(console_, text.data(), narrow<DWORD>(text.size()),
                                             &written, nullptr)
                   ? 0
                   : -1;
    }

  private:
    HANDLE console_;
    std::string pending_;
};

// Puts a console's text buffer under a stream for the life of the program, and takes it
// away before the streams are flushed for the last time.
class ConsoleStream {
  public:
    ConsoleStream(std::ostream& stream, DWORD handle)
        : stream_(stream), text_(GetStdHandle(handle)) {
        DWORD mode = 0;
        if (GetConsoleMode(GetStdHandle(handle), &mode) != 0) {
            previous_ = stream_.rdbuf(&text_);
        }
    }
    ~ConsoleStream() {
        if (previous_ != nullptr) {
            stream_.flush();
            stream_.rdbuf(previous_);
        }
    }
    ConsoleStream(const ConsoleStream&) = delete;
    ConsoleStream& operator=(const ConsoleStream&) = delete;

  private:
    std::ostream& stream_;
    ConsoleText text_;
    std::streambuf* previous_ = nullptr;
};

// Opening a folder fails with a reason that does not say it is one.
bool isFolder(const std::wstring& name, std::string& reason) {
    DWORD attributes = GetFileAttributesW(name.c_str());
    reason = std::strerror(EISDIR);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isSet(volatile LONG& flag) {
    return InterlockedCompareExchange(&flag, 0, 0) != 0;
}

std::string systemReason(DWORD error) {
    char text[256] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, text, sizeof text, nullptr);
    std::string reason(text, length);
    return reason.substr(0, reason.find_last_not_of(" .\r\n") + 1);
}

// What the claimed file was when claimed, which tells it from any other.
BY_HANDLE_FILE_INFORMATION claimed{};

// A sharing violation on opening means that another program (another run, say) holds the
// file open in a way that this open cannot share: for reading, open for writing; for
// writing, open at all without sharing it for writing.
std::string openReason(DWORD error, bool writing) {
    switch (error) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return writing ? "Another program holds the file open and keeps it from being written"
                           : "Another program holds the file open for writing";
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return std::strerror(ENOENT);
        case ERROR_ACCESS_DENIED:
            return std::strerror(EACCES);
        default:
            return systemReason(error);
    }
}

// Opening without access reads what the system records of a file while any other program
// has it open, however it shares it.
bool recordOf(const std::wstring& name, BY_HANDLE_FILE_INFORMATION& record, bool& disk) {
    HANDLE file =
        name.empty()
            ? INVALID_HANDLE_VALUE
            : CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool known = GetFileInformationByHandle(file, &record) != 0;
    disk = GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
    return known;
}

// ReplaceFileW takes the folder from the name: a name without one is taken in full.
std::wstring fullPath(const std::wstring& name) {
    DWORD needed = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    std::wstring full(needed, L'\0');
    DWORD length = needed == 0 ? 0 : GetFullPathNameW(name.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return name;
    }
    full.resize(length);
    return full;
}

bool sameRecord(const BY_HANDLE_FILE_INFORMATION& one, const BY_HANDLE_FILE_INFORMATION& other) {
    return one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

// Whether the output name still leads to the claimed file, as it was claimed.
bool stillClaimed() {
    BY_HANDLE_FILE_INFORMATION now{};
    bool disk = false;
    return recordOf(outputName, now, disk) && sameRecord(now, claimed) &&
           now.nFileSizeHigh == claimed.nFileSizeHigh && now.nFileSizeLow == claimed.nFileSizeLow &&
           CompareFileTime(&now.ftLastWriteTime, &claimed.ftLastWriteTime) == 0;
}

void releaseClaim() {
    InterlockedExchange(&hasClaim, 0);
    if (claimHandle != INVALID_HANDLE_VALUE) {
        CloseHandle(claimHandle);
        claimHandle = INVALID_HANDLE_VALUE;
    }
}

// The empty file this run's prompt created goes through the handle that holds it: no other
// file can have taken its place.
bool removeOwnEmptyFile() {
    if (!isSet(hasClaim) || !isSet(claimCreated) || claimHandle == INVALID_HANDLE_VALUE) {
        return true;
    }
    FILE_DISPOSITION_INFO dispose{TRUE};
    bool removed =
        SetFileInformationByHandle(claimHandle, FileDispositionInfo, &dispose, sizeof dispose) != 0;
    InterlockedExchange(&claimCreated, 0);
    return removed;
}

bool processRuns(DWORD id) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (process == nullptr) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return runs;
}

// The number of the run that named a hidden file prefix + NUMBER + ".tmp", or 0.
DWORD runOfHiddenFile(std::wstring_view file, size_t prefix) {
    const size_t end = kHiddenEnd.size();
    if (file.size() <= prefix + end || file.size() > prefix + end + kNumberDigits) {
        return 0;
    }
    uint64_t number = 0;
    for (wchar_t digit : file.substr(prefix, file.size() - prefix - end)) {
        if (digit < L'0' || digit > L'9') {
            return 0;
        }
        number = number * 10 + static_cast<uint64_t>(digit - L'0');
    }
    return number <= std::numeric_limits<DWORD>::max() ? static_cast<DWORD>(number) : 0;
}

// A path of MAX_PATH units or more reaches the system only in its long form, \\?\C:\... or
// \\?\UNC\server\share\..., which takes the full path as it is.
std::wstring reachable(const std::wstring& path) {
    if (path.size() < MAX_PATH || path.starts_with(L"\\\\?\\")) {
        return path;
    }
    return path.starts_with(L"\\\\") ? L"\\\\?\\UNC\\" + path.substr(2) : L"\\\\?\\" + path;
}

// The longest name, in UTF-16 units, of every file system that Windows writes to (NTFS,
// FAT with long names, exFAT, ReFS).
constexpr size_t kLongestName = 255;

// Where the output's folder ends in its full name.
size_t folderEnd(const std::wstring& name) {
    size_t slash = name.find_last_of(L"\\/:");
    return slash == std::wstring::npos ? 0 : slash + 1;
}

std::wstring hiddenPrefixOf(const std::wstring& name) {
    const size_t start = folderEnd(name);
    return hiddenPrefix<wchar_t>(std::wstring_view(name).substr(start), kLongestName);
}

std::wstring hiddenName(const std::wstring& name) {
    return reachable(name.substr(0, folderEnd(name)) + hiddenPrefixOf(name) +
                     std::to_wstring(GetCurrentProcessId()) + inUnits<wchar_t>(kHiddenEnd));
}

// The hidden files that killed runs left while writing this output name go with the next run
// that writes it: those whose process has ended (or that bear this process's number, before
// it has made its own). A run holds its own open for writing, which keeps the open that
// deletes it from succeeding.
void removeLeftOvers(const std::wstring& folder, const std::wstring& prefix) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(reachable(folder + prefix + L"*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        DWORD run = runOfHiddenFile(found.cFileName, prefix.size());
        if (run != 0 && (run == GetCurrentProcessId() || !processRuns(run))) {
            HANDLE left = CreateFileW(reachable(folder + found.cFileName).c_str(), DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_DELETE_ON_CLOSE, nullptr);
            if (left != INVALID_HANDLE_VALUE) {
                CloseHandle(left);
            }
        }
    } while (FindNextFileW(search, &found) != 0);
    FindClose(search);
}

// The file being written is hidden beside the output, named after it and this process, so
// that one left by a killed run is recognisable. Sharing it for deletion lets the interrupt
// handler remove it while the stream is open.
HANDLE createTempFile() {
    removeLeftOvers(outputName.substr(0, folderEnd(outputName)), hiddenPrefixOf(outputName));
    tempName = hiddenName(outputName);
    return CreateFileW(tempName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                       nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
}

// The main thread is halted first so that no write of it lands after the clean-up, and the
// process is then terminated rather than exited: an exit would let the C runtime flush the
// output's stream buffer. Ctrl-C, Ctrl-Break and a closed console window all end here.
BOOL WINAPI onInterrupt(DWORD) {
    if (mainThread != nullptr && SuspendThread(mainThread) != static_cast<DWORD>(-1)) {
        CONTEXT halted{};
        halted.ContextFlags = CONTEXT_CONTROL;
        GetThreadContext(mainThread, &halted);
    }
    if (isSet(consoleModeChanged)) {
        SetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), consoleOutputMode);
    }
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "\r\n", 2, &written, nullptr);
    if (isSet(outputPlaced)) {
        TerminateProcess(GetCurrentProcess(), 0);
    }
    if (isSet(hasTempName)) {
        DeleteFileW(tempName.c_str());
    }
    removeOwnEmptyFile();
    releaseClaim();
    TerminateProcess(GetCurrentProcess(), 1);
    return TRUE;
}

// The claimed file, emptied of this run's reservation, gets the output by a move that fails
// if another file took the name meanwhile; a file that was there before is replaced in one
// step, and stays whole if that fails.
Placement putInPlace() {
    bool held = claimHandle != INVALID_HANDLE_VALUE;
    if (held && !stillClaimed()) {
        return Placement::NameTaken;
    }
    bool replace = held && !isSet(claimCreated);
    if (held && !replace && !removeOwnEmptyFile()) {
        return Placement::Failed;
    }
    releaseClaim();
    SetFileAttributesW(tempName.c_str(), FILE_ATTRIBUTE_NORMAL);
    bool moved =
        replace ? ReplaceFileW(outputName.c_str(), tempName.c_str(), nullptr,
                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                : MoveFileExW(tempName.c_str(), outputName.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    if (moved) {
        return Placement::Placed;
    }
    DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? Placement::NameTaken
                                                                       : Placement::Failed;
}

}  // namespace

std::FILE* openRegularFile(const std::string& name, std::string& reason) {
    std::wstring wideName = wide(name);
    if (isFolder(wideName, reason)) {
        return nullptr;
    }
    // Shared for reading only, the file can be neither rewritten nor replaced during the run.
    HANDLE handle = wideName.empty()
                        ? INVALID_HANDLE_VALUE
                        : CreateFileW(wideName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = openReason(wideName.empty() ? ERROR_FILE_NOT_FOUND : GetLastError(), false);
        return nullptr;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        reason = "Not a regular file: a pipe, a device or a socket is not read";
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY);
    std::FILE* file = fd >= 0 ? _fdopen(fd, "rb") : nullptr;
    if (file == nullptr) {
        reason = std::strerror(errno);
        fd >= 0 ? _close(fd) : CloseHandle(handle);
    }
    return file;
}

bool isRegularFile(const std::string& name) {
    const DWORD attributes = GetFileAttributesW(wide(name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

namespace {

// File times count 100 ns from 1601; the stamp counts nanoseconds from 1970.
int64_t nanoseconds(int64_t fileTime) {
    constexpr int64_t kFrom1601To1970 = 116444736000000000;
    return (fileTime - kFrom1601To1970) * 100;
}

int64_t fileTimeOf(const FILETIME& time) {
    return narrow<int64_t>(uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime);
}

}  // namespace

FileStamp stampOf(std::FILE* file) {
    auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || GetFileInformationByHandle(handle, &info) == 0) {
        return {};
    }
    // The change time is read where the system keeps one; without it the stamp rests on the
    // rest. Any difference counts, as on other systems.
    FILE_BASIC_INFO basic{};
    bool changeKnown =
        GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) != 0;
    return {info.dwVolumeSerialNumber,
            uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow,
            narrow<int64_t>(uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow),
            nanoseconds(fileTimeOf(info.ftLastWriteTime)),
            changeKnown ? nanoseconds(basic.ChangeTime.QuadPart) : 0,
            info.nNumberOfLinks};
}

bool seekTo(std::FILE* file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        return false;
    }
    return _fseeki64(file, static_cast<int64_t>(offset), SEEK_SET) == 0;
}

Claim claimOutput(const std::string& name, std::string& reason, bool replace, bool reserve) {
    // A name that reaches MAX_PATH in full is written all the same, as is the file beside it.
    std::wstring wideName = reachable(fullPath(wide(name)));
    if (wideName.size() - folderEnd(wideName) > kLongestName) {
        reason = systemReason(ERROR_FILENAME_EXCED_RANGE);
        return Claim::Refused;
    }
    if (isFolder(wideName, reason)) {
        return Claim::Refused;
    }
    // What the name holds is told first, so that a file held by this run as its input, or by
    // another program, is still reported for what it is.
    BY_HANDLE_FILE_INFORMATION info{};
    bool disk = true;
    if (recordOf(wideName, info, disk) &&
        (!disk || ((info.nFileSizeHigh != 0 || info.nFileSizeLow != 0) && !replace))) {
        return disk ? Claim::HoldsData : Claim::NotRegular;
    }
    // Held for writing and shared for reading only, the file stops any other run's claim.
    constexpr DWORD kAccess = GENERIC_WRITE | DELETE;
    constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_DELETE;
    HANDLE file = INVALID_HANDLE_VALUE;
    bool created = false;
    if (reserve) {
        file = CreateFileW(wideName.c_str(), kAccess, kShared, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        created = file != INVALID_HANDLE_VALUE;
    }
    if (!created && (!reserve || GetLastError() == ERROR_FILE_EXISTS)) {
        file = CreateFileW(wideName.c_str(), kAccess, kShared, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    bool free = file == INVALID_HANDLE_VALUE && !reserve && GetLastError() == ERROR_FILE_NOT_FOUND;
    if (file == INVALID_HANDLE_VALUE && !free) {
        reason = openReason(GetLastError(), true);
        return Claim::Refused;
    }
    if (file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info) == 0) {
        reason = systemReason(GetLastError());
        CloseHandle(file);
        return Claim::Refused;
    }
    releaseClaim();
    outputName = fullPath(wideName);
    // A name that holds nothing is left so: the move that puts the output there fails if
    // another file took it meanwhile.
    claimed = free ? BY_HANDLE_FILE_INFORMATION{} : info;
    claimHandle = file;
    InterlockedExchange(&claimCreated, created ? 1 : 0);
    InterlockedExchange(&outputPlaced, 0);
    InterlockedExchange(&hasClaim, 1);
    return Claim::Taken;
}

std::FILE* createOutput(std::string& reason) {
    HANDLE file = isSet(hasClaim) ? createTempFile() : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
        reason = systemReason(GetLastError());
        abandonOutput(nullptr);
        return nullptr;
    }
    InterlockedExchange(&hasTempName, 1);
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), 0);
    std::FILE* output = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    if (output == nullptr) {
        reason = std::strerror(errno);
        fd >= 0 ? _close(fd) : CloseHandle(file);
        abandonOutput(nullptr);
    }
    return output;
}

Placement placeOutput(std::FILE* output, std::string& reason) {
    bool written = std::fflush(output) == 0 && std::ferror(output) == 0;
    int flushError = errno;
    if (std::fclose(output) != 0 || !written) {
        reason = std::strerror(written ? errno : flushError);
        return Placement::Failed;
    }
    Placement placement = putInPlace();
    if (placement == Placement::Failed) {
        reason = systemReason(GetLastError());
    }
    if (placement == Placement::Placed) {
        InterlockedExchange(&hasTempName, 0);
        InterlockedExchange(&outputPlaced, 1);
    }
    return placement;
}

bool abandonOutput(std::FILE* output) {
    if (output != nullptr) {
        static_cast<void>(std::fclose(output));
    }
    bool removed = !isSet(hasTempName) || DeleteFileW(tempName.c_str()) != 0 ||
                   GetLastError() == ERROR_FILE_NOT_FOUND;
    InterlockedExchange(&hasTempName, 0);
    removeOwnEmptyFile();
    releaseClaim();
    return removed;
}

void reopenClosedStandardStreams() {
    const struct {
        DWORD handle;
        std::FILE* stream;
        const char* mode;
    } streams[] = {{STD_INPUT_HANDLE, stdin, "r"},
                   {STD_OUTPUT_HANDLE, stdout, "w"},
                   {STD_ERROR_HANDLE, stderr, "w"}};
    for (const auto& [handle, stream, mode] : streams) {
        HANDLE standard = GetStdHandle(handle);
        if (standard == nullptr || standard == INVALID_HANDLE_VALUE) {
            static_cast<void>(std::freopen("NUL", mode, stream));
        }
    }
}

bool standardInputIsTerminal() {
    return inputIsConsole();
}

// A console shows ANSI colour sequences only once asked to (Windows 10 and later).
bool standardOutputIsTerminal() {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(output, &mode) == 0) {
        return false;
    }
    if (isSet(consoleModeChanged) == 0) {
        consoleOutputMode = mode;
        InterlockedExchange(&consoleModeChanged, 1);
    }
    return SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool sameFile(const std::string& first, const std::string& second) {
    BY_HANDLE_FILE_INFORMATION one{};
    BY_HANDLE_FILE_INFORMATION other{};
    bool disk = false;
    return recordOf(wide(first), one, disk) && recordOf(wide(second), other, disk) &&
           sameRecord(one, other);
}

// Windows names have no short form for the home folder.
std::string homeFolder() {
    return {};
}

void waitForKey() {
    if (!inputIsConsole()) {
        return;
    }
    // Arrow and function keys come as two codes; the second must not answer the next wait.
    int key = _getch();
    if (key == 0 || key == 0xE0) {
        _getch();
    }
}

uint64_t installedMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status) == 0) {
        return 0;
    }
    return status.ullTotalPhys;
}

// Large pages need a privilege that ordinary users lack, so the hint is not acted on.
void preferLargePages(void*, size_t) {}

void installInterruptHandlers() {
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &mainThread,
                    THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, 0);
    SetConsoleCtrlHandler(onInterrupt, TRUE);
}

std::vector<std::string> argumentsInUtf8(int count, wchar_t** arguments) {
    std::vector<std::string> converted;
    for (int n = 1; n < count; ++n) {
        converted.push_back(utf8(arguments[n]));
    }
    return converted;
}

// Each stream is handed back, flushed, before the C++ runtime flushes its streams at exit.
void showLettersAtConsoles() {
    static ConsoleStream output(std::cout, STD_OUTPUT_HANDLE);
    static ConsoleStream errors(std::cerr, STD_ERROR_HANDLE);
}

// The console edits the line itself; read in UTF-16, every letter of a typed name arrives.
// The C stream then buffers nothing of the lines that are not names.
bool startLineEditor() {
    return inputIsConsole() && std::setvbuf(stdin, nullptr, _IONBF, 0) == 0;
}

std::optional<std::string> editLine() {
    std::wstring line;
    constexpr DWORD kChunk = 256;
    wchar_t chunk[kChunk];
    DWORD got = 0;
    while (ReadConsoleW(GetStdHandle(STD_INPUT_HANDLE), chunk, kChunk, &got, nullptr) != 0 &&
           got > 0) {
        line.append(chunk, got);
        if (line.back() == L'\n') {
            break;
        }
    }
    // Ctrl-Z at the start of a line ends the console's input.
    if (line.empty() || line.front() == L'\x1a') {
        return std::nullopt;
    }
    line.erase(line.find_last_not_of(L"\r\n") + 1);
    return utf8(line);
}

}  // namespace platform
