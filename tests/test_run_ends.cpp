// However a run of the built program ends, the output name holds what it held before or the
// whole output, and exit status 0 means the latter.

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <thread>

#include "TestSupport.h"

using namespace testing_support;

namespace {

// A running program, its standard output and input, and what it has printed so far.
struct Process {
    pid_t pid;
    int out;
    int in;
    std::string transcript;
};

void type(const Process& process, const std::string& typed) {
    EXPECT_EQ(write(process.in, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
}

// Starts the program with the arguments, or without them on the typed names, in which case
// without an output name it waits at that prompt. Its standard output and error are read
// together. prepare runs in the new process before the program starts (a limit, say).
Process start(const fs::path& input, const fs::path& output = {},
              const std::vector<std::string>& arguments = {},
              const std::function<void()>& prepare = {}) {
    int in[2], out[2];
    // Closed on exec, so that a second program started meanwhile holds no end of the first's.
    EXPECT_EQ(pipe2(in, O_CLOEXEC) | pipe2(out, O_CLOEXEC), 0);
    std::vector<char*> argv = {const_cast<char*>(VELSTRAM_BINARY)};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    Process process{fork(), out[0], in[1], ""};
    if (process.pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(out[1], STDERR_FILENO);
        if (prepare) {
            prepare();
        }
        execv(VELSTRAM_BINARY, argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (arguments.empty()) {
        type(process, kNoFilter + "\n" + input.string() + "\n" +
                          (output.empty() ? "" : output.string() + "\n"));
    }
    return process;
}

// Reads the transcript up to the cue, or to its end when the cue is empty.
void readUntil(Process& process, const std::string& cue) {
    char chunk[4096];
    ssize_t got = 0;
    while ((cue.empty() || process.transcript.find(cue) == std::string::npos) &&
           (got = read(process.out, chunk, sizeof chunk)) > 0) {
        process.transcript.append(chunk, static_cast<size_t>(got));
    }
}

// The exit status, or -signal for a process that a signal ended. Nothing more is typed: a run
// asking again (a loser of a race whose output name already holds data) meets the end of
// its input instead of waiting for ever.
int finish(Process& process) {
    close(process.in);
    readUntil(process, "");
    close(process.out);
    int status = 0;
    waitpid(process.pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Sets a limit of a running process.
void limit(const Process& process, __rlimit_resource resource, rlim_t value) {
    const rlimit both{value, value};
    EXPECT_EQ(prlimit(process.pid, resource, &both, nullptr), 0);
}

// The address space a process has mapped.
rlim_t mapped(const Process& process) {
    rlim_t pages = 0;
    std::ifstream("/proc/" + std::to_string(process.pid) + "/statm") >> pages;
    return pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace

// A kill or an interrupt at any moment, in either layout, leaves at the name nothing, the
// whole output, or (the dialogue's, killed) the empty file its prompt reserved; and nothing
// else in the folder.
TEST(RunEnds, KilledOrInterruptedRunLeavesTheNameAsFoundOrTheWholeOutput) {
    const fs::path folder = scratch("kills");
    const fs::path input = folder / "in.tif", output = folder / "out.tif";
    for (bool directoryFirst : {true, false}) {
        writeBytes(input, makeImage(1500, 1000, directoryFirst));
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{}, {"--red-cast", input.string(), output.string()}}) {
            fs::remove(output);
            const auto begun = std::chrono::steady_clock::now();
            Process whole = start(input, output, arguments);
            ASSERT_EQ(finish(whole), 0) << whole.transcript;
            const auto run = std::chrono::steady_clock::now() - begun;
            const Bytes complete = readBytes(output);
            for (int signal : {SIGKILL, SIGINT}) {
                for (int moment = 0; moment <= 7; ++moment) {
                    fs::remove(output);
                    Process process = start(input, output, arguments);
                    std::this_thread::sleep_for(run * moment / 7);
                    kill(process.pid, signal);
                    int status = finish(process);
                    const bool present = fs::exists(output);
                    const Bytes left = readBytes(output);
                    const bool reserved = arguments.empty() && signal == SIGKILL;
                    EXPECT_TRUE(!present || (left.empty() && reserved) || left == complete)
                        << signal << " at " << moment << "/7 " << arguments.size();
                    EXPECT_TRUE(status != 0 || left == complete);
                    EXPECT_TRUE(signal == SIGKILL || status == 0 || !present) << status;
                    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), present ? 2 : 1);
                }
            }
        }
    }
}

// Of two runs started together on one output name, one writes it and the other ends with 1.
TEST(RunEnds, OfTwoRunsGivenOneOutputNameOneSucceeds) {
    const fs::path folder = scratch("race");
    const Bytes images[] = {makeImage(1000, 1000, true), makeImage(1000, 1000, false)};
    writeBytes(folder / "a.tif", images[0]);
    writeBytes(folder / "b.tif", images[1]);
    for (int round = 0; round < 4; ++round) {
        fs::remove(folder / "out.tif");
        Process runs[] = {start(folder / "a.tif", folder / "out.tif"),
                          start(folder / "b.tif", folder / "out.tif")};
        const int statuses[] = {finish(runs[0]), finish(runs[1])};
        ASSERT_EQ(statuses[0] + statuses[1], 1) << runs[0].transcript << runs[1].transcript;
        EXPECT_TRUE(readBytes(folder / "out.tif") == images[statuses[0] == 0 ? 0 : 1]);
    }
}

// The held file rewritten, even with its modification time set back and a link added, or
// another file renamed over its name (which a rewrite then unlinked would look like), stops
// the run; cut short, as soon as the strips are read, on a line after their marks' line. A
// console whose reader has gone, a file size limit and an exception are failures like others.
TEST(RunEnds, ChangedInputBrokenConsoleSizeLimitAndExceptionEndAsTheOutputStands) {
    const fs::path folder = scratch("changes");
    const fs::path input = folder / "in.tif", output = folder / "out.tif";
    const Bytes image = makeImage(300, 200, true);
    const std::string changed =
        "The input file " + input.string() + " was changed during the run; nothing was written\n";
    const auto rewrite = [&](bool linked) {
        const auto modified = fs::last_write_time(input);
        writeBytes(input, makeImage(300, 200, false));
        fs::last_write_time(input, modified);
        if (linked) {
            fs::create_hard_link(input, scratch("linked") / "in.tif");
        }
    };
    const struct {
        std::function<void(Process&)> meanwhile;
        int status;
        std::string end;
    } cases[] = {
        {[&](Process&) { writeBytes(folder / "new", {'n'}), fs::rename(folder / "new", input); }, 1,
         changed},
        {[&](Process&) { fs::resize_file(input, image.size() + 1); }, 1, changed},
        // Rewritten in place at its size, its modification time set back (rsync --inplace -t),
        // with and without a link added meanwhile.
        {[&](Process&) { rewrite(false); }, 1, changed},
        {[&](Process&) { rewrite(true); }, 1, changed},
        {[&](Process&) { fs::resize_file(input, image.size() - 1); }, 1,
         "moment.\n\n\nThe input file " + input.string() +
             " ended early; it changed while it was read\n"},
        {[&](Process& p) { fs::resize_file(input, 2), close(std::exchange(p.out, -1)); }, 1, ""},
        {[](Process& p) { limit(p, RLIMIT_FSIZE, 100000); }, 1,
         "Writing the output file " + output.string() +
             " failed: File too large; nothing was written\n"},
        // Room for the raster of 240 KiB, not for the output's buffer of 1 MiB as well.
        {[](Process& p) { limit(p, RLIMIT_AS, mapped(p) + (768 << 10)); }, 1,
         "The run failed: std::bad_alloc\n"},
    };
    for (const auto& [meanwhile, status, end] : cases) {
        // A sanitized program ends when an allocation fails, rather than throw.
        if (VELSTRAM_SANITIZED && end.starts_with("The run failed")) {
            continue;
        }
        writeBytes(input, image);
        fs::remove(output);
        Process process = start(input);
        readUntil(process, "outfile.TIF\n\n");
        meanwhile(process);
        type(process, output.string() + "\n");
        EXPECT_EQ(finish(process), status) << end;
        EXPECT_TRUE(end.empty() ||
                    endsWith(process.transcript, end + (status == 0 ? "" : "exiting program\n")))
            << process.transcript;
        EXPECT_TRUE(readBytes(output) == (status == 0 ? image : Bytes{}));
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), status == 0 ? 2 : 1);
    }
}

// From the command line, with standard input and output closed, or under a memory limit (as
// ulimit -v sets it), a run ends with 0 and the whole output or with 1, its reason on
// standard error and no output; never with a signal. A standard output that takes nothing
// (a full disk) fails every form that prints its result there; a filter's output in place
// stays, with status 0, and the lost summary is said.
TEST(RunEnds, CommandLineRunsUnderLimitsOrWithoutStandardStreamsEndAsTheOutputStands) {
    const fs::path folder = scratch("limits");
    const fs::path input = folder / "in.tif", output = folder / "out.tif";
    writeBytes(input, makeImage(1500, 1000, true));
    const std::vector<std::string> filter = {"--red-cast", input.string(), output.string()};
    Process whole = start({}, {}, filter);
    ASSERT_EQ(finish(whole), 0) << whole.transcript;
    const Bytes complete = readBytes(output);
    auto memory = [](rlim_t mebibytes) {
        return [mebibytes] {
            const rlimit both{mebibytes << 20, mebibytes << 20};
            setrlimit(RLIMIT_AS, &both);
        };
    };
    const auto full = [] { dup2(open("/dev/full", O_WRONLY), STDOUT_FILENO); };
    const std::string from = "velstram: " + input.string() + ": ";
    const std::string stop = from + "exiting program\n";
    const std::string lost = "velstram: write error: No space left on device\n";
    const struct {
        std::vector<std::string> arguments;
        std::function<void()> prepare;
        int status;  // -1: 0 or 1, as the memory allows
        std::string errors;
    } cases[] = {
        {filter, [] { close(STDIN_FILENO), close(STDOUT_FILENO); }, 0, ""},
        {filter, full, 0, lost},
        {{"--colours", input.string()}, full, 1, lost},
        {{"--check", input.string()}, full, 1, lost},
        {{"--version"}, full, 1, lost},
        {{"--colours", input.string()},
         memory(60),
         1,
         from + "Not enough memory for the count of every colour (64 MiB)\n" + stop},
        {{"--colours", input.string()}, memory(90), -1, ""},
        {filter, memory(12), -1, ""},
        {filter, memory(60), -1, ""},
    };
    for (const auto& [arguments, prepare, expected, errors] : cases) {
        // A sanitized program reserves far more address space than any of these limits.
        if (VELSTRAM_SANITIZED && (expected < 0 || errors.find("memory") != std::string::npos)) {
            continue;
        }
        fs::remove(output);
        Process process = start({}, {}, arguments, prepare);
        const int status = finish(process);
        SCOPED_TRACE(arguments.front() + " " + process.transcript);
        EXPECT_TRUE(status == expected || (expected < 0 && (status == 0 || status == 1)));
        // Nothing on standard error but for a stop or a failed write; the summary without
        // standard output is lost.
        EXPECT_TRUE(expected < 0 ? endsWith(process.transcript, status == 1 ? stop : "") &&
                                       (status == 1 ||
                                        process.transcript.find("velstram:") == std::string::npos)
                                 : process.transcript == errors);
        const bool written = status == 0 && arguments == filter;
        EXPECT_TRUE(readBytes(output) == (written ? complete : Bytes{}));
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), written ? 2 : 1);
    }
}

