#include <charconv>
#include <string>
#include <string_view>

#include "dialogue/RunEnded.h"
#include "tiff/TifFile.h"

namespace {

constexpr std::array<uint8_t, 4> kLittleEndianMagic = {0x49, 0x49, 0x2A, 0x00};
constexpr uint64_t kHeaderSize = 8;
constexpr uint64_t kEntrySize = 12;

enum Tag : uint16_t {
    kImageWidth = 256,
    kImageLength = 257,
    kBitsPerSample = 258,
    kCompression = 259,
    kPhotometricInterpretation = 262,
    kStripOffsets = 273,
    kSamplesPerPixel = 277,
    kRowsPerStrip = 278,
    kStripByteCounts = 279,
    kPlanarConfiguration = 284,
    kTileWidth = 322,
    kTileByteCounts = 325,
    kSubIfds = 330,
    kSampleFormat = 339,
    kModelPixelScale = 33550,
    kModelTiepoint = 33922,
    kModelTransformation = 34264,
    kGeoKeyDirectory = 34735,
};

// A report line: the label, then the value in lower-case hexadecimal digits.
std::string hexLine(std::string_view label, uint32_t value) {
    std::array<char, 8> digits{};
    char* end = std::to_chars(digits.data(), digits.data() + digits.size(), value, 16).ptr;
    return std::string(label) + std::string(digits.data(), end) + "\n";
}

}  // namespace

void TifFile::readHeader() {
    openInput();
    for (uint8_t& byte : header_bytes) {
        byte = readByte();
    }
    if (!std::equal(kLittleEndianMagic.begin(), kLittleEndianMagic.end(), header_bytes.begin())) {
        refuseHeader();
    }
    if (input.size() < kHeaderSize) {
        fail("The file ends inside its 8-byte header");
    }
    idf_offset = littleEndian32(header_bytes[4], header_bytes[5], header_bytes[6], header_bytes[7]);
    console_.print("idf_offset is:  ");
    console_.print(idf_offset);
    console_.endLine();
    input.close();
}

void TifFile::readDirectory() {
    openInput();
    if (uint64_t{idf_offset} + 2 > input.size()) {
        fail("The directory position " + std::to_string(idf_offset) +
             " lies past the end of the file (" + std::to_string(input.size()) + " bytes)");
    }
    input.skip(idf_offset);
    readDirEntries();
    checkInputIntact();
    input.close();
}

void TifFile::readDirEntries() {
    uint8_t low = readByte();
    uint8_t high = readByte();
    NumDirEntries = static_cast<int32_t>(littleEndian16(low, high));
    console_.print(hexLine(" NumDirEntries in hex is:  ", static_cast<uint32_t>(NumDirEntries)));
    console_.endLine();
    if (NumDirEntries > kMostDirEntries) {
        console_.line("tag counter array limits exceeded");
    }
    if (uint64_t{idf_offset} + 2 + kEntrySize * static_cast<uint64_t>(NumDirEntries) >
        input.size()) {
        fail("The file ends inside the directory of " + std::to_string(NumDirEntries) +
             " entries at position " + std::to_string(idf_offset));
    }
    int32_t kept = std::min(NumDirEntries, kMostDirEntries);
    DirEntries.resize(static_cast<size_t>(kept));
    for (DirEntry& entry : DirEntries) {
        for (uint8_t& byte : entry.bytes) {
            byte = readByte();
        }
    }
    // The position of a further image's directory follows the last entry, when the file
    // holds it at all.
    uint64_t next = uint64_t{idf_offset} + 2 + kEntrySize * static_cast<uint64_t>(NumDirEntries);
    if (next + 4 <= input.size()) {
        input.seek(next);
        uint8_t b0 = readByte();
        uint8_t b1 = readByte();
        uint8_t b2 = readByte();
        nextDirectory_ = littleEndian32(b0, b1, b2, readByte());
    }
}

void TifFile::readTags() {
    for (const DirEntry& entry : DirEntries) {
        uint32_t value = entry.value();
        switch (entry.tag()) {
            case kImageWidth:
                ImageWidth = value;
                hasImageWidth_ = true;
                console_.print(hexLine(" ImageWidth is:  ", ImageWidth));
                break;
            case kImageLength:
                ImageLength = value;
                hasImageLength_ = true;
                console_.print(hexLine(" ImageLength is:  ", ImageLength));
                break;
            case kBitsPerSample:
                kind_.bitsPerSample = entry;
                BitsPerSample = value;
                console_.print(hexLine(" BitsPerSample is:  ", BitsPerSample));
                break;
            case kCompression:
                kind_.compression = entry;
                Compression = value;
                console_.print(hexLine(" Compression is:  ", Compression));
                break;
            case kPhotometricInterpretation:
                kind_.photometric = entry;
                PhotometricInterpretation = value;
                console_.print(
                    hexLine(" PhotometricInterpretation is:  ", PhotometricInterpretation));
                break;
            case kStripOffsets:
                stripOffsetsEntry_ = entry;
                StripOffsets = value;
                NumberStripOffsets = entry.count();
                StripOffsetsDataType = entry.type();
                console_.print(hexLine(" StripOffsets is:  ", StripOffsets));
                console_.print(hexLine(" NumberStripOffsets is:  ", NumberStripOffsets));
                console_.print(hexLine(" StripOffsetsDataType is:  ", StripOffsetsDataType));
                break;
            case kSamplesPerPixel:
                kind_.samplesPerPixel = entry;
                SamplesPerPixel = value;
                console_.print(hexLine(" SamplesPerPixel is:  ", SamplesPerPixel));
                break;
            case kRowsPerStrip:
                RowsPerStrip = value;
                console_.print(hexLine(" RowsPerStrip is:  ", RowsPerStrip));
                break;
            case kStripByteCounts:
                stripByteCountsEntry_ = entry;
                StripByteCount = value;
                StripByteCountDataType = entry.type();
                NumberStripByteCounts = entry.count();
                console_.print(hexLine(" StripByteCount is:  ", StripByteCount));
                console_.print(hexLine(" StripByteCountDataType is:  ", StripByteCountDataType));
                console_.print(hexLine(" NumberStripByteCounts is:  ", NumberStripByteCounts));
                break;
            case kPlanarConfiguration:
                kind_.planarConfiguration = entry;
                break;
            case kSubIfds:
                subPages_ = true;
                break;
            case kSampleFormat:
                kind_.sampleFormat = entry;
                break;
            case kModelPixelScale:
            case kModelTiepoint:
            case kModelTransformation:
            case kGeoKeyDirectory:
                kind_.georeferenced = true;
                break;
            default:
                kind_.tiled =
                    kind_.tiled || (entry.tag() >= kTileWidth && entry.tag() <= kTileByteCounts);
                break;
        }
    }
    console_.flush();
    checkImageKind();
    checkRequiredTags();
    readFurtherPages();
}

void TifFile::checkRequiredTags() const {
    auto require = [this](bool present, const char* what) {
        if (!present) {
            endRun(console_, {std::string("The directory has no ") + what + " tag"});
        }
    };
    require(hasImageWidth_, "ImageWidth (256)");
    require(hasImageLength_, "ImageLength (257)");
    require(stripOffsetsEntry_.has_value(), "StripOffsets (273)");
    require(stripByteCountsEntry_.has_value(), "StripByteCounts (279)");
}
