#include "support/tempdir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "base/text.h"
#include "dict/builder.h"

namespace kes::test {

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "kestrune-test-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string Utf16Bytes(std::string_view utf8) {
    std::u16string w = Utf8ToUtf16(utf8);
    std::string out;
    for (char16_t c : w) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

std::string Ucs2File(const std::vector<std::string>& utf8Lines) {
    std::string out;
    for (const auto& l : utf8Lines)
        out += Utf16Bytes(l) + Utf16Bytes("\r\n");
    return out;
}

std::u16string W(std::string_view utf8) {
    return Utf8ToUtf16(utf8);
}

std::vector<std::u16string> Ws(std::initializer_list<const char*> utf8) {
    std::vector<std::u16string> out;
    for (const char* s : utf8)
        out.push_back(W(s));
    return out;
}

void MakeDict(const std::string& folder, const std::string& base, const std::string& description,
              const std::vector<std::string>& lines, const IndexBuildOptions& options) {
    const std::string ced = folder + "/" + base + ".ced";
    WriteBytes(ced, Ucs2File(lines));
    IndexBuildCallbacks cb;
    cb.askName = [description](const std::u16string&) { return Utf8ToUtf16(description); };
    IndexBuildResult r = BuildIndex(ced, options, cb);
    if (!r.outcome.ok)
        throw std::runtime_error("no index built for " + ced + ": " + r.outcome.detail);
}

std::string Hex(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty()) out.push_back(' ');
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

std::string FromHex(std::string_view hex) {
    std::string out;
    int nibble = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            continue;
        if (nibble < 0) {
            nibble = v;
        } else {
            out.push_back(static_cast<char>(nibble * 16 + v));
            nibble = -1;
        }
    }
    return out;
}

std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace kes::test
