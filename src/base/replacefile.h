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
    // owner only until it is committed) and holds an exclusive flock on it while it lives
    // (through seal(), and after commitAs() under the file's new name).
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
    // Gives the sealed file the mode and owner commit() gives it and renames it to `path`, a
    // free name in the real file's folder (never replaced: a taken name fails with EEXIST).
    // The file stays locked until this object ends. Throws IoError naming the target; the
    // temporary file is then removed.
    void commitAs(const std::string& path);

  private:
    void prepareCommit();
    void unlock();
    [[noreturn]] void failCommit(const std::string& what, int err);

    std::string target_;
    std::string realPath_;
    std::string tempPath_;
    ByteFile file_;
    int lockFd_ = -1;  // holds the flock (the write descriptor closes at seal())
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

// Renames `from` to `to` unless something has the name `to` already (then EEXIST, nothing
// changed). Returns 0 or the errno of the failure.
int RenameNoReplace(const std::string& from, const std::string& to);

// --- replacing two files as one -------------------------------------------------------------
//
// A data file and a file built from it (a dictionary and its index) are replaced together so
// that a reader never meets the new one of them beside the old other. All names of one
// replacement share an id <h> of 12 lower-case hex digits and stand beside the real files:
//   1. The sealed new first file becomes "<first>.<h>.new", then the new second file
//      "<second>.<h>.new". This second rename is the commit: from it on the new pair is
//      complete, and the name "<second>.<h>.new" says so.
//   2. With `replace`, the old second file moves to "<second>.<h>.old", the old first file
//      to "<first>.<h>.old".
//   3. "<first>.<h>.new" takes the first file's name, then "<second>.<h>.new" the second's.
//   4. The old files ("<...>.<h>.old") are removed.
// A failure in 2 or 3 renames "<second>.<h>.new" to "<second>.<h>.drop" and undoes 3 and 2
// in reverse order, then removes "<second>.<h>.drop" and last "<first>.<h>.new": the old
// pair is back under its names, byte for byte and with its times, and the failure is passed
// on. A failure in 1 removes what 1 made.
//
// What a killed replacement leaves is finished by FinishInterruptedPairs, decided by the
// names alone: "<second>.<h>.new" -> steps 2 to 4 are completed (the new pair); else
// "<second>.<h>.drop" -> the undoing is completed (the old pair); else the leftovers go (an
// old file whose real name is free goes back to it). The files of a replacement still
// running stay locked (flock) throughout, and are left alone.
//
// Publishes the sealed (or still open) replacements `first` and `second` together. Without
// `replace`, nothing that has either name is replaced: false is returned, and everything is
// as before. With `replace`, an existing first or second file that is not a regular file is
// refused. Throws IoError naming a target with the system's reason.
bool CommitPair(FileReplacement& first, FileReplacement& second, bool replace);

// Completes or undoes every interrupted replacement of the pair `first`, `second` (see
// CommitPair); returns how many were finished. A replacement whose files are locked (still
// running) or that cannot be finished now is left for a later call. Throws IoError only when
// `first` or `second` is a symbolic link that cannot be followed.
int FinishInterruptedPairs(const std::string& first, const std::string& second);

// The names of the files in `folder` that have leftovers of a pair replacement
// ("<name>.<h>.new", ".old" or ".drop"), sorted, each once.
std::vector<std::string> PairLeftoverTargets(const std::string& folder);
// The same of the file names `names` of one folder.
std::vector<std::string> PairLeftoverTargets(const std::vector<std::string>& names);

// Replaces `target` with what `write` puts into the file it is given (see FileReplacement).
// Any exception of `write` or of the replacement leaves the old file untouched and no
// temporary file behind, and is passed on.
void ReplaceFileContents(const std::string& target, const std::function<void(ByteFile&)>& write);

}  // namespace kes
