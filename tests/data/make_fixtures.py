#!/usr/bin/python3
"""Image content, hand-built TIFF files and checks for the VELSTRAM test fixtures.

Called by make_fixtures.sh; run with Debian's /usr/bin/python3 (needs python3-pil,
python3-tifffile, python3-numpy).

    make_fixtures.py sources DIR   write the inputs for the external writers into DIR
    make_fixtures.py python DIR    write pillow/tifffile files, hand_*.tif and pixels/*.rgb
    make_fixtures.py check DIR     re-read every fixture and check pixels and layout facts

Everything is deterministic: the pixel content comes from a small integer PRNG with
fixed seeds, and no writer gets a timestamp.
"""

import math
import os
import struct
import sys

# ---------------------------------------------------------------------------
# Image content
# ---------------------------------------------------------------------------

WHITE = 0xFFFFFF
BROWN = 0xC96A2D  # contour line (every fifth level)
GREEN = 0xC9EA9D  # contour line
BLACK = 0x000000
REDDISH = [0x8A4030, 0x5A4030, 0x5B4030, 0xFF8100, 0xFF8200]
GREYS = [(g << 16) | (g << 8) | g for g in range(0x5A, 0x83)]  # 5A5A5A .. 828282


class Rng:
    """xorshift32: tiny, integer only, identical on every machine and Python version."""

    def __init__(self, seed):
        self.s = (seed * 2654435761 + 0x9E3779B9) & 0xFFFFFFFF or 1

    def next(self):
        s = self.s
        s ^= (s << 13) & 0xFFFFFFFF
        s ^= s >> 17
        s ^= (s << 5) & 0xFFFFFFFF
        self.s = s
        return s

    def below(self, n):
        return self.next() % n


