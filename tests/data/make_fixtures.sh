#!/bin/bash
# Regenerates every TIFF fixture in this folder, byte for byte the same on each run.
# Needs: libtiff-tools (tiffcp, tiffinfo), imagemagick, libvips-tools, and Debian's
# python3 with python3-pil, python3-tifffile, python3-numpy.
#   apt-get install libtiff-tools imagemagick libvips-tools python3-pil python3-tifffile python3-numpy
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
py="${PYTHON:-/usr/bin/python3}"       # Debian's interpreter has the modules above
convert="${CONVERT:-/usr/bin/convert}" # ImageMagick 6
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# Pixel sources for the external writers, then everything Python writes itself
# (pillow.tif, tifffile_*.tif, hand_*.tif, pixels/*.rgb).
"$py" "$here/make_fixtures.py" sources "$tmp"
"$py" "$here/make_fixtures.py" python "$here"

# libtiff: strips first, directory last (word aligned).
tiffcp -c none -r 1 "$tmp/tiffcp_r1_odd.src.tif" "$here/tiffcp_r1_odd.tif"
tiffcp -c none -r 1 "$tmp/tiffcp_r1_tall.src.tif" "$here/tiffcp_r1_tall.tif"
tiffcp -c none "$tmp/tiffcp_default.src.tif" "$here/tiffcp_default.tif"
tiffcp -c none -B "$tmp/bigendian_mm.src.tif" "$here/bigendian_mm.tif"

# ImageMagick: force 8-bit RGB without alpha, no profiles or dates.
"$convert" "$tmp/imagemagick.src.ppm" +set date:create +set date:modify -strip \
    -alpha off -type TrueColor -depth 8 -compress none -endian LSB \
    "tiff:$here/imagemagick.tif"

# libvips
vips copy "$tmp/vips.src.ppm" "$here/vips.tif[compression=none]"

# Every file that should be a readable image must pass libtiff's full read.
for f in "$here"/*.tif; do
    case "$(basename "$f")" in
        hand_dir_past_end.tif | hand_long_width_65541.tif | hand_height0.tif) continue ;;
    esac
    tiffinfo -D "$f" >"$tmp/tiffinfo.out" 2>&1 || {
        cat "$tmp/tiffinfo.out"
        echo "tiffinfo -D failed on $f" >&2
        exit 1
    }
    if grep -qi error "$tmp/tiffinfo.out"; then
        cat "$tmp/tiffinfo.out"
        echo "tiffinfo -D reported an error on $f" >&2
        exit 1
    fi
done

"$py" "$here/make_fixtures.py" check "$here"
