// The console as a person meets it: key presses at a terminal, pasted names, arguments.

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>

#include "TestSupport.h"
#include "dialogue/Console.h"
#include "dialogue/RunEnded.h"
#include "dialogue/TypedName.h"

using namespace testing_support;

TEST(TypedName, PastedQuotesAndWhiteSpaceAreDropped) {
    setenv("HOME", "/home/mapper", 1);
    const std::pair<std::string, std::string> cases[] = {
        {"'/maps/sheet 12.tif' ", "/maps/sheet 12.tif"},
        {"\"C:\\maps\\sheet 12.tif\"", "C:\\maps\\sheet 12.tif"},
        {" \t/maps/a.tif\r", "/maps/a.tif"},
        {"\"'one pair only'\"", "'one pair only'"},
        {"'/maps/a.tif\"", "'/maps/a.tif\""},
        {"''", ""},
        {"~/maps/a.tif", "/home/mapper/maps/a.tif"},
        {"'~/maps/a.tif' ", "/home/mapper/maps/a.tif"},
        {"~mapper/a.tif", "~mapper/a.tif"}};
    for (const auto& [typed, meant] : cases) {
        EXPECT_EQ(fileNameMeant(typed), meant) << typed;
    }
}

// The end of input at the editor of a name (Ctrl+D at a terminal) ends the run as the end of
// piped input does.
TEST(TypedName, TheEndOfInputInTheEditorEndsTheRun) {
    std::istringstream in;
    std::ostringstream out;
    Console console(in, out, [] {}, Console::Input::Terminal,
                    [] { return std::optional<std::string>(); });
    EXPECT_THROW(console.readName(), RunEnded);
    EXPECT_EQ(out.str(),
              "\nConsole input ended before the dialogue was complete; exiting program\n");
}

// Help and version answer on standard output. A misuse is named in one line on standard
// error, followed by where to look, with status 2, before any file is touched: the output is
// not created, and an output that is the input is refused by identity.
TEST(ProgramArguments, HelpAndVersionAnswerAndMisuseIsNamedBeforeAnyFileIsTouched) {
    const std::string input = "'" + typedPath(fixture("pillow.tif")) + "'";
    const std::pair<std::string, std::string> cases[] = {
        {"-h", "usage: velstram\n       velstram [--quiet] [--replace] [--report] --keep"},
        {"--version", "velstram " VELSTRAM_VERSION "\n"},
        {"--keep '#c96a2d,8b4513' a b.tif -r", "unknown option '-r'"},
        {"--red-cast a -", "'-' is no file name here"},
        {"--red-cast " + input + " " + input, input + " is the input file itself"},
    };
    for (const auto& [arguments, expected] : cases) {
        RunResult run = runProgram("4\n\n", arguments);
        const bool answered = arguments == "-h" || arguments == "--version";
        EXPECT_EQ(run.status, answered ? 0 : 2) << arguments;
        const std::string start = answered ? expected : "velstram: " + expected;
        EXPECT_EQ((answered ? run.transcript : run.errors).substr(0, start.size()), start);
        EXPECT_TRUE(answered || (endsWith(run.errors, "\nTry 'velstram --help'.\n") &&
                                 std::count(run.errors.begin(), run.errors.end(), '\n') == 2))
            << run.errors;
        EXPECT_EQ(answered ? run.errors : run.transcript, "") << arguments;
        EXPECT_FALSE(fs::exists("b.tif") || fs::exists("-")) << arguments;
    }
}

