// How a run of the built program ends, when it is killed, interrupted, raced by another run or
// given a file that changes: the output name holds what it held before, or the whole output,
// and exit status 0 means the latter.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

// An uncompressed RGB image in one strip, its directory in front of the pixels or after them.
Bytes makeImage(uint32_t width, uint32_t height, bool directoryFirst) {
    const uint32_t pixels = width * height * 3;
    const uint32_t directory = directoryFirst ? 8 : 8 + pixels;
    const uint32_t strip = directoryFirst ? 8 + 54 : 8;
    Bytes tiff(8 + 54 + pixels);
    put(tiff, 0, 0x002A4949);
    put(tiff, 4, directory);
    put(tiff, directory, 4, 2);
    const uint32_t entries[4][2] = {{256, width}, {257, height}, {273, strip}, {279, pixels}};
    for (size_t e = 0; e < 4; ++e) {
        const size_t at = directory + 2 + 12 * e;
        put(tiff, at, entries[e][0] | 4U << 16);
        put(tiff, at + 4, 1);
        put(tiff, at + 8, entries[e][1]);
    }
    for (uint32_t i = 0; i < pixels; ++i) {
        tiff[strip + i] = static_cast<uint8_t>(i * 7 + i / 4099);
    }
    return tiff;
}

struct Process {
    pid_t pid = -1;
    int out = -1;  // the read end of its standard output
    std::string transcript;
};

