// The program run with arguments, as batch scripts use it: how the arguments are read, each
// filter and its summary, the census and the check, what goes to standard output and what to
// standard error.

#include <sys/stat.h>

#include <iomanip>

#include "TestSupport.h"
#include "app/CommandLine.h"
#include "filters/PixelFilter.h"

using namespace testing_support;

namespace {

std::string quoted(const fs::path& file) {
    return "'" + typedPath(file) + "' ";
}

// What the arguments (split at blanks, '' standing for an empty one) read as, in a few
// words: the form and option, the top count of the census, the colours, the names, the flags;
// or the answer, or the first line of a misuse's stop.
std::string described(const std::string& line) {
    std::vector<std::string> given;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        given.push_back(word == "''" ? "" : word);
    }
    ReadArguments read;
    try {
        read = readArguments(std::vector<std::string_view>(given.begin(), given.end()));
    } catch (const RunEnded& stop) {
        return stop.lines.front();
    }
    if (read.answer != ReadArguments::Answer::Run) {
        return read.answer == ReadArguments::Answer::Help ? "help" : "version";
    }
    const CommandForm& form = read.form;
    const char* kinds[] = {"option ", "colours top ", "check "};
    std::ostringstream text;
    text << kinds[static_cast<int>(form.kind)]
         << (form.kind == CommandForm::Kind::Filter ? form.order.settings.option
                                                    : static_cast<int32_t>(form.top))
         << std::hex << std::setfill('0');
    const SettingsCopy& settings = form.order.settings;
    std::vector<uint32_t> words(settings.keep.begin(), settings.keep.end());
    words.insert(words.end(), {settings.lowFilter, settings.highFilter});
    for (const uint32_t word : words) {
        if (word != PixelFilter::kRemoved && word != 0) {
            text << " " << std::setw(6) << word;
        }
    }
    text << ":";
    for (const std::string& name : form.names) {
        text << " " << name;
    }
    text << (form.quiet ? " -q" : "") << (form.order.replace ? " --replace" : "")
         << (form.report ? " --report" : "") << std::dec;
    if (const KeepReach& reach = form.order.reach; reach.given) {
        text << " fuzz " << reach.distanceSquared << (reach.fit > 0 ? " fit " : "")
             << (reach.fit > 0 ? reach.fitted : "");
    }
    return text.str();
}

}  // namespace

