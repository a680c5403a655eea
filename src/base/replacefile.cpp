#include "base/replacefile.h"

#include "base/bytefile.h"
#include "base/faultpoint.h"
#include "base/filesystem.h"
#include "base/ioerror.h"
#include "base/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <vector>

namespace kes {

namespace {

std::string Reason(const std::string& what, int err) {
    return what + " (" + std::strerror(err) + ")";
}

// The file a path names once every symbolic link on its last component is followed; the
// path itself when it is no link. Links inside the folder part are left to the system.
std::string RealTarget(const std::string& target) {
    std::string path = target;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 256) + 1, '\0');
        ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0) throw IoError(target, Reason("Cannot read symbolic link", errno));
        link.resize(static_cast<std::size_t>(n));
        path = (!link.empty() && link[0] == '/') ? link : JoinPath(DirName(path), link);
    }
    throw IoError(target, Reason("Cannot follow symbolic link", ELOOP));
}

// The permission bits a newly created file gets from the process's umask.
mode_t NewFileMode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            unsigned mask = 0;
            if (std::sscanf(line.c_str() + 6, "%o", &mask) == 1) return 0666 & ~mask;
        }
    }
    mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// A name for the temporary file that no other writer (thread or process) picks at once.
std::string TempNameFor(const std::string& realPath) {
    static std::atomic<unsigned> counter{0};
    static const unsigned long long seed = std::random_device{}();
    std::mt19937_64 gen(seed ^ (static_cast<unsigned long long>(::getpid()) << 20) ^
                        counter.fetch_add(1));
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%012llx.tmp",
                  static_cast<unsigned long long>(gen() & 0xFFFFFFFFFFFFull));
    return realPath + suffix;
}

void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;  // nothing to flush through (the rename itself has happened)
    ::fsync(fd);
    ::close(fd);
}

constexpr std::size_t kIdDigits = 12;

// "<base>.<12 lower-case hex digits><suffix>": the digits, else an empty string.
std::string IdInName(const std::string& name, const std::string& base, const std::string& suffix) {
    if (name.size() != base.size() + 1 + kIdDigits + suffix.size() ||
        name.compare(0, base.size(), base) != 0 || name[base.size()] != '.' ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return {};
    const std::string id = name.substr(base.size() + 1, kIdDigits);
    for (const char c : id)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return {};
    return id;
}

bool IsTemporaryNameOf(const std::string& name, const std::string& base) {
    return !IdInName(name, base, ".tmp").empty();
}

std::vector<std::string> NamesInFolder(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (struct dirent* e = ::readdir(dir))
            names.emplace_back(e->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Removes `path` when it is a stale temporary file (see RemoveStaleTemporaries).
bool RemoveIfStale(const std::string& path, time_t now) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool removed = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime > kStaleTemporaryAge &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Still the same file under that name (not replaced since it was opened)?
        struct stat named;
        if (::lstat(path.c_str(), &named) == 0 && named.st_dev == st.st_dev &&
            named.st_ino == st.st_ino)
            removed = ::unlink(path.c_str()) == 0;
    }
    ::close(fd);
    return removed;
}

}  // namespace

std::vector<std::string> TemporariesOf(const std::string& realPath) {
    const std::string base = BaseName(realPath);
    std::vector<std::string> names;
    for (std::string& name : NamesInFolder(DirName(realPath)))
        if (IsTemporaryNameOf(name, base)) names.push_back(std::move(name));
    return names;
}

int RemoveStaleTemporaries(const std::string& realPath) {
    const std::string folder = DirName(realPath);
    const time_t now = std::time(nullptr);
    int removed = 0;
    for (const std::string& name : TemporariesOf(realPath))
        if (RemoveIfStale(JoinPath(folder, name), now)) ++removed;
    return removed;
}

