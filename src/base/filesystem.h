// Questions to the file system about files by name, and the few changes made by name
// (remove, set the time). Queries answer false for a name they cannot look at; those that
// return a value throw IoError, which names the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kes {

// True for an existing regular file (links followed).
bool FileExists(const std::string& path);
// True when anything (a file, a folder, a dangling link) has this name.
bool NameExists(const std::string& path);
// True when both paths name one existing file (the same device and inode).
bool SameFileAs(const std::string& a, const std::string& b);
// Byte size of a file; throws IoError when it cannot be read.
int64_t FileSizeOf(const std::string& path);
// Last-write time as a 32-bit DOS date-time in local time (base/dostime.h); throws IoError.
int32_t FileDosTime(const std::string& path);
// Last-write time as Unix seconds; throws IoError.
int64_t FileUnixTime(const std::string& path);
// Sets a file's last-write time (used by tests and tools); throws IoError.
void SetFileUnixTime(const std::string& path, int64_t unixTime);
bool RemoveFile(const std::string& path);
// True for an existing regular file (links followed) that this process may run.
bool IsExecutableFile(const std::string& path);
// The program `name` in the first folder of `pathVariable` (a PATH value, folders separated by
// ":") where it is an executable regular file; empty when there is none. Relative folders (and
// empty ones, which mean the current folder) are skipped: a program is never taken from
// wherever the process happens to stand.
std::string FindOnPath(const std::string& name, const char* pathVariable);
// The names of the files in a folder whose name ends with `suffix` (letter case ignored),
// sorted by name so that the listing order is stable.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& suffix);

}  // namespace kes
