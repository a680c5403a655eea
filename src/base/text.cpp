#include "base/text.h"

#include <cstdint>

namespace kes {

namespace {

// Decodes the UTF-8 sequence at s[i]: sets `cp` and returns its length, or returns 0 and sets
// `skip` to the bytes that make up the invalid piece (at least 1).
std::size_t DecodeUtf8At(std::string_view s, std::size_t i, uint32_t& cp, std::size_t& skip) {
    const std::size_t n = s.size();
    auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    std::size_t len = 0;
    uint32_t min = 0;
    if ((b & 0xE0) == 0xC0) {
        len = 2, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4, cp = b & 0x07, min = 0x10000;
    } else {
        skip = 1;
        return 0;
    }
    std::size_t k = 1;
    for (; k < len && i + k < n; ++k) {
        auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) break;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (k < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        skip = k;
        return 0;
    }
    return len;
}

void AppendUtf16(std::u16string& out, uint32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        uint32_t cp = 0;
        std::size_t skip = 0;
        const std::size_t len = DecodeUtf8At(s, i, cp, skip);
        if (len == 0) {
            out.push_back(0xFFFD);
            i += skip;
            continue;
        }
        AppendUtf16(out, cp);
        i += len;
    }
    return out;
}

bool Utf8ToUtf16Strict(std::string_view s, std::u16string& out, std::size_t& badOffset) {
    out.clear();
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        uint32_t cp = 0;
        std::size_t skip = 0;
        const std::size_t len = DecodeUtf8At(s, i, cp, skip);
        if (len == 0) {
            badOffset = i;
            return false;
        }
        AppendUtf16(out, cp);
        i += len;
    }
    return true;
}

std::string Utf16ToUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        uint32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string_view TrimView(std::u16string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] <= 0x20)
        ++b;
    while (e > b && s[e - 1] <= 0x20)
        --e;
    return s.substr(b, e - b);
}

std::u16string Trim(std::u16string_view s) {
    return std::u16string(TrimView(s));
}

std::string TrimA(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 0x20)
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20)
        --e;
    return std::string(s.substr(b, e - b));
}

std::string CharRef(char16_t c) {
    return "&#" + std::to_string(static_cast<unsigned>(c)) + ";";
}

std::string CharRefs(std::u16string_view s) {
    std::string out;
    out.reserve(s.size() * 8);
    for (char16_t c : s) {
        out += "&#";
        out += std::to_string(static_cast<unsigned>(c));
        out += ';';
    }
    return out;
}

namespace {

template <typename Ch>
Ch FoldAscii(Ch c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<Ch>(c + 32) : c;
}

template <typename Str, typename View>
Str ReplaceAllNoCaseT(View s, View pattern, View replacement) {
    if (pattern.empty()) return Str(s);
    // A pattern that starts with a character without letter case (the markup tokens all
    // start with '[') is looked for with find, which skips the text between candidates.
    const auto first = pattern[0];
    const bool caseless = !((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'));
    if (caseless && s.find(first) == View::npos) return Str(s);
    Str out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        if (caseless && s[i] != first) {
            std::size_t next = s.find(first, i);
            if (next == View::npos) next = s.size();
            out.append(s.substr(i, next - i));
            i = next;
            continue;
        }
        bool match = i + pattern.size() <= s.size();
        for (std::size_t k = 0; match && k < pattern.size(); ++k)
            match = FoldAscii(s[i + k]) == FoldAscii(pattern[k]);
        if (match) {
            out.append(replacement);
            i += pattern.size();
        } else {
            out.push_back(s[i]);
            ++i;
        }
    }
    return out;
}

}  // namespace

std::u16string ReplaceAllNoCase(std::u16string_view s, std::u16string_view pattern,
                                std::u16string_view replacement) {
    return ReplaceAllNoCaseT<std::u16string>(s, pattern, replacement);
}

std::string ReplaceAllNoCaseA(std::string_view s, std::string_view pattern,
                              std::string_view replacement) {
    return ReplaceAllNoCaseT<std::string>(s, pattern, replacement);
}

std::u16string U(std::string_view ascii) {
    std::u16string out;
    out.reserve(ascii.size());
    for (char c : ascii)
        out.push_back(static_cast<unsigned char>(c));
    return out;
}

std::string PercentEncoded(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::optional<std::string> PercentDecoded(std::string_view text) {
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size() || hex(text[i + 1]) < 0 || hex(text[i + 2]) < 0)
            return std::nullopt;
        out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
        i += 2;
    }
    return out;
}

}  // namespace kes