def map_image(w, h, seed):
    """A small map-like picture: white paper, brown/green contour lines, a black road and
    labels, a patch of reddish orthophoto colours, isolated single pixels and a few odd colours.
    Returns a list of h rows of w 0xRRGGBB ints."""
    rng = Rng(seed)
    img = [[WHITE] * w for _ in range(h)]

    # Contour lines of two hills: level = integer distance // step; a pixel is on a line
    # where its level differs from its right or lower neighbour.
    hills = []
    for _ in range(2):
        hills.append((rng.below(w), rng.below(h), 1 + rng.below(3), 1 + rng.below(3)))
    step = 3 + rng.below(2)

    def level(x, y):
        d = min(a * (x - cx) ** 2 + b * (y - cy) ** 2 for cx, cy, a, b in hills)
        return math.isqrt(d) // step

    for y in range(h):
        for x in range(w):
            lv = level(x, y)
            if lv != level(x + 1, y) or lv != level(x, y + 1):
                img[y][x] = BROWN if lv % 5 == 4 else GREEN

    # Orthophoto-like patch in one corner.
    pw, ph = max(3, w // 4), max(3, h // 4)
    px0, py0 = w - pw, h - ph
    for y in range(py0, h):
        for x in range(px0, w):
            pal = REDDISH if rng.below(2) else GREYS
            img[y][x] = pal[rng.below(len(pal))]

    # A black road (Bresenham) across the left part and two black label blocks.
    x0, y0 = 0, rng.below(h)
    x1, y1 = max(1, px0 - 2), rng.below(h)
    dx, dy = abs(x1 - x0), -abs(y1 - y0)
    sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
    err = dx + dy
    while True:
        img[y0][x0] = BLACK
        if x0 == x1 and y0 == y1:
            break
        e2 = 2 * err
        if e2 >= dy:
            err += dy
            x0 += sx
        if e2 <= dx:
            err += dx
            y0 += sy
    for _ in range(2):
        lx, ly = rng.below(max(1, px0 - 3)), rng.below(max(1, h - 2))
        for yy in range(ly, min(h, ly + 2)):
            for xx in range(lx, min(w, lx + 3)):
                img[yy][xx] = BLACK

    # Isolated dots: one coloured pixel with only white around it.
    def all_white_around(x, y):
        for yy in range(max(0, y - 1), min(h, y + 2)):
            for xx in range(max(0, x - 1), min(w, x + 2)):
                if img[yy][xx] != WHITE:
                    return False
        return True

    dot_colours = [BROWN, GREEN, BLACK, 0x8A4030, 0x5A5A5A, 0xFF8100]
    placed, tries = 0, 0
    while placed < 6 and tries < 2000:
        tries += 1
        x, y = rng.below(w), rng.below(h)
        if all_white_around(x, y):
            img[y][x] = dot_colours[placed % len(dot_colours)]
            placed += 1

    # A few arbitrary colours anywhere, including values with 00/FF in one channel.
    for c in (0x123456, 0xFEDCBA, 0x00FF7F, 0x7F00FF, 0x010203):
        img[rng.below(h)][rng.below(w)] = c
    for _ in range(4):
        img[rng.below(h)][rng.below(w)] = rng.next() & 0xFFFFFF
    return img


def rgb_bytes(img):
    out = bytearray()
    for row in img:
        for c in row:
            out += bytes(((c >> 16) & 255, (c >> 8) & 255, c & 255))
    return bytes(out)


# ---------------------------------------------------------------------------
# Hand-built little-endian TIFF files
# ---------------------------------------------------------------------------

BYTE, ASCII, SHORT, LONG, RATIONAL, UNDEFINED = 1, 2, 3, 4, 5, 7
TYPE_SIZE = {BYTE: 1, ASCII: 1, SHORT: 2, LONG: 4, RATIONAL: 8, UNDEFINED: 1}

T_WIDTH, T_LENGTH, T_BPS, T_COMPRESSION, T_PHOTOMETRIC = 256, 257, 258, 259, 262
T_STRIPOFFSETS, T_SPP, T_RPS, T_STRIPBYTECOUNTS = 273, 277, 278, 279
T_XRES, T_YRES, T_PLANAR, T_EXTRASAMPLES = 282, 283, 284, 338


def encode(typ, values):
    if typ in (BYTE, UNDEFINED):
        return bytes(values)
    if typ == ASCII:
        return values
    if typ == SHORT:
        return struct.pack("<%dH" % len(values), *values)
    if typ == LONG:
        return struct.pack("<%dI" % len(values), *values)
    if typ == RATIONAL:
        return b"".join(struct.pack("<II", n, d) for n, d in values)
    raise ValueError(typ)


def split_strips(data, row_bytes, height, rps):
    rows = height if rps is None or rps >= height else rps
    if height == 0:
        return [b""]
    return [data[r * row_bytes:(r + rows) * row_bytes] for r in range(0, height, rows)]


def build_tiff(width, height, data, *, spp=3, rps=None, write_rps=True, rps_value=None,
               strip_type=LONG, dim_type=LONG, dir_first=False, extra=(), first_values=(),
               reverse_strips=False, gap=b"", strips=None, byte_counts=None,
               offsets=None, omit_ifd=False):
    """Return the bytes of a classic little-endian TIFF holding data (row order,
    spp bytes per pixel) in strips of rps rows.

    dir_first       directory right after the header, strips after it (Pillow/tifffile
                    style); otherwise strips first, a fill byte if needed, then the
                    directory (libtiff style). Out-of-line values follow the directory.
    strip_type      SHORT or LONG for StripOffsets and StripByteCounts; two SHORTs or
                    one LONG fit in the entry itself and are then stored inline.
    extra           additional (tag, type, values) entries.
    first_values    tags whose out-of-line data goes before every other value block.
    reverse_strips  store the last strip first in the file.
    gap             bytes put between consecutive strips.
    strips/byte_counts/offsets override the computed strips and values.
    omit_ifd        leave the directory out of the file (for a dangling header offset).
    """
    row_bytes = width * spp
    if strips is None:
        strips = split_strips(data, row_bytes, height, rps)
    n = len(strips)
    counts = byte_counts if byte_counts is not None else [len(s) for s in strips]

    entries = {
        T_WIDTH: (dim_type, [width]),
        T_LENGTH: (dim_type, [height]),
        T_BPS: (SHORT, [8] * spp),
        T_COMPRESSION: (SHORT, [1]),
        T_PHOTOMETRIC: (SHORT, [2]),
        T_STRIPOFFSETS: (strip_type, [0] * n),  # filled in below
        T_SPP: (SHORT, [spp]),
        T_STRIPBYTECOUNTS: (strip_type, counts),
        T_PLANAR: (SHORT, [1]),
    }
    if write_rps:
        v = rps_value if rps_value is not None else (height if rps is None else rps)
        entries[T_RPS] = (LONG, [v])
    if spp == 4:
        entries[T_EXTRASAMPLES] = (SHORT, [2])
    for tag, typ, values in extra:
        entries[tag] = (typ, values)
    tags = sorted(entries)

    def size_of(tag):
        typ, values = entries[tag]
        return len(encode(typ, values))

    ifd_size = 2 + 12 * len(tags) + 4
    ool = [t for t in tags if size_of(t) > 4]
    ool.sort(key=lambda t: (0 if t in first_values else 1, t))

    positions = {}
    order = list(range(n))[::-1] if reverse_strips else list(range(n))

    def place_strips(pos):
        strip_pos = [0] * n
        for k, i in enumerate(order):
            if k:
                pos += len(gap)
            strip_pos[i] = pos
            pos += len(strips[i])
        return strip_pos, pos

    def place_values(pos):
        for t in ool:
            pos += pos & 1  # values start on a word boundary
            positions[t] = pos
            pos += size_of(t)
        return pos

    if dir_first:
        ifd_pos = 8
        pos = place_values(8 + ifd_size)
        strip_pos, end = place_strips(pos)
    else:
        strip_pos, pos = place_strips(8)
        pos += pos & 1  # the directory starts on a word boundary
        ifd_pos = pos
        end = place_values(pos + ifd_size)
    entries[T_STRIPOFFSETS] = (strip_type, offsets if offsets is not None else strip_pos)

    buf = bytearray(end)
    buf[0:8] = struct.pack("<2sHI", b"II", 42, ifd_pos)
    for k, i in enumerate(order):
        buf[strip_pos[i]:strip_pos[i] + len(strips[i])] = strips[i]
        if k + 1 < n and gap:
            p = strip_pos[i] + len(strips[i])
            buf[p:p + len(gap)] = gap
    ifd = bytearray(struct.pack("<H", len(tags)))
    for t in tags:
        typ, values = entries[t]
        raw = encode(typ, values)
        count = len(raw) // TYPE_SIZE[typ]
        if len(raw) <= 4:
            field = raw.ljust(4, b"\0")
        else:
            field = struct.pack("<I", positions[t])
            buf[positions[t]:positions[t] + len(raw)] = raw
        ifd += struct.pack("<HHI", t, typ, count) + field
    ifd += struct.pack("<I", 0)
    if not omit_ifd:
        buf[ifd_pos:ifd_pos + ifd_size] = ifd
    else:
        del buf[ifd_pos:]
    return bytes(buf)


def build_bigtiff(width, height, data):
    """A minimal genuine BigTIFF (magic 43): header, directory, one strip."""
    LONG8 = 16
    ents = [
        (T_WIDTH, LONG, struct.pack("<I", width)),
        (T_LENGTH, LONG, struct.pack("<I", height)),
        (T_BPS, SHORT, struct.pack("<3H", 8, 8, 8)),
        (T_COMPRESSION, SHORT, struct.pack("<H", 1)),
        (T_PHOTOMETRIC, SHORT, struct.pack("<H", 2)),
        (T_STRIPOFFSETS, LONG8, None),
        (T_SPP, SHORT, struct.pack("<H", 3)),
        (T_RPS, LONG, struct.pack("<I", height)),
        (T_STRIPBYTECOUNTS, LONG8, struct.pack("<Q", len(data))),
        (T_PLANAR, SHORT, struct.pack("<H", 1)),
    ]
    ifd_size = 8 + 20 * len(ents) + 8
    strip_pos = 16 + ifd_size
    out = bytearray(struct.pack("<2sHHHQ", b"II", 43, 8, 0, 16))
    out += struct.pack("<Q", len(ents))
    for tag, typ, raw in ents:
        if raw is None:
            raw = struct.pack("<Q", strip_pos)
        size = {SHORT: 2, LONG: 4, LONG8: 8}[typ]
        out += struct.pack("<HHQ", tag, typ, len(raw) // size) + raw.ljust(8, b"\0")
    out += struct.pack("<Q", 0)
    assert len(out) == strip_pos
    return bytes(out + data)


def write_ppm(path, w, h, data):
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h) + data)


