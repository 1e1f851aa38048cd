#include "platform/Platform.h"

#include "platform/HiddenName.h"
#include "platform/KeyPress.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace platform {
namespace {

// Shared with the signal handler, so plain static storage only.
struct termios savedTerminal;
volatile std::sig_atomic_t terminalIsRaw{};

// The claimed output name, and the empty file there, held open for its identity and for the
// lock under which any run of this program changes what that name holds.
char outputName[PATH_MAX];
int claimFd = -1;
dev_t claimedDevice{};
ino_t claimedInode{};
mode_t claimedMode{};
off_t claimedSize{};
struct timespec claimedModified {};
volatile std::sig_atomic_t hasClaim{};
volatile std::sig_atomic_t claimCreated{};
// The name of the file being written, where it has one (the unnamed kind leaves nothing).
char tempName[PATH_MAX];
volatile std::sig_atomic_t hasTempName{};
volatile std::sig_atomic_t outputPlaced{};

// Interrupts wait while the output's files change, so that the handler finds them either
// before or after a change, never half way: a file created but not yet recorded, say.
class HeldInterrupts {
  public:
    HeldInterrupts() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &previous_);
    }
    ~HeldInterrupts() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    HeldInterrupts(const HeldInterrupts&) = delete;
    HeldInterrupts& operator=(const HeldInterrupts&) = delete;

  private:
    sigset_t previous_{};
};

void restoreTerminal() {
    if (terminalIsRaw != 0) {
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
        terminalIsRaw = 0;
    }
}

bool stillClaimed(const struct stat& now) {
    return now.st_dev == claimedDevice && now.st_ino == claimedInode && S_ISREG(now.st_mode) &&
           now.st_size == claimedSize && now.st_mtim.tv_sec == claimedModified.tv_sec &&
           now.st_mtim.tv_nsec == claimedModified.tv_nsec;
}

// Async-signal-safe. A name that another run has filled meanwhile is left alone; so is one
// whose lock another process holds.
void removeOwnEmptyFile() {
    struct stat now {};
    if (hasClaim != 0 && claimCreated != 0 && flock(claimFd, LOCK_EX | LOCK_NB) == 0 &&
        lstat(outputName, &now) == 0 && stillClaimed(now)) {
        unlink(outputName);
    }
}

void releaseClaim() {
    hasClaim = 0;
    if (claimFd >= 0) {
        close(claimFd);
        claimFd = -1;
    }
}

// A name that holds nothing: no file is held, and whatever appears there is another's.
void claimFreeName(const std::string& place) {
    releaseClaim();
    std::memcpy(outputName, place.c_str(), place.size() + 1);
    claimedDevice = 0;
    claimedInode = 0;
    claimedMode = 0;
    claimedSize = 0;
    claimedModified = {};
    claimCreated = 0;
    outputPlaced = 0;
    hasClaim = 1;
}

extern "C" void onInterrupt([[maybe_unused]] int signal) {
    restoreTerminal();
    static_cast<void>(write(STDOUT_FILENO, "\n", 1));
    if (outputPlaced != 0) {
        _exit(0);
    }
    if (hasTempName != 0) {
        unlink(tempName);
    }
    removeOwnEmptyFile();
    _exit(1);
}

