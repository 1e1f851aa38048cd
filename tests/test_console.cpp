// The console as a person meets it: key presses at a terminal, pasted names, arguments.

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <tuple>

#include "TestSupport.h"
#include "dialogue/TypedName.h"

using namespace testing_support;

TEST(TypedName, PastedQuotesAndWhiteSpaceAreDropped) {
    setenv("HOME", "/home/mapper", 1);
    const std::pair<std::string, std::string> cases[] = {
        {"'/maps/sheet 12.tif' ", "/maps/sheet 12.tif"},
        {"\"C:\\maps\\sheet 12.tif\"", "C:\\maps\\sheet 12.tif"},
        {" \t/maps/a.tif\r", "/maps/a.tif"},
        {"' inside stays '", " inside stays "},
        {"\"'one pair only'\"", "'one pair only'"},
        {"'/maps/a.tif\"", "'/maps/a.tif\""},
        {"\"", "\""},
        {"''", ""},
        {"   ", ""},
        {"~/maps/a.tif", "/home/mapper/maps/a.tif"},
        {"'~/maps/a.tif' ", "/home/mapper/maps/a.tif"},
        {"~mapper/a.tif", "~mapper/a.tif"},
        {"/maps/~/a.tif", "/maps/~/a.tif"},
    };
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
        {"--version --help", 2, "'--help'"}, {"'two\nlines'", 2, "'two\\x0Alines'"},
    };
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

// The built program at a terminal of its own; terminal is the side the user types on.
pid_t startAtTerminal(int& terminal) {
    pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        setenv("TERM", "dumb", 1);
        execl(VELSTRAM_BINARY, VELSTRAM_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

int exitStatus(pid_t child, int terminal) {
    int status = -1;
    waitpid(child, &status, 0);
    close(terminal);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Reads what the program writes to the terminal until text appears after from; returns the
// position after it, or npos when it does not come within five seconds.
size_t waitFor(int terminal, std::string& screen, size_t from, const std::string& text) {
    char chunk[4096];
    pollfd ready{terminal, POLLIN, 0};
    size_t at = 0;
    while ((at = screen.find(text, from)) == std::string::npos) {
        ssize_t got = poll(&ready, 1, 5000) > 0 ? read(terminal, chunk, sizeof chunk) : -1;
        if (got <= 0) {
            return std::string::npos;
        }
        screen.append(chunk, static_cast<size_t>(got));
    }
    return at + text.size();
}

}  // namespace

// An arrow or function key sends several bytes, a letter outside ASCII two. Bytes a key wait
// leaves behind are read as typed: the menu re-prompts, a file name starts with them.
TEST(KeyWait, KeysOfSeveralBytesAreOneKeyPressEach) {
    int terminal = -1;
    pid_t child = startAtTerminal(terminal);
    ASSERT_GE(child, 0);
    // What the program shows, then what is typed: down arrow; F1, then the line whose first
    // character is dropped and whose rest is the input name; é.
    const std::pair<std::string, std::string> steps[] = {
        {"Press any key to continue", "\x1b[B"},
        {"input 4", "4\r"},
        {"hit any key", "\x1bOPX" + fixture("pillow.tif").string() + "\r"},
        {"outfile.TIF", (scratch("terminal") / "out.tif").string() + "\r"},
        {"Press any key to continue", "\xc3\xa9"},
        {"Done", ""},
    };
    std::string screen;
    size_t seen = 0;
    for (const auto& [shown, typed] : steps) {
        seen = waitFor(terminal, screen, seen, shown);
        if (seen == std::string::npos) {
            kill(child, SIGKILL);
            break;
        }
        ASSERT_EQ(write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    }
    const int status = exitStatus(child, terminal);
    EXPECT_NE(seen, std::string::npos) << screen;
    EXPECT_EQ(screen.find("Please input"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("Cannot open"), std::string::npos) << screen;
    EXPECT_EQ(status, 0);
}

// Ctrl+C at a key wait ends the run as every stop does, with status 1.
TEST(KeyWait, CtrlCEndsTheRunWithStatusOne) {
    int terminal = -1;
    pid_t child = startAtTerminal(terminal);
    ASSERT_GE(child, 0);
    std::string screen;
    ASSERT_NE(waitFor(terminal, screen, 0, "Press any key to continue"), std::string::npos);
    ASSERT_EQ(write(terminal, "\x03", 1), 1);
    EXPECT_EQ(exitStatus(child, terminal), 1);
}
