// Every kind of file the program does not read, made by a real writer from a fixture: each is
// refused as recorded in data/cures, its cure is run as printed, and the program reads what it
// makes, with the same picture and, where the file had it, the same georeferencing.

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include <unistd.h>

#include "TestSupport.h"
#include "advice/Conversion.h"
#include "advice/Warnings.h"
#include "platform/Platform.h"

using namespace testing_support;

namespace {

// A kind's name, the shell lines that make it (k.tif) and the picture it holds (base.tif), and
// the difference allowed in each sample: 0, or more where values are scaled or converted.
using Kind = std::tuple<const char*, std::string, int>;

// The base picture, base.tif, is made from rgb.tif (tifffile_rps.tif), and the kind from it.
const std::string kPlace = "-a_srs EPSG:26915 -a_ullr 500000 4000240 500400 4000000 ";
const std::string kGreyBands = "-b 1 -b 1 -b 1 -co PHOTOMETRIC=RGB ";
const std::string kRgb = "cp rgb.tif base.tif && ";
const std::string kGrey = "gdal_translate " + kGreyBands + "rgb.tif base.tif && ";
const std::string kBw =
    "/usr/bin/convert rgb.tif -colorspace Gray -threshold 50% -type TrueColor base.tif && ";
const std::string kWorld = " && printf '10\\n0\\n0\\n-10\\n500005\\n4000235\\n' >k.tfw";
const std::string kOverviews = " && gdaladdo -r nearest k.tif 2 4";
const std::string kPalette = "+dither -type palette p.tif && gdal_translate ";

std::string geo(const std::string& options, const std::string& base = "") {
    return "gdal_translate " + kPlace + base + "rgb.tif base.tif && gdal_translate " + options +
           " base.tif k.tif";
}
std::string magick(const std::string& options, const std::string& base = kRgb) {
    return base + "/usr/bin/convert base.tif " + options + " k.tif";
}
std::string pillow(const std::string& conversion, const std::string& base = kRgb) {
    return base + "/usr/bin/python3 -c \"from PIL import Image; Image.open('base.tif').convert(" +
           conversion + ").save('k.tif')\"";
}
std::string tifffile(const std::string& array, const std::string& options = "",
                     const std::string& photometric = "'rgb'") {
    return kRgb + "/usr/bin/python3 -c \"import tifffile as t; a = t.imread('base.tif'); " +
           "t.imwrite('k.tif', " + array + ", photometric=" + photometric + options + ")\"";
}

const Kind kKinds[] = {
    {"tiffcp_lzw", kRgb + "tiffcp -c lzw base.tif k.tif", 0},
    {"tiffcp_lzw_name_taken", kRgb + "tiffcp -c lzw base.tif k.tif && cp k.tif k-rgb.tif", 0},
    {"vips_deflate", kRgb + "vips tiffsave base.tif k.tif --compression deflate", 0},
    {"gdal_lzma", kRgb + "gdal_translate -co COMPRESS=LZMA base.tif k.tif", 0},
    {"gdal_zstd", kRgb + "gdal_translate -co COMPRESS=ZSTD base.tif k.tif", 0},
    {"gdal_webp", kRgb + "gdal_translate -co COMPRESS=WEBP -co WEBP_LOSSLESS=1 base.tif k.tif", 0},
    {"tiffcp_tiled", kRgb + "tiffcp -t -w 16 -l 16 base.tif k.tif", 0},
    {"vips_tiled", kRgb + "vips tiffsave base.tif k.tif --tile --tile-width 16", 0},
    {"tiffcp_planar", kRgb + "tiffcp -p separate base.tif k.tif", 0},
    {"tiffcp_planar_overviews", kRgb + "tiffcp -p separate base.tif k.tif" + kOverviews, 0},
    {"tiffcp_bigtiff_bigendian", kRgb + "tiffcp -8 -B base.tif k.tif", 0},
    {"gdal_bigtiff", geo("-co BIGTIFF=YES"), 0},
    {"gdal_bigendian_lzw", geo("-co ENDIANNESS=BIG -co COMPRESS=LZW"), 0},
    {"world_file_packbits", kRgb + "tiffcp -c packbits base.tif k.tif" + kWorld, 0},
    {"gdal_minisblack", geo("-co PHOTOMETRIC=MINISBLACK"), 0},
    {"tifffile_minisblack", tifffile("a", ", planarconfig=1", "1"), 0},
    {"pillow_grey", pillow("'L'", kGrey), 0},
    {"magick_grey_world_file", magick("-colorspace Gray", kGrey) + kWorld, 0},
    {"gdal_grey", geo("-b 1", kGreyBands), 0},
    {"pillow_bilevel_world_file", pillow("'1'", kBw) + kWorld, 0},
    {"magick_bilevel", magick("-monochrome -depth 1", kBw), 0},
    {"pillow_palette", pillow("'P', palette=1"), 1},
    {"magick_palette_world_file", magick("+dither -type palette") + kWorld, 1},
    {"gdal_palette", magick(kPalette + kPlace + "p.tif"), 1},
    {"gdal_palette_overviews", magick(kPalette + kPlace + "p.tif") + kOverviews, 1},
    {"gdal_palette_16_bits", magick(kPalette + "-ot UInt16 " + kPlace + "p.tif"), 1},
    {"pillow_palette_overviews", pillow("'P', palette=1") + kOverviews, 1},
    {"pillow_rgba", pillow("'RGBA'"), 0},
    {"gdal_rgba", geo("-b 1 -b 2 -b 3 -b 1 -co ALPHA=YES"), 0},
    {"gdal_five_bands", geo("-b 1 -b 2 -b 3 -b 1 -b 2"), 0},
    {"tifffile_five_bands", tifffile("a[:, :, [0, 1, 2, 0, 1]]", ", extrasamples=[0, 0]"), 0},
    {"magick_cmyk_world_file", magick("-colorspace CMYK") + kWorld, 1},
    {"pillow_cmyk", pillow("'CMYK'"), 1},
    {"pillow_ycbcr_world_file", pillow("'YCbCr'") + kWorld, 2},
    {"magick_ycbcr", magick("-colorspace YCbCr -compress none"), 2},
    {"magick_lab", magick("-colorspace Lab"), 2},
    {"tifffile_int8", tifffile("a.view('i1')"), 0},
    {"gdal_uint16", geo("-ot UInt16"), 0},
    {"tifffile_uint16", tifffile("a.astype('u2')"), 0},
    {"gdal_int16", geo("-ot Int16"), 0},
    {"gdal_int16_negative", geo("-ot Int16 -scale 0 255 -128 127"), 1},
    {"tifffile_int32_planes_negative",
     tifffile("a.transpose(2, 0, 1).astype('i4') - 100", ", planarconfig=2, rowsperstrip=5"), 1},
    {"pillow_int32_grey", pillow("'I'", kGrey), 0},
    {"gdal_uint32", geo("-ot UInt32"), 0},
    {"gdal_float32", geo("-ot Float32"), 0},
    {"pillow_float32_grey", pillow("'F'", kGrey), 0},
    {"gdal_float32_unit", geo("-ot Float32 -scale 0 255 0 1"), 1},
    {"magick_float32_unit_deflate",
     magick("-define quantum:format=floating-point -depth 32 -compress zip"), 1},
    {"vips_float32_unit", kRgb + "vips linear base.tif k.tif 0.00392156862745098 0", 1},
    {"tifffile_float64_1_to_2_tiled", tifffile("a / 255 + 1", ", tile=(16, 16)"), 1},
    {"magick_uint16_full", magick("-depth 16"), 1},
    {"gdal_uint16_full", geo("-ot UInt16 -scale 0 255 0 65535"), 1},
    {"gdal_uint16_12_bits", geo("-ot UInt16 -scale 0 255 0 4095"), 1},
    {"tifffile_uint16_12_bits_deflate", tifffile("a.astype('u2') * 16", ", compression=8"), 1},
    {"tifffile_float32_bigtiff_bigendian",
     tifffile("a.astype('>f4')", ", bigtiff=True, tile=(16, 16), byteorder='>'"), 0},
    {"gdal_uint16_bigtiff_bigendian", geo("-ot UInt16 -co BIGTIFF=YES -co ENDIANNESS=BIG"), 0},
    {"gdal_uint16_lzw", geo("-ot UInt16 -co COMPRESS=LZW"), 0},
    {"gdal_float64_stats_lzw", geo("-ot Float64 -scale 0 255 0 1 -stats -co COMPRESS=LZW"), 1},
    {"tifffile_smin_smax_deflate",
     tifffile("a / 255",
              ", compression=8, extratags=[(340, 12, 3, [0] * 3), (341, 12, 3, [1] * 3)]"),
     1},
};

bool run(const fs::path& folder, const std::string& line) {
    const std::string command = "cd '" + folder.string() + "' && (" + line + ") >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// What the writers, the cures and gdalinfo leave in a row's folder follows from the lines
// run there so far, so it is kept in the build folder under them: a second run of the suite
// (each mutant's, say) runs only the program. A folder is kept whole or not at all.
bool runKept(const fs::path& folder, std::string& linesSoFar, const std::string& line) {
    linesSoFar += line + '\n';
    const fs::path kept =
        fs::path(VELSTRAM_WRITERS_KEPT) / std::to_string(std::hash<std::string>{}(linesSoFar));
    constexpr auto kOver = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    if (fs::exists(kept)) {
        fs::copy(kept, folder, kOver);
        return true;
    }
    if (!run(folder, line)) {
        return false;
    }
    const fs::path taking = kept.string() + "." + std::to_string(getpid());
    fs::create_directories(taking);
    fs::copy(folder, taking, kOver);
    std::error_code takenMeanwhile;
    fs::rename(taking, kept, takenMeanwhile);
    fs::remove_all(taking, takenMeanwhile);
    return true;
}

// A tool that the line runs and this machine lacks.
std::string missingTool(const std::string& line) {
    for (const char* tool :
         {"gdal_translate", "tiffcp", "vips", "/usr/bin/convert", "/usr/bin/python3"}) {
        if (line.find(tool) != std::string::npos && !run(".", std::string("command -v ") + tool)) {
            return tool;
        }
    }
    return "";
}

// Where gdalinfo -json places the image: its coordinate system, if any, and geotransform; and
// the sizes of its first band's overviews, if any.
std::pair<std::string, std::string> place(const fs::path& folder, std::string& linesSoFar,
                                          const std::string& name) {
    runKept(folder, linesSoFar, "gdalinfo -json " + name + " >place.json");
    const Bytes bytes = readBytes(folder / "place.json");
    const std::string json(bytes.begin(), bytes.end());
    const size_t transform = json.find("\"geoTransform\"");
    const size_t start = std::min(json.find("\"coordinateSystem\""), transform);
    const size_t overviews = std::min(json.find("\"overviews\":[\n        {"), json.size());
    return {
        transform == std::string::npos ? "" : json.substr(start, json.find(']', transform) - start),
        json.substr(overviews, json.find("\n      ]", overviews) - overviews)};
}

}  // namespace

class Cure : public testing::TestWithParam<Kind> {};

TEST_P(Cure, IsRefusedAndItsPastedCureGivesTheSamePictureAndPlace) {
    const auto& [name, make, tolerance] = GetParam();
    const fs::path folder = scratch(name);
    fs::copy_file(fixture("tifffile_rps.tif"), folder / "rgb.tif");
    if (const std::string tool = missingTool(make); !tool.empty()) {
        GTEST_SKIP() << "needs " << tool;
    }
    const Bytes rgb = readBytes(folder / "rgb.tif");
    std::string linesSoFar = std::to_string(std::hash<std::string>{}({rgb.begin(), rgb.end()}));
    ASSERT_TRUE(runKept(folder, linesSoFar, make)) << make;
    std::string file = "k.tif";
    std::string refusals;
    for (FileRun read = runFile(folder / file, kNoFilter); read.status != 0;
         read = runFile(folder / file, kNoFilter)) {
        ASSERT_EQ(read.status, 1) << read.report;
        ASSERT_LT(refusals.size(), 600U) << "a second cure gave no file that the program reads";
        const size_t convert = read.report.find("\nConvert it first");
        ASSERT_NE(convert, std::string::npos) << read.report;
        refusals += read.report.substr(read.report.rfind('\n', convert - 1) + 1);
        std::string cure = refusals.substr(refusals.rfind("\n  ") + 3);
        cure = cure.substr(0, cure.find('\n'));
        cure = cure.starts_with("convert ") ? "/usr/bin/" + cure : cure;
        if (const std::string tool = missingTool(cure); !tool.empty()) {
            GTEST_SKIP() << "the cure needs " << tool;
        }
        ASSERT_TRUE(runKept(folder, linesSoFar, cure)) << cure;
        const std::string conversion = cure.substr(0, cure.find(" && "));
        file = conversion.substr(conversion.rfind(' ') + 1);
    }
    EXPECT_NE(refusals, "");
    expectRecorded(refusals, fixture("cures") / (std::string(name) + ".txt"));
    const Image base = decodeImage(readBytes(folder / "base.tif"));
    const Image cured = decodeImage(readBytes(folder / file));
    ASSERT_EQ(cured.pixels.size(), base.pixels.size());
    for (size_t i = 0; i < 3 * base.pixels.size(); ++i) {
        const auto sample = [i](const Image& image) {
            return image.pixels[i / 3] >> i % 3 * 8 & 255;
        };
        ASSERT_LE(std::abs(static_cast<int>(sample(base)) - static_cast<int>(sample(cured))),
                  tolerance)
            << "pixel " << i / 3;
    }
    const bool placed =
        make.find("-a_srs") != std::string::npos || make.find(kWorld) != std::string::npos;
    const bool overviews = make.find(kOverviews) != std::string::npos;
    if (placed || overviews) {
        const auto source = place(folder, linesSoFar, "k.tif");
        EXPECT_EQ(source.first.empty(), !placed);
        EXPECT_EQ(source.second.empty(), !overviews);
        EXPECT_EQ(place(folder, linesSoFar, file), source);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, Cure, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<Kind>& row) {
                             return std::get<0>(row.param);
                         });

// The range of 16-bit samples (imagemagick_16bit.tif, 40 x 24 in one strip at 8, here all
// within 0-255 but where a case sets the last one) is read from the samples, passing over
// GDAL's no-data value; where they cannot be read, it is taken as the whole of 16 bits, and
// so are values found beyond 12 bits (40000 here, not 0 to 40000). A file that claims more
// samples than it holds is not read at all.
TEST(Cure, TheValuesOfWideSamplesAreReadWhereverTheFileTellsThem) {
    const struct {
        const char* note;
        uint32_t last, compression, stripBytes, length;
        std::string noData;
    } cases[] = {
        {"its values lie within 0 to 255 and are kept", 255, 1, 5760, 24, ""},
        {"its values are taken as 0 to 65535", 40000, 1, 5760, 24, ""},
        {"its values lie within 0 to 255 and are kept", 65535, 1, 5760, 24, "65535"},
        {"its values are taken as 0 to 65535", 255, 1, 5759, 24, ""},
        {"its values are taken as 0 to 65535", 255, 1, 5760, 0x7FFFFFFF, ""},
        {"it only decompresses the file", 255, 5, 5760, 24, ""},
    };
    for (const auto& [note, last, compression, stripBytes, length, noData] : cases) {
        Bytes tiff = readBytes(fixture("imagemagick_16bit.tif"));
        for (uint32_t sample = 0; sample < 2880; ++sample) {
            put(tiff, 8 + 2 * sample, sample == 2879 ? last : sample % 256, 2);
        }
        setEntry(tiff, 259, 3, 1, compression);
        setEntry(tiff, 279, 4, 1, stripBytes);
        setEntry(tiff, 257, 4, 1, length);
        if (!noData.empty()) {  // GDAL_NODATA in place of PageNumber, its text at the end
            put(tiff, entryAt(tiff, 297), 42113, 2);
            setEntry(tiff, 42113, 2, static_cast<uint32_t>(noData.size() + 1),
                     static_cast<uint32_t>(tiff.size()));
            tiff.insert(tiff.end(), noData.begin(), noData.end());
            tiff.push_back(0);
        }
        const FileRun run = runOnBytes(tiff, kNoFilter);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.report.find("Convert it first (" + std::string(note)), std::string::npos)
            << run.report;
    }
    // One pixel wide in separate planes, a row per strip: 2880 strips, read a batch of them at
    // a time, the largest sample in the last.
    Bytes tiff = readBytes(fixture("imagemagick_16bit.tif"));
    const auto table = static_cast<uint32_t>(tiff.size());
    for (uint32_t strip = 0; strip < 2 * 2880; ++strip) {
        put(tiff, 8 + 2 * (strip % 2880), strip % 2880 == 2879 ? 4000 : strip % 256, 2);
        tiff.resize(tiff.size() + 4);
        put(tiff, tiff.size() - 4, strip < 2880 ? 8 + 2 * strip : 2);
    }
    const uint32_t entries[][4] = {{256, 4, 1, 1},        {257, 4, 1, 960},
                                   {278, 4, 1, 1},        {284, 3, 1, 2},
                                   {273, 4, 2880, table}, {279, 4, 2880, table + 11520}};
    for (const auto& [tag, type, count, value] : entries) {
        setEntry(tiff, static_cast<uint16_t>(tag), static_cast<uint16_t>(type), count, value);
    }
    const std::string report = runOnBytes(tiff, kNoFilter).report;
    EXPECT_NE(report.find("(its values are taken as 0 to 4095 "), std::string::npos) << report;
}

