#include "base/lines.h"

#include <algorithm>
#include <cstdint>

#include "base/text.h"

namespace kes {

std::u16string ReadUcs2Line(ByteFile& f) {
    std::u16string line;
    int count = 0;
    while (count < kMaxLineUnits) {
        const uint8_t* p;
        const std::size_t avail = f.buffered(p) / 2;
        if (avail == 0) {
            // Nothing read ahead (or a single byte): one unit through the file layer, which
            // refills its buffer, or fails on the lone last byte of an odd-sized file.
            if (f.eof()) break;
            char16_t c = f.readU16();
            ++count;
            if (c == 0x000A) break;
            if (c == 0xFEFF || c == 0x000D) continue;
            line.push_back(c);
            continue;
        }
        // Fast path: scan the units already read ahead and append them run by run.
        const std::size_t take = std::min<std::size_t>(avail, kMaxLineUnits - count);
        auto append = [&line, p](std::size_t from, std::size_t to) {
            if (to <= from) return;
            const std::size_t old = line.size();
            line.resize(old + (to - from));
            char16_t* d = line.data() + old;
            for (std::size_t k = from; k < to; ++k)
                *d++ = static_cast<char16_t>(p[2 * k] | (p[2 * k + 1] << 8));
        };
        std::size_t i = 0, run = 0;
        bool ended = false;
        while (i < take) {
            const char16_t c = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
            if (c == 0x000A || c == 0x000D || c == 0xFEFF) {
                append(run, i);
                run = ++i;
                if (c == 0x000A) {
                    ended = true;
                    break;
                }
                continue;
            }
            ++i;
        }
        if (!ended) append(run, i);
        f.skipBuffered(2 * i);
        count += static_cast<int>(i);
        if (ended) break;
    }
    return line;
}

void WriteUcs2Line(ByteFile& f, std::u16string_view s) {
    std::string bytes;
    bytes.resize((s.size() + 2) * 2);
    std::size_t k = 0;
    for (char16_t c : s) {
        bytes[k++] = static_cast<char>(c & 0xFF);
        bytes[k++] = static_cast<char>(c >> 8);
    }
    bytes[k++] = 0x0D;
    bytes[k++] = 0;
    bytes[k++] = 0x0A;
    bytes[k++] = 0;
    f.write(bytes.data(), bytes.size());
}

std::string ReadUtf8LineAsRefs(ByteFile& f) {
    std::string line;
    int count = 0;
    int pending = 0;
    uint32_t value = 0;
    while (count < kMaxLineUnits && !f.eof()) {
        uint8_t b = f.readU8();
        ++count;
        if (pending > 0) {
            value = value * 64 + (b & 0x3F);
            if (--pending == 0) {
                line += "&#";
                line += std::to_string(value);
                line += ';';
            }
        } else if (b == 0x0D) {
            continue;
        } else if (b == 0x0A) {
            break;
        } else if ((b & 0xE0) == 0xC0) {
            pending = 1, value = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            pending = 2, value = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            pending = 3, value = b & 0x07;
        } else {
            line.push_back(static_cast<char>(b));
        }
    }
    return line;
}

std::string ReadAnsiLine(ByteFile& f) {
    std::string line;
    int count = 0;
    while (!f.eof()) {
        uint8_t b = f.readU8();
        ++count;
        if (b == 0x0A) break;
        if (b == 0x0D) continue;
        if (count < kMaxLineUnits + 1) line.push_back(static_cast<char>(b));
    }
    return line;
}

std::u16string LowerLatinCyr(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) {
        if ((c >= u'A' && c <= u'Z') || (c >= 0x0410 && c <= 0x042F))
            c = static_cast<char16_t>(c + 0x20);
    }
    return out;
}

namespace {

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The runtime's string-to-integer conversion: leading blanks, a sign, then decimal digits
// or "$", "x", "X", "0x", "0X" and hexadecimal digits; the whole text must be used.
// Returns 0 when the text is no number.
int64_t ConvertNumber(std::u16string_view t) {
    std::size_t i = 0;
    while (i < t.size() && t[i] == u' ')
        ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
        negative = t[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < t.size() && (t[i] == u'$' || t[i] == u'x' || t[i] == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < t.size() && t[i] == u'0' && (t[i + 1] == u'x' || t[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= t.size()) return 0;
    int64_t value = 0;
    for (; i < t.size(); ++i) {
        int d = HexDigit(t[i]);
        if (d < 0 || d >= base) return 0;
        value = value * base + d;
    }
    return negative ? -value : value;
}

}  // namespace

std::u16string DecodeCharRefs(std::u16string_view s) {
    std::u16string out;
    out.reserve(s.size());
    const std::size_t n = s.size();
    std::size_t p = 0;  // 0-based; the rule "p <= n - 3" (1-based) reads p + 4 <= n here
    while (p < n) {
        bool decimal = s[p] == u'&' && p + 4 <= n && s[p + 1] == u'#';
        bool hex = !decimal && s[p] == u'U' && p + 4 <= n && s[p + 1] == u'+';
        if (!decimal && !hex) {
            out.push_back(s[p]);
            ++p;
            continue;
        }
        p += 2;
        std::u16string number;
        for (int taken = 0; p < n; ++taken) {
            if (taken == 7) break;
            char16_t c = s[p];
            if (c == u';') {
                ++p;
                break;
            }
            number.push_back(c);
            ++p;
        }
        int64_t value = ConvertNumber(hex ? u"$" + number : number);
        out.push_back(static_cast<char16_t>(static_cast<uint64_t>(value) & 0xFFFF));
    }
    return out;
}

}  // namespace kes
