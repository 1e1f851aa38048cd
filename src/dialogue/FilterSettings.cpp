#include "dialogue/FilterSettings.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "platform/RunEnded.h"

namespace {

constexpr std::array<std::string_view, 38> kBanner = {
    "\t*************************************************",
    "\t*                                               *",
    "\t*           Welcome to VELSTRAM                 *",
    "\t*                                               *",
    "\t*   Map preparation for raster-to-vector work   *",
    "\t*   Reads and writes 24-bit RGB TIFF images     *",
    "\t*   from the console, one image per run.        *",
    "\t*                                               *",
    "\t*   The program accepts as input 24-bit RGB     *",
    "\t*   .tif files and filters out all layers       *",
    "        *   except contour lines for R2V conversion.    *",
    "        *                                               *",
    "\t*   Option (1) allows screening of ten discrete *",
    "\t*   RGB color values.  When prompted, key in    *",
    "        *   the RRGGBB hex number equivalents           *",
    "\t*   of the colors that you want to * keep *.    *",
    "\t*   For example, a typical green color might    *",
    "\t*   be c9ea9d.  Note: key in exactly six        *",
    "\t*   hex digits. More digits will be ignored.    *",
    "        *   Less will result in the wrong colors being  *",
    "\t*   removed.( Enter 0 if you run out of colors.)*",
    "\t*                                               *",
    "\t*   Option (2) allows specification of a filter *",
    "\t*   band or range instead of discrete values.   *",
    "\t*   Key in a lower and higher RRGGBB value.     *",
    "\t*   VELSTRAM will remove all values between     *",
    "\t*   the lower and upper values. (Use hex.)      *",
    "\t*                                               *",
    "\t*   After all unwanted colors are filtered,     *",
    "\t*   and the file is hand-cleaned and corrected, *",
    "\t*   run option (3).                             *",
    "\t*                                               *",
    "\t*   Option (4) is for filtering the unnatural   *",
    "\t*   red color resulting from the sub-visible    *",
    "\t*   range of the sensor used to record DOQQ     *",
    "\t*   images.                                     *",
    "\t*                                               *",
    "\t*************************************************",
};

constexpr std::array<std::string_view, 4> kMenu = {
    "\n\nIf you want to screen discreet values, input 1;",
    "if you want to screen by inverted velstram method, input 2;",
    "if you want to clean and image process the countours, input 3",
    "if you want to remove the redeye from DOQQs, input 4",
};

// The option loop gives up after this many re-prompts have been printed.
constexpr int kMostReprompts = 100;

bool isMenuOption(int32_t option) {
    return option >= 1 && option <= 4;
}

void printWord(Console& console, int32_t word) {
    console.print(static_cast<uint32_t>(word));
}

std::string notAColour(std::string_view typed, bool noColourAllowed) {
    // A long paste is cut.
    constexpr size_t kMostShown = 40;
    std::string text = "\"";
    text += shown(typed.substr(0, kMostShown));
    text += typed.size() > kMostShown ? "..." : "";
    text += "\" is not a colour: key in six hex digits RRGGBB";
    text += noColourAllowed ? ", or 0 for no colour" : "; a band needs both bounds";
    return text;
}

}  // namespace

void FilterSettings::showBanner(Console& console) {
    for (std::string_view text : kBanner) {
        console.line(text);
    }
    console.endLine();
    console.endLine();
    console.line("  Press any key to continue");
    console.waitKey();
}

void FilterSettings::askSettings(Console& console) {
    askOption(console);
    if (option == 1) {
        askKeepColours(console);
    } else if (option == 2) {
        askBand(console);
    }
    console.endLine();
    console.line("hit any key");
    console.waitKey();
}

void FilterSettings::askOption(Console& console) {
    for (std::string_view text : kMenu) {
        console.line(text);
    }
    bool lastWasNumber = readMenuAnswer(console);
    int reprompts = 0;
    while (!isMenuOption(option) && reprompts <= kMostReprompts) {
        console.line("Please input 1, 2, 3 or 4 ");
        lastWasNumber = readMenuAnswer(console);
        ++reprompts;
    }
    // Whatever was typed after the number on its line goes with it.
    if (lastWasNumber) {
        console.readLine();
    }
}