// Every compression and colour space that libtiff knows is refused by its name; an unknown
// one by its number.
TEST(Cure, CompressionsAndColourSpacesAreNamed) {
    const Bytes rgb = readBytes(fixture("pillow.tif"));
    const std::pair<uint16_t, std::vector<uint32_t>> codes[] = {
        {259, {2,     3,     4,     5,     6,     7,     8,     9,     10,    32766, 32771,
               32773, 32809, 32895, 32896, 32897, 32898, 32908, 32909, 32946, 32947, 34661,
               34676, 34677, 34712, 34887, 34925, 50000, 50001, 50002, 52546, 65000}},
        {262, {0, 1, 3, 4, 5, 6, 8, 9, 10, 32803, 32844, 32845, 34892, 65000}}};
    std::string causes;
    for (const auto& [tag, values] : codes) {
        for (uint32_t code : values) {
            Bytes tiff = rgb;
            setEntry(tiff, tag, 3, 1, code);
            const std::string report = runOnBytes(tiff, kNoFilter).report;
            const size_t cause = std::min(report.find("The image "), report.size());
            causes += std::to_string(tag) + " " + std::to_string(code) + ": " +
                      report.substr(cause, report.find('\n', cause) - cause) + "\n";
        }
    }
    expectRecorded(causes, fixture("cures") / "names.txt");
}

