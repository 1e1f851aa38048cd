#include "platform/OutputPlacement.h"

#include "platform/HiddenName.h"
#include "platform/Interrupts.h"
#include "platform/SystemWindows.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

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
volatile LONG outputInPlace{};

// What the claimed file was when claimed, which tells it from any other.
BY_HANDLE_FILE_INFORMATION claimed{};

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
        const uint64_t run = runOfHiddenName<wchar_t>(found.cFileName, prefix.size());
        const bool inRange = run != 0 && run <= std::numeric_limits<DWORD>::max();
        if (inRange && (run == GetCurrentProcessId() || !processRuns(static_cast<DWORD>(run)))) {
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

// The claimed file, emptied of this run's reservation, gets the output by a move that fails
// if another file took the name meanwhile; a file that was there before is replaced in one
// step, and stays whole if that fails.
Attempt<Placement> failedPlacement() {
    return RunEnded{{systemReason(GetLastError())}};
}

Attempt<Placement> putInPlace() {
    bool held = claimHandle != INVALID_HANDLE_VALUE;
    if (held && !stillClaimed()) {
        return {Placement::NameTaken};
    }
    bool replace = held && !isSet(claimCreated);
    if (held && !replace && !removeOwnEmptyFile()) {
        return failedPlacement();
    }
    releaseClaim();
    SetFileAttributesW(tempName.c_str(), FILE_ATTRIBUTE_NORMAL);
    bool moved =
        replace ? ReplaceFileW(outputName.c_str(), tempName.c_str(), nullptr,
                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                : MoveFileExW(tempName.c_str(), outputName.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    if (moved) {
        return {Placement::Placed};
    }
    DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS
               ? Attempt<Placement>{Placement::NameTaken}
               : failedPlacement();
}

}  // namespace

bool atInterrupt::outputPlaced() {
    return isSet(outputInPlace);
}

void atInterrupt::removeOutput() {
    if (isSet(hasTempName)) {
        DeleteFileW(tempName.c_str());
    }
    removeOwnEmptyFile();
    releaseClaim();
}

Attempt<Claim> claimOutput(const std::string& name, bool replace, bool reserve) {
    // A name that reaches MAX_PATH in full is written all the same, as is the file beside it.
    std::wstring wideName = reachable(fullPath(wide(name)));
    if (wideName.size() - folderEnd(wideName) > kLongestName) {
        return RunEnded{{systemReason(ERROR_FILENAME_EXCED_RANGE)}};
    }
    if (Refusal refusal = refusalOfFolder(wideName)) {
        return std::move(*refusal);
    }
    // What the name holds is told first, so that a file held by this run as its input, or by
    // another program, is still reported for what it is.
    BY_HANDLE_FILE_INFORMATION info{};
    bool disk = true;
    if (recordOf(wideName, info, disk) &&
        (!disk || ((info.nFileSizeHigh != 0 || info.nFileSizeLow != 0) && !replace))) {
        return {disk ? Claim::HoldsData : Claim::NotRegular};
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
        return RunEnded{{openReason(GetLastError(), true)}};
    }
    if (file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info) == 0) {
        RunEnded refusal{{systemReason(GetLastError())}};
        CloseHandle(file);
        return refusal;
    }
    releaseClaim();
    outputName = fullPath(wideName);
    // A name that holds nothing is left so: the move that puts the output there fails if
    // another file took it meanwhile.
    claimed = free ? BY_HANDLE_FILE_INFORMATION{} : info;
    claimHandle = file;
    InterlockedExchange(&claimCreated, created ? 1 : 0);
    InterlockedExchange(&outputInPlace, 0);
    InterlockedExchange(&hasClaim, 1);
    return {Claim::Taken};
}

Attempt<std::FILE*> createOutput() {
    HANDLE file = isSet(hasClaim) ? createTempFile() : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
        RunEnded refusal{{systemReason(GetLastError())}};
        abandonOutput(nullptr);
        return refusal;
    }
    InterlockedExchange(&hasTempName, 1);
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), 0);
    std::FILE* output = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    if (output == nullptr) {
        RunEnded refusal{{std::strerror(errno)}};
        fd >= 0 ? _close(fd) : CloseHandle(file);
        abandonOutput(nullptr);
        return refusal;
    }
    return {output};
}

Attempt<Placement> placeOutput(std::FILE* output) {
    bool written = std::fflush(output) == 0 && std::ferror(output) == 0;
    int flushError = errno;
    if (std::fclose(output) != 0 || !written) {
        return RunEnded{{std::strerror(written ? errno : flushError)}};
    }
    Attempt<Placement> placement = putInPlace();
    if (!placement.refusal && placement.value == Placement::Placed) {
        InterlockedExchange(&hasTempName, 0);
        InterlockedExchange(&outputInPlace, 1);
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

}  // namespace platform
