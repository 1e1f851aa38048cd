// The header and directory reader on broken variants of a fixture: every variant must give a
// sound run. What each kind of broken file prints is recorded with the malformed corpus.

#include "TestSupport.h"
#include "platform/Platform.h"

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

// The malformed corpus's directories over a strip, pointed instead to byte 212 (an empty
// directory after the strips): the run completes and gives the input back.
TEST(Directory, PointedDirectoriesAwayFromTheStripsAreKept) {
    for (const char* name :
         {"strip_over_exif_directory", "strip_over_gps_directory", "strip_over_subifd_directory"}) {
        Bytes tiff = readBytes(fixture("../malformed/" + std::string(name) + ".tif"));
        put(tiff, 138, 212);
        EXPECT_EQ(expectSound(runOnBytes(tiff, kNoFilter), tiff), 0) << name;
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
