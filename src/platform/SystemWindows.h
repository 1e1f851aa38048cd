#pragma once

#include <windows.h>

#include <string>

#include "platform/RunEnded.h"

// What the Windows parts of the jobs share: names in UTF-16, the system's reasons, and what
// it records of a file.
namespace platform {

// Names are UTF-8 inside the program, whether they came as arguments, from the console or
// through a pipe; the system gets them in UTF-16 at each call.
std::wstring wide(const std::string& text);
std::string utf8(const std::wstring& text);

bool inputIsConsole();
bool isSet(volatile LONG& flag);
std::string systemReason(DWORD error);
// The reason an open failed, for reading or for writing.
std::string openReason(DWORD error, bool writing);
// Opening a folder fails with a reason that does not say it is one.
Refusal refusalOfFolder(const std::wstring& name);
// Opening without access reads what the system records of a file while any other program
// has it open, however it shares it.
bool recordOf(const std::wstring& name, BY_HANDLE_FILE_INFORMATION& record, bool& disk);
bool sameRecord(const BY_HANDLE_FILE_INFORMATION& one, const BY_HANDLE_FILE_INFORMATION& other);

}  // namespace platform
