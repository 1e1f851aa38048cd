#pragma once

// One key press can send several bytes: an arrow or function key an escape sequence, a
// letter outside ASCII its UTF-8 bytes. Left unread after a key wait, they would answer the
// menu or start the next file name, so the wait takes them with the first byte.
//
// next(byte) gives the following byte of the same press, or false when none has come.
template <typename NextByte>
void takeRestOfKey(unsigned char first, NextByte next) {
    unsigned char byte = 0;
    if (first == 0x1B) {
        // ESC [ and ESC O introduce a sequence that runs up to a final byte; any other byte
        // after ESC is Alt with that key, taken here with it.
        if (next(byte) && (byte == '[' || byte == 'O')) {
            while (next(byte) && (byte < 0x40 || byte > 0x7E)) {
            }
        }
        return;
    }
    int continuationBytes = first >= 0xF0 ? 3 : first >= 0xE0 ? 2 : first >= 0xC0 ? 1 : 0;
    while (continuationBytes-- > 0 && next(byte)) {
    }
}
