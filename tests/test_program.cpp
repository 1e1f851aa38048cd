// The built program as users run it: answers piped in, files on disk, exit status.

#include <sys/wait.h>

#include "FilterModels.h"
#include "platform/HiddenName.h"

using namespace testing_support;

// Every fixture of tests/data and every file of the malformed corpus prints the report
// recorded beside it in reports/NAME.txt after the prompts. With an empty band a run that
// completes gives the input back byte for byte, but for reduced-resolution pages rebuilt by
// nearest sampling (checked with the filtered outputs); a run that stops leaves no output.
TEST(ProgramRun, EveryRecordedFilePrintsItsReport) {
    std::vector<std::pair<fs::path, fs::path>> recorded;
    for (const fs::path& folder : {fixture("."), fixture("../malformed")}) {
        for (const auto& input : fs::directory_iterator(folder)) {
            if (input.path().extension() == ".tif") {
                recorded.emplace_back(input, folder / "reports" / input.path().stem() += ".txt");
            }
        }
    }
    for (const auto& [input, report] : recorded) {
        SCOPED_TRACE(input.filename().string());
        FileRun run = runFile(input, kNoFilter, true);
        expectRecorded(run.report, report);
        bool completes = endsWith(run.report, kClosing);
        EXPECT_EQ(run.status, completes ? 0 : 1);
        bool rebuilt = run.report.find("rebuilt from the filtered image") != std::string::npos;
        EXPECT_TRUE(rebuilt || run.output == (completes ? readBytes(input) : Bytes{}));
    }
    EXPECT_GE(recorded.size(), 40U);
}

// Each option on files from every writer and layout: the output is the input with each
// strip's pixels replaced by what the option's rule makes of them.
TEST(ProgramRun, EveryOptionAppliesItsRuleOnEveryLayout) {
    const struct {
        std::string settings;
        models::Model model;
        std::vector<std::string> files;
    } cases[] = {
        {"1\nc9ea9d\n0\n0\n0\n0\n0\n0\n0\n000000\nc96a2d\n",
         models::keepList({0xC9EA9D, 0, 0xC96A2D}),
         {"tiffcp_r1_odd", "tifffile_rps", "imagemagick", "hand_strips_out_of_order"}},
        {"2\n100000\nc9ffff\n",
         models::band(0x100000, 0xC9FFFF),
         {"tiffcp_default", "pillow", "vips"}},
        {"2\n000000\nffffff\n",
         models::band(0, 0xFFFFFF),
         {"tifffile_contig", "hand_gap_between_strips", "hand_arrays_above_64k",
          "hand_two_shorts_inline", "hand_short_arrays"}},
        {"3\n", models::contours, {"tiffcp_r1_odd", "tifffile_contig", "hand_gap_between_strips"}},
        {"4\n", models::redCast, {"tiffcp_default", "tifffile_contig", "hand_arrays_above_64k"}},
    };
    for (const auto& [settings, model, files] : cases) {
        for (const std::string& name : files) {
            SCOPED_TRACE(name + ", settings " + settings);
            const Bytes input = readBytes(fixture(name + ".tif"));
            FileRun run = runFile(fixture(name + ".tif"), settings, true);
            EXPECT_EQ(run.status, 0) << run.report;
            EXPECT_TRUE(endsWith(run.report, "\n" + kClosing));
            EXPECT_TRUE(run.output == models::filteredFile(input, model));
        }
    }
}

// Option 4 on files with reduced-resolution pages, of sizes that divide the image's and
// sizes that do not, in strips and in tiles, gives the recorded output: the pages that
// gdaladdo -r nearest made from the output itself (make_fixtures.py).
TEST(ProgramRun, ReducedPagesAreRebuiltFromTheFilteredImage) {
    int files = 0;
    for (const auto& recorded : fs::directory_iterator(fixture("filtered"))) {
        SCOPED_TRACE(recorded.path().filename().string());
        FileRun run = runFile(fixture(recorded.path().filename().string()), "4\n", true);
        EXPECT_EQ(run.status, 0);
        EXPECT_NE(run.report.find(" x 12 pixels is rebuilt from the filtered image"),
                  std::string::npos);
        EXPECT_TRUE(run.output == readBytes(recorded.path()));
        ++files;
    }
    EXPECT_EQ(files, 5);
}

