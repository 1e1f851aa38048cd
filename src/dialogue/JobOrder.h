#pragma once

#include <cstdint>
#include <string>

#include "dialogue/FilterSettings.h"

// How near a key of the keep list a colour may lie and still stay, for the command line's
// --fuzz and --fit (the dialogue keeps exact colours), and the distance of the census's groups.
struct KeepReach {
    bool given = false;
    // The largest dr² + dg² + db², in 8-bit units, that a colour may lie from a key.
    uint32_t distanceSquared{};
    std::string distance;  // as typed, for the summary
    // --fit: the bound, in standard deviations, of the cloud fitted around each key; 0 for none.
    double fit{};
    std::string fitted;  // as typed
};

// What one run is to do, once the dialogue or the command line has settled it: the settings
// words, the input, and the output (none for a run that only reads the image).
struct JobOrder {
    SettingsCopy settings;
    std::string input;
    std::string output;
    // Whether an output file that holds data may be replaced, once the new one is complete.
    bool replace = false;
    KeepReach reach;

    bool writes() const { return !output.empty(); }
};
