#include "base/bytefile.h"

#include "base/faultpoint.h"
#include "base/ioerror.h"
#include "base/mappedfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kes {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

}  // namespace

ByteFile::~ByteFile() {
    if (fd_ >= 0) {
        try {
            flushWrites();
        } catch (...) {
        }
        ::close(fd_);
    }
}

ByteFile::ByteFile(ByteFile&& other) noexcept {
    *this = std::move(other);
}

ByteFile& ByteFile::operator=(ByteFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            try {
                flushWrites();
            } catch (...) {
            }
            ::close(fd_);
        }
        fd_ = other.fd_;
        view_ = std::move(other.view_);
        name_ = std::move(other.name_);
        pos_ = other.pos_;
        rbuf_ = std::move(other.rbuf_);
        rpos_ = other.rpos_;
        rlen_ = other.rlen_;
        wbuf_ = std::move(other.wbuf_);
        wstart_ = other.wstart_;
        knownSize_ = other.knownSize_;
        other.fd_ = -1;
        other.rpos_ = other.rlen_ = 0;
    }
    return *this;
}

void ByteFile::fail(const std::string& what) const {
    throw IoError(name_, what);
}

void ByteFile::open(const std::string& path, OpenMode mode) {
    if (isOpen()) close();
    name_ = path;
    int flags = O_CLOEXEC;
    switch (mode) {
        case OpenMode::Read:
            flags |= O_RDONLY;
            break;
        case OpenMode::ReadWrite:
            flags |= O_RDWR;
            break;
        case OpenMode::Create:
            flags |= O_RDWR | O_CREAT | O_TRUNC;
            break;
        case OpenMode::CreateNew:
            flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
            break;
    }
    int fd = FaultPoint(FileOp::Open) != 0
                 ? -1
                 : ::open(path.c_str(), flags, mode == OpenMode::CreateNew ? 0600 : 0644);
    if (fd < 0) {
        int err = errno;
        fail(mode == OpenMode::Create || mode == OpenMode::CreateNew
                 ? "Cannot create file (" + ErrnoText(err) + ")"
                 : "Cannot open file (" + ErrnoText(err) + ")");
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        fail("Cannot open file (not a regular file)");
    }
    fd_ = fd;
    pos_ = 0;
    rpos_ = rlen_ = 0;
    wbuf_.clear();
    wstart_ = 0;
    knownSize_ = -1;
}

void ByteFile::openView(std::shared_ptr<const MappedFile> view) {
    if (isOpen()) close();
    name_ = view->name();
    view_ = std::move(view);
    pos_ = 0;
    rpos_ = rlen_ = 0;
    wbuf_.clear();
    wstart_ = 0;
    knownSize_ = view_->size();
}

void ByteFile::close() {
    if (view_) {
        view_.reset();
        rpos_ = rlen_ = 0;
        return;
    }
    if (fd_ < 0) return;
    try {
        flushWrites();
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
    const int injected = FaultPoint(FileOp::Close);
    int rc = ::close(fd_);
    if (injected != 0) {
        rc = -1;
        errno = injected;
    }
    fd_ = -1;
    rpos_ = rlen_ = 0;
    if (rc != 0) fail("Cannot close file (" + ErrnoText(errno) + ")");
}

void ByteFile::sync() {
    if (fd_ < 0) fail("File not open");
    flushWrites();
    while (FaultPoint(FileOp::Sync) != 0 || ::fsync(fd_) != 0) {
        if (errno == EINTR) continue;
        fail("Cannot write file to disk (" + ErrnoText(errno) + ")");
    }
}

void ByteFile::dropReadBuffer() {
    rpos_ = rlen_ = 0;
}

void ByteFile::flushWrites() {
    if (wbuf_.empty()) return;
    std::size_t done = 0;
    while (done < wbuf_.size()) {
        ssize_t n = FaultPoint(FileOp::Write) != 0
                        ? -1
                        : ::pwrite(fd_, wbuf_.data() + done, wbuf_.size() - done,
                                   static_cast<off_t>(wstart_ + static_cast<int64_t>(done)));
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            wbuf_.clear();
            fail("Write error (" + ErrnoText(err) + ")");
        }
        done += static_cast<std::size_t>(n);
    }
    wbuf_.clear();
    knownSize_ = -1;
}

void ByteFile::fill() {
    if (!isOpen()) fail("File not open");
    flushWrites();
    if (rbuf_.size() < readAhead_) rbuf_.resize(readAhead_);
    rpos_ = rlen_ = 0;
    if (view_) {
        if (FaultPoint(FileOp::Read) != 0) fail("Read error (" + ErrnoText(errno) + ")");
        rlen_ = view_->copy(pos_, rbuf_.data(), readAhead_);
        return;
    }
    for (;;) {
        ssize_t n = FaultPoint(FileOp::Read) != 0
                        ? -1
                        : ::pread(fd_, rbuf_.data(), readAhead_, static_cast<off_t>(pos_));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("Read error (" + ErrnoText(errno) + ")");
        }
        rlen_ = static_cast<std::size_t>(n);
        return;
    }
}

