// Byte files: every data, index and text file of the program is handled as a plain
// sequence of bytes with byte positions. Reads go through a buffer, but position()
// is always exactly after the last byte a reader consumed. Every failure throws
// IoError, which names the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/ioerror.h"

namespace kes {

enum class OpenMode {
    Read,       // existing file, read only
    ReadWrite,  // existing file, read and write, position 0
    Create,     // create or truncate, read and write
    CreateNew,  // create a file that must not exist yet (mode 0600), read and write
};

class MappedFile;

class ByteFile {
  public:
    ByteFile() = default;
    ByteFile(const std::string& path, OpenMode mode) { open(path, mode); }
    ~ByteFile();
    ByteFile(const ByteFile&) = delete;
    ByteFile& operator=(const ByteFile&) = delete;
    ByteFile(ByteFile&& other) noexcept;
    ByteFile& operator=(ByteFile&& other) noexcept;

    void open(const std::string& path, OpenMode mode);
    // Reads from a memory view of a file instead of the file itself (read only; the view's
    // name is the file's name). The same reads give the same bytes, without a system call.
    void openView(std::shared_ptr<const MappedFile> view);
    // Flushes pending writes and closes; throws when the flush or close fails.
    void close();
    // Flushes pending writes and makes the file's bytes durable on disk (fsync).
    void sync();
    bool isOpen() const { return fd_ >= 0 || view_ != nullptr; }
    const std::string& name() const { return name_; }
    // The name that errors report from now on (a temporary file reports what it stands for).
    void setName(std::string name) { name_ = std::move(name); }

    // Reads exactly n bytes or throws (a short read is an error).
    void read(void* buffer, std::size_t n);
    uint8_t readU8() {
        if (rpos_ < rlen_) {
            ++pos_;
            return rbuf_[rpos_++];
        }
        return readU8Slow();
    }
    uint16_t readU16() {
        if (rlen_ - rpos_ >= 2) {
            uint16_t v = static_cast<uint16_t>(rbuf_[rpos_] | (rbuf_[rpos_ + 1] << 8));
            rpos_ += 2;
            pos_ += 2;
            return v;
        }
        uint8_t b[2];
        read(b, 2);
        return static_cast<uint16_t>(b[0] | (b[1] << 8));
    }
    int32_t readI32();

    void write(const void* data, std::size_t n);
    void writeU16(uint16_t v);
    void writeI32(int32_t v);

    void seek(int64_t position);
    int64_t position() const { return pos_; }
    // How many bytes one buffered read fetches (default 64 KiB). Files read in small
    // pieces at scattered positions (index nodes, single entry lines) do better with less.
    void setReadAhead(std::size_t bytes) { readAhead_ = bytes < 16 ? 16 : bytes; }
    // The bytes already read ahead from position() on (possibly none), for readers that scan
    // a run of units at once; skipBuffered(n) consumes n of them (n <= the count returned).
    std::size_t buffered(const uint8_t*& data) const {
        data = rbuf_.data() + rpos_;
        return rlen_ - rpos_;
    }
    void skipBuffered(std::size_t n) {
        rpos_ += n;
        pos_ += static_cast<int64_t>(n);
    }
    int64_t size();
    bool eof() {
        if (rpos_ < rlen_) return false;
        return pos_ >= size();
    }
    // Cuts the file off at the current position.
    void truncate();
    // Takes an exclusive advisory lock (flock) on the file without waiting; false when another
    // open of the file holds one. The lock ends with the close or the process.
    bool tryLock();

  private:
    uint8_t readU8Slow();
    void fill();
    void flushWrites();
    void dropReadBuffer();
    [[noreturn]] void fail(const std::string& what) const;

    int fd_ = -1;
    std::shared_ptr<const MappedFile> view_;  // set instead of fd_ by openView
    std::string name_;
    int64_t pos_ = 0;  // logical position
    // Read buffer: bytes [rpos_, rlen_) of rbuf_ are the file's bytes from pos_ on.
    std::vector<uint8_t> rbuf_;
    std::size_t rpos_ = 0;
    std::size_t rlen_ = 0;
    // Write buffer: wbuf_ holds bytes to be written at wstart_.
    std::vector<uint8_t> wbuf_;
    int64_t wstart_ = 0;
    int64_t knownSize_ = -1;  // cached size of the file on disk, -1 when unknown
    std::size_t readAhead_ = 64 * 1024;
};

// Copies the bytes [from, to) of `src` to the current position of `dst`, in blocks of 1 MiB;
// leaves `src` positioned at `to`.
void CopyBytes(ByteFile& src, ByteFile& dst, int64_t from, int64_t to);

// The whole of a small file. Refuses (IoError naming the file) a file larger than `maxBytes`
// before reading anything, so a huge or sparse file cannot exhaust the memory.
std::string ReadSmallFile(const std::string& path, int64_t maxBytes);

}  // namespace kes