namespace {

// Runs the built program at a terminal of its own: at each step, waits until the text shown
// appears (five seconds at most), or a fifth of a second for no text, as a slow link would
// part the keys from the last ones, and then types the keys. Returns the exit status, or -1.
int runAtTerminal(const std::vector<std::pair<std::string, std::string>>& steps,
                  std::string& screen, std::vector<std::string> arguments = {},
                  const char* terminalKind = "dumb") {
    std::vector<char*> argv = {const_cast<char*>(VELSTRAM_BINARY)};
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    int terminal = -1;
    pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        setenv("TERM", terminalKind, 1);
        execv(VELSTRAM_BINARY, argv.data());
        _exit(127);
    }
    size_t seen = 0;
    pollfd ready{terminal, POLLIN, 0};
    for (const auto& [shown, keys] : steps) {
        char chunk[4096];
        ssize_t got = 0;
        while (screen.find(shown, seen) == std::string::npos && poll(&ready, 1, 5000) > 0 &&
               (got = read(terminal, chunk, sizeof chunk)) > 0) {
            screen.append(chunk, static_cast<size_t>(got));
        }
        if (shown.empty()) {
            usleep(200000);
        }
        seen = screen.find(shown, seen);
        if (seen == std::string::npos ||
            write(terminal, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
            kill(child, SIGKILL);
            break;
        }
        seen += shown.size();
    }
    int status = -1;
    waitpid(child, &status, 0);
    // The terminal as the program left it: line by line and echoing, as it found it.
    termios modes{};
    EXPECT_EQ(tcgetattr(terminal, &modes), 0);
    EXPECT_EQ(modes.c_lflag & (ICANON | ECHO), tcflag_t{ICANON | ECHO}) << screen;
    close(terminal);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// An arrow or function key sends several bytes, a letter outside ASCII two. Bytes a key wait
// left behind would be read as typed: the menu would re-prompt, a file name start with them.
// The first session presses a down arrow at the banner, mistypes a bound, which is asked
// again, presses F1 at "hit any key" and types the input's path straight after it, and é at
// the end; the second Ctrl+C at the banner, which ends the run as every stop does, with
// status 1; the third recalls the input's name with the up arrow at the output's prompt (it is
// refused) and presses Ctrl+C at the last wait, when the output is already in place, with
// status 0. The fourth gets an arrow key over a slow link, its escape sequence split.
TEST(KeyWait, KeysOfSeveralBytesAreOneKeyPressEach) {
    const std::string output = (scratch("terminal") / "out.tif").string();
    const struct {
        std::vector<std::pair<std::string, std::string>> steps;
        int status;
    } sessions[] = {
        {{{"Press any key to continue", "\x1b[B"},
          {"input 4", "2\r"},
          {"low_filter in hex", "8b45l3\r"},
          {"\"8b45l3\" is not a colour", ""},
          {"low_filter in hex", "ffffff\r"},
          {"high_filter in hex", "000000\r"},
          {"hit any key", "\x1bOP" + fixture("pillow.tif").string() + "\r"},
          {"outfile.TIF", output + "\r"},
          {"Press any key to continue", "\xc3\xa9"},
          {"Done", ""}},
         0},
        {{{"Press any key to continue", "\x03"}}, 1},
        {{{"Press any key to continue", "x"},
          {"input 4", "4\r"},
          {"hit any key", "k" + fixture("pillow.tif").string() + "\r"},
          {"outfile.TIF", "\x1b[A\r"},
          {"already holds data", ""},
          {"outfile.TIF", output + ".2\r"},
          {"Press any key to continue", "\x03"}},
         0},
        {{{"Press any key to continue", "\x1b"},
          {"", "["},
          {"", "B"},
          {"input 4", "4\r"},
          {"hit any key", "\x03"}},
         1},
    };
    for (const auto& [steps, status] : sessions) {
        std::string screen;
        EXPECT_EQ(runAtTerminal(steps, screen), status) << screen;
        EXPECT_EQ(screen.find("Please input"), std::string::npos) << screen;
        EXPECT_EQ(screen.find("Cannot open"), std::string::npos) << screen;
    }
}

// At a terminal the census starts each line with a swatch of its colour, unless NO_COLOR is
// set to something or the terminal is a dumb one.
TEST(ColourCensus, SwatchesAtATerminalUnlessNoColourIsSetOrItIsDumb) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "xterm"}, {"1", "xterm"}, {"", "dumb"}};
    for (const auto& [noColour, terminal] : cases) {
        setenv("NO_COLOR", noColour.c_str(), 1);
        std::string screen;
        EXPECT_EQ(
            runAtTerminal({{"distinct colours", ""}}, screen,
                          {"--colours", "--top", "2", fixture("pillow.tif").string()}, terminal),
            0);
        const bool swatch =
            screen.find("\x1b[48;2;201;234;157m  \x1b[0m c9ea9d") != std::string::npos;
        EXPECT_EQ(swatch, &noColour == &cases[0].first) << screen;
        EXPECT_EQ(screen.find('\x1b') == std::string::npos, !swatch) << screen;
    }
    unsetenv("NO_COLOR");
}
