// The console as a person meets it: key presses at a terminal, pasted names, arguments.

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "TestSupport.h"
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

// Every misuse is named in one line on standard error, with status 2, before any file is
// touched: the output is not created, and an output that is the input is refused by identity.
TEST(ProgramArguments, HelpAndVersionAnswerAndMisuseIsNamedInOneLine) {
    const std::string usage = "usage: velstram\n       velstram [--quiet] [--replace] --keep";
    const std::string input = "'" + typedPath(fixture("pillow.tif")) + "'";
    const std::pair<std::string, std::string> cases[] = {
        {"--help", usage},
        {"--version", "velstram " VELSTRAM_VERSION "\n"},
        {"in.tif b.tif", "nothing to do with 'in.tif': give a filter"},
        {"-h", "unknown option '-h'"},
        {"--version --help", "'--version' goes alone"},
        {"'two\nlines\x7f' b.tif", "nothing to do with 'two\\x0Alines\\x7F'"},
        {"--check a --red-cast", "'--check' and '--red-cast' do not go together"},
        {"--keep c9ea9g a b.tif", "'c9ea9g' given to --keep is not a colour of six hex digits"},
        {"-qk 0 a b.tif", "'0' given to --keep is not a colour"},
        {"--keep=#c9ea9d,,c96a2d a b.tif", "'' given to --keep"},
        {"-k 0a0a0a,1b1b1b,2c2c2c,3d3d3d,4e4e4e,5f5f5f,6a6a6a,7b7b7b,8c8c8c,9d9d9d,#aeaeae"
         " a b.tif",
         "--keep keeps at most ten colours, not 11"},
        {"--band 100000 a b.tif", "--band takes two colours, LOW,HIGH"},
        {"-b c9ffff,100000 a b.tif", "LOW lies above HIGH"},
        {"--contours -k 000000 a b.tif", "'--contours' and '--keep' do not go together"},
        {"--red-cast a", "'--red-cast' needs the names IN and OUT"},
        {"a --red-cast b.tif c", "one name too many for '--red-cast': 'c'"},
        {"--colours --top 0 a", "--top takes a count from 1 up, not '0'"},
        {"--colours --top=-1 a", "not '-1'"},
        {"--top 3 --check a", "--top goes with --colours only"},
        {"--replace --check a", "--replace goes with a filter only"},
        {"-q --colours a", "--quiet goes with a filter or --check"},
        {"--check", "'--check' needs the name of a file"},
        {"--quiet=yes --contours a b.tif", "'--quiet' takes no value"},
        {"--contours a b.tif --keep", "'--keep' needs a value"},
        {"--contours '' b.tif", "an empty file name"},
        {"--red-cast " + input + " " + input, input + " is the input file itself"},
    };
    for (const auto& [arguments, expected] : cases) {
        RunResult run = runProgram("4\n\n", arguments);
        const bool answered = arguments == "--help" || arguments == "--version";
        EXPECT_EQ(run.status, answered ? 0 : 2) << arguments;
        if (answered) {
            EXPECT_EQ(run.transcript.substr(0, expected.size()), expected) << arguments;
            continue;
        }
        EXPECT_EQ(run.transcript, "") << arguments;
        EXPECT_EQ(run.errors.rfind("velstram: ", 0), 0U) << run.errors;
        EXPECT_NE(run.errors.find(expected), std::string::npos) << run.errors;
        EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << run.errors;
        EXPECT_FALSE(fs::exists("b.tif")) << arguments;
    }
}

namespace {

// Runs the built program at a terminal of its own: at each step, waits until the text shown
// appears (five seconds at most) and then types the keys. Returns the exit status, or -1.
int runAtTerminal(const std::vector<std::pair<std::string, std::string>>& steps,
                  std::string& screen, std::vector<std::string> arguments = {}) {
    std::vector<char*> argv = {const_cast<char*>(VELSTRAM_BINARY)};
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    int terminal = -1;
    pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        setenv("TERM", "dumb", 1);
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
    close(terminal);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// An arrow or function key sends several bytes, a letter outside ASCII two. Bytes a key wait
// left behind would be read as typed: the menu would re-prompt, a file name start with them.
// The first session presses a down arrow at the banner, mistypes a bound, which is asked
// again, presses F1 at "hit any key" and types the input's path straight after it, and é at
// the end; the second Ctrl+C at the banner, which ends the run as every stop does, with
// status 1; the third Ctrl+C at the last wait, when the output is already in place, with
// status 0.
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
          {"outfile.TIF", output + ".2\r"},
          {"Press any key to continue", "\x03"}},
         0},
    };
    for (const auto& [steps, status] : sessions) {
        std::string screen;
        EXPECT_EQ(runAtTerminal(steps, screen), status) << screen;
        EXPECT_EQ(screen.find("Please input"), std::string::npos) << screen;
        EXPECT_EQ(screen.find("Cannot open"), std::string::npos) << screen;
    }
}

// At a terminal the census starts each line with a swatch of its colour, unless NO_COLOR is
// set to something.
TEST(ColourCensus, SwatchesAtATerminalUnlessNoColourIsSet) {
    for (const std::string noColour : {"", "1"}) {
        setenv("NO_COLOR", noColour.c_str(), 1);
        std::string screen;
        EXPECT_EQ(runAtTerminal({{"distinct colours", ""}}, screen,
                                {"--colours", "--top", "2", fixture("pillow.tif").string()}),
                  0);
        const bool swatch =
            screen.find("\x1b[48;2;201;234;157m  \x1b[0m c9ea9d") != std::string::npos;
        EXPECT_EQ(swatch, noColour.empty()) << screen;
        EXPECT_EQ(screen.find('\x1b') == std::string::npos, !noColour.empty()) << screen;
    }
    unsetenv("NO_COLOR");
}
