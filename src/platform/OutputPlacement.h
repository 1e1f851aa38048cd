#pragma once

#include <cstdio>
#include <string>

#include "platform/RunEnded.h"

// The output is claimed by name (at its prompt, or from the command line) and written into a
// file of its own in the same folder, which goes to the name only once complete; until then
// the name holds what it held before. The state lives in the system's part
// (OutputPlacementPosix.cpp, OutputPlacementWindows.cpp) because the interrupt handler needs
// it; the hidden name of the file being written is HiddenName.h's, on both systems.
namespace platform {

enum class Claim { Taken, HoldsData, NotRegular };
// Accepts the empty regular file the name holds, or a name that holds nothing, which reserve
// takes by creating it empty (the prompt's answer then stands until the run ends); without
// reserve nothing appears at the name before the complete output. With replace, a regular
// file that holds data is accepted too: it stays whole until the complete output takes its
// place, and is not replaced if it changes meanwhile. A name that cannot be written at all
// (a folder, one without room for the hidden name beside it) is refused.
Attempt<Claim> claimOutput(const std::string& name, bool replace = false, bool reserve = true);
// Creates the file that the output is written into.
Attempt<std::FILE*> createOutput();
enum class Placement { Placed, NameTaken };
// Closes the output and puts it at the claimed name, which must still hold the claimed file
// as it was claimed, or nothing: a file that took the name meanwhile is never replaced. An output
// not placed (taken, or refused with the system's reason) is then to be abandoned.
Attempt<Placement> placeOutput(std::FILE* output);
// Closes and removes an output that is not to be put in place (output may be null), and
// removes the empty file the claim created; false when the part written could not be removed.
bool abandonOutput(std::FILE* output);

}  // namespace platform
