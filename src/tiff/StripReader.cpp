#include <string>

#include "dialogue/RunEnded.h"
#include "platform/Narrow.h"
#include "tiff/PixelBytes.h"
#include "tiff/TifFile.h"

void TifFile::openStrips() {
    openInput();
}

void TifFile::closeStrips() {
    checkInputIntact();
    input.close();
}

void TifFile::readStrip(int32_t strip, uint32_t* const* rows) {
    uint32_t height = stripHeight();
    checkStripLength(strip, uint64_t{height} * ImageWidth);
    uint64_t firstRow = uint64_t{height} * static_cast<uint32_t>(strip);
    checkStripRows(strip, firstRow, height);
    input.seek(stripOffset(strip));
    readRows(rows, narrow<uint32_t>(firstRow), height);
}

void TifFile::readLastStrip(int32_t strip, uint32_t* const* rows) {
    uint32_t rowCount = lastStripRows(strip);
    uint64_t firstRow = uint64_t{stripHeight()} * static_cast<uint32_t>(strip);
    checkStripRows(strip, firstRow, rowCount);
    input.seek(stripOffset(strip));
    readRows(rows, narrow<uint32_t>(firstRow), rowCount);
    checkStripLength(strip, uint64_t{rowCount} * ImageWidth);
}

// The last strip holds as many whole rows as its byte count gives.
uint32_t TifFile::lastStripRows(int32_t strip) const {
    return narrow<uint32_t>(stripByteCount(strip) / (uint64_t{ImageWidth} * 3));
}

uint32_t TifFile::coveredRows() const {
    auto last = narrow<int32_t>(NumberStripOffsets - 1);
    return narrow<uint32_t>(uint64_t{stripHeight()} * static_cast<uint32_t>(last) +
                            lastStripRows(last));
}

// Three bytes for every pixel is the only layout this program reads.
void TifFile::checkStripLength(int32_t strip, uint64_t pixels) {
    if (pixels * 3 != stripByteCount(strip)) {
        endRun({"Error reading strip data", "probably not a 24-bit tiff file"});
    }
}

void TifFile::checkStripRows(int32_t strip, uint64_t firstRow, uint64_t rowCount) {
    if (firstRow + rowCount > ImageLength) {
        fail("Strip " + std::to_string(strip) +
             " holds rows beyond the image's last row (ImageLength " + std::to_string(ImageLength) +
             ")");
    }
}

void TifFile::readRows(uint32_t* const* rows, uint32_t firstRow, uint32_t rowCount) {
    for (uint32_t r = firstRow; r < firstRow + rowCount; ++r) {
        uint32_t* pixel = rows[r];
        uint32_t* const rowEnd = pixel + ImageWidth;
        while (pixel < rowEnd) {
            size_t available = 0;
            const uint8_t* bytes = input.buffered(available);
            size_t whole = std::min<size_t>(available / 3, static_cast<size_t>(rowEnd - pixel));
            if (whole == 0) {
                *pixel++ = readPixel();
                continue;
            }
            pixel_bytes::unpack(bytes, pixel, whole);
            input.advance(whole * 3);
            pixel += whole;
        }
    }
}