FileReplacement::FileReplacement(const std::string& target) : target_(target) {
    realPath_ = RealTarget(target);
    RemoveStaleTemporaries(realPath_);
    struct stat st;
    if (::stat(realPath_.c_str(), &st) == 0) {
        oldExists_ = true;
        oldMode_ = st.st_mode & 07777;
        oldUid_ = st.st_uid;
        oldGid_ = st.st_gid;
    } else {
        oldMode_ = NewFileMode();
    }
    for (int attempt = 0;; ++attempt) {
        tempPath_ = TempNameFor(realPath_);
        try {
            file_.open(tempPath_, OpenMode::CreateNew);
            file_.setName(target_);
            // Marks the file as in use for RemoveStaleTemporaries; a file system without
            // locks leaves only the age to protect it.
            lockFd_ = ::open(tempPath_.c_str(), O_RDONLY | O_CLOEXEC);
            if (lockFd_ >= 0) {
                while (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0 && errno == EINTR) {
                }
            }
            return;
        } catch (const IoError& e) {
            struct stat taken;
            if (::lstat(tempPath_.c_str(), &taken) != 0 || attempt >= 100)
                throw IoError(target_, e.reason());
        }
    }
}

FileReplacement::~FileReplacement() {
    if (!done_) discard();
    unlock();
}

void FileReplacement::unlock() {
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
}

void FileReplacement::discard() {
    if (done_) return;
    done_ = true;
    try {
        if (file_.isOpen()) file_.close();
    } catch (const IoError&) {
    }
    ::unlink(tempPath_.c_str());
    unlock();
}

void FileReplacement::failCommit(const std::string& what, int err) {
    discard();
    throw IoError(target_, Reason(what, err));
}

void FileReplacement::seal() {
    if (done_) throw IoError(target_, "The replacement has already ended");
    if (!file_.isOpen()) return;
    try {
        file_.sync();
        file_.close();
    } catch (const IoError& e) {
        discard();
        throw IoError(target_, e.reason());
    }
}

void FileReplacement::prepareCommit() {
    seal();
    if (oldExists_ && ::geteuid() == 0) {
        // Only a privileged process may give a file away; others keep their own ownership.
        if (::chown(tempPath_.c_str(), oldUid_, oldGid_) != 0 && errno != EPERM)
            failCommit("Cannot keep the file's owner", errno);
    } else if (oldExists_) {
        // The group, where the process belongs to it.
        if (::chown(tempPath_.c_str(), static_cast<uid_t>(-1), oldGid_) != 0 && errno != EPERM)
            failCommit("Cannot keep the file's group", errno);
    }
    if (::chmod(tempPath_.c_str(), oldMode_) != 0) failCommit("Cannot set the file's mode", errno);
}

void FileReplacement::commit() {
    prepareCommit();
    if (FaultPoint(FileOp::Rename) != 0 || ::rename(tempPath_.c_str(), realPath_.c_str()) != 0)
        failCommit("Cannot replace file", errno);
    done_ = true;
    unlock();
    SyncFolder(DirName(realPath_));
}

void FileReplacement::commitAs(const std::string& path) {
    prepareCommit();
    const int err = RenameNoReplace(tempPath_, path);
    if (err != 0) failCommit("Cannot move the finished file into place", err);
    done_ = true;
}

bool FileReplacement::commitNew() {
    if (realPath_ != target_) {  // the name is a symbolic link: taken
        discard();
        return false;
    }
    prepareCommit();
    const int err = RenameNoReplace(tempPath_, target_);
    if (err == EEXIST) {
        discard();
        return false;
    }
    if (err != 0) failCommit("Cannot move the finished file into place", err);
    done_ = true;
    unlock();
    SyncFolder(DirName(target_));
    return true;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    if (FaultPoint(FileOp::Rename) != 0) return errno;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    const int err = errno;
    if (err != EINVAL && err != ENOSYS && err != ENOTSUP) return err;
    // The file system cannot rename without replacing: a hard link fails when the name is
    // taken, just the same.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
}

void ReplaceFileContents(const std::string& target, const std::function<void(ByteFile&)>& write) {
    FileReplacement replacement(target);
    write(replacement.file());
    replacement.commit();
}

// --- replacing two files as one ------------------------------------------------------------

