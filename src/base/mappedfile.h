// Read-only memory views of whole files, for readers that take many small pieces at scattered
// positions (index records, single entry lines) and would otherwise pay a system call for each.
//
// A view sees the file as it was when the view was made. Bytes are only ever copied out of a
// view (never handed out as pointers), so a file cut short by another program while it is
// viewed is reported as IoError on the next copy instead of bringing the process down.
#pragma once

#include <sys/types.h>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace kes {

class MappedFile {
  public:
    // Maps the whole of `path` (a regular file). Throws IoError naming the file when it cannot
    // be opened or mapped. An empty file gives an empty view.
    explicit MappedFile(const std::string& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const std::string& name() const { return name_; }
    int64_t size() const { return size_; }

    // Copies the bytes [offset, offset + n) clipped to the view's size into `out` and returns
    // how many were copied (0 at or past the end). Throws IoError when the file lost those
    // bytes after the view was made.
    std::size_t copy(int64_t offset, void* out, std::size_t n) const;

    // True when `path` still names the file this view was made of, unchanged (same device,
    // inode, size and modification time).
    bool matchesDisk() const;

    // Gives the pages of the view that this process has read back to the system: they no longer
    // count in its memory and come back from the page cache (no disk read while the system
    // keeps the file cached) at the next copy. The view stays valid; safe while other threads
    // copy out of it.
    void releasePages() const;

  private:
    std::string name_;
    const unsigned char* data_ = nullptr;
    int64_t size_ = 0;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    int64_t mtimeNs_ = 0;
};

// Views shared by every search of a running program: one per file, made on first use and made
// again when the file on disk has changed (replaced, rewritten or resized). Safe to use from
// several threads.
class FileViews {
  public:
    // The current view of `path`; throws IoError when the file cannot be opened or mapped.
    std::shared_ptr<const MappedFile> get(const std::string& path);
    // Forgets every view (the views still in use stay valid until released).
    void clear();
    // MappedFile::releasePages of every view kept.
    void releasePages();

  private:
    std::mutex mutex_;
    std::unordered_map<std::string, std::shared_ptr<const MappedFile>> views_;
};

}  // namespace kes