// Each argument vector gives its settings, or the usage line that names its problem.
TEST(CommandLine, ArgumentsAreReadAsGetoptLongReadsThem) {
    const std::pair<std::string, std::string> cases[] = {
        {"-k c96a2d,#8B4513,0Xc9ea9d,0x002d6ac9 a b", "option 1 c96a2d 8b4513 c9ea9d 2d6ac9: a b"},
        {"a --kee=c96a2d -q b", "option 1 c96a2d: a b -q"},
        {"-qkc96a2d -- -a -q", "option 1 c96a2d: -a -q -q"},
        {"-b 100000,C9FFFF a b --repl", "option 2 100000 c9ffff: a b --replace"},
        {"--con a b --repo", "option 3: a b --report"},
        {"--red a b", "option 4: a b"},
        {"--colours --top=3 a", "colours top 3: a"},
        {"--check -q a b c", "check 16: a b c -q"},
        {"a -h --bogus", "help"},
        {"--vers --bogus", "version"},
        {"--bogus --help", "velstram: unknown option '--bogus'"},
        {"--c a", "velstram: option '--c' is ambiguous: --contours, --colours or --check?"},
        {"--re a b", "velstram: option '--re' is ambiguous: --red-cast, --replace or --report?"},
        {"--keep c96a2d8b4513 a b",
         "velstram: 'c96a2d8b4513' given to --keep is not a colour: give "
         "RRGGBB, #RRGGBB, 0xRRGGBB or 0x00RRGGBB, with a comma"},
        {"--keep c96a2d1 a b",
         "velstram: 'c96a2d1' given to --keep is not a colour: give RRGGBB, "
         "#RRGGBB, 0xRRGGBB or 0x00RRGGBB"},
        {"-k c96a2dzz a b", "velstram: 'c96a2dzz' given to --keep is not a colour"},
        {"-k 0x01c96a2d a b", "velstram: '0x01c96a2d' given to --keep is not a colour"},
        {"-qk 0 a b", "velstram: '0' given to --keep is not a colour"},
        {"--keep=#c9ea9d,,c96a2d a b", "velstram: '' given to --keep is not a colour"},
        {"-k 0a0a0a,1b1b1b,2c2c2c,3d3d3d,4e4e4e,5f5f5f,6a6a6a,7b7b7b,8c8c8c,9d9d9d,#aeaeae a b",
         "velstram: --keep keeps at most ten colours, not 11"},
        {"--band 100000 a b", "velstram: --band takes two colours, LOW,HIGH"},
        {"-b c9ffff,100000 a b", "velstram: --band c9ffff,100000: LOW lies above HIGH"},
        {"--red-cast a -", "velstram: '-' is no file name here"},
        {"--contours '' b", "velstram: an empty file name"},
        {"a b", "velstram: nothing to do with 'a': give a filter, --colours or --check"},
        {"--check a --red-cast", "velstram: '--check' and '--red-cast' do not go together"},
        {"--red-cast a", "velstram: '--red-cast' needs the names IN and OUT"},
        {"a --red-cast b c", "velstram: one name too many for '--red-cast': 'c'"},
        {"--check", "velstram: '--check' needs the name of a file"},
        {"--colours --top 0 a", "velstram: --top takes a count from 1 up, not '0'"},
        {"--top 3 --check a", "velstram: --top goes with --colours only"},
        {"--replace --check a", "velstram: --replace goes with a filter only"},
        {"--report --colours a", "velstram: --report goes with a filter only"},
        {"-q --colours a", "velstram: --quiet goes with a filter or --check"},
        {"--report -q --red-cast a b", "velstram: --report and --quiet do not go together"},
        {"--quiet=yes --contours a b", "velstram: '--quiet' takes no value"},
        {"-k c96a2d --fuzz 12.5 a b", "option 1 c96a2d: a b fuzz 156"},
        {"--colours --fuzz=10% a", "colours top 16: a fuzz 1950"},
        {"--fu 100% -k 000000 --fit 2.5 a b", "option 1: a b fuzz 195075 fit 2.5"},
        {"-k 000000 --fuzz 442 a b", "option 1: a b fuzz 195364"},
        {"-k 000000 --f 3 a b", "velstram: option '--f' is ambiguous: --fuzz or --fit?"},
        {"-k 000000 --fuzz 442.5 a b",
         "velstram: --fuzz takes a distance from 0 to 442, or a share of the colour cube's "
         "diagonal from 0% to 100%, not '442.5'"},
        {"-k 000000 --fuzz 100.5% a b", "velstram: --fuzz takes a distance from 0 to 442"},
        {"-k 000000 --fuzz 1e2 a b", "velstram: --fuzz takes a distance from 0 to 442"},
        {"-k 000000 --fuzz=-1 a b", "velstram: --fuzz takes a distance from 0 to 442"},
        {"-k 000000 --fuzz % a b", "velstram: --fuzz takes a distance from 0 to 442"},
        {"--fuzz 3 -b 100000,c9ffff a b", "velstram: --fuzz goes with --keep or --colours only"},
        {"--check --fuzz 3 a", "velstram: --fuzz goes with --keep or --colours only"},
        {"--fit 3 --fuzz 3 --colours a", "velstram: --fit goes with --keep and --fuzz only"},
        {"-k 000000 --fit 3 a b", "velstram: --fit needs --fuzz"},
        {"-k 000000 --fuzz 3 --fit 0 a b",
         "velstram: --fit takes a number of standard deviations above 0 and up to 10, not '0'"},
        {"-k 000000 --fuzz 3 --fit 10.5 a b", "velstram: --fit takes a number of standard"},
        {"--contours a b --keep",
         "velstram: '--keep' needs a value; quote a colour that begins "
         "with #, as in '#c96a2d'"},
    };
    for (const auto& [arguments, expected] : cases) {
        const std::string found = described(arguments);
        EXPECT_EQ(found.substr(0, expected.size()), expected) << arguments;
    }
}

