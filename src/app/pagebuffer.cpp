#include "app/pagebuffer.h"

namespace kes {

namespace {

// A piece is sealed at this size; it has room for one more entry block of up to kSlack bytes
// without growing.
constexpr std::size_t kPieceBytes = 1 << 20;
constexpr std::size_t kSlack = 64 * 1024;

}  // namespace

PageBuffer::PageBuffer() {
    tail_.reserve(4096);
}

void PageBuffer::seal() {
    // A word's page stays in its first piece, which grows as strings do; a long page goes on
    // in pieces of fixed capacity.
    if (tail_.size() < kPieceBytes) return;
    done_ += tail_.size();
    full_.push_back(std::move(tail_));
    tail_ = std::string();
    tail_.reserve(kPieceBytes + kSlack);
}

void PageBuffer::resize(std::size_t n) {
    while (n < done_) {
        done_ -= full_.back().size();
        tail_ = std::move(full_.back());
        full_.pop_back();
    }
    tail_.resize(n - done_);
}

std::string PageBuffer::join() && {
    if (full_.empty()) return std::move(tail_);
    std::string out;
    out.reserve(size());
    for (const std::string& piece : full_)
        out += piece;
    out += tail_;
    return out;
}

std::vector<std::string> PageBuffer::pieces() && {
    std::vector<std::string> out = std::move(full_);
    if (!tail_.empty()) out.push_back(std::move(tail_));
    return out;
}

}  // namespace kes
