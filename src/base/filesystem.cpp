#include "base/filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <string_view>

#include "base/dostime.h"
#include "base/ioerror.h"
#include "base/paths.h"

namespace kes {

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool NameExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool SameFileAs(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

int64_t FileSizeOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        throw IoError(path, "Cannot read file size (" + ErrnoText(errno) + ")");
    return st.st_size;
}

int64_t FileUnixTime(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        throw IoError(path, "Cannot read file time (" + ErrnoText(errno) + ")");
    return st.st_mtime;
}

int32_t FileDosTime(const std::string& path) {
    return UnixToDosTime(FileUnixTime(path));
}

void SetFileUnixTime(const std::string& path, int64_t unixTime) {
    struct timespec ts[2];
    ts[0].tv_sec = ts[1].tv_sec = static_cast<time_t>(unixTime);
    ts[0].tv_nsec = ts[1].tv_nsec = 0;
    if (::utimensat(AT_FDCWD, path.c_str(), ts, 0) != 0)
        throw IoError(path, "Cannot set file time (" + ErrnoText(errno) + ")");
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& suffix) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return names;
    while (struct dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name.size() < suffix.size()) continue;
        bool match = true;
        for (std::size_t i = 0; i < suffix.size(); ++i) {
            char a = name[name.size() - suffix.size() + i];
            char b = suffix[i];
            if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
            if (b >= 'A' && b <= 'Z') b = static_cast<char>(b + 32);
            if (a != b) {
                match = false;
                break;
            }
        }
        if (match && FileExists(JoinPath(folder, name))) names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string FindOnPath(const std::string& name, const char* pathVariable) {
    if (name.empty() || pathVariable == nullptr) return {};
    std::string_view rest(pathVariable);
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        if (!dir.empty() && dir[0] == '/') {
            const std::string candidate = JoinPath(std::string(dir), name);
            if (IsExecutableFile(candidate)) return candidate;
        }
        if (colon == std::string_view::npos) return {};
        rest.remove_prefix(colon + 1);
    }
}

}  // namespace kes
