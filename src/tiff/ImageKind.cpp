#include "tiff/ImageKind.h"

#include <algorithm>
#include <string>
#include <vector>

#include "dialogue/RunEnded.h"
#include "platform/Platform.h"
#include "tiff/DirectoryTags.h"
#include "tiff/TifFile.h"

// A file of another kind than uncompressed 8-bit RGB in strips is refused before a strip is
// read: filtered, its bytes would come out as garbage. The refusal names the kind in a
// user's words and gives one command, with the user's own file names, that converts the
// file into one this program reads.

namespace {

constexpr const char* kOnlyRgb = "; only 24-bit RGB images can be read";

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
            return kind.jpeg() ? "JPEG" : "compression scheme " + std::to_string(kind.compression);
    }
}

std::string colourName(const ImageKind& kind) {
    switch (kind.photometric) {
        case 0:
        case 1:
            return kind.firstBits == 1 ? "black and white" : "greyscale";
        case 3:
            return "a palette image";
        case ImageKind::kCmyk:
            return "CMYK";
        case ImageKind::kYCbCr:
            return "YCbCr";
        default:
            return "of PhotometricInterpretation " + std::to_string(kind.photometric);
    }
}

std::string sampleFormatName(uint32_t format) {
    switch (format) {
        case 2:
            return "signed integer";
        case 3:
            return "floating-point";
        default:
            return "SampleFormat " + std::to_string(format);
    }
}

std::string storageRefusal(const ImageKind& kind) {
    if (kind.bigTiff) {
        return "The file is a BigTIFF; only classic TIFF files can be read";
    }
    if (kind.bigEndian) {
        return "The file is a big-endian (Motorola byte order) TIFF; only little-endian files "
               "can be read";
    }
    if (kind.compression != ImageKind::kUncompressed) {
        return "The image is compressed with " + compressionName(kind) +
               "; only uncompressed images can be read";
    }
    return "";
}

std::string sampleRefusal(const ImageKind& kind) {
    if (kind.samples != 3) {
        std::string what =
            kind.samples == 1   ? "is " + colourName(kind)
            : kind.samples != 4 ? "has " + std::to_string(kind.samples) + " samples per pixel"
            : kind.photometric == ImageKind::kCmyk ? "is CMYK"
                                                   : "is RGB with an alpha or extra channel";
        return "The image " + what + kOnlyRgb;
    }
    if (kind.otherBits != 8) {
        return "The image has " + std::to_string(kind.otherBits) + " bits per sample" + kOnlyRgb;
    }
    if (kind.sampleFormat != ImageKind::kUnsigned) {
        return "The image holds " + sampleFormatName(kind.sampleFormat) +
               " samples; only images of unsigned 8-bit samples can be read";
    }
    if (kind.colourBandsMarkedGrey()) {
        return "The image holds three samples marked as grey, probably colour bands" +
               std::string(kOnlyRgb);
    }
    return "";
}

// The options that give uncompressed pixels, kept together, in strips, little-endian.
std::string tiffcpOptions(const ImageKind& kind) {
    return std::string(kind.bigEndian ? " -L" : "") +
           (kind.compression != ImageKind::kUncompressed ? " -c none" : "") +
           (kind.planar == ImageKind::kSeparatePlanes ? " -p contig" : "") +
           (kind.tiled ? " -s" : "");
}

std::string gdalOptions(const ImageKind& kind) {
    return std::string(kind.colourBandsMarkedGrey() ? " -co PHOTOMETRIC=RGB" : "") +
           " -co COMPRESS=NONE -co INTERLEAVE=PIXEL" + (kind.bigTiff ? " -co BIGTIFF=NO" : "") +
           (kind.bigEndian ? " -co ENDIANNESS=LITTLE" : "");
}

std::string imageMagickOptions(const ImageKind& kind) {
    const bool toSrgb =
        kind.photometric == ImageKind::kCmyk || kind.photometric == ImageKind::kYCbCr;
    return std::string(toSrgb ? " -colorspace sRGB" : "") +
           " -alpha off -depth 8 -type TrueColor -compress none" +
           (kind.bigEndian ? " -endian LSB" : "");
}

bool isTiffExtension(std::string extension) {
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c | 0x20); });
    return extension == ".tif" || extension == ".tiff";
}

// The converted file goes beside the input, named after it: sheet12.tif gives
// sheet12-rgb.tif, so the printed command can be pasted as it is.
std::string convertedName(const std::string& input) {
    size_t folderEnd = input.find_last_of("/\\");
    size_t dot = input.rfind('.');
    bool hasExtension = dot != std::string::npos &&
                        (folderEnd == std::string::npos || dot > folderEnd + 1) &&
                        isTiffExtension(input.substr(dot));
    return hasExtension ? input.substr(0, dot) + "-rgb" + input.substr(dot) : input + "-rgb.tif";
}

}  // namespace

