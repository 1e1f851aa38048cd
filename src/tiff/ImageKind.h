#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tiff/SampleRange.h"

// What the header and the directory say of the image; a tag the file lacks counts as what
// this program reads, so that files without these tags read as they always have.
struct ImageKind {
    static constexpr uint32_t kUncompressed = 1;
    static constexpr uint32_t kMinIsWhite = 0;
    static constexpr uint32_t kRgb = 2;
    static constexpr uint32_t kPalette = 3;
    static constexpr uint32_t kCmyk = 5;
    static constexpr uint32_t kYCbCr = 6;
    static constexpr uint32_t kSeparatePlanes = 2;
    static constexpr uint32_t kUnsigned = 1;
    static constexpr uint32_t kFloat = 3;

    uint32_t compression = kUncompressed;
    uint32_t samples = 3;
    uint32_t photometric = kRgb;
    uint32_t planar = 1;
    uint32_t firstBits = 1;  // TIFF's default, which tells black and white from greyscale
    uint32_t otherBits = 8;  // the first sample size that is not 8, if any
    uint32_t sampleFormat = kUnsigned;  // the first one that is not unsigned, if any
    bool tiled = false;
    bool georeferenced = false;
    bool bigTiff = false;
    bool bigEndian = false;
    // The values of samples of 16 to 64 bits, where the file tells them.
    SampleRange range;
    // The levels of the file's overviews (reduced-resolution pages), which the conversion
    // keeps; none where it has none.
    std::vector<uint64_t> overviewLevels;

    // What one entry of a directory says of the kind, given its first values: the first of
    // them, or for BitsPerSample and SampleFormat the first that is not the usual one.
    void take(uint16_t number, const std::vector<uint32_t>& values);
    // TIFF's SamplesPerPixel defaults to 1, which only a grey image keeps to.
    void withoutSamplesTag() { samples = photometric <= 1 ? 1 : samples; }

    bool jpeg() const { return compression == 6 || compression == 7; }
    // GDAL writes three bands as MINISBLACK unless told otherwise; they are colour bands.
    bool colourBandsMarkedGrey() const {
        return samples == 3 && otherBits == 8 && sampleFormat == kUnsigned && photometric <= 1;
    }
    // libtiff turns JPEG's YCbCr back into RGB as it decompresses.
    bool rgb() const {
        return samples == 3 && otherBits == 8 && sampleFormat == kUnsigned &&
               (photometric == kRgb || (photometric == kYCbCr && jpeg()));
    }

    // Integers of 16, 32 or 64 bits or floats of 32 or 64, in grey or RGB bands: their
    // conversion follows their values.
    bool wide() const;
    // The samples that a conversion keeps: the first three, or the one grey.
    uint32_t bands() const { return samples >= 3 ? 3 : 1; }
    // Why the file cannot be read, or nothing for a file this program reads.
    std::string refusal() const;
};

// The first of values that is not the usual one, or the usual one when all are.
uint32_t firstOtherThan(const std::vector<uint32_t>& values, uint32_t usual);
