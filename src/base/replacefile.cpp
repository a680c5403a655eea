#include "base/replacefile.h"

#include "base/faultpoint.h"

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

bool IsTemporaryNameOf(const std::string& name, const std::string& base) {
    constexpr std::size_t kHex = 12;
    if (name.size() != base.size() + 1 + kHex + 4 || name.compare(0, base.size(), base) != 0 ||
        name[base.size()] != '.' || name.compare(name.size() - 4, 4, ".tmp") != 0)
        return false;
    for (std::size_t i = base.size() + 1; i < base.size() + 1 + kHex; ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
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
    const std::string folder = DirName(realPath);
    const std::string base = BaseName(realPath);
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (struct dirent* e = ::readdir(dir))
            if (IsTemporaryNameOf(e->d_name, base)) names.emplace_back(e->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
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
            file_.tryLock();
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
}

void FileReplacement::discard() {
    if (done_) return;
    done_ = true;
    try {
        if (file_.isOpen()) file_.close();
    } catch (const IoError&) {
    }
    ::unlink(tempPath_.c_str());
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
    SyncFolder(DirName(realPath_));
}

bool FileReplacement::commitNew() {
    if (realPath_ != target_) {  // the name is a symbolic link: taken
        discard();
        return false;
    }
    prepareCommit();
    const std::string& to = target_;
    if (FaultPoint(FileOp::Rename) != 0 ||
        ::renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        int err = errno;
        if (err == EEXIST) {
            discard();
            return false;
        }
        if (err != EINVAL && err != ENOSYS && err != ENOTSUP)
            failCommit("Cannot move the finished file into place", err);
        // The file system cannot rename without replacing: a hard link fails when the name is
        // taken, just the same.
        if (::link(tempPath_.c_str(), to.c_str()) != 0) {
            err = errno;
            if (err == EEXIST) {
                discard();
                return false;
            }
            failCommit("Cannot move the finished file into place", err);
        }
        ::unlink(tempPath_.c_str());
    }
    done_ = true;
    SyncFolder(DirName(to));
    return true;
}

void ReplaceFileContents(const std::string& target, const std::function<void(ByteFile&)>& write) {
    FileReplacement replacement(target);
    write(replacement.file());
    replacement.commit();
}

}  // namespace kes
