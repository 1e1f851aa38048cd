// The header and directory reader on broken variants of a fixture: every variant must give a
// sound run. What each kind of broken file prints is recorded with the malformed corpus.

#include "TestSupport.h"
#include "platform/Platform.h"
#include "tiff/InputFile.h"
#include "tiff/ReducedPagePlan.h"

using namespace testing_support;

TEST(Directory, EveryPrefixAndEveryHeaderDirectoryOrArrayByteAs00AndFF) {
    // 40 x 24 pixels in six strips of four rows; a directory of 15 entries at 8, StripOffsets
    // LONG[6] at 240, StripByteCounts SHORT[6] at 264, the strips from 304.
    const Bytes whole = readBytes(fixture("tifffile_rps.tif"));
    for (Bytes prefix = whole; !prefix.empty();) {
        prefix.pop_back();
        SCOPED_TRACE("prefix of " + std::to_string(prefix.size()) + " bytes");
        EXPECT_EQ(runWithoutFilter(prefix), 1);
    }
    int completed = 0;
    for (size_t at = 0; at < 276; at = at == 8 + 2 + 15 * 12 + 3 ? 240 : at + 1) {
        for (uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}}) {
            Bytes tiff = whole;
            tiff[at] = value;
            SCOPED_TRACE("byte " + std::to_string(at) + " set to " + std::to_string(value));
            completed += tiff != whole && runWithoutFilter(tiff) == 0 ? 1 : 0;
        }
    }
    // Bytes of tags the program does not read leave the image intact.
    EXPECT_GT(completed, 100);
}

// The raster of tifffile_rps.tif: 24 rows and a spare one of 40 pixels, and their pointers.
TEST(Directory, ImageIsRefusedOnlyWhereItsRasterNeedsMoreThanTheMachinesMemory) {
    const Bytes tiff = readBytes(fixture("tifffile_rps.tif"));
    const uint64_t raster = 25 * 40 * sizeof(uint32_t) + 25 * sizeof(uint32_t*);
    const std::string refusal =
        "The image of 40 x 24 pixels needs more memory than this machine has\n";
    // 0: the machine cannot tell its memory, and nothing is refused for it; 1 byte is memory.
    for (uint64_t memory : {raster - 1, raster, raster + 1, uint64_t{0}, uint64_t{1}}) {
        SCOPED_TRACE("memory of " + std::to_string(memory) + " bytes");
        platform::assumePhysicalMemory(memory);
        const FileRun run = runOnBytes(tiff, kNoFilter);
        const bool refused = memory == raster - 1 || memory == 1;
        EXPECT_EQ(expectSound(run, tiff), refused ? 1 : 0);
        EXPECT_EQ(run.report.find(refusal) != std::string::npos, refused) << run.report;
    }
    // Unassumed, the figure is the machine's own memory, which this system can tell.
    platform::assumePhysicalMemory(std::nullopt);
    EXPECT_GT(platform::physicalMemory(), uint64_t{64} << 20);
    // Past 2^31 - 2 rows or columns an image is refused by its size alone, even where the
    // memory cannot be told; up to there, by what the file's bytes can fill.
    platform::assumePhysicalMemory(0);
    for (const uint32_t side : {uint32_t{0x7FFFFFFE}, uint32_t{0x7FFFFFFF}}) {
        for (const uint16_t tag : {uint16_t{256}, uint16_t{257}}) {
            Bytes large = tiff;
            setEntry(large, tag, 4, 1, side);
            const FileRun run = runOnBytes(large, kNoFilter);
            EXPECT_EQ(expectSound(run, large), 1);
            EXPECT_NE(run.report.find(side == 0x7FFFFFFF ? "needs more memory than this machine"
                                                         : "is far larger than the file's"),
                      std::string::npos)
                << run.report;
        }
    }
    platform::assumePhysicalMemory(std::nullopt);
}

// Directories {position, entries {tag, type, count, value}, next} in a file of 2000 bytes of
// either byte order, classic or BigTIFF; what would lie past its end is left out.
using Dirs = std::vector<std::tuple<uint64_t, std::vector<std::array<uint64_t, 4>>, uint64_t>>;
Bytes tiffOf(bool bigEndian, bool bigTiff, const Dirs& dirs) {
    Bytes tiff(2000, bigEndian ? 'M' : 'I');
    const auto number = [&tiff, bigEndian](uint64_t at, uint64_t value, uint64_t size) {
        for (uint64_t i = 0; i < size && at + size <= tiff.size(); ++i) {
            tiff[at + (bigEndian ? size - 1 - i : i)] = static_cast<uint8_t>(value >> (8 * i));
        }
    };
    const uint64_t word = bigTiff ? 8 : 4;
    number(2, bigTiff ? 43 : 42, 2);
    number(4, 8, 2);  // a BigTIFF's offset size; a classic file's first position follows
    number(word, 16, word);
    for (const auto& [at, entries, next] : dirs) {
        number(at, entries.size(), bigTiff ? 8 : 2);
        uint64_t entry = at + (bigTiff ? 8 : 2);
        for (const auto& [tag, type, count, value] : entries) {
            number(entry, tag, 2), number(entry + 2, type, 2), number(entry + 4, count, word);
            number(entry + 4 + word, value, count == 1 ? fieldTypeSize(uint16_t(type)) : word);
            entry += 4 + 2 * word;
        }
        number(entry, next, word);
    }
    return tiff;
}

