#include "platform/Platform.h"

#include <conio.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstring>
#include <limits>
#include <string>

namespace platform {
namespace {

// Shared with the console control handler, which Windows runs on a thread of its own; the
// names are only changed while their flags mark them absent.
std::wstring outputName;
std::wstring tempName;
volatile LONG hasClaim = 0;
volatile LONG claimCreated = 0;
volatile LONG hasTempName = 0;
volatile LONG outputPlaced = 0;
HANDLE mainThread = nullptr;

bool inputIsConsole() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

// Typed names arrive in the console's input code page; redirected input is taken to be in
// the system's ANSI code page, as the files that feed it are written by Windows programs.
std::wstring wide(const std::string& text, UINT codePage) {
    if (text.empty() || text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        return {};
    }
    auto length = static_cast<int>(text.size());
    int needed = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (needed <= 0) {
        return {};
    }
    std::wstring result(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, result.data(), needed);
    return result;
}

std::wstring typedName(const std::string& name) {
    return wide(name, inputIsConsole() ? GetConsoleCP() : CP_ACP);
}

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

// The volume and index of the empty file the prompt accepted, which tell it from any other.
BY_HANDLE_FILE_INFORMATION claimed{};
// A claimed file that holds data is replaced in one move, so that it stays whole until then.
bool replacing = false;

// Whether the output name still holds the claimed file, as it was claimed.
bool stillClaimed() {
    HANDLE file =
        CreateFileW(outputName.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    BY_HANDLE_FILE_INFORMATION now{};
    bool same = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &now) != 0 &&
                now.dwVolumeSerialNumber == claimed.dwVolumeSerialNumber &&
                now.nFileIndexHigh == claimed.nFileIndexHigh &&
                now.nFileIndexLow == claimed.nFileIndexLow &&
                now.nFileSizeHigh == claimed.nFileSizeHigh &&
                now.nFileSizeLow == claimed.nFileSizeLow &&
                CompareFileTime(&now.ftLastWriteTime, &claimed.ftLastWriteTime) == 0;
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    return same;
}

void removeOwnEmptyFile() {
    if (isSet(hasClaim) && isSet(claimCreated) && stillClaimed()) {
        DeleteFileW(outputName.c_str());
    }
}

// The file being written is hidden beside the output, named after it and this process, so
// that one left by a killed run is recognisable. Sharing it for deletion lets the interrupt
// handler remove it while the stream is open.
HANDLE createTempFile() {
    size_t slash = outputName.find_last_of(L"\\/:");
    size_t start = slash == std::wstring::npos ? 0 : slash + 1;
    tempName = outputName.substr(0, start) + L"." + outputName.substr(start) + L".velstram-" +
               std::to_wstring(GetCurrentProcessId()) + L".tmp";
    return CreateFileW(tempName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                       nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
}

// The main thread is halted first so that no write of it lands after the clean-up, and the
// process is then terminated rather than exited: an exit would let the C runtime flush the
// output's stream buffer.
BOOL WINAPI onInterrupt(DWORD) {
    if (mainThread != nullptr && SuspendThread(mainThread) != static_cast<DWORD>(-1)) {
        CONTEXT halted{};
        halted.ContextFlags = CONTEXT_CONTROL;
        GetThreadContext(mainThread, &halted);
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
    TerminateProcess(GetCurrentProcess(), 1);
    return TRUE;
}

}  // namespace

std::FILE* openRegularFile(const std::string& name, std::string& reason) {
    std::wstring wideName = typedName(name);
    if (isFolder(wideName, reason)) {
        return nullptr;
    }
    std::FILE* file = wideName.empty() ? nullptr : _wfopen(wideName.c_str(), L"rb");
    if (file == nullptr) {
        reason = std::strerror(errno);
        return nullptr;
    }
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != FILE_TYPE_DISK) {
        static_cast<void>(std::fclose(file));
        reason = "Not a regular file: a pipe, a device or a socket is not read";
        return nullptr;
    }
    return file;
}

bool isRegularFile(const std::string& name) {
    const DWORD attributes = GetFileAttributesW(typedName(name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

FileStamp stampOf(std::FILE* file) {
    struct _stat64 info {};
    if (_fstat64(_fileno(file), &info) != 0) {
        return {};
    }
    return {0, 0, info.st_size, static_cast<int64_t>(info.st_mtime) * 1000000000, 0, 0};
}

bool seekTo(std::FILE* file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        return false;
    }
    return _fseeki64(file, static_cast<int64_t>(offset), SEEK_SET) == 0;
}

Claim claimOutput(const std::string& name, std::string& reason, bool replace, bool reserve) {
    std::wstring wideName = typedName(name);
    if (isFolder(wideName, reason)) {
        return Claim::Refused;
    }
    constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE file = INVALID_HANDLE_VALUE;
    bool created = false;
    if (reserve) {
        file = CreateFileW(wideName.c_str(), GENERIC_WRITE, kShared, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        created = file != INVALID_HANDLE_VALUE;
    }
    if (!created && (!reserve || GetLastError() == ERROR_FILE_EXISTS)) {
        file = CreateFileW(wideName.c_str(), GENERIC_WRITE, kShared, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    // A name that holds nothing is left so: the move that puts the output there fails if
    // another file took it meanwhile.
    if (file == INVALID_HANDLE_VALUE && !reserve && GetLastError() == ERROR_FILE_NOT_FOUND) {
        InterlockedExchange(&hasClaim, 0);
        outputName = wideName;
        claimed = {};
        InterlockedExchange(&claimCreated, 0);
        replacing = false;
        InterlockedExchange(&outputPlaced, 0);
        InterlockedExchange(&hasClaim, 1);
        return Claim::Taken;
    }
    if (file == INVALID_HANDLE_VALUE) {
        reason = systemReason(GetLastError());
        return Claim::Refused;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    bool disk = GetFileType(file) == FILE_TYPE_DISK;
    bool empty = GetFileInformationByHandle(file, &info) != 0 && info.nFileSizeHigh == 0 &&
                 info.nFileSizeLow == 0;
    CloseHandle(file);
    if (!disk || (!empty && !replace)) {
        return disk ? Claim::HoldsData : Claim::NotRegular;
    }
    InterlockedExchange(&hasClaim, 0);
    outputName = wideName;
    claimed = info;
    InterlockedExchange(&claimCreated, created ? 1 : 0);
    replacing = !empty;
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

// A file that was there before is removed just before the move, as a move that never
// replaces is the only one that cannot overwrite data.
Placement placeOutput(std::FILE* output, std::string& reason) {
    bool written = std::fflush(output) == 0 && std::ferror(output) == 0;
    int flushError = errno;
    if (std::fclose(output) != 0 || !written) {
        reason = std::strerror(written ? errno : flushError);
        return Placement::Failed;
    }
    if (GetFileAttributesW(outputName.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (!stillClaimed()) {
            return Placement::NameTaken;
        }
        if (!replacing) {
            DeleteFileW(outputName.c_str());
        }
    }
    SetFileAttributesW(tempName.c_str(), FILE_ATTRIBUTE_NORMAL);
    DWORD move = MOVEFILE_WRITE_THROUGH | (replacing ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFileExW(tempName.c_str(), outputName.c_str(), move) == 0) {
        DWORD error = GetLastError();
        reason = systemReason(error);
        return error == ERROR_ALREADY_EXISTS ? Placement::NameTaken : Placement::Failed;
    }
    InterlockedExchange(&hasTempName, 0);
    InterlockedExchange(&hasClaim, 0);
    InterlockedExchange(&outputPlaced, 1);
    return Placement::Placed;
}

bool abandonOutput(std::FILE* output) {
    if (output != nullptr) {
        static_cast<void>(std::fclose(output));
    }
    bool removed = !isSet(hasTempName) || DeleteFileW(tempName.c_str()) != 0 ||
                   GetLastError() == ERROR_FILE_NOT_FOUND;
    InterlockedExchange(&hasTempName, 0);
    removeOwnEmptyFile();
    InterlockedExchange(&hasClaim, 0);
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
    return GetConsoleMode(output, &mode) != 0 &&
           SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

namespace {

bool fileIdentity(const std::string& name, BY_HANDLE_FILE_INFORMATION& identity) {
    std::wstring wideName = typedName(name);
    if (wideName.empty()) {
        return false;
    }
    HANDLE file =
        CreateFileW(wideName.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool known = GetFileInformationByHandle(file, &identity) != 0;
    CloseHandle(file);
    return known;
}

}  // namespace

bool sameFile(const std::string& first, const std::string& second) {
    BY_HANDLE_FILE_INFORMATION one{};
    BY_HANDLE_FILE_INFORMATION other{};
    return fileIdentity(first, one) && fileIdentity(second, other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
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

}  // namespace platform