int64_t nanoseconds(const struct timespec& time) {
    return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

std::string systemReason(int error) {
    return std::strerror(error);  // NOLINT(concurrency-mt-unsafe): one thread
}

std::string notRegularReason(const struct stat& info) {
    return S_ISDIR(info.st_mode) ? systemReason(EISDIR)
                                 : "Not a regular file: a pipe, a device or a socket is not read";
}

// A name that is a symbolic link gets the output where the link points, as writing through
// the link would; the link itself stays.
std::string placeOf(const std::string& name) {
    struct stat link {};
    if (lstat(name.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
        return name;
    }
    char* target = realpath(name.c_str(), nullptr);
    std::string place = target != nullptr ? target : name;
    std::free(target);  // NOLINT(cppcoreguidelines-no-malloc): realpath's allocation
    return place;
}

// A link whose target is missing is not followed to create that target: the link may have
// been left by mistake, and the output would land at a place nobody named.
bool isDanglingLink(const std::string& name) {
    struct stat info {};
    return lstat(name.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
           stat(name.c_str(), &info) != 0 && errno == ENOENT;
}

std::string folderOf(const std::string& name) {
    size_t slash = name.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
}

// The longest file name that the folder takes (255 on most file systems).
size_t nameLimit(const std::string& folder) {
    long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : NAME_MAX;
}

std::string hiddenPrefixOf(const std::string& name) {
    return platform::hiddenPrefix<char>(std::string_view(name).substr(name.find_last_of('/') + 1),
                                        nameLimit(folderOf(name)));
}

std::string hiddenName(const std::string& name) {
    return name.substr(0, name.find_last_of('/') + 1) + hiddenPrefixOf(name) +
           std::to_string(getpid()) + std::string(kHiddenEnd);
}

bool nameTempFile() {
    std::string hidden = hiddenName(outputName);
    if (hidden.size() >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return false;
    }
    hasTempName = 0;
    std::memcpy(tempName, hidden.c_str(), hidden.size() + 1);
    return true;
}

// Why the output cannot be written at place, the name's or the link's target, before any file
// is touched; empty when it can be tried. The hidden name beside it must fit too, or the run
// would fail once the work is done.
std::string refusalOfName(const std::string& name, const std::string& place) {
    if (place.size() >= sizeof outputName || hiddenName(place).size() >= PATH_MAX) {
        return systemReason(ENAMETOOLONG);
    }
    if (isDanglingLink(name)) {
        return "Not writing through dangling symbolic link '" + name + "'";
    }
    return {};
}

// How an unnamed file being written gets its name: through its descriptor, or through the
// process's view of it under /proc. Which one the system allows is found when the file is
// created, so that a system that allows neither (an older kernel without /proc mounted) gets
// the named kind from the start instead of failing once the work is done.
enum class UnnamedLink { Descriptor, ProcView };
UnnamedLink unnamedLink = UnnamedLink::Descriptor;

// A link never replaces what a name holds.
bool linkUnnamed(int fd, const char* name) {
    if (unnamedLink == UnnamedLink::Descriptor) {
        return linkat(fd, "", AT_FDCWD, name, AT_EMPTY_PATH) == 0;
    }
    std::string self = "/proc/self/fd/" + std::to_string(fd);
    return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW) == 0;
}

// A link to the folder's own "." is refused as existing only once the system has allowed the
// link itself, and it creates nothing either way.
bool canLinkUnnamed(int fd, UnnamedLink how) {
    unnamedLink = how;
    std::string folderItself = folderOf(outputName) + "/.";
    return !linkUnnamed(fd, folderItself.c_str()) && errno == EEXIST;
}

int createTempFile() {
#ifdef O_TMPFILE
    int unnamed = open(folderOf(outputName).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (unnamed >= 0) {
        if (canLinkUnnamed(unnamed, UnnamedLink::Descriptor) ||
            canLinkUnnamed(unnamed, UnnamedLink::ProcView)) {
            return unnamed;
        }
        close(unnamed);
    } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return -1;
    }
#endif
    if (!nameTempFile()) {
        return -1;
    }
    int fd = open(tempName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    hasTempName = fd >= 0 ? 1 : 0;
    return fd;
}

// Whether a hidden file beside the output is one that an ended run left: its process has gone
// (or it bears this process's number, and this process has not made its own yet), and no
// process holds its lock. The lock guards a live run that another PID namespace hides.
bool isLeftOver(int folder, const char* file, std::string_view number) {
    pid_t pid = 0;
    const char* end = number.data() + number.size();
    if (number.empty() || std::from_chars(number.data(), end, pid).ptr != end || pid <= 0 ||
        (pid != getpid() && (kill(pid, 0) == 0 || errno != ESRCH))) {
        return false;
    }
    int fd = openat(folder, file, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat info {};
    bool unheld = fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                  flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) {
        close(fd);
    }
    return unheld;
}

// The hidden files that killed runs left while writing this output name are removed by the
// next run that writes it.
void removeLeftOvers() {
    std::string prefix = hiddenPrefixOf(outputName);
    DIR* folder = opendir(folderOf(outputName).c_str());
    if (folder == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(folder)) {  // NOLINT(concurrency-mt-unsafe): one thread
        std::string_view file = entry->d_name;
        if (file.starts_with(prefix) && file.ends_with(kHiddenEnd) &&
            isLeftOver(
                dirfd(folder), entry->d_name,
                file.substr(prefix.size(), file.size() - prefix.size() - kHiddenEnd.size()))) {
            unlinkat(dirfd(folder), entry->d_name, 0);
        }
    }
    closedir(folder);
}

// Runs with the claim's lock held and the interrupts held back. The empty file that this
// run's prompt created is removed first, as the name held nothing before the run; one that
// was there before is replaced in one step, which needs a named file to rename.
Placement putInPlace(int fd) {
    struct stat now {};
    bool present = lstat(outputName, &now) == 0;
    if ((present && !stillClaimed(now)) || (!present && errno != ENOENT)) {
        return present ? Placement::NameTaken : Placement::Failed;
    }
    if (present && claimCreated != 0) {
        if (unlink(outputName) != 0) {
            return Placement::Failed;
        }
        present = false;
    }
    if (hasTempName == 0 && present) {
        if (!nameTempFile() || !linkUnnamed(fd, tempName)) {
            return Placement::Failed;
        }
        hasTempName = 1;
    }
    if (present) {
        return rename(tempName, outputName) == 0 ? Placement::Placed : Placement::Failed;
    }
    bool linked = hasTempName != 0 ? link(tempName, outputName) == 0 : linkUnnamed(fd, outputName);
    if (!linked) {
        return errno == EEXIST ? Placement::NameTaken : Placement::Failed;
    }
    if (hasTempName != 0) {
        unlink(tempName);
    }
    return Placement::Placed;
}

// The bytes of one key press (an arrow's escape sequence, a letter's UTF-8 bytes) are sent
// together, but a slow link (SSH over a busy line) can deliver them a good part of a second
// apart. A byte that has not come within this bound belongs to another key; a lone Escape
// costs the wait for it.
constexpr int kKeyBytesBoundMs = 500;

bool nextByteOfKey(unsigned char& byte) {
    struct pollfd input {
        STDIN_FILENO, POLLIN, 0
    };
    return poll(&input, 1, kKeyBytesBoundMs) > 0 && read(STDIN_FILENO, &byte, 1) == 1;
}

}  // namespace

std::FILE* openRegularFile(const std::string& name, std::string& reason) {
    struct stat info {};
    // A pipe or a device is told apart before it is opened, as opening one can wait or act.
    if (stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        reason = notRegularReason(info);
        return nullptr;
    }
    int fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = fd < 0 ? systemReason(errno) : notRegularReason(info);
        if (fd >= 0) {
            close(fd);
        }
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "rb");
    if (file == nullptr) {
        reason = systemReason(errno);
        close(fd);
    }
    return file;
}

bool isRegularFile(const std::string& name) {
    struct stat info {};
    return stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

FileStamp stampOf(std::FILE* file) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0) {
        return {};
    }
    FileStamp stamp;
    stamp.device = static_cast<uint64_t>(info.st_dev);
    stamp.file = static_cast<uint64_t>(info.st_ino);
    stamp.size = static_cast<int64_t>(info.st_size);
    stamp.modifiedNs = nanoseconds(info.st_mtim);
    stamp.changedNs = nanoseconds(info.st_ctim);
    stamp.links = static_cast<uint64_t>(info.st_nlink);
    return stamp;
}