# ---------------------------------------------------------------------------
# Which image goes into which fixture
# ---------------------------------------------------------------------------

# name -> (width, height, seed); the pixels/<name>.rgb file holds this content.
IMAGES = {
    "tiffcp_r1_odd": (37, 23, 1),
    "tiffcp_r1_tall": (5, 100, 25),
    "tiffcp_default": (101, 67, 2),
    "tifffile_contig": (45, 27, 3),
    "tifffile_rps": (40, 24, 4),
    "pillow": (33, 19, 5),
    "imagemagick": (29, 21, 6),
    "vips": (35, 13, 7),
    "bigendian_mm": (37, 23, 8),
    "hand_12_entries": (37, 23, 11),
    "hand_100_entries": (37, 23, 12),
    "hand_101_entries": (37, 23, 13),
    "hand_magic_2b": (37, 23, 14),
    "hand_dir_past_end": (37, 23, 15),
    "hand_short_arrays": (37, 23, 16),
    "hand_two_shorts_inline": (37, 23, 17),
    "hand_arrays_above_64k": (37, 23, 18),
    "hand_strips_out_of_order": (37, 23, 19),
    "hand_gap_between_strips": (37, 23, 20),
    "hand_32bit": (37, 23, 21),
    "hand_width10_last125": (10, 12, 22),
    "hand_no_rowsperstrip": (37, 23, 23),
    "hand_rps_huge": (37, 23, 24),
}

