// File names as users type them at the prompts of the built program.

#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace testing_support;

namespace {

std::vector<uint8_t> redCastOf(const fs::path& input, const fs::path& output) {
    RunResult result = runProgram(typedRun(4, typedPath(input), typedPath(output)));
    EXPECT_EQ(result.status, 0) << result.transcript;
    return readBytes(output);
}

}  // namespace

// Map sheets are named after places; a name with letters outside ASCII must reach the
// file system as the same name, not as the bytes of some other code page, or the input is
// not found and the output lands under a name nobody typed.
TEST(ProgramNames, LettersOutsideAsciiNameTheFilesTheUserMeant) {
    ScratchDir scratch;
    writeBytes(scratch / "plain.tif", readBytes(fixture("pillow.tif")));
    writeBytes(scratch / "Blatt Nürnberg-Süd.tif", readBytes(fixture("pillow.tif")));
    std::vector<uint8_t> expected = redCastOf(scratch / "plain.tif", scratch / "plain-out.tif");
    ASSERT_FALSE(expected.empty());

    EXPECT_EQ(redCastOf(scratch / "Blatt Nürnberg-Süd.tif", scratch / "gefärbt ß é.tif"), expected);
}