// A BigTIFF's entries may hold LONG8 values: four samples given so get the cure that keeps
// three bands.
TEST(Cure, ABigTiffsLong8ValuesAreRead) {
    Bytes tiff = readBytes(fixture("gdal_bigtiff.tif"));
    const auto word = [&tiff](size_t at) {
        return size_t{tiff.at(at)} | size_t{tiff.at(at + 1)} << 8;
    };
    const size_t directory = word(8);
    for (size_t entry = directory + 8; entry < directory + 8 + 20 * word(directory); entry += 20) {
        if (word(entry) == 277) {
            put(tiff, entry + 2, 16, 2);
            put(tiff, entry + 12, 4);
        }
    }
    const std::string report = runOnBytes(tiff, kNoFilter).report;
    EXPECT_NE(report.find("gdal_translate -b 1 -b 2 -b 3 -co PHOTOMETRIC=RGB"), std::string::npos)
        << report;
}

// Signed samples have no GDAL line that keeps their colours: a georeferenced file (here by its
// world file) gets ImageMagick's, which says that the georeferencing is lost.
TEST(Cure, WhereNoGdalLineKeepsTheColoursTheLossIsSaid) {
    const fs::path folder = scratch("int8");
    fs::copy_file(fixture("tifffile_int8.tif"), folder / "sheet.tif");
    for (const bool placed : {false, true}) {
        if (placed) {
            writeBytes(folder / "sheet.TFW", {'1', '\n'});
        }
        const std::string report = runFile(folder / "sheet.tif", kNoFilter).report;
        EXPECT_NE(report.find(std::string("Convert it first") +
                              (placed ? " (its georeferencing is lost)" : "") +
                              ", for example with:\n  convert "),
                  std::string::npos)
            << report;
    }
}

