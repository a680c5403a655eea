#include "support/faults.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <stdexcept>

#include <algorithm>

namespace kes::test {

FileSizeLimit::FileSizeLimit(uint64_t bytes) {
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    if (::getrlimit(RLIMIT_FSIZE, &old_) != 0) throw std::runtime_error("getrlimit failed");
    struct rlimit lim = old_;
    lim.rlim_cur = static_cast<rlim_t>(bytes);
    if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) throw std::runtime_error("setrlimit failed");
}

FileSizeLimit::~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
}

bool MakeSparseFile(const std::string& path, int64_t bytes) {
    std::error_code ec;
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(bytes), ec);
    if (!ec) return true;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    std::fclose(f);
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(bytes), ec);
    return !ec;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int64_t WalkFileFaults(int error, const std::function<void()>& action,
                       const std::function<void(int64_t)>& afterFault, unsigned ops,
                       int64_t maxRuns) {
    for (int64_t n = 1; n <= maxRuns; ++n) {
        FaultPlan plan;
        plan.ops = ops;
        plan.nth = n;
        plan.error = error;
        ArmFaults(plan);
        try {
            action();
        } catch (...) {
            DisarmFaults();
            throw;
        }
        if (!DisarmFaults()) return n;
        afterFault(n);
    }
    throw std::runtime_error("the fault walk did not end");
}

bool RunKilledAt(int64_t n, const std::function<void()>& action, unsigned ops) {
    FaultPlan plan;
    plan.ops = ops;
    plan.nth = n;
    plan.crash = true;
    plan.crashExitCode = 77;
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        ArmFaults(plan);
        try {
            action();
        } catch (...) {
            ::_exit(3);
        }
        ::_exit(0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return true;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return false;
    throw std::runtime_error("the child ended with status " + std::to_string(status));
}

void AgeFile(const std::string& path, int64_t seconds) {
    struct timespec ts[2];
    ts[0].tv_sec = ts[1].tv_sec = std::time(nullptr) - static_cast<time_t>(seconds);
    ts[0].tv_nsec = ts[1].tv_nsec = 0;
    if (::utimensat(AT_FDCWD, path.c_str(), ts, 0) != 0)
        throw std::runtime_error("cannot set the time of " + path);
}

}  // namespace kes::test