// Each filter gives the bytes the piped dialogue gives with the same settings. Standard
// output holds its summary, with --report the dialogue's report before it; standard error
// holds the warnings.
TEST(CommandLine, EachFilterWritesWhatTheDialogueWritesAndSaysWhatItDid) {
    const fs::path folder = scratch("equivalence");
    const std::string pillow = typedPath(fixture("pillow.tif"));
    // A GDAL_NODATA value that a filter writes is named, with the line that clears it.
    const std::string marked = "velstram: " + typedPath(folder / "nodata.tif") + ": ";
    const auto noData = [&](const char* what) {
        return marked + "The input's NoData value (GDAL_NODATA) is " + what +
               " that the filter writes, and the output keeps it: a GIS takes those pixels for "
               "missing ones; clear it with:\n" +
               marked + "  gdal_edit.py -unsetnodata " + typedPath(folder / "out.tif") + "\n";
    };
    const struct {
        std::string input;
        std::string typed;
        std::string arguments;  // IN OUT follow
        std::string summary;
        std::string errors;
        std::string noData = "";  // given to the input in place of its PlanarConfiguration
    } cases[] = {
        {"pillow", "1\nc9ea9d\nc96a2d\n0a0b0c\nc9ea9d\n0\n0\n0\n0\n0\n0\n",
         "-kc9ea9d,#C96A2D,0x000a0b0c,c9ea9d --",
         "colours kept in 254 of 627 pixels (40.5 %): c9ea9d 204; c96a2d 50; 0a0b0c 0",
         "velstram: " + pillow + ": the colour 0a0b0c matches no pixel of the image\n"},
        {"pillow", "1\nc9ea9d\nc96a2d\n0\n0\n0\n0\n0\n0\n0\n0\n", "-k c9ea9d,c96a2d --fuzz 0",
         "colours within 0 of a key kept in 254 of 627 pixels (40.5 %): c9ea9d 204; c96a2d 50", ""},
        {"pillow", "2\n100000\nc9ffff\n", "--band=100000,c9ffff --report",
         "band 100000 to c9ffff removed in 281 of 627 pixels (44.8 %)", ""},
        {"pillow", "2\n100000\n100000\n", "--band 100000,100000",
         "band 100000 to 100000 removed in 0 of 627 pixels (0.0 %)",
         "velstram: " + pillow +
             ": the band 100000 to 100000 holds no pixel of the image; none was removed\n"},
        {"tiffcp_default", "3\n", "--con", "contours black in 6,352 of 6,767 pixels (93.9 %)", ""},
        {"tiffcp_default", "4\n", "--red-cast", "red cast damped in 775 of 6,767 pixels (11.5 %)",
         ""},
        {"pillow", "1\nc9ea9d\n0\n0\n0\n0\n0\n0\n0\n0\n0\n", "-q --keep c9ea9d", "",
         noData("255, the white"), "255"},
        {"pillow", "2\n100000\nc9ffff\n", "-q --band 100000,c9ffff", "", "", "0"},
        {"tiffcp_default", "3\n", "-q --contours", "", noData("0, the black of the contours"), "0"},
        {"tiffcp_default", "4\n", "-q --red-cast", "", "", "255"},
    };
    for (const auto& [name, typed, arguments, summary, errors, value] : cases) {
        SCOPED_TRACE(arguments);
        fs::path input = fixture(name + ".tif");
        if (!value.empty()) {
            Bytes tiff = readBytes(input);
            put(tiff, entryAt(tiff, 284), 42113, 2);
            setEntry(tiff, 42113, 2, static_cast<uint32_t>(value.size() + 1), 0);
            std::copy(value.begin(), value.end(), &tiff[entryAt(tiff, 42113) + 8]);
            input = folder / "nodata.tif";
            writeBytes(input, tiff);
        }
        const std::string names = typedPath(input) + " -> " + typedPath(folder / "out.tif") + ": ";
        FileRun dialogue = runFile(input, typed, true);
        fs::remove(folder / "out.tif");
        RunResult run =
            runProgram("", arguments + " " + quoted(input) + quoted(folder / "out.tif"));
        EXPECT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(run.errors, errors);
        EXPECT_TRUE(readBytes(folder / "out.tif") == dialogue.output);
        const size_t reported = arguments.find("--report") == std::string::npos
                                    ? 0
                                    : dialogue.report.size() - kClosing.size();
        EXPECT_EQ(run.transcript, dialogue.report.substr(0, reported) +
                                      (summary.empty() ? "" : names + summary + "\n"));
        EXPECT_EQ(dialogue.report.ends_with("-unsetnodata output.tif\n" + kClosing),
                  !errors.empty() && value.size() > 0)
            << dialogue.report;
    }
}

