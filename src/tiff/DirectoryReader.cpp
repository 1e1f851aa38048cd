#include <algorithm>
#include <array>
#include <charconv>
#include <string>
#include <string_view>

#include "platform/Narrow.h"
#include "platform/RunEnded.h"
#include "tiff/TifFile.h"
#include "tiff/TiffDirectory.h"

namespace {

constexpr uint64_t kHeaderSize = 8;

// What the report shows of an entry, and keeps in the member it names.
enum class Field { value, count, type };
struct ReportLine {
    uint16_t tag;
    const char* label;
    uint32_t TifFile::*member;
    Field field;
};

// The strip tags show their fields in two orders: value, count, type for StripOffsets, and
// value, type, count for StripByteCounts.
const std::array<ReportLine, 13> kReportLines = {{
    {tag::ImageWidth, " ImageWidth is:  ", &TifFile::ImageWidth, Field::value},
    {tag::ImageLength, " ImageLength is:  ", &TifFile::ImageLength, Field::value},
    {tag::BitsPerSample, " BitsPerSample is:  ", &TifFile::BitsPerSample, Field::value},
    {tag::Compression, " Compression is:  ", &TifFile::Compression, Field::value},
    {tag::PhotometricInterpretation,
     " PhotometricInterpretation is:  ", &TifFile::PhotometricInterpretation, Field::value},
    {tag::StripOffsets, " StripOffsets is:  ", &TifFile::StripOffsets, Field::value},
    {tag::StripOffsets, " NumberStripOffsets is:  ", &TifFile::NumberStripOffsets, Field::count},
    {tag::StripOffsets, " StripOffsetsDataType is:  ", &TifFile::StripOffsetsDataType, Field::type},
    {tag::SamplesPerPixel, " SamplesPerPixel is:  ", &TifFile::SamplesPerPixel, Field::value},
    {tag::RowsPerStrip, " RowsPerStrip is:  ", &TifFile::RowsPerStrip, Field::value},
    {tag::StripByteCounts, " StripByteCount is:  ", &TifFile::StripByteCount, Field::value},
    {tag::StripByteCounts, " StripByteCountDataType is:  ", &TifFile::StripByteCountDataType,
     Field::type},
    {tag::StripByteCounts, " NumberStripByteCounts is:  ", &TifFile::NumberStripByteCounts,
     Field::count},
}};

uint32_t fieldOf(const DirEntry& entry, Field field) {
    switch (field) {
        case Field::value:
            return entry.value();
        case Field::count:
            return entry.count();
        case Field::type:
            return entry.type();
    }
    return 0;
}

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
    if (input.size() == 0) {
        fail("The file is empty");
    }
    if (input.size() < kHeaderSize) {
        fail("The file ends inside its 8-byte header");
    }
    if (!TiffHeader::of(header_bytes[0], header_bytes[1], header_bytes[2], header_bytes[3])
             .classicLittleEndian()) {
        refuseHeader();
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
    readDirEntries();
    checkInputIntact();
    input.close();
}

// The entries are read as the file holds them, each kept as its 12 bytes.
void TifFile::readDirEntries() {
    TiffDirectory directory(input, input.size(), false, false);
    const TiffDirectory::Read found = directory.read(idf_offset);
    NumDirEntries = narrow<int32_t>(found.count);
    console_.print(hexLine(" NumDirEntries in hex is:  ", static_cast<uint32_t>(NumDirEntries)));
    console_.endLine();
    if (NumDirEntries > kMostDirEntries) {
        console_.line("tag counter array limits exceeded");
    }
    const std::vector<TiffEntry>& entries = found.entries;
    if (entries.size() < static_cast<size_t>(NumDirEntries)) {
        fail("The file ends inside the directory of " + std::to_string(NumDirEntries) +
             " entries at position " + std::to_string(idf_offset));
    }
    DirEntries.resize(static_cast<size_t>(std::min(NumDirEntries, kMostDirEntries)));
    std::transform(entries.begin(), entries.begin() + std::ssize(DirEntries), DirEntries.begin(),
                   TiffDirectory::classicEntry);
}

// One walk over the entries: each is kept under its tag for the checks that follow, and
// what the report shows of it is printed as it comes.
void TifFile::readTags() {
    for (const DirEntry& entry : DirEntries) {
        tags_.take(entry);
        for (const ReportLine& line : kReportLines) {
            if (line.tag == entry.tag()) {
                this->*line.member = fieldOf(entry, line.field);
                console_.print(hexLine(line.label, this->*line.member));
            }
        }
    }
    console_.flush();
    checkImageKind();
    checkRequiredTags();
    readFurtherPages();
}

void TifFile::checkRequiredTags() const {
    auto require = [](bool present, const char* what) {
        if (!present) {
            endRun({std::string("The directory has no ") + what + " tag"});
        }
    };
    require(tags_.imageWidth.has_value(), "ImageWidth (256)");
    require(tags_.imageLength.has_value(), "ImageLength (257)");
    require(tags_.stripOffsets.has_value(), "StripOffsets (273)");
    require(tags_.stripByteCounts.has_value(), "StripByteCounts (279)");
}
