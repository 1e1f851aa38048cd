#include "advice/Warnings.h"

#include "advice/Conversion.h"
#include "platform/Platform.h"

std::vector<std::string> overviewWarnings(const OverviewsToRebuild& overviews,
                                          const std::string& output) {
    std::vector<std::string> lines;
    if (overviews.copied) {
        lines.push_back(std::string("The file's reduced-resolution pages") +
                        (overviews.underSubIfds ? " (some under SubIFDs)" : "") +
                        " that cannot be rebuilt here (compressed, of another kind or damaged) "
                        "are copied unchanged and still show the old colours; rebuild them "
                        "from the output with:");
        lines.push_back("  " + overviewCommand(output, overviews.levels));
    }
    if (!overviews.besideFile.empty()) {
        lines.push_back("The input's overviews lie in " + overviews.besideFile +
                        ", which is not copied: the output has none; build them with:");
        lines.push_back("  " + overviewCommand(output, overviews.besideLevels));
    }
    return lines;
}

// The output keeps the GDAL_NODATA tag as it keeps every other. Where the filter writes that
// very value, the contours' black 0 or the white 255 of options 1 to 3, a GIS would take the
// lines or the cleared ground for missing: the user is told, with the command that clears
// the value from the output. The output's bytes stay as written.
std::vector<std::string> noDataWarning(std::optional<double> noData, int32_t option,
                                       const std::string& output) {
    const bool black = noData == 0.0 && option == 3;
    const bool white = noData == 255.0 && option >= 1 && option <= 3;
    if (!black && !white) {
        return {};
    }
    return {std::string("The input's NoData value (GDAL_NODATA) is ") +
                (black ? "0, the black of the contours" : "255, the white") +
                " that the filter writes, and the output keeps it: a GIS takes those pixels "
                "for missing ones; clear it with:",
            "  gdal_edit.py -unsetnodata " + platform::shellWord(output)};
}
