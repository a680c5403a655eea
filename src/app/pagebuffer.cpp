#include "app/pagebuffer.h"

#include <stdexcept>

namespace kes {

namespace {

// A piece is sealed at this size; it has room for one more entry block of up to kSlack bytes
// without growing.
constexpr std::size_t kPieceBytes = 1 << 20;
constexpr std::size_t kSlack = 64 * 1024;

}  // namespace

PageBuffer::PageBuffer() : pieceBytes_(kPieceBytes) {
    tail_.reserve(4096);
}

PageBuffer::PageBuffer(PageSink sink, std::size_t pieceBytes)
    : sink_(std::move(sink)), pieceBytes_(pieceBytes == 0 ? 1 : pieceBytes) {
    tail_.reserve(pieceBytes_ + kSlack);
}

void PageBuffer::seal() {
    // A word's page stays in its first piece, which grows as strings do; a long page goes on
    // in pieces of fixed capacity.
    if (tail_.size() < pieceBytes_) return;
    done_ += tail_.size();
    if (sink_) {
        sink_(tail_);
        tail_.clear();  // the same buffer takes the next piece
        return;
    }
    full_.push_back(std::move(tail_));
    tail_ = std::string();
    tail_.reserve(pieceBytes_ + kSlack);
}

void PageBuffer::resize(std::size_t n) {
    if (sink_ && n < done_) throw std::logic_error("page cut back into bytes already written");
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

void PageBuffer::finish() {
    if (!sink_ || tail_.empty()) return;
    done_ += tail_.size();
    sink_(tail_);
    tail_.clear();
}

}  // namespace kes
