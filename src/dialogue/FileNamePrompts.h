#pragma once

#include <functional>
#include <string>
#include <vector>

class Console;

// The two files a session names, each with a prompt of its own.
enum class FileRole { Input, Output };

// Tries to take the file a name means: no lines when it was taken, else the lines that say
// why not, the system's reason last.
using NameTrial = std::function<std::vector<std::string>(const std::string& name)>;

// Asks for the role's file name, and again after each name that tryName does not take.
void askFileName(Console& console, FileRole role, const NameTrial& tryName);
