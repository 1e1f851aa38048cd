#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/RunEnded.h"

class Console;

// The two files a session names, each with a prompt of its own.
enum class FileRole { Input, Output };

// Tries to take the file a name means.
using NameTrial = std::function<Refusal(const std::string& name)>;

// Asks for the role's file name, and again after each name that tryName does not take.
void askFileName(Console& console, FileRole role, const NameTrial& tryName);
