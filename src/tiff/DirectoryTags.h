#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tiff/DirEntry.h"

// The numbers of the tags this program reads (TIFF 6.0 and GeoTIFF).
namespace tag {
enum : uint16_t {
    NewSubfileType = 254,
    ImageWidth = 256,
    ImageLength = 257,
    BitsPerSample = 258,
    Compression = 259,
    PhotometricInterpretation = 262,
    StripOffsets = 273,
    SamplesPerPixel = 277,
    RowsPerStrip = 278,
    StripByteCounts = 279,
    PlanarConfiguration = 284,
    TileWidth = 322,
    TileLength = 323,
    TileOffsets = 324,
    TileByteCounts = 325,
    SubIfds = 330,
    SampleFormat = 339,
    ExifIfd = 34665,
    GpsIfd = 34853,
    InteroperabilityIfd = 40965,
    ModelPixelScale = 33550,
    ModelTiepoint = 33922,
    ModelTransformation = 34264,
    GeoKeyDirectory = 34735,
};

// Whether the tag's values are the positions of further directories.
constexpr bool pointsToDirectories(uint16_t number) {
    return number == SubIfds || number == ExifIfd || number == GpsIfd ||
           number == InteroperabilityIfd;
}

// Whether the tag places the image on the map.
constexpr bool georeferences(uint16_t number) {
    return number == ModelPixelScale || number == ModelTiepoint || number == ModelTransformation ||
           number == GeoKeyDirectory;
}
}  // namespace tag

// The entries of one image file directory that this program reads, each kept whole under its
// tag; of a tag that stands twice, the later entry counts. One walk over the directory fills
// it, and whatever is decided about that directory is read from here.
struct DirectoryTags {
    std::optional<DirEntry> subfileType;
    std::optional<DirEntry> imageWidth;
    std::optional<DirEntry> imageLength;
    std::optional<DirEntry> bitsPerSample;
    std::optional<DirEntry> compression;
    std::optional<DirEntry> photometric;
    std::optional<DirEntry> stripOffsets;
    std::optional<DirEntry> samplesPerPixel;
    std::optional<DirEntry> rowsPerStrip;
    std::optional<DirEntry> stripByteCounts;
    std::optional<DirEntry> planarConfiguration;
    std::optional<DirEntry> tileWidth;
    std::optional<DirEntry> tileLength;
    std::optional<DirEntry> tileOffsets;
    std::optional<DirEntry> tileByteCounts;
    std::optional<DirEntry> sampleFormat;
    // The entries that point to further directories (SubIFDs, Exif, GPS, Interoperability).
    std::vector<DirEntry> pointers;
    bool subIfds = false;
    bool georeferenced = false;

    void take(const DirEntry& entry);

    bool tiled() const { return tileWidth || tileLength || tileOffsets || tileByteCounts; }
};

// The single value of an entry, or fallback (TIFF's default) where the directory has none.
inline uint32_t valueOr(const std::optional<DirEntry>& entry, uint32_t fallback) {
    return entry ? entry->value() : fallback;
}