namespace {

// The names of one pair replacement (see CommitPair).
struct PairNames {
    std::string first;   // the real first file
    std::string second;  // the real second file
    std::string id;
    std::string firstNew() const { return first + "." + id + ".new"; }
    std::string firstOld() const { return first + "." + id + ".old"; }
    std::string secondNew() const { return second + "." + id + ".new"; }
    std::string secondDrop() const { return second + "." + id + ".drop"; }
    std::string secondOld() const { return second + "." + id + ".old"; }
    std::vector<std::string> all() const {
        return {firstNew(), firstOld(), secondNew(), secondDrop(), secondOld()};
    }
};

// Renames within a pair replacement; errors name `target`.
void Move(const std::string& from, const std::string& to, const std::string& target,
          const char* what) {
    if (FaultPoint(FileOp::Rename) != 0 || ::rename(from.c_str(), to.c_str()) != 0)
        throw IoError(target, Reason(what, errno));
}

std::string FreePairId(const std::string& first, const std::string& second) {
    for (;;) {
        const std::string temp = TempNameFor(first);  // "<first>.<12 hex digits>.tmp"
        PairNames names{first, second, temp.substr(first.size() + 1, kIdDigits)};
        bool taken = false;
        for (const std::string& n : names.all())
            taken = taken || NameExists(n);
        if (!taken) return names.id;
    }
}

// Steps 2 to 4 from wherever a replacement stopped (each step is skipped once done).
void CompletePair(const PairNames& p, const std::string& firstTarget,
                  const std::string& secondTarget) {
    if (NameExists(p.secondNew())) {
        if (NameExists(p.second) && !NameExists(p.secondOld()))
            Move(p.second, p.secondOld(), secondTarget, "Cannot move the old file aside");
        if (NameExists(p.firstNew())) {
            if (NameExists(p.first) && !NameExists(p.firstOld()))
                Move(p.first, p.firstOld(), firstTarget, "Cannot move the old file aside");
            Move(p.firstNew(), p.first, firstTarget, "Cannot replace file");
        }
        Move(p.secondNew(), p.second, secondTarget, "Cannot replace file");
    }
    ::unlink(p.firstOld().c_str());
    ::unlink(p.secondOld().c_str());
}

// Undoes steps 3 and 2 once "<second>.<h>.drop" marks the replacement as undone.
void UndoPair(const PairNames& p, const std::string& firstTarget, const std::string& secondTarget) {
    // The new first file has left its pending name only for the first file's name.
    if (!NameExists(p.firstNew()) && NameExists(p.first))
        Move(p.first, p.firstNew(), firstTarget, "Cannot move the new file back");
    if (NameExists(p.firstOld()))
        Move(p.firstOld(), p.first, firstTarget, "Cannot put the old file back");
    if (NameExists(p.secondOld()))
        Move(p.secondOld(), p.second, secondTarget, "Cannot put the old file back");
    ::unlink(p.secondDrop().c_str());
    ::unlink(p.firstNew().c_str());
}

// Without a mark ("<second>.<h>.new" or ".drop"): nothing was committed, or everything was
// done. An old file whose real name is free goes back to it (nothing took its place).
void ClearPair(const PairNames& p, const std::string& firstTarget,
               const std::string& secondTarget) {
    ::unlink(p.firstNew().c_str());
    if (NameExists(p.firstOld()) && !NameExists(p.first))
        Move(p.firstOld(), p.first, firstTarget, "Cannot put the old file back");
    if (NameExists(p.secondOld()) && !NameExists(p.second))
        Move(p.secondOld(), p.second, secondTarget, "Cannot put the old file back");
    ::unlink(p.firstOld().c_str());
    ::unlink(p.secondOld().c_str());
}

// True when a live process holds the lock of one of the replacement's files.
bool PairInUse(const PairNames& p) {
    for (const std::string& name : p.all()) {
        int fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd);
        if (locked) return true;
    }
    return false;
}

