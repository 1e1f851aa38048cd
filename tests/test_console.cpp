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

// Arguments are for --help and --version only; anything else is named and refused before a
// dialogue starts, so a script that passes file names learns at once that they are not used.
TEST(ProgramArguments, HelpAndVersionAnswerAndAnythingElseIsRefused) {
    const std::string usage = "usage: velstram [--help | --version]";
    const std::tuple<std::string, int, std::string> cases[] = {
        {"--help", 0, usage + "\n"},         {"--version", 0, "velstram " VELSTRAM_VERSION "\n"},
        {"in.tif out.tif", 2, "'in.tif'"},   {"-h", 2, "'-h'"},
        {"--version --help", 2, "'--help'"}, {"'two\nlines\x7f'", 2, "'two\\x0Alines\\x7F'"}};
    for (const auto& [arguments, status, expected] : cases) {
        RunResult run = runProgram("4\n\n", arguments);
        EXPECT_EQ(run.status, status) << arguments;
        if (status == 0) {
            EXPECT_EQ(run.transcript.substr(0, expected.size()), expected) << arguments;
        } else {
            EXPECT_EQ(run.transcript, "") << arguments;
            EXPECT_NE(run.errors.find(expected + " "), std::string::npos) << run.errors;
            EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << run.errors;
        }
    }
}

namespace {

// Runs the built program at a terminal of its own: at each step, waits until the text shown
// appears (five seconds at most) and then types the keys. Returns the exit status, or -1.
int runAtTerminal(const std::vector<std::pair<std::string, std::string>>& steps,
                  std::string& screen) {
    int terminal = -1;
    pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        setenv("TERM", "dumb", 1);
        execl(VELSTRAM_BINARY, VELSTRAM_BINARY, static_cast<char*>(nullptr));
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
// The first session presses a down arrow at the banner, F1 and then the line whose first
// character is dropped at "hit any key", and é at the end; the second Ctrl+C at the banner,
// which ends the run as every stop does, with status 1; the third Ctrl+C at the last wait,
// when the output is already in place, with status 0.
TEST(KeyWait, KeysOfSeveralBytesAreOneKeyPressEach) {
    const std::string output = (scratch("terminal") / "out.tif").string();
    const struct {
        std::vector<std::pair<std::string, std::string>> steps;
        int status;
    } sessions[] = {
        {{{"Press any key to continue", "\x1b[B"},
          {"input 4", "4\r"},
          {"hit any key", "\x1bOPX" + fixture("pillow.tif").string() + "\r"},
          {"outfile.TIF", output + "\r"},
          {"Press any key to continue", "\xc3\xa9"},
          {"Done", ""}},
         0},
        {{{"Press any key to continue", "\x03"}}, 1},
        {{{"Press any key to continue", "x"},
          {"input 4", "4\r"},
          {"hit any key", "kX" + fixture("pillow.tif").string() + "\r"},
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
