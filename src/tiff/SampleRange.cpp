#include "tiff/SampleRange.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tiff/DirectoryTags.h"
#include "tiff/ImageKind.h"
#include "tiff/InputFile.h"
#include "tiff/TiffDirectory.h"

// The cure for wide samples follows their values, so they are read before the refusal is
// printed. A refused file may be a large orthophoto: its samples are read once, in file
// order, through the input's buffer, and the only memory taken is for a few block positions
// at a time.

namespace {

constexpr uint16_t kSMinSampleValue = 340;
constexpr uint16_t kSMaxSampleValue = 341;
constexpr uint16_t kGdalMetadata = 42112;
constexpr uint16_t kGdalNoData = 42113;
// Positions and sizes of this many strips or tiles are read at a time.
constexpr uint64_t kBlocksAtOnce = 1024;
constexpr uint64_t kMostText = uint64_t{1} << 20;

// Whether a times b stays within limit; divided, since the product may pass 64 bits.
bool fitsIn(uint64_t a, uint64_t b, uint64_t limit) {
    return b == 0 || a <= limit / b;
}

std::optional<double> parsedNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '+')) {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end != text.data() ? std::optional(value) : std::nullopt;
}

// The value of one attribute in the opening tag of an XML element.
std::string_view attribute(std::string_view element, std::string_view name) {
    const size_t at = element.find(std::string(name) + "=\"");
    if (at == std::string_view::npos) {
        return {};
    }
    const size_t start = at + name.size() + 2;
    return element.substr(start, element.find('"', start) - start);
}

// GDAL keeps each band's statistics in its metadata tag as
// <Item name="STATISTICS_MINIMUM" sample="0">12</Item>; those of the kept bands are taken.
void takeStatistics(std::string_view metadata, uint32_t bands, SampleRange& range) {
    for (size_t at = metadata.find("<Item "); at != std::string_view::npos;
         at = metadata.find("<Item ", at + 1)) {
        const size_t close = metadata.find('>', at);
        const size_t end = metadata.find("</Item>", close);
        if (end == std::string_view::npos) {
            return;
        }
        const std::string_view element = metadata.substr(at, close - at);
        const std::string_view name = attribute(element, "name");
        const std::optional<double> sample = parsedNumber(attribute(element, "sample"));
        const std::optional<double> value =
            parsedNumber(metadata.substr(close + 1, end - close - 1));
        if ((name == "STATISTICS_MINIMUM" || name == "STATISTICS_MAXIMUM") && sample &&
            *sample < bands && value) {
            range.take(*value);
        }
    }
}

class SampleScan {
  public:
    SampleScan(InputFile& input, uint64_t fileSize, const ImageKind& kind)
        : input_(input),
          fileSize_(fileSize),
          kind_(kind),
          directory_(input, fileSize, kind.bigEndian, kind.bigTiff),
          entries_(directory_.readEntries()),
          size_(kind.otherBits / 8),
          noData_(noData()) {}

    SampleRange range() {
        if (kind_.compression == ImageKind::kUncompressed && readBlocks() && !input_.failed() &&
            found_.found()) {
            return found_;
        }
        return statedRange();
    }

  private:
    const TiffEntry* entry(uint16_t tag) const {
        for (const TiffEntry& e : entries_) {
            if (e.tag == tag) {
                return &e;
            }
        }
        return nullptr;
    }
    uint64_t value(uint16_t tag, uint64_t fallback) {
        const TiffEntry* found = entry(tag);
        const std::vector<uint64_t> first =
            found ? directory_.elements(*found, 0, 1) : std::vector<uint64_t>{};
        return first.empty() ? fallback : first[0];
    }

    // GDAL's no-data value, as a sample of the file's type holds it; NaN where there is none.
    double noData() {
        const std::optional<double> value = gdalNoData(directory_, entries_);
        if (!value) {
            return std::numeric_limits<double>::quiet_NaN();
        }
        return kind_.sampleFormat == ImageKind::kFloat && size_ == 4
                   ? static_cast<double>(static_cast<float>(*value))
                   : *value;
    }

    SampleRange statedRange() {
        SampleRange stated;
        const TiffEntry* lowest = entry(kSMinSampleValue);
        const TiffEntry* highest = entry(kSMaxSampleValue);
        if (lowest && highest) {
            for (const TiffEntry* bound : {lowest, highest}) {
                for (double value : directory_.numbers(*bound, kind_.bands())) {
                    stated.take(value);
                }
            }
        }
        const TiffEntry* metadata = entry(kGdalMetadata);
        if (!stated.found() && metadata) {
            takeStatistics(directory_.text(*metadata, kMostText), kind_.bands(), stated);
        }
        return stated;
    }

