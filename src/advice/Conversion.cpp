#include "advice/Conversion.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"

// The conversion keeps the picture, and the georeferencing where a tool can: GDAL's
// gdal_translate, libtiff's tiffcp or ImageMagick's convert, whichever makes 8-bit RGB of the
// kind with the fewest changes.

namespace {

bool grey(const ImageKind& kind) {
    return kind.photometric <= 1 && kind.samples <= 2;
}

// A number as gdal_translate takes it: the shortest text that reads back as the same value.
std::string numberText(double value) {
    std::array<char, 32> digits{};
    return {digits.data(), std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr};
}

// The range that samples of an unknown range are taken to have: the whole of their type, or
// 0-1 for floats.
SampleRange typeRange(const ImageKind& kind) {
    SampleRange range;
    const double values = std::ldexp(1.0, static_cast<int>(kind.otherBits));
    range.take(kind.sampleFormat == 2 ? -values / 2 : 0);
    range.take(kind.sampleFormat == ImageKind::kFloat ? 1
               : kind.sampleFormat == 2               ? values / 2 - 1
                                                      : values - 1);
    return range;
}

// Whether the conversion only decompresses, so that the next run can read the values.
bool onlyDecompressed(const ImageKind& kind) {
    return kind.wide() && !kind.range.found() && kind.compression != ImageKind::kUncompressed;
}

// Whole numbers within 0-255 are kept. Floats within 0-1 are taken as 0-1, unsigned 16-bit
// samples beyond 4095 as 0-65535 (ImageMagick's -depth 8), integers of no sign up to 4095 as
// the fewest bits that hold them (a 12-bit scan as 0-4095), and the rest as the range found.
std::optional<std::pair<double, double>> scaledRange(const ImageKind& kind) {
    const SampleRange values = kind.range.found() ? kind.range : typeRange(kind);
    const bool integers = kind.sampleFormat != ImageKind::kFloat;
    // Floats computed as 0-1 may pass 1 by a rounding error far below one step of 8 bits.
    if (!integers && values.low >= 0 && values.high <= 1 + 1.0 / 512) {
        return std::pair{0.0, 1.0};
    }
    if (values.whole && values.low >= 0 && values.high <= 255) {
        return std::nullopt;
    }
    if (integers && values.low >= 0 && values.high <= 4095) {
        int bits = 0;
        std::frexp(values.high, &bits);  // values.high < 2 to the power bits
        return std::pair{0.0, std::ldexp(1.0, bits) - 1};
    }
    if (kind.otherBits == 16 && kind.sampleFormat == ImageKind::kUnsigned) {
        return std::pair{0.0, 65535.0};
    }
    // A flat image still needs a range that is not empty.
    return std::pair{values.low, std::max(values.high, values.low + 1)};
}

// Whether GDAL's gdal_translate makes 8-bit RGB of the image, keeping its georeferencing.
bool gdalConverts(const ImageKind& kind) {
    if (kind.rgb() || kind.colourBandsMarkedGrey() || kind.wide()) {
        return true;
    }
    const uint32_t firstBits = kind.firstBits;
    const uint32_t otherBits = kind.otherBits;
    if (kind.sampleFormat != ImageKind::kUnsigned || (otherBits != 8 && otherBits != firstBits)) {
        return false;
    }
    const bool fewBits = firstBits == 1 || firstBits == 2 || firstBits == 4 || firstBits == 8;
    switch (kind.photometric) {
        case 0:
        case 1:
            return kind.samples <= 2 ? fewBits : otherBits == 8;
        case ImageKind::kRgb:
            return kind.samples >= 3 && otherBits == 8;
        case ImageKind::kPalette:
            return kind.samples == 1 && (fewBits || firstBits == 16);
        case ImageKind::kCmyk:
            return kind.samples == 4 && otherBits == 8;
        case ImageKind::kYCbCr:
            return kind.samples == 3 && otherBits == 8;
        default:
            return false;
    }
}

// The options that give uncompressed pixels, kept together, in strips, little-endian.
std::string tiffcpOptions(const ImageKind& kind) {
    return std::string(kind.bigEndian ? " -L" : "") +
           (kind.compression != ImageKind::kUncompressed ? " -c none" : "") +
           (kind.planar == ImageKind::kSeparatePlanes ? " -p contig" : "") +
           (kind.tiled ? " -s" : "");
}

// GDAL gives an 8-bit grey band of MINISWHITE and a black and white one a colour table.
std::string gdalBands(const ImageKind& kind) {
    const bool greyTable = grey(kind) && !kind.wide() &&
                           (kind.photometric == ImageKind::kMinIsWhite || kind.firstBits == 1);
    if (kind.photometric == ImageKind::kPalette || greyTable) {
        return " -expand rgb";
    }
    if (kind.bands() == 1) {
        return " -b 1 -b 1 -b 1";
    }
    // GDAL reads CMYK and YCbCr as RGB with alpha.
    return kind.samples > 3 || (!kind.rgb() && kind.photometric >= ImageKind::kCmyk)
               ? " -b 1 -b 2 -b 3"
               : "";
}

std::string gdalValues(const ImageKind& kind) {
    const std::string toBytes = kind.photometric == ImageKind::kMinIsWhite ? " 255 0" : " 0 255";
    if (kind.wide()) {
        const auto scaled = scaledRange(kind);
        const bool inverted = kind.photometric == ImageKind::kMinIsWhite;
        return " -ot Byte" + (scaled ? " -scale " + numberText(scaled->first) + " " +
                                           numberText(scaled->second) + toBytes
                              : inverted ? " -scale 0 255" + toBytes
                                         : "");
    }
    // The colour table of a 16-bit palette holds 16-bit values of 8-bit colours.
    if (kind.photometric == ImageKind::kPalette && kind.firstBits == 16) {
        return " -ot Byte";
    }
    if (grey(kind) && (kind.firstBits == 2 || kind.firstBits == 4)) {
        return " -scale 0 " + std::to_string((1U << kind.firstBits) - 1) + toBytes;
    }
    return "";
}

std::string gdalOptions(const ImageKind& kind) {
    std::string options;
    if (!onlyDecompressed(kind)) {
        options = gdalBands(kind) + gdalValues(kind) + (kind.rgb() ? "" : " -co PHOTOMETRIC=RGB");
    }
    return options + " -co COMPRESS=NONE -co INTERLEAVE=PIXEL" +
           (kind.bigTiff ? " -co BIGTIFF=NO" : "") +
           (kind.bigEndian ? " -co ENDIANNESS=LITTLE" : "");
}

std::string imageMagickOptions(const ImageKind& kind) {
    const bool toSrgb = kind.photometric >= ImageKind::kCmyk;
    return std::string(toSrgb ? " -colorspace sRGB" : "") +
           " -alpha off -depth 8 -type TrueColor -compress none" +
           (kind.bigEndian ? " -endian LSB" : "");
}

// ImageMagick's -depth 8 takes 16-bit samples as 0-65535; other values need GDAL's scaling.
bool imageMagickScales(const ImageKind& kind) {
    const auto scaled = scaledRange(kind);
    return kind.otherBits == 16 && kind.sampleFormat == ImageKind::kUnsigned && scaled &&
           scaled->first == 0 && scaled->second == 65535;
}

// The levels as gdaladdo takes them, each behind a blank.
std::string levelWords(const std::vector<uint64_t>& levels) {
    std::string text;
    for (uint64_t level : levels) {
        text.append(1, ' ').append(std::to_string(level));
    }
    return text;
}

}  // namespace

