#include "tiff/ImageKind.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "dialogue/RunEnded.h"
#include "platform/Platform.h"
#include "tiff/DirectoryTags.h"
#include "tiff/PageChain.h"
#include "tiff/TifFile.h"

// A file of another kind than uncompressed 8-bit RGB in strips is refused before a strip is
// read: filtered, its bytes would come out as garbage. The refusal names the kind in a
// user's words and gives one command, with the user's own file names, that converts the
// file into one this program reads.

namespace {

constexpr const char* kOnlyRgb = "; only 24-bit RGB images can be read";

// The schemes that libtiff knows, and the colour spaces, by the names their users know.
constexpr std::array<std::pair<uint32_t, const char*>, 31> kCompressions = {{
    {2, "CCITT modified Huffman RLE"},
    {3, "CCITT Group 3 fax"},
    {4, "CCITT Group 4 fax"},
    {5, "LZW"},
    {6, "old-style JPEG"},
    {7, "JPEG"},
    {8, "Deflate"},
    {9, "JBIG (ITU-T T.85)"},
    {10, "JBIG colour (ITU-T T.43)"},
    {32766, "NeXT 2-bit RLE"},
    {32771, "CCITT RLE with word alignment"},
    {32773, "PackBits"},
    {32809, "ThunderScan RLE"},
    {32895, "IT8 CT with padding"},
    {32896, "IT8 linework RLE"},
    {32897, "IT8 monochrome picture"},
    {32898, "IT8 binary line art"},
    {32908, "Pixar companded 10-bit LZW"},
    {32909, "PixarLog"},
    {32946, "Deflate"},
    {32947, "Kodak DCS"},
    {34661, "JBIG"},
    {34676, "SGI LogL"},
    {34677, "SGI LogLuv"},
    {34712, "JPEG 2000"},
    {34887, "LERC"},
    {34925, "LZMA"},
    {50000, "Zstandard (ZSTD)"},
    {50001, "WebP"},
    {50002, "JPEG XL"},
    {52546, "JPEG XL"},
}};
constexpr std::array<std::pair<uint32_t, const char*>, 11> kColourSpaces = {{
    {ImageKind::kPalette, "a palette image"},
    {4, "a transparency mask"},
    {ImageKind::kCmyk, "CMYK"},
    {ImageKind::kYCbCr, "YCbCr"},
    {8, "CIE L*a*b*"},
    {9, "ICC L*a*b*"},
    {10, "ITU L*a*b*"},
    {32803, "a colour filter array (raw sensor data)"},
    {32844, "LogL (CIE log luminance)"},
    {32845, "LogLuv (CIE log luminance and chromaticity)"},
    {34892, "linear raw (DNG)"},
}};

template <size_t N>
const char* nameIn(const std::array<std::pair<uint32_t, const char*>, N>& names, uint32_t code) {
    for (const auto& [known, name] : names) {
        if (known == code) {
            return name;
        }
    }
    return nullptr;
}

std::string compressionName(uint32_t compression) {
    const char* name = nameIn(kCompressions, compression);
    return name ? name : "compression scheme " + std::to_string(compression);
}

std::string colourName(const ImageKind& kind) {
    if (kind.photometric <= 1) {
        return kind.firstBits == 1 ? "black and white" : "greyscale";
    }
    const char* name = nameIn(kColourSpaces, kind.photometric);
    return name ? name : "of PhotometricInterpretation " + std::to_string(kind.photometric);
}

std::string sampleFormatName(uint32_t format) {
    switch (format) {
        case 2:
            return "signed integer";
        case ImageKind::kFloat:
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
        return "The image is compressed with " + compressionName(kind.compression) +
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
        const auto scaled = kind.scaledRange();
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
    if (!kind.onlyDecompressed()) {
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
    const auto scaled = kind.scaledRange();
    return kind.otherBits == 16 && kind.sampleFormat == ImageKind::kUnsigned && scaled &&
           scaled->first == 0 && scaled->second == 65535;
}

bool isTiffExtension(std::string extension) {
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c | 0x20); });
    return extension == ".tif" || extension == ".tiff";
}

