#!/usr/bin/python3
"""/usr/bin/python3 tests/data/make_fixtures.py [PROGRAM] makes every test file again, byte for byte
(writers: scripts/install-deps.sh tools fixtures); with PROGRAM, it checks the overviews it rebuilds."""
import os
import pathlib
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile

import numpy
import tifffile
from PIL import Image

DATA = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(DATA, "..", "malformed")
TMP = tempfile.mkdtemp()
SHORT, LONG, RATIONAL, UNDEFINED = 3, 4, 5, 7
SIZE = {SHORT: 2, LONG: 4, RATIONAL: 8, UNDEFINED: 1}


def pixels(name, w=37, h=23):
    return w, h, pathlib.Path(f"{DATA}/pixels/{name}.rgb").read_bytes()


def save(folder, name, data):
    pathlib.Path(folder, name).write_bytes(data)


def run(*command):
    subprocess.run(command, check=True)


def sh(*lines):
    """Runs command lines whose words may name {T}/ and {D}/, the scratch and data folders."""
    for line in lines:
        run(*(word.format(T=TMP, D=DATA) for word in line.split()))


def pack(typ, values):
    if typ == RATIONAL:
        return b"".join(struct.pack("<II", *v) for v in values)
    return bytes(values) if typ == UNDEFINED else struct.pack(
        "<%d%s" % (len(values), "H" if typ == SHORT else "I"), *values)


