// The header and directory reader on broken variants of a fixture: every variant must give a
// sound run. What each kind of broken file prints is recorded with the malformed corpus.

#include "TestSupport.h"

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
