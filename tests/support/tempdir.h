// Test support: a scratch folder removed at the end of the test, and file helpers.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "dict/builder.h"

namespace kes::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// The whole file; empty when it cannot be read.
std::string ReadBytes(const std::string& path);
// Writes `bytes` as the whole file; throws when the file cannot be written.
void WriteBytes(const std::string& path, std::string_view bytes);
// UTF-16LE bytes of a UTF-8 literal (no byte-order mark).
std::string Utf16Bytes(std::string_view utf8);
// Lines joined with CR LF (each line ended), as UTF-16LE bytes.
std::string Ucs2File(const std::vector<std::string>& utf8Lines);
// A wide string from a UTF-8 literal.
std::u16string W(std::string_view utf8);
// Wide strings from UTF-8 literals, one for each (lines of a memo, senses, word lists).
std::vector<std::u16string> Ws(std::initializer_list<const char*> utf8);
// Builds BASE.ced (the lines, UTF-16LE, CR LF) and its index BASE.idx in `folder` with the
// index builder's options (its defaults unless given) and the given description; throws when
// no index results (a failure in every test framework).
void MakeDict(const std::string& folder, const std::string& base, const std::string& description,
              const std::vector<std::string>& lines = {"中 [zhong1] /middle/"},
              const IndexBuildOptions& options = {});
inline void MakeDict(const TempDir& dir, const std::string& base, const std::string& description,
                     const std::vector<std::string>& lines = {"中 [zhong1] /middle/"},
                     const IndexBuildOptions& options = {}) {
    MakeDict(dir.path(), base, description, lines, options);
}
// `s` as one word for /bin/sh (in single quotes).
std::string ShellQuote(const std::string& s);
// Bytes as "00 01 FF" for readable failure messages.
std::string Hex(std::string_view bytes);
// Parses "00 01 ff" (blanks and '·' ignored) into bytes.
std::string FromHex(std::string_view hex);

}  // namespace kes::test
