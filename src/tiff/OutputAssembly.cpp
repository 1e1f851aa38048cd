#include "tiff/PixelBytes.h"
#include "tiff/TifFile.h"

// Bytes of the input that are not strip data keep their positions in the output, so the
// copied header and directory stay true to the file they describe.
void TifFile::copyPrefix() {
    openInput();
    openOutput();
    copied_ = 0;
    uint64_t firstStrip = fileOrder_.empty() ? fileSize_ : stripOffset(fileOrder_.front());
    copyInput(0, firstStrip);
    checkInputIntact();
    input.close();
    closeOutput();
}

void TifFile::openStripOutput() {
    openInput();
    openOutput();
}

void TifFile::writeStrip(int32_t strip, uint32_t* const* rows) {
    copyInput(copied_, stripOffset(strip));
    writeRows(rows, stripHeight() * static_cast<uint32_t>(strip), stripHeight());
    copied_ += stripByteCount(strip);
}

void TifFile::writeLastStrip(int32_t strip, uint32_t* const* rows) {
    copyInput(copied_, stripOffset(strip));
    writeRows(rows, stripHeight() * static_cast<uint32_t>(strip), lastStripRows(strip));
    copied_ += stripByteCount(strip);
}

void TifFile::closeStripOutput() {
    checkInputIntact();
    input.close();
    closeOutput();
}

void TifFile::copyTail(const uint32_t* const* rows) {
    openInput();
    openOutput();
    // Without a filter the raster is the input's, and the pages stay as the file has them.
    const bool filtered = settingsCopy.option >= 1 && settingsCopy.option <= 4;
    for (const ReducedBlock& block : filtered ? plan_.blocks() : std::vector<ReducedBlock>{}) {
        copyInput(copied_, block.offset);
        writeReducedBlock(block, rows);
    }
    copyInput(copied_, fileSize_);
    checkInputIntact();
    input.close();
    closeOutput();
    placeOutput();
}

void TifFile::copyInput(uint64_t from, uint64_t to) {
    // The parts are copied in file order, so a part that begins before the end of the one
    // before it overlaps it; the checks of the layout keep such a file out.
    if (to < from) {
        fail("Parts of the input file " + input.name + " overlap; no output is made from it");
    }
    input.seek(from);
    uint64_t remaining = to - from;
    while (remaining > 0 && !input.failed()) {
        size_t available = 0;
        const uint8_t* bytes = input.buffered(available);
        size_t used = static_cast<size_t>(std::min<uint64_t>(available, remaining));
        output.writeBytes(bytes, used);
        input.advance(used);
        remaining -= used;
    }
    copied_ = to;
}

// A pixel goes out as red, green, blue: the order in which it was read. The removal word
// 0xFFFFFFFF thus comes out white.
void TifFile::writeRows(uint32_t* const* rows, uint32_t firstRow, uint32_t rowCount) {
    for (uint32_t r = firstRow; r < firstRow + rowCount; ++r) {
        const uint32_t* pixel = rows[r];
        const uint32_t* const rowEnd = pixel + ImageWidth;
        while (pixel < rowEnd) {
            size_t granted = 0;
            uint8_t* bytes = output.reserve(static_cast<size_t>(rowEnd - pixel) * 3, granted);
            size_t whole = granted / 3;
            if (whole == 0) {
                for (int shift : {16, 8, 0}) {
                    output.writeByte(static_cast<uint8_t>(*pixel >> shift));
                }
                ++pixel;
                continue;
            }
            pixel_bytes::pack(pixel, bytes, whole);
            output.commit(whole * 3);
            pixel += whole;
        }
    }
}
