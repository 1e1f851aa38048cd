#pragma once

#include <optional>
#include <string>

// Editing of the file-name answers at a terminal: arrows, Home and End, backspace and
// delete, the names typed earlier in this run on Up and Down, and Tab completion of file
// names. Windows consoles edit typed lines themselves; there the editor only reads the line.
namespace platform {

// Starts the editor when standard input is a terminal and the build has one; false when
// names are to be read as plain lines.
bool startLineEditor();

// One line typed at the terminal, without its line end; no value at the end of input.
std::optional<std::string> editLine();

}  // namespace platform
