#!/usr/bin/python3
"""Writes the malformed-file regression corpus: small TIFF files, each broken in one way
named by its file name, and beside each <name>.expected.txt, the console text that a run
on it must print from the header report on.

    /usr/bin/python3 tests/malformed/make_corpus.py [DIR]     (DIR defaults to this folder)

The expected texts are composed here from the file's own bytes and the program's report
format, not taken from a run of the program, so a change in behaviour shows up as a
difference. Running the script again gives the same bytes.
"""

import os
import struct
import sys

SHORT, LONG, RATIONAL = 3, 4, 5
WIDTH, HEIGHT = 4, 3
ROW_BYTES = 3 * WIDTH

# The healthy file everything starts from: 4 x 3 pixels, one row per strip, directory right
# after the header, then BitsPerSample, the two strip arrays and the three strips.
BASE_ENTRIES = [
    # tag, type, count, value (None: out of line, filled in by layout)
    [256, LONG, 1, WIDTH],
    [257, LONG, 1, HEIGHT],
    [258, SHORT, 3, None],
    [259, SHORT, 1, 1],
    [262, SHORT, 1, 2],
    [273, LONG, 3, None],
    [277, SHORT, 1, 3],
    [278, LONG, 1, 1],
    [279, LONG, 3, None],
    [284, SHORT, 1, 1],
]


def pixels(count):
    """Map colours: white paper, a green and a brown contour pixel, a reddish one."""
    palette = [0xFFFFFF, 0xC9EA9D, 0xC96A2D, 0x8A4030]
    out = bytearray()
    for i in range(count):
        p = palette[i % len(palette)]
        out += bytes([p >> 16, (p >> 8) & 0xFF, p & 0xFF])
    return bytes(out)


