#include <string>

#include "platform/Narrow.h"
#include "platform/RunEnded.h"
#include "tiff/PixelBytes.h"
#include "tiff/TifFile.h"

void TifFile::openStrips() {
    openInput();
}

void TifFile::closeStrips() {
    checkInputIntact();
    input.close();
}

// The job names the strips by index, and a strip's checks are said in that order; the pixels
// are read once the last strip has passed, every strip in the order of its offset, so that
// strips stored in any order cost one pass over the file.
void TifFile::readStrip(int32_t strip, uint32_t* const* /*rows*/) {
    checkStrip(strip, false);
}

void TifFile::readLastStrip(int32_t strip, uint32_t* const* rows) {
    checkStrip(strip, true);
    readStripsInFileOrder(rows);
}

void TifFile::readStripsInFileOrder(uint32_t* const* rows) {
    const auto last = narrow<int32_t>(NumberStripOffsets - 1);
    for (int32_t strip : fileOrder_) {
        input.seek(stripOffset(strip));
        readRows(rows + uint64_t{stripHeight()} * static_cast<uint32_t>(strip),
                 strip == last ? lastStripRows(strip) : stripHeight());
    }
}

void TifFile::openStripPixels(int32_t strip) {
    input.seek(stripOffset(strip));
}

// Every strip but the last holds the strip height's rows; the last one is measured by them.
uint32_t TifFile::checkStrip(int32_t strip, bool last) {
    const uint32_t rowCount = last ? lastStripRows(strip) : stripHeight();
    const uint64_t firstRow = uint64_t{stripHeight()} * static_cast<uint32_t>(strip);
    if (!last) {
        checkStripLength(strip, uint64_t{rowCount} * ImageWidth);
    }
    checkStripRows(strip, firstRow, rowCount);
    if (last) {
        checkStripLength(strip, uint64_t{rowCount} * ImageWidth);
    }
    return rowCount;
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

void TifFile::readRows(uint32_t* const* rows, uint32_t rowCount) {
    for (uint32_t r = 0; r < rowCount; ++r) {
        readPixels(rows[r], ImageWidth);
    }
}

void TifFile::readPixels(uint32_t* pixels, size_t count) {
    uint32_t* pixel = pixels;
    uint32_t* const end = pixels + count;
    while (pixel < end) {
        size_t available = 0;
        const uint8_t* bytes = input.buffered(available);
        size_t whole = std::min<size_t>(available / 3, static_cast<size_t>(end - pixel));
        if (whole == 0) {
            *pixel++ = readPixel();
            continue;
        }
        pixel_bytes::unpack(bytes, pixel, whole);
        input.advance(whole * 3);
        pixel += whole;
    }
}
