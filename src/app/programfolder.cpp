#include "app/programfolder.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/ioerror.h"
#include "base/paths.h"
#include "base/replacefile.h"

namespace kes {

namespace {

bool Set(const char* v) {
    return v != nullptr && *v != '\0';
}

struct FileStamp {
    bool exists = false;
    int64_t size = 0;
    struct timespec mtime {};
};

// lstat: a link in the user folder counts as present and is never replaced.
FileStamp StampOf(const std::string& path) {
    FileStamp s;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return s;
    s.exists = true;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    return s;
}

bool SameStamp(const FileStamp& a, const FileStamp& b) {
    return a.exists && b.exists && a.size == b.size && a.mtime.tv_sec == b.mtime.tv_sec &&
           a.mtime.tv_nsec == b.mtime.tv_nsec;
}

// Copies `from` to the new file `to` with its last-write time, under a temporary name renamed
// into place when complete. False (nothing written) when `to` appeared meanwhile.
bool CopyWithTime(const std::string& from, const std::string& to) {
    ByteFile src(from, OpenMode::Read);
    struct stat st;
    if (::stat(from.c_str(), &st) != 0) throw IoError(from, std::strerror(errno));
    FileReplacement copy(to);
    CopyBytes(src, copy.file(), 0, src.size());
    src.close();
    copy.seal();
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::utimensat(AT_FDCWD, copy.tempPath().c_str(), times, 0) != 0)
        throw IoError(to,
                      std::string("Cannot keep the file's time (") + std::strerror(errno) + ")");
    return copy.commitNew();
}

}  // namespace

std::string InstalledDataFolder(const std::string& executableFolder) {
    return (std::filesystem::path(executableFolder) / KESTRUNE_DATA_RELDIR)
        .lexically_normal()
        .string();
}

ProgramFolderChoice ChooseProgramFolder(const std::string& executableFolder,
                                        const char* kestruneHome, const char* xdgDataHome,
                                        const char* home) {
    ProgramFolderChoice c;
    if (Set(kestruneHome)) {
        c.kind = ProgramFolderKind::Environment;
        // Made absolute here: the page view loads its empty.html by a file URL, and a relative
        // one names no file (the page would stay blank).
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(kestruneHome, ec);
        c.folder = ec ? std::string(kestruneHome) : absolute.lexically_normal().string();
        if (c.folder.size() > 1 && c.folder.back() == '/') c.folder.pop_back();
        return c;
    }
    if (FileExists(JoinPath(executableFolder, "empty.html"))) {
        c.kind = ProgramFolderKind::Portable;
        c.folder = executableFolder;
        return c;
    }
    c.kind = ProgramFolderKind::User;
    c.installedData = InstalledDataFolder(executableFolder);
    if (Set(xdgDataHome) && xdgDataHome[0] == '/')
        c.folder = JoinPath(xdgDataHome, "kestrune");
    else if (Set(home))
        c.folder = JoinPath(JoinPath(JoinPath(home, ".local"), "share"), "kestrune");
    return c;
}

Outcome SeedUserFolder(const std::string& userFolder, const std::string& dataFolder) {
    Outcome r;
    if (userFolder.empty()) {
        r.message = "No user folder: neither XDG_DATA_HOME nor HOME is set";
        return r;
    }
    std::vector<std::string> copied;
    try {
        std::error_code ec;
        std::filesystem::create_directories(userFolder, ec);
        if (ec || !std::filesystem::is_directory(userFolder))
            throw IoError(userFolder, "Cannot create the folder (" +
                                          (ec ? ec.message() : std::string("not a folder")) + ")");
        auto copyMissing = [&](const std::string& name) {
            const std::string from = JoinPath(dataFolder, name);
            const std::string to = JoinPath(userFolder, name);
            if (StampOf(to).exists || !FileExists(from)) return;
            if (CopyWithTime(from, to)) copied.push_back(name);
        };
        for (const char* name : {"empty.html", "readme.html", "unihan.txt", "unihan.idc"})
            copyMissing(name);
        for (const std::string& data : ListFiles(dataFolder, ".ced")) {
            const std::string index = ChangeExtension(data, ".idx");
            const FileStamp userData = StampOf(JoinPath(userFolder, data));
            const FileStamp userIndex = StampOf(JoinPath(userFolder, index));
            if (!userData.exists && !userIndex.exists) {
                copyMissing(data);  // the data file first: an index alone is never valid
                copyMissing(index);
            } else if (!userIndex.exists &&
                       SameStamp(userData, StampOf(JoinPath(dataFolder, data)))) {
                copyMissing(index);  // the rest of an interrupted seed
            }
        }
    } catch (const IoError&) {
        r.message = "Cannot prepare the user folder " + userFolder;
        r.detail = CurrentExceptionDetail();
        return r;
    }
    r.ok = true;
    if (!copied.empty()) {
        r.message = "Copied into " + userFolder + ":";
        for (const std::string& n : copied)
            r.message += " " + n;
    }
    return r;
}

}  // namespace kes