# Files the program is expected to decode to the image they were made from: only these
# get a pixels/<name>.rgb reference. The others are rejected or not decodable images.
WITH_PIXELS = [
    "tiffcp_r1_odd", "tiffcp_r1_tall", "tiffcp_default", "tifffile_contig", "tifffile_rps", "pillow",
    "imagemagick", "vips", "hand_12_entries", "hand_100_entries", "hand_101_entries",
    "hand_short_arrays", "hand_two_shorts_inline", "hand_arrays_above_64k",
    "hand_strips_out_of_order", "hand_gap_between_strips", "hand_width10_last125",
    "hand_no_rowsperstrip", "hand_rps_huge",
]

# Files made by external tools from the sources written by "sources".
EXTERNAL = ["tiffcp_r1_odd", "tiffcp_r1_tall", "tiffcp_default", "imagemagick", "vips", "bigendian_mm"]


def image(name):
    w, h, seed = IMAGES[name]
    return w, h, rgb_bytes(map_image(w, h, seed))


def padding_entries(first_tag, n):
    """n entries with private tags unknown to any reader: SHORT, one value, inline."""
    return [(first_tag + i, SHORT, [i]) for i in range(n)]


BASE_ENTRIES = 10  # entries build_tiff writes for an RGB image with RowsPerStrip


