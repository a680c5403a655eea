// A block-reading form of ReadUcs2Line for reading a whole UTF-16LE file from front to back:
// it gives the same lines, but decodes the file a block at a time instead of asking the byte
// file for one code unit per call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/bytefile.h"

namespace kes {

class Ucs2LineReader {
  public:
    // Reads `f` from its current position on; `f` must stay open and must not be read or
    // moved by anyone else while the reader is in use.
    explicit Ucs2LineReader(ByteFile& f);

    // True when every byte has been consumed (ByteFile::eof of the file after the same
    // ReadUcs2Line calls).
    bool atEnd() const { return pos_ == len_ && remaining_ == 0; }

    // The next line into `line`: without CR, LF and U+FEFF, at most 9999 code units consumed
    // (dropped ones included). A file of odd size fails with the byte file's IoError when the
    // single last byte is reached.
    void next(std::u16string& line);

  private:
    bool refill();

    ByteFile& file_;
    int64_t remaining_;  // bytes of the file not yet read into the block
    std::vector<uint8_t> bytes_;
    std::vector<char16_t> units_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
};

}  // namespace kes
