#pragma once

// Signals and console events. The system's part is in InterruptsPosix.cpp and
// InterruptsWindows.cpp.
namespace platform {

// On an interrupt the terminal settings are restored and the line is ended; an output put in
// place ends the process with status 0, else the output is abandoned and the status is 1. A
// broken console and a file size limit become failed writes instead of ending the process.
void installInterruptHandlers();

// What the interrupt handler asks of the other jobs; each is safe to call from a signal
// handler (or, on Windows, from the console's control thread while the main thread is halted).
namespace atInterrupt {
// The terminal gets back the settings it had before the program changed them.
void restoreTerminal();
// Whether the output has been put at its name, so that the run has succeeded.
bool outputPlaced();
// Removes the file being written and the empty file the claim created.
void removeOutput();
}  // namespace atInterrupt

}  // namespace platform