def hand_files():
    files = {}

    w, h, d = image("hand_12_entries")
    files["hand_12_entries"] = build_tiff(
        w, h, d, rps=8, dir_first=True,
        extra=[(T_XRES, RATIONAL, [(72, 1)]), (T_YRES, RATIONAL, [(72, 1)])])

    w, h, d = image("hand_100_entries")
    files["hand_100_entries"] = build_tiff(
        w, h, d, rps=8, extra=padding_entries(65000, 100 - BASE_ENTRIES))

    w, h, d = image("hand_101_entries")
    files["hand_101_entries"] = build_tiff(
        w, h, d, rps=8, extra=padding_entries(65000, 101 - BASE_ENTRIES))

    w, h, d = image("hand_magic_2b")
    files["hand_magic_2b"] = build_bigtiff(w, h, d)

    w, h, d = image("hand_dir_past_end")
    body = build_tiff(w, h, d, omit_ifd=True)
    files["hand_dir_past_end"] = body[:4] + struct.pack("<I", len(body) + 4096) + body[8:]

    w, h, d = image("hand_short_arrays")
    files["hand_short_arrays"] = build_tiff(w, h, d, rps=5, strip_type=SHORT, dir_first=True)

    w, h, d = image("hand_two_shorts_inline")
    files["hand_two_shorts_inline"] = build_tiff(w, h, d, rps=12, strip_type=SHORT)

    w, h, d = image("hand_arrays_above_64k")
    block = bytes((i * 7 + 3) & 255 for i in range(66000))
    files["hand_arrays_above_64k"] = build_tiff(
        w, h, d, rps=3, extra=[(65100, UNDEFINED, block)], first_values=[65100])

    w, h, d = image("hand_strips_out_of_order")
    files["hand_strips_out_of_order"] = build_tiff(w, h, d, rps=6, reverse_strips=True)

    w, h, d = image("hand_gap_between_strips")
    files["hand_gap_between_strips"] = build_tiff(w, h, d, rps=8, gap=b"\xee\xee\xee")

    # RGBA, 4 bytes per pixel: a strip of 4 rows is 592 bytes, not a whole number of
    # 3-byte pixels.
    w, h, d = image("hand_32bit")
    rgba = bytearray()
    for i in range(0, len(d), 3):
        rgba += d[i:i + 3] + b"\xff"
    files["hand_32bit"] = build_tiff(w, h, bytes(rgba), spp=4, rps=4)

    # 10 x 12, 4 rows per strip: strips of 120, 120 and 125 bytes; the last one is the
    # 120 bytes of rows 8..11 followed by 5 extra bytes.
    w, h, d = image("hand_width10_last125")
    strips = split_strips(d, 30, h, 4)
    strips[-1] = strips[-1] + b"\x11\x22\x33\x44\x55"
    files["hand_width10_last125"] = build_tiff(w, h, d, rps=4, strips=strips)

    w, h, d = image("hand_no_rowsperstrip")
    files["hand_no_rowsperstrip"] = build_tiff(w, h, d, write_rps=False)

    w, h, d = image("hand_rps_huge")
    files["hand_rps_huge"] = build_tiff(w, h, d, rps_value=0xFFFFFFFF)

    # ImageLength 0 and one strip of 0 bytes (its offset is 8, where data would start).
    files["hand_height0"] = build_tiff(37, 0, b"", rps=1, strips=[b""], offsets=[8])

    # ImageWidth 65541 as LONG, one row; the directory is complete but the 196623-byte
    # strip it points at is not in the file (it would make the file 190 KB).
    files["hand_long_width_65541"] = build_tiff(
        65541, 1, b"", rps=1, dir_first=True, strips=[b""], byte_counts=[65541 * 3])
    return files


# ---------------------------------------------------------------------------
# Commands
# ---------------------------------------------------------------------------

def cmd_sources(tmp):
    """Inputs for tiffcp (single-strip TIFF, so tiffcp picks its own RowsPerStrip),
    ImageMagick and vips (binary PPM)."""
    for name in ("tiffcp_r1_odd", "tiffcp_r1_tall", "tiffcp_default", "bigendian_mm"):
        w, h, d = image(name)
        with open(os.path.join(tmp, name + ".src.tif"), "wb") as f:
            f.write(build_tiff(w, h, d))
    for name in ("imagemagick", "vips"):
        w, h, d = image(name)
        write_ppm(os.path.join(tmp, name + ".src.ppm"), w, h, d)


def cmd_python(out):
    import numpy as np
    import tifffile
    from PIL import Image

    os.makedirs(os.path.join(out, "pixels"), exist_ok=True)

    def arr(name):
        w, h, d = image(name)
        return np.frombuffer(d, dtype=np.uint8).reshape(h, w, 3)

    tifffile.imwrite(os.path.join(out, "tifffile_contig.tif"), arr("tifffile_contig"),
                     photometric="rgb", compression=None, planarconfig="contig")
    tifffile.imwrite(os.path.join(out, "tifffile_rps.tif"), arr("tifffile_rps"),
                     photometric="rgb", compression=None, planarconfig="contig",
                     rowsperstrip=4)
    Image.fromarray(arr("pillow"), "RGB").save(os.path.join(out, "pillow.tif"),
                                               compression=None)

    for name, blob in hand_files().items():
        with open(os.path.join(out, name + ".tif"), "wb") as f:
            f.write(blob)

    for name in WITH_PIXELS:
        with open(os.path.join(out, "pixels", name + ".rgb"), "wb") as f:
            f.write(image(name)[2])


# --- checks -----------------------------------------------------------------

