#pragma once

#include <string>
#include <vector>

// The spellings of names and arguments on each system. ShellWord.cpp holds the shells'
// quoting; the system's part is in NamesPosix.cpp and NamesWindows.cpp.
namespace platform {

// The user's home folder, which a typed name may begin with as "~/"; empty where names have
// no such form.
std::string homeFolder();

// A file name as one word of this system's command shell (sh, or cmd.exe on Windows),
// quoted only where the shell would otherwise split or change it.
std::string shellWord(const std::string& name);

#ifdef _WIN32
// The arguments after the program's name, passed by Windows in UTF-16, in UTF-8.
std::vector<std::string> argumentsInUtf8(int count, wchar_t** arguments);
#endif

}  // namespace platform
