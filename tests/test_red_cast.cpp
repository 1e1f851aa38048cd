#include "FilterModels.h"

// Red must be above 90, green and blue below 130; neutral greys in between lose their red.
// Every pixel of every row is visited and counted if damped, and a second pass changes nothing
// more.
TEST(RedCast, ThresholdsAreStrictAndASecondPassChangesNothing) {
    std::istringstream cases(
        "8A4030 504030  5A4030 5A4030  5B4030 504030  FF8100 508100  FF8200 FF8200 "
        "FF0081 500081  FF0082 FF0082  FF0000 500000  FFFFFF FFFFFF  000000 000000 "
        "5A5A5A 5A5A5A  5B5B5B 505B5B  808080 508080  818181 508181  828282 828282");
    std::vector<uint32_t> before;
    std::vector<uint32_t> after;
    uint64_t changed = 0;
    for (uint32_t from = 0, to = 0; cases >> std::hex >> from >> to;) {
        before.push_back(from);
        after.push_back(to);
        changed += from != to ? 1 : 0;
    }
    for (int32_t width : {1, 3, 15}) {
        TestRaster raster(width, 15 / width, before);
        for (int pass = 0; pass < 2; ++pass) {
            const uint64_t damped =
                PixelFilter().dampRedCast(raster.rows.data(), raster.width, raster.height);
            EXPECT_EQ(raster.image(), after) << width << " wide, pass " << pass;
            EXPECT_EQ(damped, pass == 0 ? changed : 0);
        }
        EXPECT_TRUE(raster.spareRowUntouched());
    }
}
