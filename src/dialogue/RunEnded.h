#pragma once

#include <initializer_list>
#include <string_view>

class Console;

// Thrown once a fatal check has printed its lines; the entry turns it into exit status 1.
// The job's closing lines are skipped because the job's construction never completes.
struct RunEnded {};

// Prints the lines that say why, then "exiting program", and ends the run.
[[noreturn]] void endRun(Console& console, std::initializer_list<std::string_view> lines = {});