// gdal_overviews_odd.tif holds a 13 x 8 page in one tile at 3272, then a 19 x 12 page in one
// tile at 15560. Made compressed (its Compression value at 3156), the 19 x 12 page is copied
// as it is, yet the 13 x 8 page is still sampled through it as gdaladdo samples it; with
// the 13 x 8 page's tile moved over the other's (TileOffsets at 3054), whether that one is
// rebuilt or not, neither is, nor is it where its tile's byte count (at 3066) is short of its
// rows; with the tile moved to byte 8, over the strip, the strip may not overwrite it.
TEST(ProgramRun, APageCopiedUnchangedStaysInTheChainAndIsNeverOverwritten) {
    const struct {
        std::vector<std::pair<size_t, uint32_t>> patches;
        size_t copiedFrom;
    } cases[] = {{{{3156, 8}}, 15560},
                 {{{3054, 15560}}, 3272},
                 {{{3156, 8}, {3054, 15560}}, 3272},
                 {{{3156, 8}, {3066, 1535}}, 3272}};
    for (const auto& [patches, copiedFrom] : cases) {
        Bytes tiff = readBytes(fixture("gdal_overviews_odd.tif"));
        Bytes expected = readBytes(fixture("filtered/gdal_overviews_odd.tif"));
        for (const auto& [at, value] : patches) {
            put(tiff, at, value);
        }
        std::copy(tiff.begin() + static_cast<ptrdiff_t>(copiedFrom), tiff.end(),
                  expected.begin() + static_cast<ptrdiff_t>(copiedFrom));
        for (const auto& [at, value] : patches) {
            put(expected, at, value);
        }
        FileRun run = runOnBytes(tiff, "4\n");
        EXPECT_TRUE(run.output == expected);
        EXPECT_NE(run.report.find("\n  gdaladdo -r nearest output.tif 2 3\n"), std::string::npos)
            << run.report;
        EXPECT_EQ(run.report.find("19 x 12 pixels is rebuilt"), std::string::npos);
        EXPECT_EQ(run.report.find("13 x 8 pixels is rebuilt") == std::string::npos,
                  copiedFrom < 15560);
    }
    Bytes tiff = readBytes(fixture("gdal_overviews_odd.tif"));
    put(tiff, 3054, 8);
    FileRun run = runOnBytes(tiff, "4\n");
    EXPECT_EQ(expectSound(run, {}), 1);
    EXPECT_NE(run.report.find("Strip 0 (bytes 370 to 2922) overlaps the image data of page 2 "
                              "(bytes 8 to 12295)\n"),
              std::string::npos)
        << run.report;
}

// A reduced page in two strips after pillow.tif, its arrays out of line above 64 KiB: pixel
// i of the output's page is the filtered image's floor(0.5 + i * 33 / 17) across and
// floor(0.5 + i * 19 / 10) down, as gdaladdo samples it; a mask's page is left alone.
TEST(ProgramRun, AReducedPageBeyond64KiBIsRebuiltPixelForPixel) {
    Bytes tiff = readBytes(fixture("pillow.tif"));
    const uint32_t width = 17, height = 10, strips = 65536, stripBytes = width * 5 * 3;
    const uint32_t arrays = strips + 2 * stripBytes;
    auto append = [&tiff](uint32_t value, size_t size) {
        tiff.resize(tiff.size() + size);
        put(tiff, tiff.size() - size, value, size);
    };
    put(tiff, 8 + 2 + 12 * 10, arrays + 22);  // the next directory of pillow.tif's only one
    tiff.resize(strips, 0x5A);
    tiff.resize(arrays, 0xA5);
    for (uint32_t value : {strips, strips + stripBytes, stripBytes, stripBytes, 8U << 16 | 8U}) {
        append(value, 4);
    }
    append(8, 2), append(10, 2);
    const uint32_t entries[][4] = {
        {254, 4, 1, 1}, {256, 4, 1, width},     {257, 4, 1, height}, {258, 3, 3, arrays + 16},
        {259, 3, 1, 1}, {262, 3, 1, 2},         {273, 4, 2, arrays}, {277, 3, 1, 3},
        {278, 4, 1, 5}, {279, 4, 2, arrays + 8}};
    for (const auto& [tag, type, count, value] : entries) {
        append(tag, 2), append(type, 2), append(count, 4), append(value, 4);
    }
    append(0, 4);
    FileRun run = runOnBytes(tiff, "4\n");
    EXPECT_NE(run.report.find("page of 17 x 10 pixels is rebuilt"), std::string::npos)
        << run.report;
    const Image image = decodeImage(run.output);
    for (uint32_t at = 0; at < width * height && run.status == 0; ++at) {
        const uint8_t* rgb = &run.output.at(strips + 3 * at);
        EXPECT_EQ(uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2],
                  image.pixels.at(static_cast<uint32_t>(0.5 + at / width * 1.9) * 33 +
                                  static_cast<uint32_t>(0.5 + at % width * (33.0 / width))));
    }
    EXPECT_EQ(run.status, 0);
    // Marked as a transparency mask as well (NewSubfileType 5), the page is copied unchanged.
    put(tiff, arrays + 32, 5);
    EXPECT_TRUE(runOnBytes(tiff, "4\n").output == models::filteredFile(tiff, models::redCast));
    // The file cut off before the page's link to a next one ends the chain there.
    put(tiff, arrays + 32, 1);
    tiff.resize(tiff.size() - 4);
    run = runOnBytes(tiff, "4\n");
    EXPECT_NE(run.report.find("page of 17 x 10 pixels is rebuilt"), std::string::npos);
    EXPECT_EQ(run.report.find("further images"), std::string::npos) << run.report;
}

