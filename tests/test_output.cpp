#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "TestSupport.h"
#include "app/RunEnded.h"
#include "tiff/TifFile.h"

using namespace testing_support;

namespace {

// Option 2 over the whole colour range: every strip byte becomes FF, nothing else may move.
const std::string kWhiteOut = "2\n000000\nffffff\n";

void expectOnlyStripsWhitened(const std::string& name) {
    std::vector<uint8_t> input = readBytes(fixture(name));
    FileRun run = runOnBytes(input, kWhiteOut);
    ASSERT_EQ(run.status, 0) << run.report;
    std::vector<uint8_t> expected = input;
    for (auto [at, length] : decodeImage(input).strips) {
        std::fill_n(expected.begin() + static_cast<std::ptrdiff_t>(at), length, 0xFF);
    }
    EXPECT_EQ(run.output, expected) << name;
}

}  // namespace

TEST(OutputAssembly, NonPixelBytesKeepTheirPlacesInEveryLayout) {
    for (const char* name :
         {"tiffcp_r1_odd.tif", "tifffile_contig.tif", "hand_strips_out_of_order.tif",
          "hand_gap_between_strips.tif", "hand_arrays_above_64k.tif", "hand_two_shorts_inline.tif",
          "vips.tif"}) {
        expectOnlyStripsWhitened(name);
    }
}

TEST(OutputAssembly, FillByteBeforeTheDirectoryIsKept) {
    std::vector<uint8_t> input = readBytes(fixture("tiffcp_r1_odd.tif"));
    uint32_t directory = get32(input, 4);
    FileRun run = runOnBytes(input, kWhiteOut);
    ASSERT_EQ(run.output.size(), input.size());
    EXPECT_EQ(run.output[directory - 1], input[directory - 1]);
    EXPECT_EQ(get16(run.output, directory), get16(input, directory));
}

TEST(OutputAssembly, FailedWriteLeavesNoOutputAndEndsWithStatusOne) {
    RunResult result = runJob("4\n\n" + fixture("pillow.tif").string() + "\n/dev/full\n");
    EXPECT_EQ(result.status, 1);
    const std::string expected =
        "Writing the output file /dev/full failed; it has been left empty\nexiting program\n";
    ASSERT_GE(result.transcript.size(), expected.size());
    EXPECT_EQ(result.transcript.substr(result.transcript.size() - expected.size()), expected);
}

TEST(OutputAssembly, InputThatNoLongerOpensEndsTheRun) {
    ScratchDir scratch;
    fs::path input = scratch / "in.tif";
    fs::copy_file(fixture("pillow.tif"), input);
    std::istringstream in("4\n\n" + input.string() + "\n" + (scratch / "out.tif").string() + "\n");
    std::ostringstream out;
    Console console(in, out, [] {});
    TifFile file(console);
    fs::remove(input);
    out.str("");
    EXPECT_THROW(file.readHeader(), RunEnded);
    EXPECT_EQ(out.str(), "**Cannot open" + input.string() + "**\nexiting program\n");
}