bool seekTo(std::FILE* file, uint64_t offset) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

Claim claimOutput(const std::string& name, std::string& reason, bool replace, bool reserve) {
    std::string place = placeOf(name);
    struct stat info {};
    reason = refusalOfName(name, place);
    if (!reason.empty()) {
        return Claim::Refused;
    }
    if (stat(place.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        reason = notRegularReason(info);
        return S_ISDIR(info.st_mode) ? Claim::Refused : Claim::NotRegular;
    }
    // The output is written beside its name, so a folder that takes no new file is refused
    // here rather than after the whole input has been read.
    if (access(folderOf(place).c_str(), W_OK | X_OK) != 0) {
        reason = systemReason(errno);
        return Claim::Refused;
    }
    HeldInterrupts held;
    int fd = -1;
    bool created = false;
    if (reserve) {
        fd = open(place.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        created = fd >= 0;
    }
    if (!created && (!reserve || errno == EEXIST)) {
        fd = open(place.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    }
    if (fd < 0 && !reserve && errno == ENOENT && lstat(place.c_str(), &info) != 0) {
        claimFreeName(place);
        return Claim::Taken;
    }
    bool known = fd >= 0 && fstat(fd, &info) == 0;
    reason = systemReason(errno);
    Claim claim = !known                          ? Claim::Refused
                  : !S_ISREG(info.st_mode)        ? Claim::NotRegular
                  : info.st_size != 0 && !replace ? Claim::HoldsData
                                                  : Claim::Taken;
    if (claim != Claim::Taken) {
        if (fd >= 0) {
            close(fd);
        }
        return claim;
    }
    claimFreeName(place);
    claimFd = fd;
    claimedDevice = info.st_dev;
    claimedInode = info.st_ino;
    claimedMode = info.st_mode;
    claimedSize = info.st_size;
    claimedModified = info.st_mtim;
    claimCreated = created ? 1 : 0;
    return claim;
}

std::FILE* createOutput(std::string& reason) {
    HeldInterrupts held;
    if (hasClaim != 0) {
        removeLeftOvers();
    }
    int fd = hasClaim != 0 ? createTempFile() : -1;
    // Held while this run lives, so that no other run takes the file for a left-over.
    if (fd >= 0) {
        flock(fd, LOCK_EX | LOCK_NB);
    }
    // What replaces a file that was there keeps that file's permissions.
    if (fd >= 0 && claimFd >= 0 && claimCreated == 0) {
        fchmod(fd, claimedMode & 07777);
    }
    std::FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        reason = systemReason(hasClaim != 0 ? errno : ENOENT);
        if (fd >= 0) {
            close(fd);
        }
        abandonOutput(nullptr);
    }
    return file;
}

Placement placeOutput(std::FILE* output, std::string& reason) {
    // Every byte has reached the file once the flush succeeds, so closing has nothing left to
    // report. A name claimed while it held nothing has no file to lock: the link that puts
    // the output there fails if another file took it.
    if (std::fflush(output) != 0 || std::ferror(output) != 0 ||
        (claimFd >= 0 && flock(claimFd, LOCK_EX) != 0)) {
        reason = systemReason(errno);
        static_cast<void>(std::fclose(output));
        return Placement::Failed;
    }
    Placement placement = Placement::Failed;
    {
        HeldInterrupts held;
        placement = putInPlace(fileno(output));
        if (placement == Placement::Failed) {
            reason = systemReason(errno);
        }
        if (placement == Placement::Placed) {
            hasTempName = 0;
            outputPlaced = 1;
            releaseClaim();
        }
    }
    static_cast<void>(std::fclose(output));
    return placement;
}

bool abandonOutput(std::FILE* output) {
    if (output != nullptr) {
        static_cast<void>(std::fclose(output));
    }
    bool removed = hasTempName == 0 || unlink(tempName) == 0 || errno == ENOENT;
    hasTempName = 0;
    removeOwnEmptyFile();
    releaseClaim();
    return removed;
}

void reopenClosedStandardStreams() {
    for (int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        // The lower ones are open by now, so the null device gets the number of this one.
        if (fcntl(stream, F_GETFD) == -1 && errno == EBADF) {
            static_cast<void>(open("/dev/null", stream == STDIN_FILENO ? O_RDONLY : O_WRONLY));
        }
    }
}

bool standardInputIsTerminal() {
    return isatty(STDIN_FILENO) != 0;
}

bool standardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) != 0;
}

