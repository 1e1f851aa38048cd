#include "platform/OutputPlacement.h"

#include "platform/HiddenName.h"
#include "platform/Interrupts.h"
#include "platform/Narrow.h"
#include "platform/SystemPosix.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

namespace platform {
namespace {

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
volatile std::sig_atomic_t outputInPlace{};

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
    outputInPlace = 0;
    hasClaim = 1;
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
// is touched; nothing when it can be tried. The hidden name beside it must fit too, or the run
// would fail once the work is done.
Refusal refusalOfName(const std::string& name, const std::string& place) {
    if (place.size() >= sizeof outputName || hiddenName(place).size() >= PATH_MAX) {
        return RunEnded{{systemReason(ENAMETOOLONG)}};
    }
    if (isDanglingLink(name)) {
        return RunEnded{{"Not writing through dangling symbolic link '" + name + "'"}};
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
bool isLeftOver(int folder, const char* file, uint64_t run) {
    if (run == 0 || run > static_cast<uint64_t>(std::numeric_limits<pid_t>::max())) {
        return false;
    }
    const auto pid = narrow<pid_t>(run);
    if (pid != getpid() && (kill(pid, 0) == 0 || errno != ESRCH)) {
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
            isLeftOver(dirfd(folder), entry->d_name, runOfHiddenName(file, prefix.size()))) {
            unlinkat(dirfd(folder), entry->d_name, 0);
        }
    }
    closedir(folder);
}

Attempt<Placement> failedPlacement() {
    return RunEnded{{systemReason(errno)}};
}

// Runs with the claim's lock held and the interrupts held back. The empty file that this
// run's prompt created is removed first, as the name held nothing before the run; one that
// was there before is replaced in one step, which needs a named file to rename.
Attempt<Placement> putInPlace(int fd) {
    struct stat now {};
    bool present = lstat(outputName, &now) == 0;
    if ((present && !stillClaimed(now)) || (!present && errno != ENOENT)) {
        return present ? Attempt<Placement>{Placement::NameTaken} : failedPlacement();
    }
    if (present && claimCreated != 0) {
        if (unlink(outputName) != 0) {
            return failedPlacement();
        }
        present = false;
    }
    if (hasTempName == 0 && present) {
        if (!nameTempFile() || !linkUnnamed(fd, tempName)) {
            return failedPlacement();
        }
        hasTempName = 1;
    }
    if (present) {
        return rename(tempName, outputName) == 0 ? Attempt<Placement>{Placement::Placed}
                                                 : failedPlacement();
    }
    bool linked = hasTempName != 0 ? link(tempName, outputName) == 0 : linkUnnamed(fd, outputName);
    if (!linked) {
        return errno == EEXIST ? Attempt<Placement>{Placement::NameTaken} : failedPlacement();
    }
    if (hasTempName != 0) {
        unlink(tempName);
    }
    return {Placement::Placed};
}

}  // namespace

bool atInterrupt::outputPlaced() {
    return outputInPlace != 0;
}

// Async-signal-safe.
void atInterrupt::removeOutput() {
    if (hasTempName != 0) {
        unlink(tempName);
    }
    removeOwnEmptyFile();
}

Attempt<Claim> claimOutput(const std::string& name, bool replace, bool reserve) {
    std::string place = placeOf(name);
    struct stat info {};
    if (Refusal refusal = refusalOfName(name, place)) {
        return std::move(*refusal);
    }
    if (stat(place.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return S_ISDIR(info.st_mode) ? Attempt<Claim>(RunEnded{{notRegularReason(info)}})
                                     : Attempt<Claim>{Claim::NotRegular};
    }
    // The output is written beside its name, so a folder that takes no new file is refused
    // here rather than after the whole input has been read.
    if (access(folderOf(place).c_str(), W_OK | X_OK) != 0) {
        return RunEnded{{systemReason(errno)}};
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
        return {Claim::Taken};
    }
    if (fd < 0 || fstat(fd, &info) != 0) {
        RunEnded refusal{{systemReason(errno)}};
        if (fd >= 0) {
            close(fd);
        }
        return refusal;
    }
    Claim claim = !S_ISREG(info.st_mode)          ? Claim::NotRegular
                  : info.st_size != 0 && !replace ? Claim::HoldsData
                                                  : Claim::Taken;
    if (claim != Claim::Taken) {
        close(fd);
        return {claim};
    }
    claimFreeName(place);
    claimFd = fd;
    claimedDevice = info.st_dev;
    claimedInode = info.st_ino;
    claimedMode = info.st_mode;
    claimedSize = info.st_size;
    claimedModified = info.st_mtim;
    claimCreated = created ? 1 : 0;
    return {claim};
}

Attempt<std::FILE*> createOutput() {
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
        RunEnded refusal{{systemReason(hasClaim != 0 ? errno : ENOENT)}};
        if (fd >= 0) {
            close(fd);
        }
        abandonOutput(nullptr);
        return refusal;
    }
    return {file};
}

Attempt<Placement> placeOutput(std::FILE* output) {
    // Every byte has reached the file once the flush succeeds, so closing has nothing left to
    // report. A name claimed while it held nothing has no file to lock: the link that puts
    // the output there fails if another file took it.
    if (std::fflush(output) != 0 || std::ferror(output) != 0 ||
        (claimFd >= 0 && flock(claimFd, LOCK_EX) != 0)) {
        Attempt<Placement> failed = failedPlacement();
        static_cast<void>(std::fclose(output));
        return failed;
    }
    Attempt<Placement> placement = [fd = fileno(output)] {
        HeldInterrupts held;
        Attempt<Placement> placed = putInPlace(fd);
        if (!placed.refusal && placed.value == Placement::Placed) {
            hasTempName = 0;
            outputInPlace = 1;
            releaseClaim();
        }
        return placed;
    }();
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

}  // namespace platform
