#include "TestSupport.h"

using namespace testing_support;

// The byte layers convert whole pixels between buffer ends and fall back to single bytes for
// a pixel that a buffer end cuts (2^16 and 2^20 are not multiples of 3). Two strips of nearly
// 1 MiB, the bytes between them crossing the end of the 1 MiB output buffer, and one byte
// after the last strip must all come back byte for byte.
TEST(OutputAssembly, BytesCutByBufferEndsComeThroughWhole) {
    constexpr uint32_t kStrip = 640 * 546 * 3;
    constexpr uint32_t kGap = 3000;
    Bytes tiff = readBytes(fixture("pillow.tif"));
    tiff.resize(140 + 2 * kStrip + kGap + 1);
    for (size_t p = 140; p < tiff.size(); ++p) {
        tiff[p] = static_cast<uint8_t>(p * 37 + p / 251);
    }
    const uint32_t arrays = 140 + kStrip;
    const uint32_t values[] = {140, 140 + kStrip + kGap, kStrip, kStrip};
    for (size_t i = 0; i < 4; ++i) {
        put(tiff, arrays + 4 * i, values[i]);
    }
    setEntry(tiff, 256, 4, 1, 640);
    setEntry(tiff, 257, 4, 1, 2 * 546);
    setEntry(tiff, 273, 4, 2, arrays);
    setEntry(tiff, 278, 4, 1, 546);
    setEntry(tiff, 279, 4, 2, arrays + 8);
    EXPECT_EQ(runWithoutFilter(tiff), 0);
}
