#pragma once

#include <string>

#include "dialogue/FilterSettings.h"

// What one run is to do, once the dialogue or the command line has settled it: the settings
// words, the input, and the output (none for a run that only reads the image).
struct JobOrder {
    SettingsCopy settings;
    std::string input;
    std::string output;
    // Whether an output file that holds data may be replaced, once the new one is complete.
    bool replace = false;

    bool writes() const { return !output.empty(); }
};
