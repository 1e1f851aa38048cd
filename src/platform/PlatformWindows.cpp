#include "platform/Platform.h"

#include <conio.h>
#include <io.h>
#include <windows.h>

#include <limits>
#include <string>

namespace platform {
namespace {

// Shared with the console control handler, which Windows runs on a thread of its own.
std::wstring pendingOutput;
volatile LONG hasPendingOutput = 0;
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

bool truncateFile(const wchar_t* name) {
    HANDLE file = CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

// The main thread is halted first so that no write of it lands after the truncation, and
// the process is then terminated rather than exited: an exit would let the C runtime flush
// the output's stream buffer into the emptied file.
BOOL WINAPI onInterrupt(DWORD) {
    if (mainThread != nullptr && SuspendThread(mainThread) != static_cast<DWORD>(-1)) {
        CONTEXT halted{};
        halted.ContextFlags = CONTEXT_CONTROL;
        GetThreadContext(mainThread, &halted);
    }
    if (InterlockedCompareExchange(&hasPendingOutput, 0, 0) != 0) {
        truncateFile(pendingOutput.c_str());
    }
    TerminateProcess(GetCurrentProcess(), 1);
    return TRUE;
}

}  // namespace

std::FILE* openFile(const std::string& name, const char* mode) {
    std::wstring wideName = typedName(name);
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    if (wideName.empty()) {
        return nullptr;
    }
    return _wfopen(wideName.c_str(), wideMode.c_str());
}

int64_t fileSize(std::FILE* file) {
    return _filelengthi64(_fileno(file));
}

bool seekTo(std::FILE* file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        return false;
    }
    return _fseeki64(file, static_cast<int64_t>(offset), SEEK_SET) == 0;
}

bool emptyFile(const std::string& name) {
    std::wstring wideName = typedName(name);
    return !wideName.empty() && truncateFile(wideName.c_str());
}

bool standardInputIsTerminal() {
    return inputIsConsole();
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

uint64_t physicalMemory() {
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

// The handler reads the name without a lock, so it is only changed while marked absent.
void setPendingOutput(const std::string& name) {
    InterlockedExchange(&hasPendingOutput, 0);
    pendingOutput = typedName(name);
    if (!pendingOutput.empty()) {
        InterlockedExchange(&hasPendingOutput, 1);
    }
}

void clearPendingOutput() {
    InterlockedExchange(&hasPendingOutput, 0);
}

}  // namespace platform
