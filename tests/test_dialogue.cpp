#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "app/RunEnded.h"
#include "tiff/TifFile.h"

using namespace testing_support;

namespace {

struct Dialogue {
    std::string transcript;
    int keyWaits = 0;
    bool ended = false;
    SettingsCopy settings;
    std::string inputName;
    std::string outputName;
};

// Runs the dialogue alone: the TifFile's construction.
Dialogue talk(const std::string& typed) {
    std::istringstream in(typed);
    std::ostringstream out;
    Dialogue result;
    Console console(in, out, [&result] { ++result.keyWaits; });
    try {
        TifFile file(console);
        result.settings = file.settingsCopy;
        result.inputName = file.input.name;
        result.outputName = file.output.name;
    } catch (const RunEnded&) {
        result.ended = true;
    }
    result.transcript = out.str();
    return result;
}

size_t count(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++n;
    }
    return n;
}

const std::string kMenu =
    "\n\nIf you want to screen discreet values, input 1;\n"
    "if you want to screen by inverted velstram method, input 2;\n"
    "if you want to clean and image process the countours, input 3\n"
    "if you want to remove the redeye from DOQQs, input 4\n";
const std::string kReprompt = "Please input 1, 2, 3 or 4 \n";
const std::string kInputPrompt =
    "\n\nInput the name of the input TIF file\n\nPlease type in the complete file name including "
    "the "
    "directory path\nfor example: c:\\infile.TIF\n\n";
const std::string kOutputPrompt =
    "\n\nInput the name of the output TIF file\n\nPlease type in the complete file name including "
    "the "
    "directory path\nfor example: c:\\outfile.TIF\n\n";

class DialogueTest : public ::testing::Test {
  protected:
    std::string input = fixture("pillow.tif").string();
    ScratchDir scratch;
    std::string output = (scratch / "out.tif").string();
    std::string names() const { return "\n" + input + "\n" + output + "\n"; }
};

// The text between the menu and the file-name prompts.
std::string settingsPart(const std::string& transcript) {
    size_t start = transcript.find(kMenu);
    size_t end = transcript.find(kInputPrompt);
    return transcript.substr(start + kMenu.size(), end - start - kMenu.size());
}

}  // namespace

TEST_F(DialogueTest, BannerFramesThirtyEightLinesBeforeTheFirstKeyWait) {
    Dialogue d = talk("3\n" + names());
    std::string banner = d.transcript.substr(0, d.transcript.find(kMenu));
    std::istringstream lines(banner);
    std::string line;
    for (int n = 1; n <= 38; ++n) {
        ASSERT_TRUE(std::getline(lines, line));
        bool wideIndent = n == 11 || n == 12 || n == 15 || n == 20;
        EXPECT_EQ(line.substr(0, wideIndent ? 8 : 1), wideIndent ? "        " : "\t")
            << "line " << n;
        std::string frame = line.substr(wideIndent ? 8 : 1);
        ASSERT_EQ(frame.size(), 49u) << "line " << n;
        EXPECT_EQ(frame.front(), '*');
        EXPECT_EQ(frame.back(), '*');
    }
    EXPECT_EQ(
        banner.substr(banner.find("*************************************************\n", 10)),
        "*************************************************\n\n\n  Press any key to continue\n");
    EXPECT_NE(banner.find("\t*           Welcome to VELSTRAM                 *\n"),
              std::string::npos);
    EXPECT_NE(banner.find("\t*   removed.( Enter 0 if you run out of colors.)*\n"),
              std::string::npos);
    EXPECT_EQ(d.keyWaits, 2);
}

TEST_F(DialogueTest, MenuRepromptsNumbersOutsideOneToFourThenAcceptsThree) {
    Dialogue d = talk("0\n5\n-1\n7\n3\n" + names());
    EXPECT_EQ(settingsPart(d.transcript),
              kReprompt + kReprompt + kReprompt + kReprompt + "\nhit any key\n");
    EXPECT_EQ(d.settings.option(), 3);
}

TEST_F(DialogueTest, NumbersOnOneLineAreTakenWithoutNewWaitsAndBigNumbersCountAsWrong) {
    Dialogue d = talk("  \n\n 99999999999 -99999999999 +4 junk\n" + names());
    EXPECT_EQ(settingsPart(d.transcript), kReprompt + kReprompt + "\nhit any key\n");
    EXPECT_EQ(d.settings.option(), 4);
}