// Starts the program with the typed lines as its input, under a limit on the size of the files
// it writes (0 for none).
Process start(const std::string& typed, rlim_t fileSizeLimit = 0) {
    int in[2];
    int out[2];
    EXPECT_EQ(pipe(in) | pipe(out), 0);
    EXPECT_EQ(write(in[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    close(in[1]);
    Process process{fork(), out[0], ""};
    if (process.pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        if (fileSizeLimit > 0) {
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execl(VELSTRAM_BINARY, VELSTRAM_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
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
// The exit status, or -signal for a process that a signal ended.
int finish(Process& process) {
    readUntil(process, "");
    close(process.out);
    int status = 0;
    waitpid(process.pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

std::string typedNames(const fs::path& input, const fs::path& output) {
    return kNoFilter + "\n" + input.string() + "\n" + output.string() + "\n";
}

size_t filesIn(const fs::path& folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
}

}  // namespace

// A kill or an interrupt at any moment, in either layout, leaves at the name nothing, the empty
// file of the prompt (a kill only) or the whole output; an interrupt ends with status 0 only
// once the output is in place, and nothing else is left in the folder.
TEST(RunEnds, KilledOrInterruptedRunLeavesTheNameAsFoundOrTheWholeOutput) {
    const fs::path folder = scratch("kills");
    const fs::path input = folder / "in.tif";
    const fs::path output = folder / "out.tif";
    for (bool directoryFirst : {true, false}) {
        const Bytes image = makeImage(1500, 1000, directoryFirst);
        writeBytes(input, image);
        fs::remove(output);
        auto begun = std::chrono::steady_clock::now();
        Process whole = start(typedNames(input, output));
        ASSERT_EQ(finish(whole), 0) << whole.transcript;
        auto run = std::chrono::steady_clock::now() - begun;
        ASSERT_TRUE(readBytes(output) == image);
        for (int signal : {SIGKILL, SIGINT}) {
            for (int moment = 0; moment <= 7; ++moment) {
                SCOPED_TRACE(std::to_string(signal) + " at " + std::to_string(moment) + "/7");
                fs::remove(output);
                Process process = start(typedNames(input, output));
                std::this_thread::sleep_for(run * moment / 7);
                kill(process.pid, signal);
                int status = finish(process);
                bool present = fs::exists(output);
                Bytes left = readBytes(output);
                EXPECT_TRUE(!present || (left.empty() && signal == SIGKILL) || left == image);
                EXPECT_TRUE(status != 0 || left == image);
                EXPECT_TRUE(signal == SIGKILL || status == 0 || !present) << status;
                EXPECT_EQ(filesIn(folder), present ? 2U : 1U);
            }
        }
    }
}

// Two runs started together on one output name: one writes it, the other ends with status 1,
// whichever of them comes first.
TEST(RunEnds, OfTwoRunsGivenOneOutputNameOneSucceeds) {
    const fs::path folder = scratch("race");
    const Bytes images[] = {makeImage(1000, 1000, true), makeImage(1000, 1000, false)};
    writeBytes(folder / "a.tif", images[0]);
    writeBytes(folder / "b.tif", images[1]);
    for (int round = 0; round < 4; ++round) {
        fs::remove(folder / "out.tif");
        Process runs[] = {start(typedNames(folder / "a.tif", folder / "out.tif")),
                          start(typedNames(folder / "b.tif", folder / "out.tif"))};
        const int statuses[] = {finish(runs[0]), finish(runs[1])};
        ASSERT_EQ(statuses[0] + statuses[1], 1) << runs[0].transcript << runs[1].transcript;
        EXPECT_TRUE(readBytes(folder / "out.tif") == images[statuses[0] == 0 ? 0 : 1]);
        EXPECT_EQ(filesIn(folder), 3U);
    }
}

// The input is held from its prompt on: a file renamed over its name is never read, and the
// held file rewritten during the run stops it before the output takes its name.
TEST(RunEnds, InputChangedDuringTheRun) {
    const fs::path folder = scratch("changed");
    const fs::path input = folder / "in.tif";
    const Bytes image = makeImage(300, 200, true);
    const struct {
        std::function<void()> change;
        int status;
        std::string end;
    } cases[] = {
        {[&] {
             writeBytes(folder / "new.tif", makeImage(200, 300, false));
             fs::rename(folder / "new.tif", input);
         },
         0, kClosing},
        {[&] { std::ofstream(input, std::ios::app) << 'x'; }, 1,
         "The input file " + input.string() +
             " was changed during the run; nothing was written\nexiting program\n"}};
    for (const auto& [change, status, end] : cases) {
        writeBytes(input, image);
        fs::remove(folder / "out.tif");
        Process process = start(typedNames(input, folder / "out.tif"));
        readUntil(process, "idf_offset is:");
        kill(process.pid, SIGSTOP);
        change();
        kill(process.pid, SIGCONT);
        EXPECT_EQ(finish(process), status);
        EXPECT_TRUE(endsWith(process.transcript, end)) << process.transcript;
        EXPECT_TRUE(readBytes(folder / "out.tif") == (status == 0 ? image : Bytes{}));
    }
}

// A pipe at either prompt is refused at once, without waiting for a writer or a reader.
TEST(RunEnds, PipeAtEitherPromptIsRefused) {
    const fs::path folder = scratch("pipes");
    const fs::path pipe = folder / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const fs::path input = fixture("pillow.tif");
    RunResult run = runJob(kNoFilter + "\n" + pipe.string() + "\n" + input.string() + "\n" +
                           pipe.string() + "\n" + (folder / "out.tif").string() + "\n");
    EXPECT_EQ(run.status, 0);
    for (const std::string& refusal :
         {"**Cannot open" + pipe.string() + "**\nNot a regular file: a pipe, a device or a socket "
          "is not read\nPlease try again.",
          "**" + pipe.string() + " is not a regular file and will not be written**"}) {
        EXPECT_NE(run.transcript.find(refusal), std::string::npos) << run.transcript;
    }
    EXPECT_TRUE(readBytes(folder / "out.tif") == readBytes(input));
}

// A console whose reader has gone and a limit on file sizes are failures like any other: the
// run goes on or stops as it would, and the status says whether the output is in place.
TEST(RunEnds, BrokenConsoleAndFileSizeLimitEndCleanly) {
    const fs::path folder = scratch("limits");
    const Bytes image = makeImage(1000, 500, false);
    writeBytes(folder / "in.tif", image);
    writeBytes(folder / "bad.tif", {'n', 'o'});
    const struct {
        std::string input;
        bool consoleGone;
        rlim_t sizeLimit;
        int status;
    } cases[] = {{"in.tif", true, 0, 0}, {"bad.tif", true, 0, 1}, {"in.tif", false, 100000, 1}};
    for (const auto& [input, consoleGone, sizeLimit, status] : cases) {
        fs::remove(folder / "out.tif");
        Process process = start(typedNames(folder / input, folder / "out.tif"), sizeLimit);
        if (consoleGone) {
            close(std::exchange(process.out, open("/dev/null", O_RDONLY)));
        }
        EXPECT_EQ(finish(process), status) << input;
        EXPECT_TRUE(readBytes(folder / "out.tif") == (status == 0 ? image : Bytes{}));
        EXPECT_EQ(filesIn(folder), status == 0 ? 3U : 2U);
        if (sizeLimit > 0) {
            EXPECT_TRUE(endsWith(process.transcript, "Writing the output file " +
                                                         (folder / "out.tif").string() +
                                                         " failed; nothing was written\n"
                                                         "exiting program\n"));
        }
    }
}