// The converted file goes beside the input, named after it: sheet12.tif gives
// sheet12-rgb.tif, or sheet12-rgb-2.tif where a file has that name, and so on, so the
// printed command can be pasted as it is and replaces nothing.
std::string convertedName(const std::string& input) {
    size_t folderEnd = input.find_last_of("/\\");
    size_t dot = input.rfind('.');
    bool hasExtension = dot != std::string::npos &&
                        (folderEnd == std::string::npos || dot > folderEnd + 1) &&
                        isTiffExtension(input.substr(dot));
    const std::string base = (hasExtension ? input.substr(0, dot) : input) + "-rgb";
    const std::string extension = hasExtension ? input.substr(dot) : ".tif";
    std::string name = base + extension;
    for (uint64_t n = 2; platform::isRegularFile(name); ++n) {
        name = base;
        name.append("-").append(std::to_string(n)).append(extension);
    }
    return name;
}

// The levels of the file's overviews, the reduced-resolution pages after its first image.
std::vector<uint64_t> internalOverviewLevels(InputFile& input) {
    const std::vector<ChainPage> pages = readPageChain(input);
    std::vector<PageSize> reduced;
    for (size_t p = 1; p < pages.size(); ++p) {
        if (pages[p].reduced) {
            reduced.push_back(pages[p].size);
        }
    }
    return pages.empty() || pages.front().reduced ? std::vector<uint64_t>{}
                                                  : overviewLevels(reduced, pages.front().size);
}

// The names beside an image under which GDAL finds its world file: for sheet.tif,
// sheet.tfw, sheet.tifw and sheet.wld, each as spelt and in either case.
std::vector<std::string> worldFileNames(const std::string& input) {
    const size_t folderEnd = input.find_last_of("/\\");
    const size_t dot = input.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (folderEnd == std::string::npos || dot > folderEnd + 1);
    const std::string base = hasExtension ? input.substr(0, dot + 1) : input + ".";
    const std::string extension = hasExtension ? input.substr(dot + 1) : "";
    std::vector<std::string> suffixes{"wld"};
    if (!extension.empty()) {
        suffixes.push_back(extension.substr(0, 1) + extension.back() + "w");
        suffixes.push_back(extension + "w");
    }
    std::vector<std::string> names;
    for (std::string suffix : suffixes) {
        names.push_back(base + suffix);
        for (int (*toCase)(int) : {::tolower, ::toupper}) {
            std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                           [toCase](unsigned char c) { return static_cast<char>(toCase(c)); });
            names.push_back(base + suffix);
        }
    }
    return names;
}

}  // namespace

bool ImageKind::wide() const {
    const bool integer = sampleFormat == kUnsigned || sampleFormat == 2;
    const bool bits = otherBits == 32 || otherBits == 64 || (integer && otherBits == 16);
    return bits && firstBits == otherBits && (integer || sampleFormat == kFloat) &&
           photometric <= kRgb;
}

// Whole numbers within 0-255 are kept. Floats within 0-1 are taken as 0-1, unsigned 16-bit
// samples beyond 4095 as 0-65535 (ImageMagick's -depth 8), integers of no sign up to 4095 as
// the fewest bits that hold them (a 12-bit scan as 0-4095), and the rest as the range found.
std::optional<std::pair<double, double>> ImageKind::scaledRange() const {
    const SampleRange values = range.found() ? range : typeRange(*this);
    const bool integers = sampleFormat != kFloat;
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
    if (otherBits == 16 && sampleFormat == kUnsigned) {
        return std::pair{0.0, 65535.0};
    }
    // A flat image still needs a range that is not empty.
    return std::pair{values.low, std::max(values.high, values.low + 1)};
}

bool ImageKind::gdalConverts() const {
    if (rgb() || colourBandsMarkedGrey() || wide()) {
        return true;
    }
    if (sampleFormat != kUnsigned || (otherBits != 8 && otherBits != firstBits)) {
        return false;
    }
    const bool fewBits = firstBits == 1 || firstBits == 2 || firstBits == 4 || firstBits == 8;
    switch (photometric) {
        case 0:
        case 1:
            return samples <= 2 ? fewBits : otherBits == 8;
        case kRgb:
            return samples >= 3 && otherBits == 8;
        case kPalette:
            return samples == 1 && (fewBits || firstBits == 16);
        case kCmyk:
            return samples == 4 && otherBits == 8;
        case kYCbCr:
            return samples == 3 && otherBits == 8;
        default:
            return false;
    }
}

