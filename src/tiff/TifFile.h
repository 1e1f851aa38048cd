#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "dialogue/Console.h"
#include "dialogue/FilterSettings.h"
#include "dialogue/JobOrder.h"
#include "tiff/DirEntry.h"
#include "tiff/DirectoryTags.h"
#include "tiff/FileParts.h"
#include "tiff/ImageKind.h"
#include "tiff/InputFile.h"
#include "tiff/OutputFile.h"
#include "tiff/OverviewsToRebuild.h"
#include "tiff/ReducedPagePlan.h"

// The input TIFF as this program understands it (little-endian, one directory, uncompressed
// 24-bit RGB in strips) and the output written from it. Its construction holds the dialogue,
// unless the order is already settled.
class TifFile {
  public:
    static constexpr int kMostDirEntries = 100;

    explicit TifFile(Console& console);
    TifFile(Console& console, const JobOrder& order);

    // Header and directory.
    void readHeader();
    void readDirectory();
    void readTags();

    // Strip tables and strips.
    void readStripOffsets();
    void readStripByteCounts();
    void openStrips();
    // readStrip checks a strip; readLastStrip checks the last one and then reads every strip's
    // rows into the raster, the strips in the order of their offsets.
    void readStrip(int32_t strip, uint32_t* const* rows);
    void readLastStrip(int32_t strip, uint32_t* const* rows);
    void closeStrips();
    // For a reader that holds no raster: checkStrip checks a strip as readStrip and
    // readLastStrip do and returns how many rows it holds; once every strip is checked,
    // openStripPixels moves the input to a strip's first pixel, the strips taken as
    // stripsInFileOrder gives them, and readPixels reads them, as many at a time as the
    // reader likes.
    uint32_t checkStrip(int32_t strip, bool last);
    void openStripPixels(int32_t strip);
    void readPixels(uint32_t* pixels, size_t count);
    // Raster rows [0, coveredRows()) hold strip pixels once every strip has been read.
    uint32_t coveredRows() const;

    // Output assembly, in file order: the bytes before the first strip, each strip with the
    // bytes in front of it, then everything after the last strip.
    void copyPrefix();
    void openStripOutput();
    void writeStrip(int32_t strip, uint32_t* const* rows);
    void writeLastStrip(int32_t strip, uint32_t* const* rows);
    void closeStripOutput();
    // The bytes after the last strip, with the blocks of the reduced-resolution pages
    // rebuilt from the filtered rows.
    void copyTail(const uint32_t* const* rows);
    // GDAL's no-data value of the input (its GDAL_NODATA tag), which the output keeps as it
    // keeps every other tag; none where the file has none.
    std::optional<double> noDataValue();
    // What the output lacks of the input's reduced-resolution pages, once the strip tables
    // are read.
    const OverviewsToRebuild& overviewsToRebuild() const { return toRebuild_; }
    // The kind of a file refused for its kind, described whole, for the cure that closes the
    // refusal; none while the file is not refused so.
    const std::optional<ImageKind>& refusedKind() const { return refusedKind_; }
    const std::vector<int32_t>& stripsInFileOrder() const { return fileOrder_; }
    uint64_t inputSize() const { return fileSize_; }

    uint8_t readByte() { return input.readByte(); }
    uint32_t readPixel() {
        uint32_t red = readByte();
        uint32_t green = readByte();
        return red << 16 | green << 8 | readByte();
    }

    // Values from the directory are kept whole and unsigned, as TIFF stores them; sizes and
    // positions are checked in 64 bits before any of them is used as a count or an index.
    std::array<uint8_t, 8> header_bytes{};
    uint32_t idf_offset{};
    int32_t NumDirEntries{};
    std::vector<DirEntry> DirEntries;
    // The geometry and the strip entries' fields, as readTags shows them; later stages read
    // these.
    uint32_t ImageWidth{};
    uint32_t ImageLength{};
    // TIFF's default: one strip for the whole image.
    uint32_t RowsPerStrip = UINT32_MAX;
    uint32_t NumberStripOffsets{};
    uint32_t StripOffsetsDataType{};
    uint32_t NumberStripByteCounts{};
    uint32_t StripByteCountDataType{};
    // Shown by readTags and read by nothing else: what is decided about the image is read
    // from the entries themselves (tags_).
    uint32_t BitsPerSample{};
    uint32_t Compression{};
    uint32_t SamplesPerPixel{};
    uint32_t PhotometricInterpretation{};
    uint32_t StripOffsets{};
    uint32_t StripByteCount{};
    std::vector<uint32_t> StripOffsetsTable;
    std::vector<uint32_t> StripByteCountsTable;

    InputFile input;
    OutputFile output;
    FilterSettings settings;
    SettingsCopy settingsCopy;

  private:
    void openInput();
    void openOutput();
    void closeOutput();
    [[noreturn]] void failOutput(const std::string& what, const RunEnded& why);
    void placeOutput();
    void checkInputIntact();
    [[noreturn]] void fail(std::string_view reason);

    void readDirEntries();
    [[noreturn]] void refuseHeader();
    void checkImageKind();
    std::vector<uint32_t> kindValues(const DirEntry& entry);
    [[noreturn]] void refuse(ImageKind kind, std::vector<std::string> lines = {});
    ImageKind foreignKind(bool bigEndian, bool bigTiff);
    void checkRequiredTags() const;
    std::vector<uint32_t> readEntryArray(const char* name, const DirEntry& entry);
    void checkStripLayout();
    // Strip numbers are counted in int32_t, as the job counts them, and are never negative.
    uint32_t stripOffset(int32_t strip) const {
        return StripOffsetsTable[static_cast<size_t>(strip)];
    }
    uint32_t stripByteCount(int32_t strip) const {
        return StripByteCountsTable[static_cast<size_t>(strip)];
    }
    uint32_t stripHeight() const;
    void readStripsInFileOrder(uint32_t* const* rows);
    uint32_t lastStripRows(int32_t strip) const;
    void checkStripRows(int32_t strip, uint64_t firstRow, uint64_t rowCount);
    void checkStripLength(int32_t strip, uint64_t pixels);
    // rowCount rows into rows[0] on.
    void readRows(uint32_t* const* rows, uint32_t rowCount);
    void writeRows(uint32_t* const* rows, uint32_t firstRow, uint32_t rowCount);
    void copyInput(uint64_t from, uint64_t to);

    void readFurtherPages();
    FilePart rewrittenPart(size_t k) const;
    std::optional<std::pair<FilePart, FilePart>> firstOverlap();
    void settleReducedPages();
    [[noreturn]] void refuseOverlap(const FilePart& strip, const FilePart& other);
    std::vector<uint64_t> overviewLevels(const std::vector<PageSize>& pages) const;
    void reportReducedPages();
    void reportExternalOverviews();
    void writeReducedBlock(const ReducedBlock& block, const uint32_t* const* rows);

    Console& console_;
    // Whether the names came with an order (a command) rather than at the prompts.
    bool ordered_ = false;
    uint64_t fileSize_{};
    // The first directory's entries, by tag.
    DirectoryTags tags_;
    // The further pages and the parts of the file that the output keeps where they stand.
    ReducedPagePlan plan_;
    OverviewsToRebuild toRebuild_;
    std::optional<ImageKind> refusedKind_;
    std::vector<int32_t> fileOrder_;
    uint64_t copied_{};
};