// A cure names the file as the user typed it and an output beside it, quoted as the shell
// (sh, or cmd.exe on Windows) needs, so that the line can be pasted.
TEST(ProgramRun, CuresNameTheUsersFilesQuotedForTheShell) {
    const fs::path folder = scratch("cures");
    writeBytes(folder / "it's sheet.TIF", readBytes(fixture("tiffcp_lzw.tif")));
    const std::string typed = typedPath(folder / "it's sheet.TIF");
    auto quoted = [](const std::string& name) {
        if (std::getenv("VELSTRAM_WINDOWS_PATHS") != nullptr) {
            return "\"" + name + "\"";
        }
        return "'" + replaceAll(name, "'", "'\\''") + "'";
    };
    RunResult result = runProgram("4\n\n" + typed + "\n" + typedPath(folder / "out.tif") + "\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.transcript.find("\n  tiffcp -c none " + quoted(typed) + " " +
                                     quoted(typed.substr(0, typed.size() - 4) + "-rgb.TIF") + "\n"),
              std::string::npos)
        << result.transcript;
}

// Map sheets are named after places, in their own language: such a name, typed at the prompt
// or given as an argument, reaches the file system as the user wrote it, and each message
// quotes it so, on Windows too.
TEST(ProgramRun, LettersOutsideAsciiNameTheFilesTheUserMeant) {
    const fs::path folder = scratch("names");
    const Bytes input = readBytes(fixture("pillow.tif"));
    const Bytes filtered = models::filteredFile(input, models::redCast);
    const std::pair<fs::path, fs::path> names[] = {
        {folder / "Blatt Nürnberg-Süd.tif", folder / "gefärbt ß é.tif"},
        {folder / "地図 Übersicht.tif", folder / "出力 ä.tif"}};
    for (const auto& [sheet, output] : names) {
        writeBytes(sheet, input);
        const std::string in = typedPath(sheet), out = typedPath(output);
        const std::string typed = "4\n\n" + in + "\n" + out + "\n";
        RunResult first = runProgram(typed);
        EXPECT_EQ(first.status, 0) << first.transcript;
        EXPECT_TRUE(readBytes(output) == filtered) << out;
        RunResult again = runProgram(typed);
        EXPECT_NE(
            again.transcript.find("**" + out + " already holds data and will not be written**"),
            std::string::npos)
            << again.transcript;
        const std::string arguments = "--red-cast '" + in + "' '" + out + "'";
        RunResult refused = runProgram("", arguments);
        EXPECT_EQ(refused.errors, "velstram: " + in + ": **" + out +
                                      " already holds data and will not be written without "
                                      "--replace**\nvelstram: " +
                                      in + ": exiting program\n");
        fs::remove(output);
        RunResult given = runProgram("", arguments);
        EXPECT_EQ(given.status, 0) << given.errors;
        EXPECT_EQ(given.transcript.substr(0, in.size() + out.size() + 6), in + " -> " + out + ": ");
        EXPECT_TRUE(readBytes(output) == filtered) << out;
    }
}

// Of two runs started together on one output name, at most one succeeds, and the name holds
// the whole output of one that did; with --replace, the file there before is replaced whole.
TEST(ProgramRun, OfTwoRunsOnOneOutputNameAtMostOneSucceeds) {
    const fs::path folder = scratch("two runs");
    const Bytes images[] = {makeImage(900, 900, true), makeImage(900, 900, false)};
    const Bytes outputs[] = {models::filteredFile(images[0], models::redCast),
                             models::filteredFile(images[1], models::redCast)};
    writeBytes(folder / "a.tif", images[0]);
    writeBytes(folder / "b.tif", images[1]);
    const std::string out = " '" + typedPath(folder / "out ä.tif") + "'";
    for (const std::string option : {"-q --red-cast ", "-q --replace --red-cast "}) {
        for (int round = 0; round < 2; ++round) {
            writeBytes(folder / "out ä.tif", images[0]);
            // What a killed run left while writing that name goes with the next run.
            writeBytes(folder / ".out ä.tif.velstram-2147483646.tmp", images[1]);
            if (option.find("replace") == std::string::npos) {
                fs::remove(folder / "out ä.tif");
            }
            const auto [a, b] = runTogether(option + "'" + typedPath(folder / "a.tif") + "'" + out,
                                            option + "'" + typedPath(folder / "b.tif") + "'" + out);
            const Bytes left = readBytes(folder / "out ä.tif");
            EXPECT_TRUE((a == 0 && left == outputs[0]) || (b == 0 && left == outputs[1]))
                << option << a << " " << b;
            EXPECT_TRUE(option.find("replace") != std::string::npos || a + b == 1) << a << b;
            EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 3);
        }
    }
}