// A run that stops says why on standard error, each line as "velstram: IN: ..."; it leaves
// no output, and an output that already holds data is left as it was, with --replace too
// until a run completes; the file that replaces it keeps its permissions, and a new one has
// those the umask leaves. Warnings go there too, however quiet. --check names each file on
// standard output with "ok" and its size (not with --quiet), or on standard error with the
// lines a run would stop with, and fails when any file cannot be read. A file that cannot be
// opened is said as every other failure.
TEST(CommandLine, StopsRefusalsAndWarningsGoToStandardError) {
    const fs::path folder = scratch("batch");
    const fs::path good = folder / "good.tif";
    const fs::path refused = folder / "lzw.tif";
    fs::copy_file(fixture("pillow.tif"), good);
    fs::copy_file(fixture("tiffcp_lzw.tif"), refused);
    writeBytes(folder / "kept.tif", {'o', 'l', 'd'});

    RunResult stop =
        runProgram("", "--report --red-cast " + quoted(refused) + quoted(folder / "out.tif"));
    EXPECT_EQ(stop.status, 1);
    EXPECT_EQ(stop.transcript.rfind("idf_offset is:  ", 0), 0U) << stop.transcript;
    const std::string prefix = "velstram: " + typedPath(refused) + ": ";
    std::istringstream lines(stop.errors);
    std::string refusal, last;
    for (std::string line; std::getline(lines, line); last = line) {
        EXPECT_EQ(line.rfind(prefix, 0), 0U) << line;
        refusal += last.empty() ? "" : last + "\n";
    }
    EXPECT_EQ(last, prefix + "exiting program");
    EXPECT_FALSE(fs::exists(folder / "out.tif"));

    RunResult kept = runProgram("", "-q --contours " + quoted(good) + quoted(folder / "kept.tif"));
    EXPECT_EQ(kept.status, 1);
    const std::string from = "velstram: " + typedPath(good) + ": ";
    EXPECT_EQ(kept.errors, from + "**" + typedPath(folder / "kept.tif") +
                               " already holds data and will not be written without "
                               "--replace**\n" +
                               from + "exiting program\n");
    EXPECT_EQ(readBytes(folder / "kept.tif"), (Bytes{'o', 'l', 'd'}));
    fs::permissions(folder / "kept.tif", static_cast<fs::perms>(0640));
    const std::string replace = "--replace -q --contours ";
    EXPECT_EQ(runProgram("", replace + quoted(refused) + quoted(folder / "kept.tif")).status, 1);
    EXPECT_EQ(readBytes(folder / "kept.tif"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(runProgram("", replace + quoted(good) + quoted(folder / "kept.tif")).status, 0);
    EXPECT_EQ(readBytes(folder / "kept.tif").size(), readBytes(good).size());
    EXPECT_EQ(fs::status(folder / "kept.tif").permissions(), static_cast<fs::perms>(0640));

    RunResult warned = runProgram("", "-q --red-cast " + quoted(fixture("tiffcp_two_images.tif")) +
                                          quoted(folder / "two.tif"));
    EXPECT_TRUE(warned.status == 0 && warned.transcript.empty());
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(fs::status(folder / "two.tif").permissions(), static_cast<fs::perms>(0666 & ~mask));
    EXPECT_NE(warned.errors.find(": The file holds further images after this one"),
              std::string::npos);
    RunResult none = runProgram(
        "", "-q --red-cast " + quoted(folder / "kept.tif") + quoted(folder / "twice.tif"));
    EXPECT_EQ(none.errors, "velstram: " + typedPath(folder / "kept.tif") +
                               ": no pixel of the image has the red cast (red above 90, green "
                               "and blue below 130); none was damped\n");

    const fs::path missing = folder / "missing.tif";
    const std::string cannotOpen =
        "velstram: " + typedPath(missing) + ": cannot open: No such file or directory\n";
    EXPECT_EQ(runProgram("", "-q --red-cast " + quoted(missing) + quoted(folder / "m.tif")).errors,
              cannotOpen + "velstram: " + typedPath(missing) + ": exiting program\n");

    // A link whose target is missing is not written through, as cp refuses to.
    const fs::path link = folder / "link.tif";
    fs::create_symlink(folder / "gone.tif", link);
    EXPECT_EQ(runProgram("", "-q --red-cast " + quoted(good) + quoted(link)).errors,
              from + "cannot open " + link.string() +
                  ": Not writing through dangling symbolic link '" + link.string() + "'\n" + from +
                  "exiting program\n");
    EXPECT_FALSE(fs::exists(folder / "gone.tif"));

    const std::string ok = typedPath(good) + ": ok, 33 x 19 pixels, 1 strip\n";
    const std::tuple<std::string, std::string, RunResult> checks[] = {
        {ok, refusal, runProgram("", "--check " + quoted(good) + quoted(refused))},
        {"", refusal, runProgram("", "--check --quiet " + quoted(good) + quoted(refused))},
        {ok, "", runProgram("", "--check " + quoted(good))},
        {"", cannotOpen, runProgram("", "--check " + quoted(missing))},
    };
    // A BigTIFF or big-endian file is named for what it is from the first line on.
    for (const char* foreign : {"gdal_bigtiff.tif", "tiffcp_8_B_lzw_t.tif"}) {
        const std::string said = runProgram("", "--check " + quoted(fixture(foreign))).errors;
        EXPECT_TRUE(said.starts_with("velstram: " + typedPath(fixture(foreign)) + ": The file"))
            << said;
    }
    for (const auto& [out, errors, check] : checks) {
        EXPECT_EQ(check.transcript, out);
        EXPECT_EQ(check.errors, errors);
        EXPECT_EQ(check.status, errors.empty() ? 0 : 1);
    }
}

// The census of a fixture, and its groups of near colours, recorded beside it; piped, they
// hold no escape codes.
TEST(CommandLine, ColourCensusIsRecorded) {
    for (const std::string fuzz : {"", "--fuzz 40 "}) {
        RunResult run =
            runProgram("", "--colours --top 20 " + fuzz + quoted(fixture("pillow.tif")));
        expectRecorded(run.transcript,
                       fixture(fuzz.empty() ? "colours/pillow.txt" : "colours/pillow-groups.txt"));
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.errors, "");
    }
}
