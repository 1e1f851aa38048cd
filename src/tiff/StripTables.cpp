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

// The values of an entry the image cannot be read without; what keeps them from being read
// ends the run.
std::vector<uint32_t> TifFile::readEntryArray(const char* name, const DirEntry& entry) {
    if (entry.elementSize() == 0) {
        console_.errorLine("switch error");
        fail(std::string("The ") + name + " array has field type " + std::to_string(entry.type()) +
             "; only SHORT (3) and LONG (4) arrays can be read");
    }
    openInput();
    TiffDirectory directory(input, fileSize_, false, false);
    std::vector<uint32_t> table;
    if (entry.count() > std::numeric_limits<int32_t>::max() || !directory.values(entry, table)) {
        fail(std::string("The ") + name + " array of " + std::to_string(entry.count()) +
             " entries at position " + std::to_string(entry.value()) +
             " runs past the end of the file (" + std::to_string(fileSize_) + " bytes)");
    }
    checkInputIntact();
    input.close();
    return table;
}

// Every strip must lie inside the file; the output is then the input with the bytes of each
// strip replaced, taken in file order. That no strip shares a byte with another, nor with
// anything else the output keeps, settleReducedPages checks with the file's other parts.
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
}
