// Test support: real input/output failures without special privileges.
#pragma once

#include <sys/resource.h>

#include <cstdint>
#include <string>
#include <vector>

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

}  // namespace kes::test
