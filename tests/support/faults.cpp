#include "support/faults.h"

#include <csignal>
#include <cstdio>
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

}  // namespace kes::test
