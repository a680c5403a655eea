// Replacing a file so that no byte of it is lost: the new contents go into a uniquely named
// temporary file in the folder of the real file, are flushed to disk, and take the file's
// place in one rename. Until then the old file is untouched; after a failure (or a kill) it is
// still there as it was.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/bytefile.h"

namespace kes {

class FileReplacement {
  public:
    // Starts a replacement of `target`. A symbolic link is followed to the real file, which is
    // what gets replaced (the link stays a link); the real file need not exist yet. Removes
    // the stale temporary files of earlier replacements of it (RemoveStaleTemporaries), then
    // creates the temporary file "<real file>.<12 hex digits>.tmp" (O_EXCL, readable by the
    // owner only until it is committed) and holds an exclusive flock on it while it lives.
    // Throws IoError naming `target` with the system's reason.
    explicit FileReplacement(const std::string& target);
    // Removes the temporary file unless it was committed.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // The temporary file, open for writing from position 0. Its errors name the target.
    ByteFile& file() { return file_; }
    const std::string& target() const { return target_; }
    const std::string& realPath() const { return realPath_; }
    const std::string& tempPath() const { return tempPath_; }

    // Flushes the temporary file to disk and closes it, so that it can be read back (for
    // example to build an index of it) before commit() publishes it; its last-write time is
    // final from then on. Throws IoError naming the target; the temporary file is then
    // removed. Calling it again does nothing.
    void seal();

    // Flushes the temporary file to disk, gives it the mode of the file it replaces (and its
    // owner and group where the process may; a new file gets the mode the umask allows), and
    // renames it over the real file, then flushes the folder. Throws IoError naming the
    // target; the old file is then untouched and the temporary file removed.
    void commit();
    // The same, but never replaces anything: returns false (and removes the temporary file)
    // when something has the target's name already. Symbolic links are not followed.
    bool commitNew();
    // Removes the temporary file; the old file stays as it is.
    void discard();

  private:
    void prepareCommit();
    [[noreturn]] void failCommit(const std::string& what, int err);

    std::string target_;
    std::string realPath_;
    std::string tempPath_;
    ByteFile file_;
    bool oldExists_ = false;
    unsigned oldMode_ = 0;
    unsigned oldUid_ = 0;
    unsigned oldGid_ = 0;
    bool done_ = false;
};

// A temporary file of a replacement of `realPath` is stale, and removed, when no process holds
// its lock (the writer ended or was killed: the system drops the lock with the process) and it
// was last written more than kStaleTemporaryAge seconds ago (which closes the short moment
// between a writer creating its file and locking it). Only regular files named exactly
// "<name of realPath>.<12 lower-case hex digits>.tmp" in its folder are touched. Returns the
// number removed; a file that cannot be examined is left alone.
inline constexpr int64_t kStaleTemporaryAge = 60;
int RemoveStaleTemporaries(const std::string& realPath);
// The temporary files of replacements of `realPath` in its folder (file names, sorted).
std::vector<std::string> TemporariesOf(const std::string& realPath);

// Replaces `target` with what `write` puts into the file it is given (see FileReplacement).
// Any exception of `write` or of the replacement leaves the old file untouched and no
// temporary file behind, and is passed on.
void ReplaceFileContents(const std::string& target, const std::function<void(ByteFile&)>& write);

}  // namespace kes