class Tiff:
    """A little-endian TIFF laid out from its entries, open to patching afterwards."""

    def __init__(self, entries=None, strip_bytes=ROW_BYTES, strips=HEIGHT):
        self.entries = [list(e) for e in (entries or BASE_ENTRIES)]
        self.strip_bytes = strip_bytes
        self.strips = strips

    def entry(self, tag):
        return next(e for e in self.entries if e[0] == tag)

    def drop(self, tag):
        self.entries = [e for e in self.entries if e[0] != tag]

    def build(self):
        directory = 8
        after = directory + 2 + 12 * len(self.entries) + 4
        bits = after
        offsets = bits + 6
        counts = offsets + 4 * self.strips
        first_strip = counts + 4 * self.strips
        strip_at = [first_strip + s * self.strip_bytes for s in range(self.strips)]
        out_of_line = {258: bits, 273: offsets, 279: counts}
        data = bytearray(b"II*\x00" + struct.pack("<I", directory))
        data += struct.pack("<H", len(self.entries))
        for tag, ftype, count, value in self.entries:
            if value is None:
                value = out_of_line[tag]
            field = struct.pack("<HH", value, 0) if ftype == SHORT and count <= 2 else struct.pack("<I", value)
            data += struct.pack("<HHI", tag, ftype, count) + field
        data += struct.pack("<I", 0)
        data += struct.pack("<3H", 8, 8, 8)
        data += b"".join(struct.pack("<I", at) for at in strip_at)
        data += b"".join(struct.pack("<I", self.strip_bytes) for _ in range(self.strips))
        data += pixels(self.strips * self.strip_bytes // 3)
        self.offsets_at, self.counts_at = offsets, counts
        return data


def u16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def u32(data, at):
    return struct.unpack_from("<I", data, at)[0]


# ---------------------------------------------------------------------------
# The report, as the program prints it for a file's bytes
# ---------------------------------------------------------------------------

TAG_LINES = {
    256: ["ImageWidth"],
    257: ["ImageLength"],
    258: ["BitsPerSample"],
    259: ["Compression"],
    262: ["PhotometricInterpretation"],
    277: ["SamplesPerPixel"],
    278: ["RowsPerStrip"],
}
PROGRESS = "Reading strip data.  O(n^2) file i/o operation. This will take a moment.\n\n"


def value_of(data, entry):
    """The one number an entry stands for: a single SHORT, or else the four-byte field."""
    ftype, count = u16(data, entry + 2), u32(data, entry + 4)
    return u16(data, entry + 8) if ftype == SHORT and count <= 2 else u32(data, entry + 8)


def header_report(data):
    """From "idf_offset is:" through the last tag line."""
    directory = u32(data, 4)
    text = "idf_offset is:  %d\n" % directory
    count = u16(data, directory)
    text += " NumDirEntries in hex is:  %x\n\n" % count
    for i in range(min(count, 100)):
        entry = directory + 2 + 12 * i
        tag, ftype, n = u16(data, entry), u16(data, entry + 2), u32(data, entry + 4)
        value = value_of(data, entry)
        if tag in TAG_LINES:
            text += " %s is:  %x\n" % (TAG_LINES[tag][0], value)
        elif tag == 273:
            text += " StripOffsets is:  %x\n NumberStripOffsets is:  %x\n" % (value, n)
            text += " StripOffsetsDataType is:  %x\n" % ftype
        elif tag == 279:
            text += " StripByteCount is:  %x\n StripByteCountDataType is:  %x\n" % (value, ftype)
            text += " NumberStripByteCounts is:  %x\n" % n
    return text


def offsets_lines(type_=LONG, count_ok=True):
    check = "\nNumberStripOffsets Check OK\n\n" if count_ok else "\nStrip Offset Error\n"
    return check + "StripOffsetsDataType is;  %d\n" % type_


def counts_lines(type_=LONG):
    return "\nStripByteCountDataType is;  %d\n" % type_


def ended(*lines):
    return "".join(line + "\n" for line in lines) + "exiting program\n"


# ---------------------------------------------------------------------------
# The cases
# ---------------------------------------------------------------------------


def cases():
    base = Tiff().build()
    size = len(base)
    yield "not_little_endian.tif", b"MM\x00*\x00\x00\x00\x08", "not a valid little endian TIF file\nexiting program\n"

    yield "truncated_header.tif", base[:6], ended("The file ends inside its 8-byte header")

    data = bytearray(base[:8])
    data[4:8] = struct.pack("<I", 1000)
    data += base[8:]
    yield "directory_past_end.tif", bytes(data), "idf_offset is:  1000\n" + ended(
        "The directory position 1000 lies past the end of the file (%d bytes)" % size)

    data = base[:80]
    yield "truncated_directory.tif", data, "idf_offset is:  8\n NumDirEntries in hex is:  a\n\n" + ended(
        "The file ends inside the directory of 10 entries at position 8")

    tiff = Tiff()
    tiff.drop(273)
    data = tiff.build()
    yield "no_strip_offsets.tif", data, header_report(data) + ended(
        "The directory has no StripOffsets (273) tag")

    tiff = Tiff()
    tiff.entry(256)[3] = 0
    data = tiff.build()
    yield "width_zero.tif", data, header_report(data) + ended("ImageWidth is 0, so the image has no pixels")

    tiff = Tiff()
    tiff.entry(256)[3] = 0x7FFFFFFF
    data = tiff.build()
    yield "image_larger_than_memory.tif", data, header_report(data) + ended(
        "The image of 2147483647 x 3 pixels needs more memory than this machine has")

    tiff = Tiff()
    tiff.entry(257)[3] = 2000000
    data = tiff.build()
    yield "image_far_larger_than_file.tif", data, header_report(data) + ended(
        "The image of 4 x 2000000 pixels is far larger than the file's %d bytes can fill" % len(data))

    # No rows, but a width that would make the spare row alone 400 MB: once let through.
    tiff = Tiff()
    tiff.entry(256)[3] = 100000000
    tiff.entry(257)[3] = 0
    data = tiff.build()
    yield "wide_image_without_rows.tif", data, header_report(data) + ended(
        "The image of 100000000 x 0 pixels is far larger than the file's %d bytes can fill" % len(data))

    tiff = Tiff()
    tiff.entry(278)[3] = 0
    data = tiff.build()
    yield "rowsperstrip_zero.tif", data, header_report(data) + ended(
        "RowsPerStrip is 0, so no strip can hold a row")

    tiff = Tiff()
    tiff.entry(273)[2] = 0
    tiff.entry(273)[3] = 0
    data = tiff.build()
    yield "no_strips.tif", data, header_report(data) + offsets_lines(count_ok=False) + ended(
        "The directory lists no strips")

    tiff = Tiff()
    tiff.entry(279)[2] = 2
    data = tiff.build()
    yield "fewer_byte_counts.tif", data, header_report(data) + offsets_lines() + counts_lines() + ended(
        "The directory lists 3 strips but only 2 strip byte counts")

    tiff = Tiff()
    tiff.entry(279)[1] = RATIONAL
    data = tiff.build()
    yield "strip_counts_rational.tif", data, header_report(data) + offsets_lines() + counts_lines(
        RATIONAL) + ended("switch error",
                          "The StripByteCounts array has field type 5; only SHORT (3) and LONG (4) "
                          "arrays can be read")

    tiff = Tiff()
    tiff.entry(273)[3] = size - 4
    data = tiff.build()
    yield "strip_offsets_array_past_end.tif", data, header_report(data) + offsets_lines() + ended(
        "The StripOffsets array of 3 entries at position %d runs past the end of the file (%d bytes)"
        % (size - 4, size))

    tiff = Tiff()
    data = bytearray(tiff.build())
    data[tiff.offsets_at + 8:tiff.offsets_at + 12] = struct.pack("<I", size - ROW_BYTES + 2)
    data = bytes(data)
    yield "strip_past_end.tif", data, header_report(data) + offsets_lines() + counts_lines() + ended(
        "Strip 2 (12 bytes at position %d) runs past the end of the file (%d bytes)"
        % (size - ROW_BYTES + 2, size))

    tiff = Tiff()
    data = bytearray(tiff.build())
    first = u32(data, tiff.offsets_at)
    data[tiff.offsets_at + 4:tiff.offsets_at + 8] = struct.pack("<I", first + 6)
    data = bytes(data)
    yield "overlapping_strips.tif", data, header_report(data) + offsets_lines() + counts_lines() + ended(
        "Strips 0 and 1 overlap in the file")

    # Three strips of one row each for an image of two rows: the last one has no row left.
    tiff = Tiff()
    tiff.entry(257)[3] = 2
    data = tiff.build()
    yield "strip_rows_beyond_length.tif", data, header_report(data) + offsets_lines(
        count_ok=False) + counts_lines() + "\n" + PROGRESS + "xx" + ended(
            "Strip 2 holds rows beyond the image's last row (ImageLength 2)")

    # Four bytes a pixel, as an RGBA writer stores them.
    tiff = Tiff(strip_bytes=4 * WIDTH)
    data = tiff.build()
    yield "not_24_bit.tif", data, header_report(data) + offsets_lines() + counts_lines() + "\n" + \
        PROGRESS + ended("Error reading strip data", "probably not a 24-bit tiff file")


def main():
    here = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, data, expected in cases():
        with open(os.path.join(here, name), "wb") as f:
            f.write(data)
        with open(os.path.join(here, name[:-4] + ".expected.txt"), "w", newline="\n") as f:
            f.write(expected)


if __name__ == "__main__":
    main()