std::string ImageKind::refusal() const {
    std::string reason = storageRefusal(*this);
    reason = reason.empty() ? sampleRefusal(*this) : reason;
    if (!reason.empty()) {
        return reason;
    }
    if (photometric != kRgb) {
        return "The image is " + colourName(*this) + kOnlyRgb;
    }
    if (planar == kSeparatePlanes) {
        return "The image keeps red, green and blue in separate planes; only images that keep "
               "the three together can be read";
    }
    return tiled ? "The image is stored in tiles; only images stored in strips can be read" : "";
}

// libtiff's tiffcp where only the storage differs, GDAL's gdal_translate where tiffcp would
// lose the georeferencing or where the colour bands only need their true name, and
// ImageMagick where the colours must change.
std::string ImageKind::conversion(const std::string& input, const std::string& output) const {
    const std::string names = " " + input + " " + output;
    if (colourBandsMarkedGrey() || (rgb() && georeferenced)) {
        return "gdal_translate" + gdalOptions(*this) + names;
    }
    if (!rgb()) {
        return "convert " + input + imageMagickOptions(*this) + " " + output;
    }
    return "tiffcp" + tiffcpOptions(*this) + names;
}

void TifFile::refuse(const ImageKind& kind) {
    console_.errorLine(kind.refusal());
    console_.errorLine(kind.conversionLosesGeoreference()
                           ? "Convert it first (its georeferencing is lost), for example with:"
                           : "Convert it first, for example with:");
    console_.errorLine("  " + kind.conversion(platform::shellWord(input.name),
                                              platform::shellWord(convertedName(input.name))));
    endRun(console_);
}

void TifFile::refuseHeader() {
    console_.errorLine("not a valid little endian TIF file");
    const bool littleEndian = header_bytes[0] == 0x49 && header_bytes[1] == 0x49;
    const bool bigEndian = header_bytes[0] == 0x4D && header_bytes[1] == 0x4D;
    const uint32_t version = bigEndian ? littleEndian16(header_bytes[3], header_bytes[2])
                                       : littleEndian16(header_bytes[2], header_bytes[3]);
    if ((littleEndian && version == 43) || (bigEndian && (version == 42 || version == 43))) {
        refuse(foreignKind(bigEndian, version == 43));
    }
    endRun(console_);
}

void ImageKind::take(uint16_t number, const std::vector<uint32_t>& values) {
    auto takeFirst = [&values](uint32_t& value) { value = values.empty() ? value : values[0]; };
    switch (number) {
        case tag::BitsPerSample:
            takeFirst(firstBits);
            otherBits = firstOtherThan(values, 8);
            break;
        case tag::Compression:
            takeFirst(compression);
            break;
        case tag::PhotometricInterpretation:
            takeFirst(photometric);
            break;
        case tag::SamplesPerPixel:
            takeFirst(samples);
            break;
        case tag::PlanarConfiguration:
            takeFirst(planar);
            break;
        case tag::SampleFormat:
            sampleFormat = firstOtherThan(values, kUnsigned);
            break;
        default:
            tiled = tiled || (number >= tag::TileWidth && number <= tag::TileByteCounts);
            georeferenced = georeferenced || tag::georeferences(number);
            break;
    }
}

// BitsPerSample and SampleFormat are told by all their values, the others by their one; an
// array of a type that cannot hold them tells nothing.
std::vector<uint32_t> TifFile::kindValues(const DirEntry& entry) {
    switch (entry.tag()) {
        case tag::BitsPerSample:
        case tag::SampleFormat:
            if (entry.elementSize() == 0) {
                return {};
            }
            return readEntryArray(
                entry.tag() == tag::SampleFormat ? "SampleFormat" : "BitsPerSample", entry);
        default:
            return {entry.value()};
    }
}

void TifFile::checkImageKind() {
    ImageKind kind;
    for (const std::optional<DirEntry>& entry :
         {tags_.bitsPerSample, tags_.compression, tags_.photometric, tags_.samplesPerPixel,
          tags_.planarConfiguration, tags_.sampleFormat}) {
        if (entry) {
            kind.take(entry->tag(), kindValues(*entry));
        }
    }
    if (!tags_.samplesPerPixel) {
        kind.withoutSamplesTag();
    }
    kind.tiled = tags_.tiled();
    kind.georeferenced = tags_.georeferenced;
    if (!kind.refusal().empty()) {
        refuse(kind);
    }
}

uint32_t firstOtherThan(const std::vector<uint32_t>& values, uint32_t usual) {
    auto other =
        std::find_if(values.begin(), values.end(), [usual](uint32_t v) { return v != usual; });
    return other == values.end() ? usual : *other;
}
