#include "base/mappedfile.h"

#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "base/ioerror.h"

namespace kes {

namespace {

// A copy out of a view runs with a jump buffer set; a bus error (the bytes under the view are
// gone) jumps back to it. Faults anywhere else go on to the handler that was there before.
thread_local sigjmp_buf* tGuard = nullptr;
struct sigaction gPrevious;
std::once_flag gInstalled;

void OnBusError(int sig, siginfo_t* info, void* context) {
    if (tGuard != nullptr) {
        sigjmp_buf* guard = tGuard;
        tGuard = nullptr;
        siglongjmp(*guard, 1);
    }
    if ((gPrevious.sa_flags & SA_SIGINFO) != 0 && gPrevious.sa_sigaction != nullptr) {
        gPrevious.sa_sigaction(sig, info, context);
        return;
    }
    if ((gPrevious.sa_flags & SA_SIGINFO) == 0 && gPrevious.sa_handler != SIG_DFL &&
        gPrevious.sa_handler != SIG_IGN) {
        gPrevious.sa_handler(sig);
        return;
    }
    // The default action: returning repeats the faulting access, which now ends the process.
    ::signal(SIGBUS, SIG_DFL);
}

void InstallBusErrorHandler() {
    std::call_once(gInstalled, [] {
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_sigaction = OnBusError;
        // Not blocked while handled: the jump leaves the handler without restoring the mask.
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &gPrevious);
    });
}

bool GuardedCopy(void* out, const void* in, std::size_t n) {
    sigjmp_buf guard;
    if (sigsetjmp(guard, 0) != 0) return false;
    tGuard = &guard;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(out, in, n);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    tGuard = nullptr;
    return true;
}

int64_t MtimeNs(const struct stat& st) {
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

}  // namespace

MappedFile::MappedFile(const std::string& path) : name_(path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw IoError(path, std::string("Cannot open file (") + std::strerror(errno) + ")");
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw IoError(path, "Cannot open file (not a regular file)");
    }
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    mtimeNs_ = MtimeNs(st);
    size_ = st.st_size;
    if (size_ > 0) {
        void* p = ::mmap(nullptr, static_cast<std::size_t>(size_), PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            const int err = errno;
            ::close(fd);
            throw IoError(path, std::string("Cannot map file (") + std::strerror(err) + ")");
        }
        data_ = static_cast<const unsigned char*>(p);
        InstallBusErrorHandler();
    }
    ::close(fd);
}

MappedFile::~MappedFile() {
    if (data_ != nullptr)
        ::munmap(const_cast<unsigned char*>(data_), static_cast<std::size_t>(size_));
}

std::size_t MappedFile::copy(int64_t offset, void* out, std::size_t n) const {
    if (offset < 0 || offset >= size_ || n == 0) return 0;
    const auto take =
        static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(n), size_ - offset));
    if (!GuardedCopy(out, data_ + offset, take))
        throw IoError(name_, "Read error (the file was cut short while it was read)");
    return take;
}

bool MappedFile::matchesDisk() const {
    struct stat st;
    return ::stat(name_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_ &&
           st.st_size == size_ && MtimeNs(st) == mtimeNs_;
}

void MappedFile::releasePages() const {
    // The mapping is private and read-only, so it never holds a page of its own: dropping the
    // pages loses nothing. (A read of the kernel maps up to 16 pages around each page touched,
    // so scattered reads soon hold most of a file.)
    if (data_ != nullptr)
        ::madvise(const_cast<unsigned char*>(data_), static_cast<std::size_t>(size_),
                  MADV_DONTNEED);
}

std::shared_ptr<const MappedFile> FileViews::get(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = views_.find(path);
    if (it != views_.end()) {
        if (it->second->matchesDisk()) return it->second;
        views_.erase(it);
    }
    auto view = std::make_shared<const MappedFile>(path);
    views_[path] = view;
    return view;
}

void FileViews::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    views_.clear();
}

void FileViews::releasePages() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [path, view] : views_)
        view->releasePages();
}

}  // namespace kes