def read_dir(path):
    """Own minimal reader of the first directory of a classic TIFF (either byte order).
    Returns (file bytes, byte order, directory offset, entry count,
    {tag: (type, count, values, offset of out-of-line values or None)})."""
    with open(path, "rb") as f:
        b = f.read()
    bo = "<" if b[:2] == b"II" else ">"
    magic, off = struct.unpack(bo + "HI", b[2:8])
    assert magic == 42, path
    (n,) = struct.unpack(bo + "H", b[off:off + 2])
    ents = {}
    for i in range(n):
        tag, typ, count = struct.unpack(bo + "HHI", b[off + 2 + 12 * i:off + 10 + 12 * i])
        size = TYPE_SIZE.get(typ, 1) * count
        vpos = off + 10 + 12 * i
        where = None
        if size > 4:
            (where,) = struct.unpack(bo + "I", b[vpos:vpos + 4])
            vpos = where
        raw = b[vpos:vpos + size]
        if typ == SHORT:
            vals = list(struct.unpack(bo + "%dH" % count, raw))
        elif typ == LONG:
            vals = list(struct.unpack(bo + "%dI" % count, raw))
        else:
            vals = raw
        ents[tag] = (typ, count, vals, where)
    return b, bo, off, n, ents


def decode(path):
    """Pixels of a fixture via the fixture's own directory (not via a library)."""
    b, bo, off, n, e = read_dir(path)
    w, h = e[T_WIDTH][2][0], e[T_LENGTH][2][0]
    out = bytearray()
    for o, c in zip(e[T_STRIPOFFSETS][2], e[T_STRIPBYTECOUNTS][2]):
        out += b[o:o + c]
    return w, h, bytes(out[:w * h * 3])