// One walk visits every directory once, the chain first, then those its entries point to and
// their chains, the last queued first; a directory cut short ends its chain, and one that names
// more directories than can be read ends the walk. Of a little-endian classic file, the plan
// names the parts it yields as a strip over them is refused.
TEST(Directory, TheWalkVisitsEveryDirectoryOnceAndYieldsItsParts) {
    const std::tuple<Dirs, std::string, std::string> cases[] = {
        {{{16, {}, 216}, {216, {}, 416}, {416, {}, 216}}, "16:1:0 216:2:0 416:3:0 whole", ""},
        {{{16, {{330, 13, 1, 216}, {34665, 4, 1, 416}, {34853, 4, 1, 616}}, 816},
          {816, {}, 0},
          {216, {}, 1016},
          {416, {{40965, 4, 1, 1216}}, 0},
          {616, {}, 0},
          {1016, {}, 0},
          {1216, {}, 0}},
         "16:1:0 816:2:0 616:1:34853 416:1:34665 1216:1:40965 216:1:330 1016:1:330 whole",
         "a SubIFD directory of page 1 (bytes 1016 to 1021)"},
        {{{16, {{330, 4, 1, 1990}, {34665, 4, 1, 5000}}, 0}, {1990, {{1, 1, 1, 1}}, 0}},
         "16:1:0 1990:1:330:cut whole",
         "the first directory (bytes 16 to 45)"},
        {{{16, {{330, 4, 100000, 0}}, 0}}, "16:1:0 unread", ""},
        {{{16, {}, 216}, {216, {{258, 3, 3, 1600}, {273, 4, 1, 1500}, {279, 4, 1, 100}}, 0}},
         "16:1:0 216:2:0 whole",
         "the image data of page 2 (bytes 1500 to 1599), the values of tag 258 in the "
         "directory of page 2 (bytes 1600 to 1605)"},
    };
    const fs::path file = scratch("walk") / "walk.tif";
    for (const auto& [dirs, visits, parts] : cases) {
        for (const int form : {0, 1, 2, 3}) {
            writeBytes(file, tiffOf(form & 1, form & 2, dirs));
            InputFile input;
            input.name = file.string();
            ASSERT_FALSE(input.hold());
            input.rewind();
            TiffDirectory directory(input, 2000, form & 1, form & 2);
            std::string seen;
            const bool whole = directory.walk(16, true, [&seen](const WalkedDirectory& walked) {
                seen += std::to_string(walked.at) + ":" + std::to_string(walked.page) + ":" +
                        std::to_string(walked.under) + (walked.whole ? " " : ":cut ");
            });
            EXPECT_EQ(seen + (whole ? "whole" : "unread"), visits) << "form " << form;
            ReducedPagePlan plan;
            TiffDirectory classic(input, 2000, false, false);
            std::string names;
            for (const FilePart& part : form == 0 && plan.read(classic, 16, 2000)
                                            ? plan.kept()
                                            : std::vector<FilePart>{}) {
                names += part.name() + ", ";
            }
            EXPECT_TRUE(form != 0 || names.find(parts) != std::string::npos) << names;
        }
    }
}

// Pages under a SubIFDs entry are not rebuilt, and the report says they keep the old colours,
// with their levels where they can be told: none for an entry that points nowhere, 3 for the
// corpus's 2 x 1 SubIFD page of its 4 x 3 image, moved after the strips.
TEST(Directory, PagesUnderSubIfdsAreNamedAsCopiedUnchanged) {
    Bytes tiff = readBytes(fixture("tifffile_rps.tif"));
    put(tiff, entryAt(tiff, 305), 330, 2);
    Bytes subIfd = readBytes(fixture("../malformed/strip_over_subifd_pixels.tif"));
    put(subIfd, 212 + 2 + 6 * 12 + 8, uint32_t{326});
    subIfd.resize(subIfd.size() + 6);
    for (const auto& [file, levels] : {std::pair{tiff, ""}, std::pair{subIfd, " 3"}}) {
        const FileRun run = runOnBytes(file, kNoFilter);
        EXPECT_EQ(expectSound(run, file), 0);
        EXPECT_NE(run.report.find("The file's reduced-resolution pages (some under SubIFDs) that "
                                  "cannot be rebuilt here"),
                  std::string::npos)
            << run.report;
        EXPECT_NE(run.report.find("gdaladdo -r nearest output.tif" + std::string(levels) + "\n"),
                  std::string::npos)
            << run.report;
    }
}

// An overview file beside the input, big-endian here, is named in a warning with the levels
// of its pages: the level that makes a page's size, or for a size no level makes (11 x 6,
// rounded down) the nearest ratio, as GDAL guesses it; a transparency mask is no level.
TEST(Directory, AnOverviewFileBesideTheInputIsNamedWithItsLevels) {
    const fs::path folder = scratch("overview_file");
    writeBytes(folder / "sheet.tif", readBytes(fixture("pillow.tif")));
    Dirs pages;
    for (const auto& [type, width, length, at] : {std::array<uint64_t, 4>{1, 17, 10, 16},
                                                  {5, 9, 5, 216},
                                                  {1, 5, 3, 416},
                                                  {1, 11, 6, 616}}) {
        pages.push_back({at,
                         {{254, 4, 1, type}, {256, 3, 1, width}, {257, 3, 1, length}},
                         at < 616 ? at + 200 : 0});
    }
    writeBytes(folder / "sheet.tif.ovr", tiffOf(true, false, pages));
    FileRun run = runFile(folder / "sheet.tif", "4\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.report.find("overviews lie in sheet.tif.ovr, which is not copied: the output has "
                              "none; build them with:\n  gdaladdo -r nearest output.tif 2 3 7\n"),
              std::string::npos)
        << run.report;
}
