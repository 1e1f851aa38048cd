#include <algorithm>
#include <string>
#include <vector>

#include "app/RunEnded.h"
#include "tiff/TifFile.h"

// A file of another kind than uncompressed 8-bit RGB in strips is refused before a strip is
// read: filtered, its bytes would come out as garbage. The refusal names the kind in a
// user's words and gives a command that converts the file into one this program reads.

namespace {

constexpr uint32_t kUncompressed = 1;
constexpr uint32_t kRgb = 2;
constexpr uint32_t kCmyk = 5;
constexpr uint32_t kYCbCr = 6;
constexpr uint32_t kSeparatePlanes = 2;
constexpr const char* kOnlyRgb = "; only 24-bit RGB images can be read";

// What the directory says of the image; a tag the file lacks counts as what this program
// reads, so that files without these tags read as they always have.
struct ImageKind {
    uint32_t compression = kUncompressed;
    uint32_t samples = 3;
    uint32_t photometric = kRgb;
    uint32_t planar = 1;
    uint32_t firstBits = 1;  // TIFF's default, which tells black and white from greyscale
    uint32_t otherBits = 8;  // the first sample size that is not 8, if any
    bool tiled = false;
    bool georeferenced = false;

    bool jpeg() const { return compression == 6 || compression == 7; }
    // libtiff turns JPEG's YCbCr back into RGB as it decompresses.
    bool rgb() const {
        return samples == 3 && otherBits == 8 &&
               (photometric == kRgb || (photometric == kYCbCr && jpeg()));
    }
};

std::string number(uint32_t value) {
    return std::to_string(value);
}

std::string compressionName(const ImageKind& kind) {
    switch (kind.compression) {
        case 2:
        case 3:
        case 4:
            return "CCITT fax";
        case 5:
            return "LZW";
        case 8:
        case 32946:
            return "Deflate";
        case 32773:
            return "PackBits";
        default:
            return kind.jpeg() ? "JPEG" : "compression scheme " + number(kind.compression);
    }
}

std::string colourName(const ImageKind& kind) {
    switch (kind.photometric) {
        case 0:
        case 1:
            return kind.firstBits == 1 ? "black and white" : "greyscale";
        case 3:
            return "a palette image";
        case kCmyk:
            return "CMYK";
        case kYCbCr:
            return "YCbCr";
        default:
            return "of PhotometricInterpretation " + number(kind.photometric);
    }
}

// Why the file is refused, or nothing for a file this program reads.
std::string refusal(const ImageKind& kind) {
    if (kind.compression != kUncompressed) {
        return "The image is compressed with " + compressionName(kind) +
               "; only uncompressed images can be read";
    }
    if (kind.samples != 3) {
        std::string what = kind.samples == 1 ? "is " + colourName(kind)
                           : kind.samples != 4
                               ? "has " + number(kind.samples) + " samples per pixel"
                           : kind.photometric == kCmyk ? "is CMYK"
                                                       : "is RGB with an alpha or extra channel";
        return "The image " + what + kOnlyRgb;
    }
    if (kind.otherBits != 8) {
        return "The image has " + number(kind.otherBits) + " bits per sample" + kOnlyRgb;
    }
    if (kind.photometric != kRgb) {
        return "The image is " + colourName(kind) + kOnlyRgb;
    }
    if (kind.planar == kSeparatePlanes) {
        return "The image keeps red, green and blue in separate planes; only images that keep "
               "the three together can be read";
    }
    return kind.tiled ? "The image is stored in tiles; only images stored in strips can be read"
                      : "";
}

// A command that turns the file into one this program reads: libtiff's tiffcp where only
// the storage differs, GDAL's gdal_translate where that would lose the georeferencing, and
// ImageMagick where the colours must change.
std::string conversion(const ImageKind& kind) {
    if (!kind.rgb()) {
        const bool toSrgb = kind.photometric == kCmyk || kind.photometric == kYCbCr;
        return std::string("convert in.tif ") + (toSrgb ? "-colorspace sRGB " : "") +
               "-alpha off -depth 8 -type TrueColor -compress none out.tif";
    }
    if (kind.georeferenced) {
        return "gdal_translate -co COMPRESS=NONE -co INTERLEAVE=PIXEL in.tif out.tif";
    }
    return std::string("tiffcp") + (kind.compression != kUncompressed ? " -c none" : "") +
           (kind.planar == kSeparatePlanes ? " -p contig" : "") + (kind.tiled ? " -s" : "") +
           " in.tif out.tif";
}

}  // namespace

void TifFile::refuse(std::string_view reason, std::string_view command, bool losesGeoreference) {
    console_.errorLine(reason);
    console_.errorLine(losesGeoreference
                           ? "Convert it first (its georeferencing is lost), for example with:"
                           : "Convert it first, for example with:");
    console_.errorLine("  " + std::string(command));
    endRun(console_, {"exiting program"});
}

void TifFile::refuseHeader() {
    console_.errorLine("not a valid little endian TIF file");
    const bool littleEndian = header_bytes[0] == 0x49 && header_bytes[1] == 0x49;
    const bool bigEndian = header_bytes[0] == 0x4D && header_bytes[1] == 0x4D;
    const uint32_t version = bigEndian ? littleEndian16(header_bytes[3], header_bytes[2])
                                       : littleEndian16(header_bytes[2], header_bytes[3]);
    if (littleEndian && version == 43) {
        refuse("The file is a BigTIFF; only classic TIFF files can be read",
               "tiffcp in.tif out.tif");
    }
    if (bigEndian && (version == 42 || version == 43)) {
        refuse(
            "The file is a big-endian (Motorola byte order) TIFF; only little-endian files "
            "can be read",
            "tiffcp -L in.tif out.tif");
    }
    endRun(console_, {"exiting program"});
}

void TifFile::checkImageKind() {
    ImageKind kind;
    auto take = [](const std::optional<DirEntry>& entry, uint32_t& value) {
        value = entry ? entry->value() : value;
    };
    take(kind_.compression, kind.compression);
    take(kind_.samplesPerPixel, kind.samples);
    take(kind_.photometric, kind.photometric);
    take(kind_.planarConfiguration, kind.planar);
    if (kind_.bitsPerSample && kind_.bitsPerSample->elementSize() != 0) {
        std::vector<uint32_t> bits = readEntryArray("BitsPerSample", *kind_.bitsPerSample);
        kind.firstBits = bits.empty() ? kind.firstBits : bits.front();
        auto other = std::find_if(bits.begin(), bits.end(), [](uint32_t b) { return b != 8; });
        kind.otherBits = other == bits.end() ? 8 : *other;
    }
    kind.tiled = kind_.tiled;
    kind.georeferenced = kind_.georeferenced;
    std::string reason = refusal(kind);
    if (!reason.empty()) {
        refuse(reason, conversion(kind), kind.georeferenced && !kind.rgb());
    }
}