// The hidden files of runs killed while writing a name go with the next run that writes it;
// those of a live run (one whose number exists, or that holds the file's lock) and those of
// other names stay.
TEST(RunEnds, NextRunRemovesOnlyTheLeftOversOfEndedRunsForItsName) {
    const fs::path folder = scratch("leftovers");
    writeBytes(folder / "in.tif", makeImage(30, 20, true));
    const std::string dead = ".out.tif.velstram-2147483646.tmp";
    const std::string kept[] = {".out.tif.velstram-" + std::to_string(getpid()) + ".tmp",
                                ".out.tif.velstram-2147483645.tmp",
                                ".in.tif.velstram-2147483646.tmp",
                                ".out.tif.velstram-2147483646x.tmp"};
    for (const std::string& file : kept) {
        writeBytes(folder / file, {'p'});
    }
    writeBytes(folder / dead, {'p'});
    const int held = open((folder / kept[1]).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    // Bare names, in the folder: the output's folder is the working one.
    Process run = start({}, {}, {"--red-cast", "in.tif", "out.tif"},
                        [&] { static_cast<void>(chdir(folder.c_str())); });
    EXPECT_EQ(finish(run), 0) << run.transcript;
    close(held);
    EXPECT_TRUE(fs::exists(folder / "out.tif"));
    EXPECT_FALSE(fs::exists(folder / dead));
    for (const std::string& file : kept) {
        EXPECT_TRUE(fs::exists(folder / file)) << file;
    }
}

// Where /proc is not mounted the output still takes a free name, and replaces a file.
TEST(RunEnds, WithoutProcTheOutputIsPutInPlace) {
    // A sanitized program reads its options and ends its leak check through /proc.
    if (geteuid() != 0 || VELSTRAM_SANITIZED) {
        GTEST_SKIP() << "needs a mount namespace of its own, and a program without sanitizers";
    }
    const fs::path folder = scratch("noproc");
    const fs::path input = folder / "in.tif", output = folder / "out.tif";
    writeBytes(input, makeImage(300, 200, true));
    const std::vector<std::string> filter = {"--replace", "--red-cast", input.string(),
                                             output.string()};
    Process whole = start({}, {}, filter);
    ASSERT_EQ(finish(whole), 0) << whole.transcript;
    const Bytes complete = readBytes(output);
    const auto withoutProc = [] {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            umount2("/proc", MNT_DETACH) != 0) {
            _exit(99);
        }
    };
    for (bool present : {false, true}) {
        if (!present) {
            fs::remove(output);
        }
        Process run = start({}, {}, filter, withoutProc);
        EXPECT_EQ(finish(run), 0) << run.transcript;
        EXPECT_TRUE(readBytes(output) == complete);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 2);
    }
}