// An answer that is not a number is taken with the rest of its line, so that the re-prompt
// waits for a new answer instead of meeting the same characters again.
bool FilterSettings::readMenuAnswer(Console& console) {
    if (console.readNumber(option)) {
        return true;
    }
    console.readLine();
    return false;
}

void FilterSettings::askKeepColours(Console& console) {
    for (size_t n = 0; n < kKeepColours.size(); ++n) {
        ColourAnswer answer = askColour(
            console, "Input filter" + std::to_string(n + 1) + " in hex in the form RRGGBB.", true);
        this->*kKeepColours[n] = answer.kind == ColourAnswer::Kind::Colour
                                     ? static_cast<int32_t>(answer.word)
                                     : parseHex(answer_line);
    }
    console.endLine();
    for (size_t n = 0; n < kKeepColours.size(); ++n) {
        console.print("filter " + std::to_string(n + 1) + " is:  ");
        printWord(console, this->*kKeepColours[n]);
        console.endLine();
        if (n > 0) {
            console.endLine();
        }
    }
}

// A band needs both bounds, so neither may be left out.
void FilterSettings::askBand(Console& console) {
    low_filter = static_cast<int32_t>(
        askColour(console, "Input low_filter in hex in the form RRGGBB\n", false).word);
    high_filter = static_cast<int32_t>(
        askColour(console, "Input high_filter in hex in the form RRGGBB\n", false).word);
    console.endLine();
    console.print("low_filter is:  ");
    printWord(console, low_filter);
    console.endLine();
    console.print("high_filter is:  ");
    printWord(console, high_filter);
    console.endLine();
}

// Asked until the answer is a colour. Piped, a second try would take the script's next line
// and shift every later answer by one, so there a mistyped colour ends the run instead.
ColourAnswer FilterSettings::askColour(Console& console, const std::string& prompt,
                                       bool noColourAllowed) {
    for (;;) {
        console.line(prompt);
        std::string line = console.readLine();
        keepInAnswerLine(line);
        ColourAnswer answer = ColourAnswer::of(line);
        if (answer.kind == ColourAnswer::Kind::Colour ||
            (noColourAllowed && answer.kind == ColourAnswer::Kind::NoColour)) {
            return answer;
        }
        std::string complaint = notAColour(line, noColourAllowed);
        if (!console.atTerminal()) {
            endRun({complaint});
        }
        console.line(complaint);
    }
}

// The buffer takes the first 39 characters and a terminator; the positions after the
// terminator keep what earlier answers left there.
void FilterSettings::keepInAnswerLine(std::string_view line) {
    size_t length = std::min(line.size(), answer_line.size() - 1);
    line.copy(answer_line.data(), length);
    answer_line[length] = '\0';
}

// The word of a "no colour" answer, as earlier versions gave it and their echo showed it:
// positions 0 to 5 of the buffer always count, whatever they hold, so the terminator of a
// lone 0 or of an empty line counts -48 and makes the word negative, a colour no pixel has.
int32_t FilterSettings::parseHex(const AnswerBuffer& answer) {
    int32_t sum = 0;
    for (int i = 0; i < 6; ++i) {
        const char typed = answer[static_cast<size_t>(i)];
        auto code = static_cast<signed char>(typed);
        int digit = code <= '9' ? code - '0' : hexLetterValue(typed);
        sum += static_cast<int32_t>(digit * std::pow(16.0, 5 - i));
    }
    return sum;
}

int32_t FilterSettings::hexLetterValue(char c) {
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return 0;
}

SettingsCopy SettingsCopy::of(const FilterSettings& settings) {
    SettingsCopy copy;
    // The answers' words are the colours' bits; a word the menu left unset has none.
    for (size_t n = 0; n < FilterSettings::kKeepColours.size(); ++n) {
        copy.keep[n] = static_cast<uint32_t>(settings.*FilterSettings::kKeepColours[n]);
    }
    copy.lowFilter = static_cast<uint32_t>(settings.low_filter);
    copy.highFilter = static_cast<uint32_t>(settings.high_filter);
    copy.option = settings.option;
    return copy;
}
