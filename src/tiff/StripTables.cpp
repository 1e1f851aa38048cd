#include <algorithm>
#include <limits>
#include <string>

#include "tiff/TifFile.h"

// A RowsPerStrip above the image's height (writers store 2^32-1 for "one strip") means the
// whole height; an image without rows still counts one row per strip.
uint32_t TifFile::stripHeight() const {
    return std::min(RowsPerStrip, std::max<uint32_t>(ImageLength, 1));
}

void TifFile::readStripOffsets() {
    if (RowsPerStrip == 0) {
        fail("RowsPerStrip is 0, so no strip can hold a row");
    }
    uint64_t expected = (uint64_t{ImageLength} + stripHeight() - 1) / stripHeight();
    console_.endLine();
    if (NumberStripOffsets != expected) {
        console_.line("Strip Offset Error");
    } else {
        console_.line("NumberStripOffsets Check OK");
        console_.endLine();
    }
    console_.print("StripOffsetsDataType is;  ");
    console_.print(StripOffsetsDataType);
    console_.endLine();
    StripOffsetsTable = readEntryArray("StripOffsets", *tags_.stripOffsets);
    if (NumberStripOffsets == 0) {
        fail("The directory lists no strips");
    }
}

void TifFile::readStripByteCounts() {
    console_.endLine();
    console_.print("StripByteCountDataType is;  ");
    console_.print(StripByteCountDataType);
    console_.endLine();
    StripByteCountsTable = readEntryArray("StripByteCounts", *tags_.stripByteCounts);
    if (NumberStripByteCounts < NumberStripOffsets) {
        fail("The directory lists " + std::to_string(NumberStripOffsets) + " strips but only " +
             std::to_string(NumberStripByteCounts) + " strip byte counts");
    }
    checkStripLayout();
    settleReducedPages();
}

// The one way to an entry's values: in the entry itself when they fit there, else at the
// position it gives, checked against the file's size before anything is read.
std::vector<uint32_t> TifFile::readEntryArray(const char* name, const DirEntry& entry) {
    uint32_t size = entry.elementSize();
    if (size == 0) {
        console_.errorLine("switch error");
        fail(std::string("The ") + name + " array has field type " + std::to_string(entry.type()) +
             "; only SHORT (3) and LONG (4) arrays can be read");
    }
    uint32_t count = entry.count();
    std::vector<uint32_t> table;
    if (entry.valuesInline()) {
        for (uint32_t i = 0; i < count; ++i) {
            table.push_back(entry.inlineElement(i));
        }
        return table;
    }
    openInput();
    uint64_t position = entry.value();
    if (position + uint64_t{count} * size > fileSize_ ||
        count > std::numeric_limits<int32_t>::max()) {
        fail(std::string("The ") + name + " array of " + std::to_string(count) +
             " entries at position " + std::to_string(position) +
             " runs past the end of the file (" + std::to_string(fileSize_) + " bytes)");
    }
    input.skip(position);
    table.resize(count);
    for (uint32_t& element : table) {
        uint8_t b0 = readByte();
        uint8_t b1 = readByte();
        if (size == 2) {
            element = littleEndian16(b0, b1);
        } else {
            uint8_t b2 = readByte();
            uint8_t b3 = readByte();
            element = littleEndian32(b0, b1, b2, b3);
        }
    }
    checkInputIntact();
    input.close();
    return table;
}

// Every strip must lie inside the file and no two may share a byte; the output is then the
// input with the bytes of each strip replaced, taken in file order.
void TifFile::checkStripLayout() {
    fileOrder_.clear();
    for (uint32_t s = 0; s < NumberStripOffsets; ++s) {
        uint64_t end = uint64_t{StripOffsetsTable[s]} + StripByteCountsTable[s];
        if (end > fileSize_) {
            fail("Strip " + std::to_string(s) + " (" + std::to_string(StripByteCountsTable[s]) +
                 " bytes at position " + std::to_string(StripOffsetsTable[s]) +
                 ") runs past the end of the file (" + std::to_string(fileSize_) + " bytes)");
        }
        if (StripByteCountsTable[s] > 0) {
            fileOrder_.push_back(static_cast<int32_t>(s));
        }
    }
    std::stable_sort(fileOrder_.begin(), fileOrder_.end(),
                     [this](int32_t a, int32_t b) { return stripOffset(a) < stripOffset(b); });
    for (size_t k = 1; k < fileOrder_.size(); ++k) {
        int32_t before = fileOrder_[k - 1];
        int32_t after = fileOrder_[k];
        if (uint64_t{stripOffset(before)} + stripByteCount(before) > stripOffset(after)) {
            fail("Strips " + std::to_string(static_cast<uint32_t>(before)) + " and " +
                 std::to_string(static_cast<uint32_t>(after)) + " overlap in the file");
        }
    }
}