TEST_F(DialogueTest, NonNumberGivesUpAfterOneHundredAndOneReprompts) {
    Dialogue d = talk("7\nx and more\n" + names());
    std::string expected;
    for (int i = 0; i < 101; ++i) {
        expected += kReprompt;
    }
    EXPECT_EQ(settingsPart(d.transcript), expected + "\nhit any key\n");
    EXPECT_EQ(d.settings.option(), 7);
    EXPECT_EQ(d.inputName, input);
}

TEST_F(DialogueTest, FirstAnswerNotANumberLeavesOptionZero) {
    Dialogue d = talk("-x\n" + names());
    EXPECT_EQ(count(d.transcript, kReprompt), 101u);
    EXPECT_EQ(d.settings.option(), 0);
}

TEST_F(DialogueTest, OptionTwoOnTheMenuLineSwallowsTheRestAndEchoesBounds) {
    Dialogue d = talk("2 ff0000\n000000\nffffff\n" + names());
    EXPECT_EQ(settingsPart(d.transcript),
              "Input low_filter in hex in the form RRGGBB\n\n"
              "Input high_filter in hex in the form RRGGBB\n\n"
              "\nlow_filter is:  0\nhigh_filter is:  16777215\n"
              "\nhit any key\n");
    EXPECT_EQ(d.settings.lowFilter(), 0);
    EXPECT_EQ(d.settings.highFilter(), 0xFFFFFF);
}

TEST_F(DialogueTest, OptionOneEchoesTenColoursWithTheirSpacing) {
    Dialogue d =
        talk("1\nc9ea9d\nC9EA9D\nc9ea9d12\nc9ea9\nc9ea9d\n0\nx9ea9d\n c9ea9\n\n000000\n" + names());
    std::string expected;
    for (int n = 1; n <= 10; ++n) {
        expected += "Input filter" + std::to_string(n) + " in hex in the form RRGGBB.\n";
    }
    const char* echoes[] = {"13232797",   "13232797", "13232797",   "13232736", "13232797",
                            "4291881629", "649885",   "4279017129", nullptr,    "0"};
    expected += "\n";
    for (int n = 1; n <= 10; ++n) {
        if (n == 9) {
            continue;
        }
        std::string label = "filter " + std::to_string(n) + " is:  ";
        ASSERT_NE(d.transcript.find(label + echoes[n - 1] + "\n"), std::string::npos) << label;
    }
    std::string part = settingsPart(d.transcript);
    EXPECT_EQ(part.substr(0, expected.size()), expected);
    EXPECT_NE(part.find("\nfilter 1 is:  13232797\nfilter 2 is:  13232797\n\nfilter 3 is:  "),
              std::string::npos);
    EXPECT_EQ(part.substr(part.size() - 31), "filter 10 is:  0\n\n\nhit any key\n");
    EXPECT_EQ(d.settings.keepColour(0), 13232797);
    EXPECT_EQ(d.settings.keepColour(3), 13232736);
    EXPECT_EQ(d.settings.keepColour(5), -3085667);
    EXPECT_EQ(d.settings.keepColour(6), 649885);
    EXPECT_EQ(d.settings.keepColour(7), -15950167);
    // A bare Enter puts the terminator first: far below any colour.
    EXPECT_LT(d.settings.keepColour(8), -49000000);
    EXPECT_EQ(d.settings.keepColour(9), 0);
}

TEST(ParseHex, AnswerOfZeroIsNegativeWhateverTheLeftovers) {
    for (const char* earlier : {"", "ffffff", "000000", "zzzzzzzzz", "\x80\x80\x80\x80\x80\x80"}) {
        Console::AnswerBuffer buffer{};
        std::copy(earlier, earlier + std::char_traits<char>::length(earlier), buffer.begin());
        buffer[0] = '0';
        buffer[1] = '\0';
        EXPECT_LE(FilterSettings::parseHex(buffer), -3080193) << earlier;
    }
}

