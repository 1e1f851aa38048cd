#include "platform/SystemWindows.h"

#include <cerrno>
#include <cstring>

namespace platform {

bool inputIsConsole() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

Refusal refusalOfFolder(const std::wstring& name) {
    DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return {};
    }
    return RunEnded{{std::strerror(EISDIR)}};
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

bool sameRecord(const BY_HANDLE_FILE_INFORMATION& one, const BY_HANDLE_FILE_INFORMATION& other) {
    return one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

}  // namespace platform
