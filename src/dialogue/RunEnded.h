#pragma once

// The stop type is the platform's, so that the system's calls give their reasons in it; the
// dialogue's files and those above include it by this name as well.
#include "platform/RunEnded.h"