def cmd_check(out):
    import numpy as np
    import tifffile
    from PIL import Image

    problems = []

    def expect(cond, msg):
        if not cond:
            problems.append(msg)

    for name in WITH_PIXELS:
        path = os.path.join(out, name + ".tif")
        ref = open(os.path.join(out, "pixels", name + ".rgb"), "rb").read()
        w, h, _ = IMAGES[name]
        expect(len(ref) == w * h * 3, name + ": pixel file size")
        # Two independent readers must agree with the reference.
        pw, ph, mine = decode(path)
        expect((pw, ph) == (w, h), name + ": dimensions %dx%d" % (pw, ph))
        expect(mine == ref, name + ": own strip reader differs from reference")
        a = tifffile.imread(path)
        expect(a.shape == (h, w, 3) and a.dtype == np.uint8 and a.tobytes() == ref,
               name + ": tifffile decode differs from reference")
        im = Image.open(path)
        expect(im.mode == "RGB" and im.tobytes() == ref, name + ": Pillow decode differs")

    # All writer fixtures: 8-bit chunky RGB, uncompressed.
    for name in WITH_PIXELS:
        _, bo, off, n, e = read_dir(os.path.join(out, name + ".tif"))
        expect(bo == "<", name + ": not little-endian")
        expect(e[T_COMPRESSION][2] == [1], name + ": compressed")
        expect(e[T_PHOTOMETRIC][2] == [2], name + ": not RGB")
        expect(e[T_SPP][2] == [3] and list(e[T_BPS][2]) == [8, 8, 8], name + ": not 24-bit")
        expect(T_PLANAR not in e or e[T_PLANAR][2] == [1], name + ": not chunky")

    def strips_end(e):
        return max(o + c for o, c in zip(e[T_STRIPOFFSETS][2], e[T_STRIPBYTECOUNTS][2]))

    b, bo, off, n, e = read_dir(os.path.join(out, "tiffcp_r1_odd.tif"))
    end = strips_end(e)
    expect(len(e[T_STRIPOFFSETS][2]) == 23 and e[T_RPS][2] == [1], "tiffcp_r1_odd: strips")
    expect(end % 2 == 1 and off == end + 1, "tiffcp_r1_odd: no fill byte before directory")

    _, _, off, n, e = read_dir(os.path.join(out, "tiffcp_default.tif"))
    c = e[T_STRIPBYTECOUNTS][2]
    expect(len(c) >= 3 and c[-1] < c[0], "tiffcp_default: want several strips, short last")

    for name in ("tifffile_contig", "pillow"):
        _, _, off, n, e = read_dir(os.path.join(out, name + ".tif"))
        expect(len(e[T_STRIPOFFSETS][2]) == 1, name + ": one strip")
    _, _, off, n, e = read_dir(os.path.join(out, "tifffile_rps.tif"))
    expect(e[T_RPS][2] == [4] and len(e[T_STRIPOFFSETS][2]) == 6, "tifffile_rps: strips")

    b, bo, off, n, e = read_dir(os.path.join(out, "bigendian_mm.tif"))
    expect(b[:4] == b"MM\0*", "bigendian_mm: header")

    def hand(name):
        return read_dir(os.path.join(out, name + ".tif"))

    expect(hand("hand_12_entries")[3] == 12, "hand_12_entries: count")
    expect(hand("hand_100_entries")[3] == 100, "hand_100_entries: count")
    expect(hand("hand_101_entries")[3] == 101, "hand_101_entries: count")
    raw = open(os.path.join(out, "hand_magic_2b.tif"), "rb").read()
    expect(raw[:4] == b"II\x2b\x00", "hand_magic_2b: header")
    raw = open(os.path.join(out, "hand_dir_past_end.tif"), "rb").read()
    expect(struct.unpack("<I", raw[4:8])[0] > len(raw), "hand_dir_past_end: offset")

    _, _, off, n, e = hand("hand_short_arrays")
    expect(e[T_STRIPOFFSETS][0] == SHORT and e[T_STRIPBYTECOUNTS][0] == SHORT
           and e[T_STRIPOFFSETS][3] is not None and e[T_STRIPBYTECOUNTS][3] is not None
           and e[T_STRIPOFFSETS][1] > 2, "hand_short_arrays: SHORT arrays out of line")
    _, _, off, n, e = hand("hand_two_shorts_inline")
    expect(e[T_STRIPOFFSETS][:2] == (SHORT, 2) and e[T_STRIPOFFSETS][3] is None
           and e[T_STRIPBYTECOUNTS][:2] == (SHORT, 2) and e[T_STRIPBYTECOUNTS][3] is None,
           "hand_two_shorts_inline: inline SHORT pairs")
    _, _, off, n, e = hand("hand_arrays_above_64k")
    expect(e[T_STRIPOFFSETS][3] >= 65536 and e[T_STRIPBYTECOUNTS][3] >= 65536,
           "hand_arrays_above_64k: arrays below 64K")
    _, _, off, n, e = hand("hand_strips_out_of_order")
    o = e[T_STRIPOFFSETS][2]
    expect(o == sorted(o, reverse=True), "hand_strips_out_of_order: order")
    _, _, off, n, e = hand("hand_gap_between_strips")
    o, c = e[T_STRIPOFFSETS][2], e[T_STRIPBYTECOUNTS][2]
    expect(all(o[i] + c[i] < o[i + 1] for i in range(len(o) - 1)), "hand_gap: no gap")
    _, _, off, n, e = hand("hand_32bit")
    expect(e[T_SPP][2] == [4] and e[T_STRIPBYTECOUNTS][2][0] % 3 != 0
           and len(e[T_STRIPOFFSETS][2]) > 1, "hand_32bit")
    _, _, off, n, e = hand("hand_width10_last125")
    expect(e[T_WIDTH][2] == [10] and e[T_RPS][2] == [4]
           and e[T_STRIPBYTECOUNTS][2][-1] == 125, "hand_width10_last125")
    _, _, off, n, e = hand("hand_no_rowsperstrip")
    expect(T_RPS not in e and len(e[T_STRIPOFFSETS][2]) == 1, "hand_no_rowsperstrip")
    _, _, off, n, e = hand("hand_rps_huge")
    expect(e[T_RPS][:3] == (LONG, 1, [0xFFFFFFFF]), "hand_rps_huge")
    _, _, off, n, e = hand("hand_height0")
    expect(e[T_LENGTH][2] == [0] and e[T_STRIPBYTECOUNTS][2] == [0], "hand_height0")
    _, _, off, n, e = hand("hand_long_width_65541")
    expect(e[T_WIDTH][:3] == (LONG, 1, [65541]), "hand_long_width_65541")

    for p in problems:
        print("FAIL:", p)
    if problems:
        sys.exit(1)
    print("all fixture checks passed")


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("sources", "python", "check"):
        sys.exit(__doc__)
    {"sources": cmd_sources, "python": cmd_python, "check": cmd_check}[sys.argv[1]](
        sys.argv[2])


if __name__ == "__main__":
    main()