std::string ImageKind::conversionNote() const {
    std::vector<std::string> notes;
    if (conversionLosesGeoreference()) {
        notes.emplace_back("its georeferencing is lost");
    }
    if (onlyDecompressed()) {
        notes.emplace_back(
            "it only decompresses the file: run this program on the result to learn how its "
            "values become 8-bit");
    } else if (const auto scaled = scaledRange(); wide() && scaled) {
        notes.push_back("its values are taken as " + numberText(scaled->first) + " to " +
                        numberText(scaled->second) + " and scaled to 0 to 255");
    } else if (wide()) {
        notes.emplace_back("its values lie within 0 to 255 and are kept");
    }
    std::string note;
    for (const std::string& text : notes) {
        note += (note.empty() ? " (" : "; ") + text;
    }
    return note.empty() ? note : note + ")";
}

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

// GDAL's gdal_translate wherever it keeps the georeferencing, or where the colour bands only
// need their true name, or where values need scaling that ImageMagick cannot do; libtiff's
// tiffcp where only the storage differs; ImageMagick where the colours must change. Of a file
// with overviews each takes the first image alone (IN,0 for tiffcp, IN[0] for ImageMagick;
// gdal_translate takes no other): tiffcp cannot convert every kind of overview page, and
// ImageMagick would make each an image of its own. gdaladdo then rebuilds the same levels, in
// a second command that cmd.exe and POSIX shells both run after &&.
std::string ImageKind::conversion(const std::string& input, const std::string& output) const {
    const bool overviews = !overviewLevels.empty();
    const std::string from = platform::shellWord(input);
    // ",0" needs no quotes in either shell, and stays outside them, so that the line reads
    // the same on every system; "[0]" must be quoted, or sh takes it for a pattern.
    const std::string firstForTiffcp = overviews ? from + ",0" : from;
    const std::string firstForMagick = overviews ? platform::shellWord(input + "[0]") : from;
    const std::string to = platform::shellWord(output);
    const std::string rebuilt =
        overviews ? " && gdaladdo -r nearest " + to + levelWords(overviewLevels) : "";
    if (onlyDecompressed() && !georeferenced) {
        return "tiffcp" + tiffcpOptions(*this) + " " + firstForTiffcp + " " + to + rebuilt;
    }
    if ((georeferenced && gdalConverts()) || colourBandsMarkedGrey() ||
        (wide() && !imageMagickScales(*this))) {
        return "gdal_translate" + gdalOptions(*this) + " " + from + " " + to + rebuilt;
    }
    if (!rgb()) {
        return "convert " + firstForMagick + imageMagickOptions(*this) + " " + to + rebuilt;
    }
    return "tiffcp" + tiffcpOptions(*this) + " " + firstForTiffcp + " " + to + rebuilt;
}

void TifFile::refuse(ImageKind kind, std::vector<std::string> lines) {
    const std::vector<std::string> worldFiles = worldFileNames(input.name);
    kind.georeferenced = kind.georeferenced || std::any_of(worldFiles.begin(), worldFiles.end(),
                                                           [](const std::string& name) {
                                                               return platform::isRegularFile(name);
                                                           });
    if (kind.wide()) {
        kind.range = readSampleRange(input, fileSize_, kind);
    }
    kind.overviewLevels = internalOverviewLevels(input);
    lines.push_back(kind.refusal());
    lines.push_back("Convert it first" + kind.conversionNote() + ", for example with:");
    lines.push_back("  " + kind.conversion(input.name, convertedName(input.name)));
    endRun(std::move(lines));
}

// The dialogue's header check says its line first, whatever the header; a command says of a
// BigTIFF or a big-endian TIFF only what is true of it, from the line that names its kind.
void TifFile::refuseHeader() {
    const bool littleEndian = header_bytes[0] == 0x49 && header_bytes[1] == 0x49;
    const bool bigEndian = header_bytes[0] == 0x4D && header_bytes[1] == 0x4D;
    const uint32_t version = bigEndian ? littleEndian16(header_bytes[3], header_bytes[2])
                                       : littleEndian16(header_bytes[2], header_bytes[3]);
    const bool foreign =
        (littleEndian && version == 43) || (bigEndian && (version == 42 || version == 43));
    std::vector<std::string> lines;
    if (!foreign || !ordered_) {
        lines.emplace_back("not a valid little endian TIF file");
    }
    if (foreign) {
        refuse(foreignKind(bigEndian, version == 43), lines);
    }
    endRun(std::move(lines));
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
