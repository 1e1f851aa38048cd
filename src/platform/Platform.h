#pragma once

// Everything that differs between operating systems lives behind these few calls, arranged by
// job: each job's header says what it does, and its system's part is beside it in a file named
// for the job and the system (OutputPlacementPosix.cpp, OutputPlacementWindows.cpp), which
// the build selects.
#include "platform/InputFiles.h"
#include "platform/Interrupts.h"
#include "platform/Memory.h"
#include "platform/Names.h"
#include "platform/OutputPlacement.h"
#include "platform/Terminal.h"
