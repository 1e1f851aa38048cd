// The program run with arguments, as batch scripts use it: each filter, the colour census and
// the check, the report on standard output and the reasons for a stop on standard error.

#include "TestSupport.h"

using namespace testing_support;

namespace {

std::string quoted(const fs::path& file) {
    return "'" + typedPath(file) + "' ";
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

// Each filter gives the bytes the piped dialogue gives with the same settings, and the report
// the dialogue prints after its prompts, without the closing key wait; spelt in the ways
// getopt_long reads (grouped, attached, after the names, after "--").
TEST(CommandLine, EachFilterWritesWhatTheDialogueWrites) {
    const fs::path folder = scratch("equivalence");
    const fs::path input = fixture("pillow.tif");
    const struct {
        std::string typed;
        std::string arguments;  // IN OUT follow
        bool quiet;
    } cases[] = {
        {"1\nc9ea9d\nc96a2d\n0\n0\n0\n0\n0\n0\n0\n0\n", "-qkc9ea9d,#C96A2D --", true},
        {"2\n100000\nc9ffff\n", "--band=100000,c9ffff", false},
        {"3\n", "--contours", false},
        {"4\n", "-q --red-cast", true},
    };
    for (const auto& [typed, arguments, quiet] : cases) {
        SCOPED_TRACE(arguments);
        FileRun dialogue = runFile(input, typed, true);
        fs::remove(folder / "out.tif");
        RunResult run =
            runProgram("", arguments + " " + quoted(input) + quoted(folder / "out.tif"));
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(run.errors, "");
        EXPECT_EQ(run.transcript + kClosing, quiet ? kClosing : dialogue.report);
        EXPECT_TRUE(readBytes(folder / "out.tif") == dialogue.output);
    }
}

// A run that stops prints its report, then on standard error the lines the dialogue would
// end with, each behind the input's name; it leaves no output, and an output that already
// holds data is left as it was, with --replace too until a run completes. --check names each file with "ok" and its size, or
// with the lines a run would stop with, and fails when any file cannot be read.
TEST(CommandLine, StopsAndRefusalsAreNamedOnStandardError) {
    const fs::path folder = scratch("batch");
    const fs::path good = folder / "good.tif";
    const fs::path refused = folder / "lzw.tif";
    fs::copy_file(fixture("pillow.tif"), good);
    fs::copy_file(fixture("tiffcp_lzw.tif"), refused);
    writeBytes(folder / "kept.tif", {'o', 'l', 'd'});

    RunResult stop = runProgram("", "--red-cast " + quoted(refused) + quoted(folder / "out.tif"));
    EXPECT_EQ(stop.status, 1);
    EXPECT_EQ(stop.transcript.rfind("idf_offset is:  ", 0), 0U) << stop.transcript;
    const std::string prefix = typedPath(refused) + ": ";
    std::vector<std::string> why = linesOf(stop.errors);
    ASSERT_GE(why.size(), 2U) << stop.errors;
    EXPECT_EQ(why.back(), prefix + "exiting program");
    for (const std::string& line : why) {
        EXPECT_EQ(line.rfind(prefix, 0), 0U) << line;
    }
    EXPECT_FALSE(fs::exists(folder / "out.tif"));

    RunResult kept = runProgram("", "-q --contours " + quoted(good) + quoted(folder / "kept.tif"));
    EXPECT_EQ(kept.status, 1);
    EXPECT_EQ(kept.errors, typedPath(good) + ": **" + typedPath(folder / "kept.tif") +
                               " already holds data and will not be written**\n" + typedPath(good) +
                               ": exiting program\n");
    EXPECT_EQ(readBytes(folder / "kept.tif"), (Bytes{'o', 'l', 'd'}));
    const std::string replace = "--replace -q --contours ";
    EXPECT_EQ(runProgram("", replace + quoted(refused) + quoted(folder / "kept.tif")).status, 1);
    EXPECT_EQ(readBytes(folder / "kept.tif"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(runProgram("", replace + quoted(good) + quoted(folder / "kept.tif")).status, 0);
    EXPECT_EQ(readBytes(folder / "kept.tif").size(), readBytes(good).size());

    why.pop_back();
    std::string refusal;
    for (const std::string& line : why) {
        refusal += line + "\n";
    }
    const std::string ok = typedPath(good) + ": ok, 33 x 19 pixels, 1 strip\n";
    const std::pair<std::string, RunResult> checks[] = {
        {ok + refusal, runProgram("", "--check " + quoted(good) + quoted(refused))},
        {refusal, runProgram("", "--check --quiet " + quoted(good) + quoted(refused))},
        {ok, runProgram("", "--check " + quoted(good))},
    };
    for (const auto& [expected, check] : checks) {
        EXPECT_EQ(check.transcript, expected);
        EXPECT_EQ(check.status, expected == ok ? 0 : 1);
        EXPECT_EQ(check.errors, "");
    }
}

// The census of a fixture, recorded beside it; piped, it holds no escape codes.
TEST(CommandLine, ColourCensusIsRecorded) {
    RunResult run = runProgram("", "--colours --top 20 " + quoted(fixture("pillow.tif")));
    expectRecorded(run.transcript, fixture("colours/pillow.txt"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
}
