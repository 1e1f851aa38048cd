#pragma once

// The standard streams, the terminal and its keys. The system's part is in TerminalPosix.cpp
// and TerminalWindows.cpp; KeyPress.h holds what a key press sends on any terminal, and
// LineEditor.h the editing of typed names.
namespace platform {

// Opens each of the standard streams 0, 1 and 2 that the process was started without on the
// null device, so that no file the program opens later takes its place.
void reopenClosedStandardStreams();

bool standardInputIsTerminal();
bool standardOutputIsTerminal();

// One key press, without echo and without Enter, when standard input is a terminal;
// returns at once and consumes nothing when it is not.
void waitForKey();

#ifdef _WIN32
// Standard output and standard error, where they are a console, show the letters of any
// language from here to the program's end; redirected, they carry UTF-8.
void showLettersAtConsoles();
#endif

}  // namespace platform
