#pragma once

class Console;

// Holds one whole run of the dialogue on the console and gives the process's exit status: 0
// when the output is in place, 1 when the run ended early, which it has said, "exiting
// program" last.
int exitStatusOfJob(Console& console);