// Only gdal_translate keeps the georeferencing (GeoTIFF tags or a world file).
std::string conversionNote(const ImageKind& kind) {
    std::vector<std::string> notes;
    if (kind.georeferenced && !gdalConverts(kind)) {
        notes.emplace_back("its georeferencing is lost");
    }
    if (onlyDecompressed(kind)) {
        notes.emplace_back(
            "it only decompresses the file: run this program on the result to learn how its "
            "values become 8-bit");
    } else if (const auto scaled = scaledRange(kind); kind.wide() && scaled) {
        notes.push_back("its values are taken as " + numberText(scaled->first) + " to " +
                        numberText(scaled->second) + " and scaled to 0 to 255");
    } else if (kind.wide()) {
        notes.emplace_back("its values lie within 0 to 255 and are kept");
    }
    std::string note;
    for (const std::string& text : notes) {
        note += (note.empty() ? " (" : "; ") + text;
    }
    return note.empty() ? note : note + ")";
}

// GDAL's gdal_translate wherever it keeps the georeferencing, or where the colour bands only
// need their true name, or where values need scaling that ImageMagick cannot do; libtiff's
// tiffcp where only the storage differs; ImageMagick where the colours must change. Of a file
// with overviews each takes the first image alone (IN,0 for tiffcp, IN[0] for ImageMagick;
// gdal_translate takes no other): tiffcp cannot convert every kind of overview page, and
// ImageMagick would make each an image of its own. gdaladdo then rebuilds the same levels, in
// a second command that cmd.exe and POSIX shells both run after &&.
std::string conversion(const ImageKind& kind, const std::string& input, const std::string& output) {
    const bool overviews = !kind.overviewLevels.empty();
    const std::string from = platform::shellWord(input);
    // ",0" needs no quotes in either shell, and stays outside them, so that the line reads
    // the same on every system; "[0]" must be quoted, or sh takes it for a pattern.
    const std::string firstForTiffcp = overviews ? from + ",0" : from;
    const std::string firstForMagick = overviews ? platform::shellWord(input + "[0]") : from;
    const std::string to = platform::shellWord(output);
    const std::string rebuilt =
        overviews ? " && " + overviewCommand(output, kind.overviewLevels) : "";
    if (onlyDecompressed(kind) && !kind.georeferenced) {
        return "tiffcp" + tiffcpOptions(kind) + " " + firstForTiffcp + " " + to + rebuilt;
    }
    if ((kind.georeferenced && gdalConverts(kind)) || kind.colourBandsMarkedGrey() ||
        (kind.wide() && !imageMagickScales(kind))) {
        return "gdal_translate" + gdalOptions(kind) + " " + from + " " + to + rebuilt;
    }
    if (!kind.rgb()) {
        return "convert " + firstForMagick + imageMagickOptions(kind) + " " + to + rebuilt;
    }
    return "tiffcp" + tiffcpOptions(kind) + " " + firstForTiffcp + " " + to + rebuilt;
}

std::string overviewCommand(const std::string& output, const std::vector<uint64_t>& levels) {
    return "gdaladdo -r nearest " + platform::shellWord(output) + levelWords(levels);
}
