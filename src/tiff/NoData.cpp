#include <optional>
#include <string>

#include "platform/Platform.h"
#include "tiff/SampleRange.h"
#include "tiff/TifFile.h"
#include "tiff/TiffDirectory.h"

// GDAL takes every sample equal to a file's no-data value (its GDAL_NODATA tag) for a missing
// one, and the output keeps that tag as it keeps every other. Where the filter writes that
// very value, the contours' black 0 or the white 255 of options 1 to 3, a GIS would take the
// lines or the cleared ground for missing: the user is told, with the command that clears
// the value from the output. The output's bytes stay as written.

void TifFile::warnOfNoData() {
    openInput();
    TiffDirectory directory(input, fileSize_, false, false);
    const std::optional<double> noData = gdalNoData(directory, directory.readEntries());
    input.close();
    const int32_t option = settingsCopy.option;
    const bool black = noData == 0.0 && option == 3;
    const bool white = noData == 255.0 && option >= 1 && option <= 3;
    if (black || white) {
        console_.warningLine(std::string("The input's NoData value (GDAL_NODATA) is ") +
                             (black ? "0, the black of the contours" : "255, the white") +
                             " that the filter writes, and the output keeps it: a GIS takes "
                             "those pixels for missing ones; clear it with:");
        console_.warningLine("  gdal_edit.py -unsetnodata " + platform::shellWord(output.name));
    }
}