// An output name up to the system's longest (255) is written over an empty file there, and
// with --replace over one that holds data, through a hidden file of a shortened name; the
// left-over of an ended run for that name goes, that of another long name with the same
// start stays. A longer name is refused before the input is read: no report is printed.
TEST(ProgramRun, LongOutputNamesAreWrittenAndTooLongOnesRefusedFirst) {
    const fs::path folder = scratch("long names");
    const std::string in = "'" + typedPath(fixture("pillow.tif")) + "' ";
    const Bytes filtered = models::filteredFile(readBytes(fixture("pillow.tif")), models::redCast);
    const std::string other = std::string(251, 'n') + "x.tif";
    writeBytes(folder / (platform::hiddenPrefix<char>(other, 255) + "2147483646.tmp"), {'p'});
    for (size_t length : {240U, 250U, 255U, 256U}) {
        const std::string name = std::string(length - 4, 'n') + ".tif";
        const std::string out = "'" + typedPath(folder / name) + "'";
        const fs::path left = folder / (platform::hiddenPrefix<char>(name, 255) + "2147483646.tmp");
        for (const std::string option :
             {"--report --red-cast ", "--report --replace --red-cast "}) {
            const bool refused = length > 255;
            if (!refused) {
                writeBytes(folder / name,
                           option.find("replace") != std::string::npos ? Bytes{'o'} : Bytes{});
                writeBytes(left, {'p'});
            }
            RunResult run = runProgram("", option + in + out);
            EXPECT_EQ(run.status, refused ? 1 : 0) << length << run.errors;
            EXPECT_EQ(run.transcript.empty(), refused) << length;
            EXPECT_EQ(run.errors.find(": cannot open ") != std::string::npos, refused) << length;
            EXPECT_TRUE(refused || readBytes(folder / name) == filtered) << length;
            EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), refused ? 1 : 2) << length;
            if (!refused) {
                fs::remove(folder / name);
            }
        }
    }
}

// On Windows a file that a run holds is shared for reading only: a run that would write it
// meanwhile is refused, and told why. Elsewhere that run replaces it, and the first, whose
// held file was unlinked (as a rewrite could have done), writes nothing. The first run holds
// its input while it waits for the output's name.
TEST(ProgramRun, AFileAnotherRunHoldsIsRefusedOnWindowsAndFailsTheHolderElsewhere) {
    const bool windows = std::getenv("VELSTRAM_WINDOWS_PATHS") != nullptr;
    const std::string end = windows ? "\\r\\n" : "\\n";
    const fs::path folder = scratch("held");
    writeBytes(folder / "Blatt ß.tif", readBytes(fixture("pillow.tif")));
    const std::string in = typedPath(folder / "Blatt ß.tif"), by = typedPath(fixture("pillow.tif"));
    const std::string script =
        "cd '" + folder.string() + "' && mkfifo answers && { " + programCommand() +
        "< answers > shown.txt & } && exec 7> answers && printf '4" + end + end + "%s" + end +
        "' '" + in +
        "' >&7; n=0; until grep -q outfile shown.txt || [ $n -gt 300 ]; do sleep 0.1; "
        "n=$((n+1)); done; " +
        programCommand() + "--replace --red-cast '" + by + "' '" + in +
        "' 2> refused.txt; s=$?; printf 'out.tif" + end +
        "' >&7; exec 7>&-; wait $!; exit $((s * 16 + $?))";
    const int raw = std::system(script.c_str());
    EXPECT_EQ(WEXITSTATUS(raw), windows ? 16 : 1);
    const Bytes refused = readBytes(folder / "refused.txt");
    EXPECT_EQ(replaceAll(std::string(refused.begin(), refused.end()), "\r\n", "\n"),
              !windows ? ""
                       : "velstram: " + by + ": cannot open " + in +
                             ": Another program holds the file open and keeps it from being "
                             "written\nvelstram: " +
                             by + ": exiting program\n");
    EXPECT_TRUE(readBytes(folder / "out.tif") ==
                (windows ? models::filteredFile(readBytes(fixture("pillow.tif")), models::redCast)
                         : Bytes{}));
}