uint8_t ByteFile::readU8Slow() {
    fill();
    if (rlen_ == 0) fail("Read beyond end of file");
    ++pos_;
    return rbuf_[rpos_++];
}

void ByteFile::read(void* buffer, std::size_t n) {
    auto* out = static_cast<uint8_t*>(buffer);
    while (n > 0) {
        if (rpos_ == rlen_) {
            if (n >= readAhead_) {
                // Large block: read it straight into the caller's memory.
                flushWrites();
                ssize_t got = FaultPoint(FileOp::Read) != 0 ? -1
                              : view_ ? static_cast<ssize_t>(view_->copy(pos_, out, n))
                                      : ::pread(fd_, out, n, static_cast<off_t>(pos_));
                if (got < 0) {
                    if (errno == EINTR) continue;
                    fail("Read error (" + ErrnoText(errno) + ")");
                }
                if (got == 0) fail("Read beyond end of file");
                pos_ += got;
                out += got;
                n -= static_cast<std::size_t>(got);
                continue;
            }
            fill();
            if (rlen_ == 0) fail("Read beyond end of file");
        }
        std::size_t take = std::min(n, rlen_ - rpos_);
        std::memcpy(out, rbuf_.data() + rpos_, take);
        rpos_ += take;
        pos_ += static_cast<int64_t>(take);
        out += take;
        n -= take;
    }
}

int32_t ByteFile::readI32() {
    uint8_t b[4];
    read(b, 4);
    return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                (static_cast<uint32_t>(b[2]) << 16) |
                                (static_cast<uint32_t>(b[3]) << 24));
}

void ByteFile::write(const void* data, std::size_t n) {
    if (fd_ < 0) fail("File not open");
    if (n == 0) return;
    dropReadBuffer();
    if (!wbuf_.empty() && wstart_ + static_cast<int64_t>(wbuf_.size()) != pos_) flushWrites();
    if (wbuf_.empty()) wstart_ = pos_;
    const auto* in = static_cast<const uint8_t*>(data);
    wbuf_.insert(wbuf_.end(), in, in + n);
    pos_ += static_cast<int64_t>(n);
    if (wbuf_.size() >= kBufferSize) flushWrites();
}

void ByteFile::writeU16(uint16_t v) {
    uint8_t b[2] = {static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>(v >> 8)};
    write(b, 2);
}

void ByteFile::writeI32(int32_t v) {
    auto u = static_cast<uint32_t>(v);
    uint8_t b[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8),
                    static_cast<uint8_t>(u >> 16), static_cast<uint8_t>(u >> 24)};
    write(b, 4);
}

void ByteFile::seek(int64_t position) {
    if (!isOpen()) fail("File not open");
    if (position < 0) fail("Seek before start of file");
    int64_t bufStart = pos_ - static_cast<int64_t>(rpos_);
    if (rlen_ > 0 && position >= bufStart && position <= bufStart + static_cast<int64_t>(rlen_)) {
        rpos_ = static_cast<std::size_t>(position - bufStart);
    } else {
        dropReadBuffer();
    }
    pos_ = position;
}

int64_t ByteFile::size() {
    if (view_) return view_->size();
    if (fd_ < 0) fail("File not open");
    flushWrites();
    if (knownSize_ < 0) {
        struct stat st;
        if (::fstat(fd_, &st) != 0) fail("Cannot read file size (" + ErrnoText(errno) + ")");
        knownSize_ = st.st_size;
    }
    return knownSize_;
}

void ByteFile::truncate() {
    if (fd_ < 0) fail("File not open");
    flushWrites();
    dropReadBuffer();
    if (::ftruncate(fd_, static_cast<off_t>(pos_)) != 0)
        fail("Cannot truncate file (" + ErrnoText(errno) + ")");
    knownSize_ = -1;
}

bool ByteFile::tryLock() {
    if (fd_ < 0) fail("File not open");
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

void CopyBytes(ByteFile& src, ByteFile& dst, int64_t from, int64_t to) {
    constexpr int64_t kChunk = 1 << 20;
    src.seek(from);
    if (from >= to) return;
    std::vector<char> buffer(static_cast<std::size_t>(std::min(kChunk, to - from)));
    while (from < to) {
        auto n = static_cast<std::size_t>(std::min<int64_t>(kChunk, to - from));
        src.read(buffer.data(), n);
        dst.write(buffer.data(), n);
        from += static_cast<int64_t>(n);
    }
}

std::string ReadSmallFile(const std::string& path, int64_t maxBytes) {
    ByteFile f(path, OpenMode::Read);
    const int64_t size = f.size();
    if (size > maxBytes)
        throw IoError(path, "File too large (" + std::to_string(size) + " bytes, at most " +
                                std::to_string(maxBytes) + " expected)");
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!bytes.empty()) f.read(bytes.data(), bytes.size());
    f.close();
    return bytes;
}

}  // namespace kes