// The advice's wording in-process: a name is quoted for the shell, ",0" outside the quotes
// and "[0]" inside; the overviews' levels are rebuilt after the conversion, and a warning
// gives its command only where the output lacks something, with no level where none is known.
TEST(Cure, TheAdviceQuotesTheNamesAndNamesTheLevelsKnown) {
    ImageKind lzw;
    lzw.compression = 5;
    ImageKind palette;
    palette.photometric = ImageKind::kPalette;
    palette.samples = 1;
    palette.overviewLevels = {2, 4};
    ImageKind tiled;
    tiled.tiled = true;
    tiled.overviewLevels = {3};
    const std::string spaced = platform::shellWord("a b.tif");
    EXPECT_EQ(conversion(lzw, "a b.tif", "o.tif"), "tiffcp -c none " + spaced + " o.tif");
    EXPECT_EQ(conversion(palette, "a b.tif", "o.tif"),
              "convert " + platform::shellWord("a b.tif[0]") +
                  " -alpha off -depth 8 -type TrueColor -compress none o.tif && gdaladdo -r "
                  "nearest o.tif 2 4");
    EXPECT_EQ(conversion(tiled, "a b.tif", "o.tif"),
              "tiffcp -s " + spaced + ",0 o.tif && gdaladdo -r nearest o.tif 3");
    OverviewsToRebuild left;
    EXPECT_EQ(overviewWarnings(left, "o.tif").size(), 0U);
    left.copied = true;
    left.besideFile = "a.ovr";
    left.besideLevels = {2};
    const std::vector<std::string> lines = overviewWarnings(left, "a b.tif");
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[1], "  gdaladdo -r nearest " + spaced);
    EXPECT_EQ(lines[3], "  gdaladdo -r nearest " + spaced + " 2");
    for (const auto& [noData, option, warned] :
         {std::tuple{0.0, 3, true}, {0.0, 1, false}, {255.0, 1, true}, {255.0, 4, false}}) {
        EXPECT_EQ(noDataWarning(noData, option, "o.tif").size(), warned ? 2U : 0U);
    }
    EXPECT_EQ(noDataWarning(std::nullopt, 3, "o.tif").size(), 0U);
}
