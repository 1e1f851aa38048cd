// Files of every kind the program does not read, made small by the writers users have from a
// fixture it reads: each is refused with the text recorded in data/cures, its cure is run as
// printed, and the program reads what the cure made, with the same picture and, where the
// file had it, the same georeferencing as GDAL reads it.

#include <algorithm>
#include <cstdlib>

#include "TestSupport.h"

using namespace testing_support;

namespace {

struct Kind {
    const char* name;
    std::string make;  // shell lines that make k.tif, from base.tif where it is made
    int tolerance;     // of each sample: 0, or 1 where values are scaled or from a palette
};

// The base picture, base.tif, made from rgb.tif (tifffile_rps.tif), and the kind from it.
const std::string kTranslate = "gdal_translate -q ";
const std::string kPlace = "-a_srs EPSG:26915 -a_ullr 500000 4000240 500400 4000000 ";
const std::string kRgb = "cp rgb.tif base.tif && ";
const std::string kGeo = kTranslate + kPlace + "rgb.tif base.tif && " + kTranslate;
const std::string kGreyBands = "-b 1 -b 1 -b 1 -co PHOTOMETRIC=RGB rgb.tif base.tif && ";
const std::string kGrey = kTranslate + kGreyBands;
const std::string kGeoGrey = kTranslate + kPlace + kGreyBands + kTranslate;
const std::string kBw =
    "/usr/bin/convert rgb.tif -colorspace Gray -threshold 50% -type TrueColor "
    "-compress none base.tif && ";
const std::string kMagick = "/usr/bin/convert base.tif ";
const std::string kPython =
    "/usr/bin/python3 -c \"import numpy as n, tifffile as t; from PIL import "
    "Image; a = t.imread('base.tif'); im = Image.open('base.tif'); ";
const std::string kWorldFile = " && printf '10\\n0\\n0\\n-10\\n500005\\n4000235\\n' >k.tfw";

const Kind kKinds[] = {
    {"tiffcp_lzw", kRgb + "tiffcp -c lzw base.tif k.tif", 0},
    {"vips_deflate", kRgb + "vips tiffsave base.tif k.tif --compression deflate", 0},
    {"gdal_lzma", kRgb + kTranslate + "-co COMPRESS=LZMA base.tif k.tif", 0},
    {"gdal_zstd", kRgb + kTranslate + "-co COMPRESS=ZSTD base.tif k.tif", 0},
    {"gdal_webp", kRgb + kTranslate + "-co COMPRESS=WEBP -co WEBP_LOSSLESS=YES base.tif k.tif", 0},
    {"tiffcp_tiled", kRgb + "tiffcp -t -w 16 -l 16 base.tif k.tif", 0},
    {"vips_tiled", kRgb + "vips tiffsave base.tif k.tif --tile --tile-width 16", 0},
    {"tiffcp_planar", kRgb + "tiffcp -p separate base.tif k.tif", 0},
    {"tiffcp_bigtiff_bigendian", kRgb + "tiffcp -8 -B base.tif k.tif", 0},
    {"gdal_bigtiff", kGeo + "-co BIGTIFF=YES base.tif k.tif", 0},
    {"gdal_bigendian_lzw", kGeo + "-co ENDIANNESS=BIG -co COMPRESS=LZW base.tif k.tif", 0},
    {"world_file_packbits", kRgb + "tiffcp -c packbits base.tif k.tif" + kWorldFile, 0},
    {"gdal_minisblack", kGeo + "-co PHOTOMETRIC=MINISBLACK base.tif k.tif", 0},
    {"tifffile_minisblack",
     kRgb + kPython + "t.imwrite('k.tif', a, photometric='minisblack', planarconfig='contig')\"",
     0},
    {"pillow_grey", kGrey + kPython + "im.convert('L').save('k.tif')\"", 0},
    {"magick_grey_world_file", kGrey + kMagick + "-colorspace Gray k.tif" + kWorldFile, 0},
    {"gdal_grey", kGeoGrey + "-b 1 base.tif k.tif", 0},
    {"pillow_bilevel_world_file", kBw + kPython + "im.convert('1').save('k.tif')\"" + kWorldFile,
     0},
    {"magick_bilevel", kBw + kMagick + "-monochrome -depth 1 k.tif", 0},
    {"pillow_palette", kRgb + kPython + "im.convert('P', palette=1).save('k.tif')\"", 1},
    {"magick_palette_world_file", kRgb + kMagick + "+dither -type palette k.tif" + kWorldFile, 1},
    {"gdal_palette",
     kRgb + kMagick + "+dither -type palette p.tif && " + kTranslate + kPlace + "p.tif k.tif", 1},
    {"pillow_rgba", kRgb + kPython + "im.convert('RGBA').save('k.tif')\"", 0},
    {"gdal_rgba", kGeo + "-b 1 -b 2 -b 3 -b 1 -co ALPHA=YES base.tif k.tif", 0},
    {"gdal_five_bands", kGeo + "-b 1 -b 2 -b 3 -b 1 -b 2 base.tif k.tif", 0},
    {"tifffile_five_bands",
     kRgb + kPython +
         "t.imwrite('k.tif', n.dstack([a, a[:, :, :2]]), photometric='rgb', "
         "extrasamples=[0, 0])\"",
     0},
    {"magick_cmyk_world_file", kRgb + kMagick + "-colorspace CMYK k.tif" + kWorldFile, 1},
    {"pillow_cmyk", kRgb + kPython + "im.convert('CMYK').save('k.tif')\"", 1},
    {"pillow_ycbcr_world_file", kRgb + kPython + "im.convert('YCbCr').save('k.tif')\"" + kWorldFile,
     2},
    {"magick_ycbcr", kRgb + kMagick + "-colorspace YCbCr -compress none k.tif", 2},
    {"magick_lab", kRgb + kMagick + "-colorspace Lab k.tif", 2},
    {"tifffile_int8", kRgb + kPython + "t.imwrite('k.tif', a.view('i1'), photometric='rgb')\"", 0},
    {"gdal_uint16", kGeo + "-ot UInt16 base.tif k.tif", 0},
    {"tifffile_uint16", kRgb + kPython + "t.imwrite('k.tif', a.astype('u2'), photometric='rgb')\"",
     0},
    {"gdal_int16", kGeo + "-ot Int16 base.tif k.tif", 0},
    {"gdal_int16_negative", kGeo + "-ot Int16 -scale 0 255 -128 127 base.tif k.tif", 1},
    {"tifffile_int32_planes_negative",
     kRgb + kPython +
         "t.imwrite('k.tif', n.moveaxis(a.astype('i4') - 100, 2, 0), photometric='rgb', "
         "planarconfig='separate', rowsperstrip=5)\"",
     1},
    {"pillow_int32_grey", kGrey + kPython + "im.convert('L').convert('I').save('k.tif')\"", 0},
    {"gdal_uint32", kGeo + "-ot UInt32 base.tif k.tif", 0},
    {"gdal_float32", kGeo + "-ot Float32 base.tif k.tif", 0},
    {"pillow_float32_grey", kGrey + kPython + "im.convert('L').convert('F').save('k.tif')\"", 0},
    {"gdal_float32_unit", kGeo + "-ot Float32 -scale 0 255 0 1 base.tif k.tif", 1},
    {"magick_float32_unit_deflate",
     kRgb + kMagick + "-define quantum:format=floating-point -depth 32 -compress zip k.tif", 1},
    {"vips_float32_unit", kRgb + "vips linear base.tif k.tif 0.00392156862745098 0", 1},
    {"tifffile_float64_unit_tiled",
     kRgb + kPython + "t.imwrite('k.tif', a / 255, photometric='rgb', tile=(16, 16))\"", 1},
    {"magick_uint16_full", kRgb + kMagick + "-depth 16 k.tif", 1},
    {"gdal_uint16_full", kGeo + "-ot UInt16 -scale 0 255 0 65535 base.tif k.tif", 1},
    {"vips_uint16_full", kRgb + "vips colourspace base.tif k.tif rgb16", 1},
    {"gdal_uint16_12_bits", kGeo + "-ot UInt16 -scale 0 255 0 4095 base.tif k.tif", 1},
    {"tifffile_uint16_12_bits_deflate",
     kRgb + kPython +
         "t.imwrite('k.tif', a.astype('u2') * 16, photometric='rgb', compression='zlib')\"",
     1},
    {"tifffile_float32_bigtiff_bigendian",
     kRgb + kPython +
         "t.imwrite('k.tif', a.astype('>f4'), photometric='rgb', bigtiff=True, tile=(16, "
         "16), byteorder='>')\"",
     0},
    {"gdal_uint16_bigtiff_bigendian",
     kGeo + "-ot UInt16 -co BIGTIFF=YES -co ENDIANNESS=BIG base.tif k.tif", 0},
    {"gdal_uint16_lzw", kGeo + "-ot UInt16 -co COMPRESS=LZW base.tif k.tif", 0},
    {"tiffcp_uint16_lzw",
     kRgb + kPython +
         "t.imwrite('u.tif', a.astype('u2'), photometric='rgb')\" && tiffcp -c lzw u.tif k.tif",
     0},
    {"gdal_float64_statistics_deflate",
     kGeo + "-ot Float64 -scale 0 255 0 1 -stats -co COMPRESS=DEFLATE base.tif k.tif", 1},
    {"tifffile_float64_sminsamplevalue_deflate",
     kRgb + kPython +
         "t.imwrite('k.tif', a / 255, photometric='rgb', compression='zlib', extratags=[(340, "
         "12, 3, (0.0,) * 3, True), (341, 12, 3, (1.0,) * 3, True)])\"",
     1},
};

bool run(const fs::path& folder, const std::string& line) {
    const std::string command = "cd '" + folder.string() + "' && (" + line + ") >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// The tool of a line that failed, where it is missing.
std::string missingTool(const std::string& line) {
    for (const char* tool : {"gdal_translate", "tiffcp", "vips", "/usr/bin/convert"}) {
        if (line.find(tool) != std::string::npos && !run(".", std::string("command -v ") + tool)) {
            return tool;
        }
    }
    const bool python = line.find("python3") == std::string::npos ||
                        run(".", "/usr/bin/python3 -c 'import numpy, tifffile, PIL'");
    return python ? "" : "/usr/bin/python3 with numpy, tifffile and PIL";
}

// Runs a line in folder; where it fails for want of a tool, the test is skipped.
#define RUN_OR_SKIP(folder, line)                   \
    if (!run(folder, line)) {                       \
        const std::string tool = missingTool(line); \
        if (!tool.empty()) {                        \
            GTEST_SKIP() << "needs " << tool;       \
        }                                           \
        FAIL() << (line);                           \
    }

// A JSON value, an object or an array, as gdalinfo -json prints it under key.
std::string jsonValue(const std::string& json, const std::string& key) {
    size_t at = json.find("\"" + key + "\"");
    at = at == std::string::npos ? at : json.find_first_of("[{", at);
    size_t end = at;
    for (int depth = 0; end < json.size() && (end == at || depth > 0); ++end) {
        depth += json[end] == '[' || json[end] == '{'   ? 1
                 : json[end] == ']' || json[end] == '}' ? -1
                                                        : 0;
    }
    return at == std::string::npos ? "" : json.substr(at, end - at);
}

std::string gdalInfo(const fs::path& folder, const std::string& name) {
    run(folder, "gdalinfo -json " + name + " >" + name + ".json");
    const Bytes json = readBytes(folder / (name + ".json"));
    return {json.begin(), json.end()};
}

void PrintTo(const Kind& kind, std::ostream* out) {
    *out << kind.name;
}

}  // namespace

class Cure : public testing::TestWithParam<Kind> {};

TEST_P(Cure, IsRefusedAndItsPastedCureGivesTheSamePictureAndPlace) {
    const Kind& kind = GetParam();
    const fs::path folder = scratch(kind.name);
    fs::copy_file(fixture("tifffile_rps.tif"), folder / "rgb.tif");
    RUN_OR_SKIP(folder, kind.make);
    std::string file = "k.tif";
    std::string refusals;
    for (FileRun read = runFile(folder / file, kNoFilter); read.status != 0;
         read = runFile(folder / file, kNoFilter)) {
        ASSERT_EQ(read.status, 1) << read.report;
        ASSERT_LT(std::count(refusals.begin(), refusals.end(), '\n'), 8)
            << "a second cure gave no file that the program reads";
        const size_t convert = read.report.find("\nConvert it first");
        refusals += read.report.substr(read.report.rfind('\n', convert - 1) + 1);
        std::string cure = refusals.substr(refusals.rfind("\n  ") + 3);
        cure = cure.substr(0, cure.find('\n'));
        cure = cure.starts_with("convert ") ? "/usr/bin/" + cure : cure;
        RUN_OR_SKIP(folder, cure);
        file = cure.substr(cure.rfind(' ') + 1);
    }
    EXPECT_NE(refusals, "");
    expectRecorded(refusals, fixture("cures") / (std::string(kind.name) + ".txt"));
    const Image base = decodeImage(readBytes(folder / "base.tif"));
    const Image cured = decodeImage(readBytes(folder / file));
    ASSERT_EQ(cured.pixels.size(), base.pixels.size());
    for (size_t i = 0; i < base.pixels.size(); ++i) {
        for (int shift : {16, 8, 0}) {
            const int difference = static_cast<int>(base.pixels[i] >> shift & 255) -
                                   static_cast<int>(cured.pixels[i] >> shift & 255);
            ASSERT_LE(std::abs(difference), kind.tolerance) << "pixel " << i;
        }
    }
    if (kind.make.find("-a_srs") != std::string::npos ||
        kind.make.find(".tfw") != std::string::npos) {
        const std::string source = gdalInfo(folder, "k.tif");
        const std::string result = gdalInfo(folder, file);
        EXPECT_NE(jsonValue(source, "geoTransform"), "");
        EXPECT_EQ(jsonValue(result, "geoTransform"), jsonValue(source, "geoTransform"));
        EXPECT_EQ(jsonValue(result, "coordinateSystem"), jsonValue(source, "coordinateSystem"));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, Cure, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<Kind>& row) { return row.param.name; });