TEST(ParseHex, LettersAndOtherCharacters) {
    EXPECT_EQ(FilterSettings::hexLetterValue('a'), 10);
    EXPECT_EQ(FilterSettings::hexLetterValue('F'), 15);
    EXPECT_EQ(FilterSettings::hexLetterValue('G'), 0);
    EXPECT_EQ(FilterSettings::hexLetterValue(':'), 0);
    Console::AnswerBuffer buffer{};
    std::string bytes =
        "\xff"
        "00000";
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    EXPECT_EQ(FilterSettings::parseHex(buffer), -49 * 0x100000);
}

TEST_F(DialogueTest, KeyWaitLineLosesItsFirstCharacterToTheDiscard) {
    Dialogue d = talk("3\nX" + input + "\n" + output + "\n");
    EXPECT_EQ(d.inputName, input);
    EXPECT_EQ(count(d.transcript, "Cannot open"), 0u);
}

TEST_F(DialogueTest, NamesAreRetriedUntilOneOpens) {
    std::string missing = (scratch / "missing.tif").string();
    // A folder opens for reading on some systems, but holds no image and takes no output.
    std::string folder = scratch.path().string();
    Dialogue d = talk("3\n\n\n" + missing + "\n" + folder + "\n" + input + "\n" + folder + "\n" +
                      output + "\n");
    auto refused = [](const std::string& name) {
        return "**Cannot open" + name + "**\nPlease try again.\n\n";
    };
    std::string expected = kInputPrompt + refused("") + kInputPrompt + refused(missing) +
                           kInputPrompt + refused(folder) + kInputPrompt + kOutputPrompt +
                           refused(folder) + kOutputPrompt;
    EXPECT_EQ(d.transcript.substr(d.transcript.find(kInputPrompt)), expected);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(d.outputName, output);
    EXPECT_TRUE(std::filesystem::exists(output));
    EXPECT_EQ(std::filesystem::file_size(output), 0u);
}

TEST_F(DialogueTest, LongNamesAreTakenWhole) {
    std::filesystem::path deep =
        scratch / "a folder with a rather long name" / "and another one below it";
    std::filesystem::create_directories(deep);
    std::filesystem::copy_file(input, deep / "input image.tif");
    std::string longInput = (deep / "input image.tif").string();
    std::string longOutput = (deep / "output image with a long name.tif").string();
    Dialogue d = talk("3\n\n" + longInput + "\n" + longOutput + "\r\n");
    EXPECT_EQ(d.inputName, longInput);
    EXPECT_EQ(d.outputName, longOutput);
    EXPECT_TRUE(std::filesystem::exists(longOutput));
}

TEST_F(DialogueTest, OutputThatHoldsDataIsRefused) {
    { std::ofstream(output) << "old image"; }
    std::string fresh = (scratch / "fresh.tif").string();
    Dialogue d = talk("3\n\n" + input + "\n" + output + "\n" + input + "\n" + fresh + "\n");
    std::string refusals = d.transcript.substr(d.transcript.find(kOutputPrompt));
    EXPECT_EQ(refusals, kOutputPrompt + "**" + output +
                            " already holds data and will not be written**\n" +
                            "Please try again.\n\n" + kOutputPrompt + "**" + input +
                            " already holds data and will not be written**\nPlease try again.\n\n" +
                            kOutputPrompt);
    EXPECT_EQ(d.outputName, fresh);
    std::ifstream old(output);
    std::string content((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "old image");
}

TEST_F(DialogueTest, EndOfInputEndsTheRunWithOneLine) {
    const std::string ended =
        "Console input ended before the dialogue was complete; exiting program\n";
    for (const std::string& typed :
         {std::string(""), std::string("7\n"), std::string("1\nc9ea9d\n"),
          std::string("2\n000000\n"), std::string("3\n"), std::string("3\n\n"),
          "3\n\n" + input + "\n", std::string("3\n\nmissing\n")}) {
        Dialogue d = talk(typed);
        EXPECT_TRUE(d.ended) << typed;
        EXPECT_EQ(count(d.transcript, ended), 1u) << typed;
        EXPECT_EQ(d.transcript.substr(d.transcript.size() - ended.size()), ended) << typed;
        EXPECT_LE(count(d.transcript, kReprompt), 101u);
    }
}
