// Test support: real input/output failures without special privileges.
#pragma once

#include <sys/resource.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/faultpoint.h"

namespace kes::test {

// While it lives, no file of the process can grow beyond `bytes`: a write past that size
// fails with EFBIG (the signal that would end the process is ignored meanwhile). Works for
// root as well, unlike permissions.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    struct rlimit old_;
    void (*oldHandler_)(int);
};

// Makes `path` a sparse file of `bytes` bytes (no disk space used); false when the file
// system cannot hold one that large.
bool MakeSparseFile(const std::string& path, int64_t bytes);

// The names in a folder, sorted (also hidden ones, also folders).
std::vector<std::string> NamesIn(const std::string& folder);

// Runs `action` again and again with the file layer's fault seam armed: in run N the Nth
// counted file call (of `ops`) fails with `error`. After each run in which the fault struck,
// `afterFault(N)` checks what the action left; the walk ends with the first run in which no
// call failed (the action then completed normally). Returns that run's N; throws when the
// walk does not end within `maxRuns` runs.
int64_t WalkFileFaults(int error, const std::function<void()>& action,
                       const std::function<void(int64_t n)>& afterFault, unsigned ops = kAllFileOps,
                       int64_t maxRuns = 100000);

// Runs `action` in a child process that is ended (_exit) at its Nth counted file call, as a
// kill would end it there. Returns true when the child ended at that call, false when the
// action completed without reaching it; throws when the child ended otherwise.
bool RunKilledAt(int64_t n, const std::function<void()>& action, unsigned ops = kAllFileOps);

// Sets the last-write time of a file `seconds` into the past.
void AgeFile(const std::string& path, int64_t seconds);

}  // namespace kes::test
