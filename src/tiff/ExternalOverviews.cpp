#include <string>
#include <vector>

#include "tiff/PageChain.h"
#include "tiff/TifFile.h"

// GDAL keeps the overviews of a file it may not change (a read-only file, or when asked to)
// in a file of their own beside it, IN.tif.ovr or IN.ovr, which a viewer takes for the
// image's. The output gets no such file: its name and levels are kept for the warning.

// A run that writes nothing (a check) has no output to tell of.
void TifFile::reportExternalOverviews() {
    if (output.name.empty()) {
        return;
    }
    const size_t folder = input.name.find_last_of("/\\");
    const size_t dot = input.name.rfind('.');
    const bool extension =
        dot != std::string::npos && (folder == std::string::npos || dot > folder);
    for (const std::string& name :
         {input.name + ".ovr", extension ? input.name.substr(0, dot) + ".ovr" : std::string()}) {
        InputFile overviews;
        overviews.name = name;
        if (name.empty() || name == input.name || overviews.hold()) {
            continue;
        }
        std::vector<PageSize> sizes;
        for (const ChainPage& page : readPageChain(overviews)) {
            sizes.push_back(page.size);
        }
        toRebuild_.besideFile = name;
        toRebuild_.besideLevels = overviewLevels(sizes);
        return;
    }
}
