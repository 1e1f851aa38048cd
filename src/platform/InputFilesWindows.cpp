#include "platform/InputFiles.h"

#include "platform/Narrow.h"
#include "platform/SystemWindows.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

namespace platform {

Attempt<std::FILE*> openRegularFile(const std::string& name) {
    std::wstring wideName = wide(name);
    if (Refusal refusal = refusalOfFolder(wideName)) {
        return std::move(*refusal);
    }
    // Shared for reading only, the file can be neither rewritten nor replaced during the run.
    HANDLE handle = wideName.empty()
                        ? INVALID_HANDLE_VALUE
                        : CreateFileW(wideName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = wideName.empty() ? ERROR_FILE_NOT_FOUND : GetLastError();
        return RunEnded{{openReason(error, false)}};
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return RunEnded{{"Not a regular file: a pipe, a device or a socket is not read"}};
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY);
    std::FILE* file = fd >= 0 ? _fdopen(fd, "rb") : nullptr;
    if (file == nullptr) {
        RunEnded refusal{{std::strerror(errno)}};
        fd >= 0 ? _close(fd) : CloseHandle(handle);
        return refusal;
    }
    return {file};
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

bool sameFile(const std::string& first, const std::string& second) {
    BY_HANDLE_FILE_INFORMATION one{};
    BY_HANDLE_FILE_INFORMATION other{};
    bool disk = false;
    return recordOf(wide(first), one, disk) && recordOf(wide(second), other, disk) &&
           sameRecord(one, other);
}

}  // namespace platform