def tiff(w, h, data, rps=None, spp=3, first=False, strip_type=LONG, order=None, gap=b"",
         strips=None, counts=None, offsets=None, extra=None, early=(), rps_value=None):
    """A little-endian TIFF as libtiff lays it out (strips, a word-aligned directory, then
    its values) or, with first, as Pillow does (directory, values, strips)."""
    rows = h if rps is None or rps >= h else rps
    strips = strips or [data[r * w * spp:(r + rows) * w * spp] for r in range(0, h, rows)]
    n = len(strips)
    e = {256: (LONG, [w]), 257: (LONG, [h]), 258: (SHORT, [8] * spp), 259: (SHORT, [1]),
         262: (SHORT, [2]), 273: (strip_type, [0] * n), 277: (SHORT, [spp]),
         278: (LONG, [rps_value or (h if rps is None else rps)]),
         279: (strip_type, counts or [len(s) for s in strips]), 284: (SHORT, [1])}
    if spp == 4:
        e[338] = (SHORT, [2])
    e = {t: v for t, v in {**e, **(extra or {})}.items() if v}
    tags = sorted(e)
    spilled = sorted((t for t in tags if len(pack(*e[t])) > 4), key=lambda t: (t not in early, t))
    ifd_size, order, at, where = 2 + 12 * len(tags) + 4, order or list(range(n)), [0] * n, {}

    def place_strips(pos):
        for k, i in enumerate(order):
            at[i], pos = pos + len(gap) * (k > 0), pos + len(gap) * (k > 0) + len(strips[i])
        return pos

    def place_values(pos):
        for t in spilled:
            where[t], pos = pos + (pos & 1), pos + (pos & 1) + len(pack(*e[t]))
        return pos

    if first:
        ifd, end = 8, place_strips(place_values(8 + ifd_size))
    else:
        ifd = place_strips(8)
        ifd += ifd & 1
        end = place_values(ifd + ifd_size)
    e[273] = (strip_type, offsets or at)
    out = bytearray(end)
    out[:8] = struct.pack("<2sHI", b"II", 42, ifd)
    for k, i in enumerate(order):
        between = gap if k + 1 < n else b""
        out[at[i]:at[i] + len(strips[i]) + len(between)] = strips[i] + between
    directory = struct.pack("<H", len(tags))
    for t in tags:
        raw = pack(*e[t])
        if len(raw) > 4:
            out[where[t]:where[t] + len(raw)] = raw
        field = struct.pack("<I", where[t]) if len(raw) > 4 else raw.ljust(4, b"\0")
        directory += struct.pack("<HHI", t, e[t][0], len(raw) // SIZE[e[t][0]]) + field
    out[ifd:ifd + ifd_size] = directory + bytes(4)
    return bytes(out[:end])


def writer_fixtures():
    for name, w, h, options in [("tiffcp_r1_odd", 37, 23, ["-r", "1"]),
                                ("tiffcp_r1_tall", 5, 100, ["-r", "1"]),
                                ("tiffcp_default", 101, 67, []), ("bigendian_mm", 37, 23, ["-B"])]:
        Image.frombytes("RGB", (w, h), pixels(name, w, h)[2]).save(f"{TMP}/{name}.tif")
        run("tiffcp", "-c", "none", *options, f"{TMP}/{name}.tif", f"{DATA}/{name}.tif")
    save(TMP, "vips.ppm", b"P6\n35 13\n255\n" + pixels("vips", 35, 13)[2])
    sh("/usr/bin/convert -size 29x21 -depth 8 rgb:{D}/pixels/imagemagick.rgb -compress none -endian "
       "LSB {D}/imagemagick.tif", "vips copy {T}/vips.ppm {D}/vips.tif[compression=none]")
    for name, w, h, options in [("tifffile_contig", 45, 27, {}), ("tifffile_rps", 40, 24, {"rowsperstrip": 4})]:
        image = numpy.frombuffer(pixels(name, w, h)[2], numpy.uint8).reshape(h, w, 3)
        tifffile.imwrite(f"{DATA}/{name}.tif", image, photometric="rgb", compression=None,
                         planarconfig="contig", **options)
    Image.frombytes("RGB", (33, 19), pixels("pillow", 33, 19)[2]).save(f"{DATA}/pillow.tif")


def hand_fixtures():
    unknown = {65000 + i: (SHORT, [i]) for i in range(91)}
    w, h, d = pixels("hand_width10_last125", 10, 12)
    last125 = [d[0:120], d[120:240], d[240:360] + bytes([0x11, 0x22, 0x33, 0x44, 0x55])]
    rgba = b"".join(pixels("hand_32bit")[2][i:i + 3] + b"\xff" for i in range(0, 37 * 23 * 3, 3))
    past_end = tiff(*pixels("hand_dir_past_end"))[:2562]
    files = {
        "hand_12_entries": tiff(*pixels("hand_12_entries"), rps=8, first=True,
                                extra={282: (RATIONAL, [(72, 1)]), 283: (RATIONAL, [(72, 1)])}),
        "hand_100_entries": tiff(*pixels("hand_100_entries"), rps=8,
                                 extra={t: unknown[t] for t in range(65000, 65090)}),
        "hand_101_entries": tiff(*pixels("hand_101_entries"), rps=8, extra=unknown),
        "hand_dir_past_end": past_end[:4] + struct.pack("<I", 6658) + past_end[8:],
        "hand_short_arrays": tiff(*pixels("hand_short_arrays"), rps=5, strip_type=SHORT, first=True),
        "hand_two_shorts_inline": tiff(*pixels("hand_two_shorts_inline"), rps=12, strip_type=SHORT),
        "hand_arrays_above_64k": tiff(*pixels("hand_arrays_above_64k"), rps=3, early=[65100],
            extra={65100: (UNDEFINED, [(i * 7 + 3) & 255 for i in range(66000)])}),
        "hand_strips_out_of_order": tiff(*pixels("hand_strips_out_of_order"), rps=6, order=[3, 2, 1, 0]),
        "hand_gap_between_strips": tiff(*pixels("hand_gap_between_strips"), rps=8, gap=b"\xee" * 3),
        "hand_32bit": tiff(37, 23, rgba, spp=4, rps=4),
        "hand_width10_last125": tiff(w, h, d, rps=4, strips=last125),
        "hand_no_rowsperstrip": tiff(*pixels("hand_no_rowsperstrip"), extra={278: None}),
        "hand_rps_huge": tiff(*pixels("hand_rps_huge"), rps_value=0xFFFFFFFF),
        "hand_height0": tiff(37, 0, b"", rps=1, strips=[b""], offsets=[8]),
        "hand_long_width_65541": tiff(65541, 1, b"", rps=1, first=True, strips=[b""], counts=[65541 * 3]),
    }
    pillow = pathlib.Path(f"{DATA}/pillow.tif").read_bytes()  # its directory moved to 64 KiB
    files["hand_directory_at_64k"] = (pillow[:4] + struct.pack("<I", 65536) + pillow[8:]).ljust(
        65536, b"\0") + pillow[8:8 + 2 + 12 * 10 + 4]
    for name, data in files.items():
        save(DATA, name + ".tif", data)


BASE = {256: (LONG, 1, 4), 257: (LONG, 1, 3), 258: (SHORT, 3, None), 259: (SHORT, 1, 1),
        262: (SHORT, 1, 2), 273: (LONG, 3, None), 277: (SHORT, 1, 3), 278: (LONG, 1, 1),
        279: (LONG, 3, None), 284: (SHORT, 1, 1)}


def corpus_file(changes=None, strip_bytes=12, strips=3):
    """4 x 3 pixels of map colours in one-row strips: the directory, then BitsPerSample, the
    offsets and the byte counts at places fixed whatever the entries say, then the strips.
    changes replaces entries of BASE (type, count, value), or drops those given None."""
    entries = {t: e for t, e in {**BASE, **(changes or {})}.items() if e}
    bits = 8 + 2 + 12 * len(entries) + 4
    spilled = {258: bits, 273: bits + 6, 279: bits + 6 + 4 * strips}
    first = bits + 6 + 8 * strips
    out = struct.pack("<2sHIH", b"II", 42, 8, len(entries))
    for tag, (typ, count, value) in entries.items():
        value = spilled[tag] if value is None else value
        inline = typ == SHORT and count <= 2
        out += struct.pack("<HHI", tag, typ, count)
        out += struct.pack("<HH", value, 0) if inline else struct.pack("<I", value)
    out += bytes(4) + struct.pack("<3H", 8, 8, 8)
    out += b"".join(struct.pack("<I", first + s * strip_bytes) for s in range(strips))
    out += struct.pack("<I", strip_bytes) * strips
    colours = [b"\xff\xff\xff", b"\xc9\xea\x9d", b"\xc9\x6a\x2d", b"\x8a\x40\x30"]
    return out + b"".join(colours[i % 4] for i in range(strips * strip_bytes // 3))


def corpus():
    whole = corpus_file()
    size, offsets = len(whole), 8 + 2 + 12 * 10 + 4 + 6

    def strip_at(s, position):
        return whole[:offsets + 4 * s] + struct.pack("<I", position) + whole[offsets + 4 * s + 4:]

    files = {
        "empty": b"", "shorter_than_a_header": b"II*",
        "wide_samples_in_5000_strips_backwards": tiff(1, 5000, b"", rps=1, order=list(range(4999, -1, -1)),
                                                      strips=[struct.pack("<3H", 0, 300, 0)] * 5000, extra={258: (SHORT, [16] * 3)}),
        "not_little_endian": b"MM\x00*\x00\x00\x00\x08",
        "not_a_tiff": b"\x89PNG\r\n\x1a\n" + whole[8:],
        "byte_order_marks_disagree": b"IM" + whole[2:],
        "truncated_header": whole[:6],
        "directory_past_end": whole[:4] + struct.pack("<I", 1000) + whole[8:],
        "truncated_directory": whole[:80],
        "no_strip_offsets": corpus_file({273: None}),
        "width_zero": corpus_file({256: (LONG, 1, 0)}),
        "image_larger_than_memory": corpus_file({256: (LONG, 1, 0x7FFFFFFF)}),
        "image_far_larger_than_file": corpus_file({257: (LONG, 1, 2000000)}),
        "wide_image_without_rows": corpus_file({256: (LONG, 1, 100000000), 257: (LONG, 1, 0)}),
        "rowsperstrip_zero": corpus_file({278: (LONG, 1, 0)}),
        "no_strips": corpus_file({273: (LONG, 0, 0)}),
        "fewer_byte_counts": corpus_file({279: (LONG, 2, None)}),
        "strip_counts_rational": corpus_file({279: (RATIONAL, 3, None)}),
        "strip_offsets_array_past_end": corpus_file({273: (LONG, 3, size - 4)}),
        "strip_past_end": strip_at(2, size - 10),
        "overlapping_strips": strip_at(1, struct.unpack_from("<I", whole, offsets)[0] + 6),
        "strip_rows_beyond_length": corpus_file({257: (LONG, 1, 2)}),
        "not_24_bit": corpus_file(strip_bytes=16),
        "empty_directory": corpus_file({t: None for t in BASE}),
        "no_image_width": corpus_file({256: None}),
        "no_image_length": corpus_file({257: None}),
        "no_strip_byte_counts": corpus_file({279: None}),
        "tag_twice": whole[:8 + 2 + 12 * 3] + struct.pack("<H", 256) + whole[8 + 2 + 12 * 3 + 2:],
        "wrong_strip_count": corpus_file({273: (LONG, 2, None)}),
        "bits_per_sample_past_end": corpus_file({258: (SHORT, 3, size - 4)}),
        "strip_offset_near_4_gib": strip_at(2, 0xFFFFFFFF),
        "strip_offsets_array_near_4_gib": corpus_file({273: (LONG, 3, 0xFFFFFFF0)}),
        "strip_counts_of_2_31_entries": corpus_file({279: (LONG, 0x80000000, None)}),
        "dimensions_of_2_31_each": corpus_file({256: (LONG, 1, 1 << 31), 257: (LONG, 1, 1 << 31)}),
        "dimensions_of_4_gib_less_1_each": corpus_file({256: (LONG, 1, 2**32 - 1), 257: (LONG, 1, 2**32 - 1)}),
        "strip_over_header": strip_at(0, 0), "strip_over_directory": strip_at(0, 8), "strip_over_its_offsets": strip_at(1, offsets),
        "strip_over_second_directory": whole[:130] + struct.pack("<I", size - 12) + whole[134:-12] + bytes(12),  # of no entries
    }
    for name, data in files.items():
        save(CORPUS, name + ".tif", data)


def refused_kinds():
    """Files of the kinds the program refuses or whose overviews it rebuilds, by real writers."""
    save(TMP, "rgb.rgb", pixels("tifffile_rps", 40, 24)[2])
    sh("/usr/bin/convert -size 40x24 -depth 8 rgb:{T}/rgb.rgb {T}/rgb.tif")
    image = Image.open(f"{TMP}/rgb.tif")
    for mode, name in [("L", "grey"), ("P", "palette"), ("1", "bilevel"), ("RGBA", "rgba")]:
        image.convert(mode).save(f"{DATA}/pillow_{name}.tif")
    for options, name in [("-colorspace Gray", "grey"), ("-type palette", "palette"),
                          ("-colorspace CMYK", "cmyk"), ("-depth 16", "16bit")]:
        sh(f"/usr/bin/convert {{T}}/rgb.tif {options} {{D}}/imagemagick_{name}.tif")
    for options, name in [("-c lzw", "lzw"), ("-c zip", "deflate"), ("-c packbits", "packbits"),
                          ("-c jpeg", "jpeg"), ("-t -w 16 -l 16", "tiled"), ("-p separate", "planar"),
                          ("-8", "bigtiff"), ("-8 -B -c lzw -t", "8_B_lzw_t")]:
        sh(f"tiffcp {options} {{T}}/rgb.tif {{D}}/tiffcp_{name}.tif")
    for name, typ, options in [("ycbcr", numpy.uint8, {"photometric": "ycbcr", "subsampling": (1, 1)}),
                               ("int8", numpy.int8, {"photometric": "rgb"})]:
        tifffile.imwrite(f"{DATA}/tifffile_{name}.tif", numpy.asarray(image).view(typ), compression=None, **options)
    geo = "gdal_translate -q -a_srs EPSG:26915 -a_ullr 0 24 40 0 {T}/rgb.tif {D}/gdal_"
    for name, options in [("nearest", "2 4 -r nearest"), ("average", "2 -r average"), ("odd", "3 2"),  # odd: 37 x 23
                          ("deflate", "2 4 8 --config COMPRESS_OVERVIEW DEFLATE"), ("external", "2 5 -ro --config BIGTIFF_OVERVIEW YES")]:
        sh(geo + f"overviews_{name}.tif" + " -srcwin 0 0 37 23" * (name == "odd"),
           f"gdaladdo -q --config GDAL_TIFF_OVR_BLOCKSIZE 64 {{D}}/gdal_overviews_{name}.tif {options}")
    sh("tiffcp -s {D}/gdal_overviews_odd.tif {D}/tiffcp_overviews_odd.tif", "tiffcp {T}/rgb.tif {D}/pillow.tif {D}/tiffcp_two_images.tif",
       "mv {D}/gdal_overviews_external.tif.ovr {D}/gdal_overviews_external.ovr", geo + "bigtiff.tif -co BIGTIFF=YES",
       geo + "georeferenced_lzw.tif -co COMPRESS=LZW", geo + "minisblack.tif -co PHOTOMETRIC=MINISBLACK",
       geo + "bigendian.tif -co ENDIANNESS=BIG", "vips tiffsave {T}/rgb.tif {D}/vips_pyramid.tif --tile --pyramid --tile-width 16 --tile-height 16",
       "tiffcp -s {D}/vips_pyramid.tif {D}/vips_pyramid_cured.tif")


def report(program, path, typed="7\nx\n"):
    out = f"{TMP}/{len(os.listdir(TMP))}.out"
    return out, subprocess.run([program], input=f"{typed}\n{path}\n{out}\n".encode(), capture_output=True).stdout.decode()


def georeferenced(path):
    return "Origin" in subprocess.run(["gdalinfo", path], capture_output=True, text=True).stdout


def check_overviews(program):
    """Option 4: the pages that gdaladdo -r nearest makes from each output are recorded in
    filtered/, which the tests compare with the output; where the program prints a command, it runs."""
    for name, levels in [("gdal_overviews_nearest", "2 4"), ("gdal_overviews_average", "2"), ("gdal_overviews_odd", "2 3"),
                         ("tiffcp_overviews_odd", "2 3"), ("vips_pyramid_cured", "2 4"), ("gdal_overviews_deflate", "")]:
        out, text = report(program, f"{DATA}/{name}.tif", "4\n")
        cure = [shlex.split(line) for line in text.splitlines() if line.startswith("  gdaladdo")]
        run(*cure[0]) if cure else run("gdaladdo", "-q", "-r", "nearest", shutil.copy(out, f"{DATA}/filtered/{name}.tif"), *levels.split())
        assert name.startswith(("vips", "tiffcp")) or georeferenced(out), f"{name}: georeferencing lost"


if __name__ == "__main__":
    for make in (writer_fixtures, hand_fixtures, corpus, refused_kinds):
        make()
    if len(sys.argv) > 1:
        check_overviews(sys.argv[1])
