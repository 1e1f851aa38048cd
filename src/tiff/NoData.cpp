#include <optional>

#include "tiff/SampleRange.h"
#include "tiff/TifFile.h"
#include "tiff/TiffDirectory.h"

// GDAL takes every sample equal to a file's no-data value for a missing one; the run warns
// where the filter writes that value (advice/Warnings.h).

std::optional<double> TifFile::noDataValue() {
    openInput();
    TiffDirectory directory(input, fileSize_, false, false);
    const std::optional<double> noData = gdalNoData(directory, directory.readEntries());
    input.close();
    return noData;
}