void RequireRegularOrMissing(const std::string& real, const std::string& target) {
    struct stat st;
    if (::stat(real.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        throw IoError(target, "Not a regular file");
}

}  // namespace

bool CommitPair(FileReplacement& first, FileReplacement& second, bool replace) {
    const std::string& firstTarget = first.target();
    const std::string& secondTarget = second.target();
    if (replace) {
        RequireRegularOrMissing(first.realPath(), firstTarget);
        RequireRegularOrMissing(second.realPath(), secondTarget);
    } else if (NameExists(firstTarget) || NameExists(secondTarget)) {
        first.discard();
        second.discard();
        return false;
    }
    const PairNames p{first.realPath(), second.realPath(),
                      FreePairId(first.realPath(), second.realPath())};
    first.commitAs(p.firstNew());
    try {
        second.commitAs(p.secondNew());
    } catch (...) {
        ::unlink(p.firstNew().c_str());
        throw;
    }
    // Committed: the new pair is complete under its pending names.
    bool placed = false;
    try {
        if (replace) {
            CompletePair(p, firstTarget, secondTarget);
            placed = true;
        } else {
            int err = RenameNoReplace(p.firstNew(), firstTarget);
            if (err == 0) err = RenameNoReplace(p.secondNew(), secondTarget);
            if (err != 0 && err != EEXIST)
                throw IoError(NameExists(p.firstNew()) ? firstTarget : secondTarget,
                              Reason("Cannot move the finished file into place", err));
            placed = err == 0;
        }
    } catch (...) {
        if (::rename(p.secondNew().c_str(), p.secondDrop().c_str()) == 0) {
            try {
                UndoPair(p, firstTarget, secondTarget);
            } catch (const IoError&) {
                // Left marked as undone: FinishInterruptedPairs completes the undoing.
            }
        }
        throw;
    }
    if (!placed) {
        if (::rename(p.secondNew().c_str(), p.secondDrop().c_str()) == 0)
            UndoPair(p, firstTarget, secondTarget);
        return false;
    }
    SyncFolder(DirName(p.first));
    if (DirName(p.second) != DirName(p.first)) SyncFolder(DirName(p.second));
    return true;
}

int FinishInterruptedPairs(const std::string& first, const std::string& second) {
    const std::string firstReal = RealTarget(first);
    const std::string secondReal = RealTarget(second);
    std::vector<std::string> ids;
    auto collect = [&ids](const std::string& real, std::initializer_list<const char*> suffixes) {
        const std::string base = BaseName(real);
        for (const std::string& name : NamesInFolder(DirName(real)))
            for (const char* suffix : suffixes) {
                std::string id = IdInName(name, base, suffix);
                if (!id.empty()) ids.push_back(std::move(id));
            }
    };
    collect(firstReal, {".new", ".old"});
    collect(secondReal, {".new", ".drop", ".old"});
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    int finished = 0;
    for (const std::string& id : ids) {
        const PairNames p{firstReal, secondReal, id};
        if (PairInUse(p)) continue;
        try {
            if (NameExists(p.secondNew()))
                CompletePair(p, first, second);
            else if (NameExists(p.secondDrop()))
                UndoPair(p, first, second);
            else
                ClearPair(p, first, second);
            ++finished;
        } catch (const IoError&) {
            // Left as it is for the next call.
        }
    }
    if (finished > 0) {
        SyncFolder(DirName(firstReal));
        if (DirName(secondReal) != DirName(firstReal)) SyncFolder(DirName(secondReal));
    }
    return finished;
}

std::vector<std::string> PairLeftoverTargets(const std::string& folder) {
    return PairLeftoverTargets(NamesInFolder(folder));
}

std::vector<std::string> PairLeftoverTargets(const std::vector<std::string>& names) {
    std::vector<std::string> targets;
    for (const std::string& name : names) {
        for (const char* suffix : {".new", ".old", ".drop"}) {
            const std::size_t tail = 1 + kIdDigits + std::strlen(suffix);
            if (name.size() <= tail) continue;
            const std::string base = name.substr(0, name.size() - tail);
            if (!IdInName(name, base, suffix).empty()) targets.push_back(base);
        }
    }
    std::sort(targets.begin(), targets.end());
    targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
    return targets;
}

}  // namespace kes