    // Every strip or tile of the kept bands; false where the directory does not describe
    // blocks that the file holds whole.
    bool readBlocks() {
        const bool tiled = entry(tag::TileOffsets) != nullptr;
        const TiffEntry* offsets = entry(tiled ? tag::TileOffsets : tag::StripOffsets);
        const TiffEntry* counts = entry(tiled ? tag::TileByteCounts : tag::StripByteCounts);
        width_ = value(tag::ImageWidth, 0);
        length_ = value(tag::ImageLength, 0);
        blockWidth_ = tiled ? value(tag::TileWidth, 0) : width_;
        blockLength_ = tiled ? value(tag::TileLength, 0)
                             : std::min(value(tag::RowsPerStrip, UINT32_MAX), length_);
        const bool separate = kind_.planar == ImageKind::kSeparatePlanes;
        perPixel_ = separate ? 1 : kind_.samples;
        const uint64_t pixelBytes = perPixel_ * size_;
        const uint64_t planes = separate ? kind_.bands() : 1;
        if (!offsets || !counts || width_ == 0 || length_ == 0 || blockWidth_ == 0 ||
            blockLength_ == 0 || !fitsIn(width_, pixelBytes * planes, fileSize_) ||
            !fitsIn(length_, width_ * pixelBytes * planes, fileSize_) ||
            !fitsIn(blockWidth_, pixelBytes, fileSize_)) {
            return false;
        }
        across_ = (width_ + blockWidth_ - 1) / blockWidth_;
        perPlane_ = across_ * ((length_ + blockLength_ - 1) / blockLength_);
        const uint64_t blocks = perPlane_ * planes;
        for (uint64_t first = 0; first < blocks; first += kBlocksAtOnce) {
            const uint64_t n = std::min(kBlocksAtOnce, blocks - first);
            const std::vector<uint64_t> at = directory_.elements(*offsets, first, n);
            const std::vector<uint64_t> bytes = directory_.elements(*counts, first, n);
            if (at.size() != n || bytes.size() != n) {
                return false;
            }
            for (uint64_t i = 0; i < n; ++i) {
                if (!readBlock(first + i, at[i], bytes[i])) {
                    return false;
                }
            }
        }
        return true;
    }

    // The pixels of one block that lie inside the image; the padding of edge tiles is not
    // part of the picture. Blocks of separate planes come plane by plane, and only those of
    // the kept bands are read.
    bool readBlock(uint64_t block, uint64_t offset, uint64_t count) {
        const uint64_t index = block % perPlane_;
        const uint64_t x0 = index % across_ * blockWidth_;
        const uint64_t y0 = index / across_ * blockLength_;
        const uint64_t rows = std::min(blockLength_, length_ - y0);
        const uint64_t samples = std::min(blockWidth_, width_ - x0) * perPixel_;
        const uint64_t rowBytes = blockWidth_ * perPixel_ * size_;
        if (!fitsIn(rows - 1, rowBytes, fileSize_)) {
            return false;
        }
        const uint64_t needed = (rows - 1) * rowBytes + samples * size_;
        if (needed > count || offset > fileSize_ || fileSize_ - offset < needed) {
            return false;
        }
        std::array<uint8_t, 8> bytes{};
        for (uint64_t row = 0; row < rows; ++row) {
            const uint64_t at = offset + row * rowBytes;
            if (at != input_.position() && ++jumps_ > mostJumps_) {
                return false;
            }
            input_.seek(at);
            for (uint64_t sample = 0; sample < samples; ++sample) {
                for (unsigned i = 0; i < size_; ++i) {
                    bytes[i] = input_.readByte();
                }
                const double number =
                    sampleNumber(directory_.decode(bytes.data(), size_), size_, kind_.sampleFormat);
                if (sample % perPixel_ < kind_.bands() && number != noData_) {
                    found_.take(number);
                }
            }
        }
        return true;
    }

    InputFile& input_;
    uint64_t fileSize_;
    const ImageKind& kind_;
    TiffDirectory directory_;
    std::vector<TiffEntry> entries_;
    unsigned size_;
    double noData_;
    SampleRange found_;
    uint64_t width_{};
    uint64_t length_{};
    uint64_t blockWidth_{};
    uint64_t blockLength_{};
    uint64_t perPixel_{};
    uint64_t across_{};
    uint64_t perPlane_{};
    // A row that does not follow the one before may cost a refill of the input's buffer:
    // rows laid out to make every one do so are given up on before their reading costs more
    // than a few times the file's size.
    uint64_t jumps_{};
    uint64_t mostJumps_ = fileSize_ / 16384 + 4096;
};

}  // namespace

std::optional<double> gdalNoData(TiffDirectory& directory, const std::vector<TiffEntry>& entries) {
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [](const TiffEntry& e) { return e.tag == kGdalNoData; });
    return found == entries.end() ? std::nullopt : parsedNumber(directory.text(*found, 64));
}

SampleRange readSampleRange(InputFile& input, uint64_t fileSize, const ImageKind& kind) {
    input.rewind();
    const SampleRange range = SampleScan(input, fileSize, kind).range();
    input.close();
    return range;
}
