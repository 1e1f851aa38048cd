#include "tiff/ImageKind.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "platform/RunEnded.h"
#include "tiff/DirectoryTags.h"
#include "tiff/PageChain.h"
#include "tiff/TifFile.h"
#include "tiff/TiffDirectory.h"

// A file of another kind than uncompressed 8-bit RGB in strips is refused before a strip is
// read: filtered, its bytes would come out as garbage. The refusal names the kind in a
// user's words and keeps the kind for the cure that the run adds (advice/Cure.h).

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

// The file is described whole, with what its cure follows: the georeferencing, a world file
// beside it included, the values of wide samples and the levels of its overviews.
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
    refusedKind_ = kind;
    endRun(std::move(lines));
}

// The dialogue's header check says its line first, whatever the header; a command says of a
// BigTIFF or a big-endian TIFF only what is true of it, from the line that names its kind.
void TifFile::refuseHeader() {
    const TiffHeader header =
        TiffHeader::of(header_bytes[0], header_bytes[1], header_bytes[2], header_bytes[3]);
    const bool foreign = header.tiff && !header.classicLittleEndian();
    std::vector<std::string> lines;
    if (!foreign || !ordered_) {
        lines.emplace_back("not a valid little endian TIF file");
    }
    if (foreign) {
        refuse(foreignKind(header.bigEndian, header.bigTiff), lines);
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
