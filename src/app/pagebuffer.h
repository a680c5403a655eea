// The page while it is made: text appended in order, kept in pieces of about a mebibyte so that
// a long page (a translated text gives megabytes) is never copied into a larger buffer as it
// grows. Cut back to any earlier size; joined once, into a buffer of the exact size, or handed
// over piece by piece.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kes {

class PageBuffer {
  public:
    PageBuffer();

    // The page's length so far.
    std::size_t size() const { return done_ + tail_.size(); }
    PageBuffer& operator+=(std::string_view text) {
        tail_.append(text);
        return *this;
    }
    // The last piece, for writers that append to a std::string and may rewrite what they
    // appended themselves; call seal() when they are done.
    std::string& tail() { return tail_; }
    // Starts a new piece once the last one is full.
    void seal();
    // Cuts the page back to its first `n` bytes (n <= size()).
    void resize(std::size_t n);

    // The whole page in one string of its exact length.
    std::string join() &&;
    // The pieces in order (none empty).
    std::vector<std::string> pieces() &&;

  private:
    std::vector<std::string> full_;
    std::size_t done_ = 0;  // bytes in full_
    std::string tail_;
};

}  // namespace kes
