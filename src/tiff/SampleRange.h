#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

class InputFile;
class TiffDirectory;
struct ImageKind;
struct TiffEntry;

// The lowest and highest values of the samples that a conversion keeps (the first three
// bands, or the grey one). NaN, the infinities and the file's no-data value say nothing of
// the picture and are passed over.
struct SampleRange {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    bool whole = true;  // every value taken is a whole number

    bool found() const { return low <= high; }
    void take(double value) {
        if (std::isfinite(value)) {
            low = std::min(low, value);
            high = std::max(high, value);
            whole = whole && value == std::floor(value);
        }
    }
};

// The range of a refused file's samples of 16 to 64 bits: from the samples themselves where
// they are stored uncompressed, else from the SMinSampleValue and SMaxSampleValue tags or the
// statistics that GDAL keeps in its metadata tag; not found where none of these tells it. The
// samples are read as they lie in the file, never more bytes than it holds, with nothing
// allocated for the image.
SampleRange readSampleRange(InputFile& input, uint64_t fileSize, const ImageKind& kind);

// GDAL's no-data value, which its GDAL_NODATA tag holds as text, among the entries of a
// directory; none where there is no such entry or it holds no number.
std::optional<double> gdalNoData(TiffDirectory& directory, const std::vector<TiffEntry>& entries);