bool sameFile(const std::string& first, const std::string& second) {
    struct stat one {};
    struct stat other {};
    return stat(first.c_str(), &one) == 0 && stat(second.c_str(), &other) == 0 &&
           one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");  // NOLINT(concurrency-mt-unsafe): one thread
    return home != nullptr ? home : "";
}

void waitForKey() {
    if (!standardInputIsTerminal() || tcgetattr(STDIN_FILENO, &savedTerminal) != 0) {
        return;
    }
    struct termios raw = savedTerminal;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    terminalIsRaw = 1;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) {
        unsigned char key = 0;
        ssize_t got = 0;
        while ((got = read(STDIN_FILENO, &key, 1)) < 0 && errno == EINTR) {
        }
        if (got == 1) {
            takeRestOfKey(key, nextByteOfKey);
        }
    }
    restoreTerminal();
}

uint64_t installedMemory() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) {
        return 0;
    }
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

void preferLargePages([[maybe_unused]] void* start, [[maybe_unused]] size_t bytes) {
#ifdef MADV_HUGEPAGE
    // madvise takes whole pages; the partial pages at either end keep small ones.
    auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t lead = (page - reinterpret_cast<uintptr_t>(start) % page) % page;
    if (bytes >= lead + page) {
        madvise(static_cast<char*>(start) + lead, (bytes - lead) / page * page, MADV_HUGEPAGE);
    }
#endif
}

void installInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    // A second signal waits for the first one's clean-up rather than cutting into it.
    sigfillset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM}) {
        sigaction(signal, &action, nullptr);
    }
    action.sa_handler = SIG_IGN;
    for (int signal : {SIGPIPE, SIGXFSZ}) {
        sigaction(signal, &action, nullptr);
    }
}

}  // namespace platform
