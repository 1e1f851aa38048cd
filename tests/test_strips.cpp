// The strip pass on variants of the fixtures: the filters must see what a healthy run gives
// them. What refused strip tables print is recorded with the malformed corpus.

#include "FilterModels.h"
#include "platform/Narrow.h"

using namespace testing_support;

namespace {

// tifffile_rps.tif: 40 x 24 pixels in six strips of 480 bytes from 304, StripOffsets LONG[6]
// at 240, StripByteCounts SHORT[6] at 264.
Bytes sixStrips(const std::vector<uint32_t>& offsets = {}) {
    Bytes tiff = readBytes(fixture("tifffile_rps.tif"));
    for (size_t s = 0; s < offsets.size(); ++s) {
        put(tiff, 240 + 4 * s, offsets[s]);
    }
    return tiff;
}

// A run of option 3 or 4 completes and writes what the option's rule makes of the image.
void expectFiltered(const Bytes& tiff, int option) {
    models::Model model = option == 3 ? models::Model(models::contours) : models::redCast;
    EXPECT_EQ(expectSound(runOnBytes(tiff, std::to_string(option) + "\n"),
                          models::filteredFile(tiff, model)),
              0);
}

}  // namespace

// Strips stored in any order, fewer strips than rows, more rows than the strips fill:
// healthy files that complete.
TEST(Strips, StripsInAnyOrderAndRowsNoStripFills) {
    expectFiltered(sixStrips({2704, 2224, 1744, 1264, 784, 304}), 4);
    expectFiltered(sixStrips({784, 2224, 304, 2704, 1264, 1744}), 3);
    Bytes fewerStrips = sixStrips();
    setEntry(fewerStrips, 273, 4, 3, 240);
    expectFiltered(fewerStrips, 3);
    Bytes taller = sixStrips();
    setEntry(taller, 257, 4, 1, 30);
    expectFiltered(taller, 4);
}

// The census reads the strips in their table's order, here stepping back through the file:
// the same image stored in reverse counts the same.
TEST(Strips, TheCensusOfStripsStoredInReverse) {
    const Bytes tiff = sixStrips();
    Bytes reversed = sixStrips({2704, 2224, 1744, 1264, 784, 304});
    for (ptrdiff_t s = 0; s < 6; ++s) {
        std::copy_n(tiff.begin() + 304 + 480 * s, 480, reversed.begin() + 2704 - 480 * s);
    }
    std::string counts[2];
    for (int k = 0; k < 2; ++k) {
        writeBytes(scratchRoot() / "census.tif", k == 0 ? tiff : reversed);
        counts[k] =
            runProgram("", "--colours " + (scratchRoot() / "census.tif").string()).transcript;
    }
    EXPECT_EQ(counts[0], counts[1]);
}

// Rows no strip fills are whitened once the strips are read, yet must reach the clean-up
// as white paper: a dot on the last filled row vanishes, where over any other colour it
// would grow into a black square.
TEST(Strips, RowsNoStripFillsAreWhiteToTheContourCleanUp) {
    Bytes tiff = sixStrips();
    std::fill(tiff.begin() + 304, tiff.end(), uint8_t{0xFF});
    Bytes blank = tiff;
    tiff[tiff.size() - 15] = 0xC9;
    for (uint32_t extraRows : {1U, 3U}) {
        setEntry(tiff, 257, 4, 1, 24 + extraRows);
        setEntry(blank, 257, 4, 1, 24 + extraRows);
        FileRun run = runOnBytes(tiff, "3\n");
        EXPECT_EQ(run.status, 0) << run.report;
        EXPECT_TRUE(run.output == blank);
    }
}

// Strip rows and counts are narrowed from 64 bits where a cap elsewhere makes them fit; a
// value that no longer fits stops a checked build instead of wrapping.
TEST(NarrowDeathTest, AValueThatDoesNotFitStopsACheckedBuild) {
    EXPECT_EQ(narrow<int32_t>(uint64_t{INT32_MAX}), INT32_MAX);
    EXPECT_EQ(narrow<uint32_t>(int64_t{UINT32_MAX}), UINT32_MAX);
    if (kNarrowingChecked) {
        EXPECT_DEATH(narrow<int32_t>(uint64_t{INT32_MAX} + 1), "does not fit");
        EXPECT_DEATH(narrow<uint32_t>(int32_t{-1}), "does not fit");
    }
}
