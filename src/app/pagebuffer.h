// The page while it is made: text appended in order, kept in pieces of about a mebibyte so that
// a long page (a translated text gives megabytes) is never copied into a larger buffer as it
// grows. Cut back to any earlier size; joined once, into a buffer of the exact size.
//
// A page with a sink is written out as it is made instead: each sealed piece goes to the sink
// and its buffer is used again, so a page of any length holds only one piece in memory.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kes {

// Receives a page's bytes in order, as they are made. A sink that cannot take them throws
// (IoError naming where they were going); the page stops there.
using PageSink = std::function<void(std::string_view bytes)>;

class PageBuffer {
  public:
    PageBuffer();
    // A page written to `sink` in pieces of about `pieceBytes` (> 0).
    explicit PageBuffer(PageSink sink, std::size_t pieceBytes = kSinkPieceBytes);

    // Bytes per piece handed to a sink: small enough to stay in the processor's cache while
    // it is filled and written.
    static constexpr std::size_t kSinkPieceBytes = 256 * 1024;

    // The page's length so far (with a sink, the bytes written out included).
    std::size_t size() const { return done_ + tail_.size(); }
    PageBuffer& operator+=(std::string_view text) {
        tail_.append(text);
        return *this;
    }
    // The last piece, for writers that append to a std::string and may rewrite what they
    // appended themselves; call seal() when they are done.
    std::string& tail() { return tail_; }
    // Starts a new piece once the last one is full; with a sink, the full piece is written.
    void seal();
    // Cuts the page back to its first `n` bytes (n <= size()). With a sink, bytes already
    // written cannot be taken back: cutting into them throws std::logic_error.
    void resize(std::size_t n);

    // The whole page in one string of its exact length (no sink).
    std::string join() &&;
    // With a sink: writes what is left. Without one, does nothing.
    void finish();

  private:
    std::vector<std::string> full_;
    std::size_t done_ = 0;  // bytes in full_, or written to the sink
    std::string tail_;
    PageSink sink_;
    std::size_t pieceBytes_;
};

}  // namespace kes
