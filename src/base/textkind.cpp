#include "base/textkind.h"

#include <cstdint>
#include <string>

#include "base/bytefile.h"
#include "base/ioerror.h"
#include "base/text.h"

namespace kes {

namespace {

// Valid UTF-8 up to a sequence that the end of a cut head may have split.
bool IsUtf8(std::string_view head, bool whole) {
    std::u16string units;
    std::size_t bad = 0;
    if (Utf8ToUtf16Strict(head, units, bad)) return true;
    return !whole && head.size() - bad < 4;  // all before `bad` is valid
}

bool IsTextUnit(uint16_t u) {
    if (u < 0x20) return u == 0x09 || u == 0x0A || u == 0x0C || u == 0x0D;
    return u != 0xFFFE && u != 0xFFFF;
}

// Whether the code units of `head`, in the byte order given, are text.
bool IsUtf16(std::string_view head, bool whole, bool bigEndian) {
    const std::size_t n = head.size() / 2;
    auto unit = [&](std::size_t i) {
        const auto a = static_cast<uint8_t>(head[2 * i]);
        const auto b = static_cast<uint8_t>(head[2 * i + 1]);
        return static_cast<uint16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    for (std::size_t i = 0; i < n; ++i) {
        const uint16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 == n) return !whole;  // cut off by the end of the head
            const uint16_t next = unit(i + 1);
            if (next < 0xDC00 || next > 0xDFFF) return false;
            ++i;
            continue;
        }
        if ((u >= 0xDC00 && u <= 0xDFFF) || !IsTextUnit(u)) return false;
    }
    return true;
}

}  // namespace

TextKind TextKindOf(std::string_view head, bool whole) {
    if (head.empty()) return TextKind::Utf16Le;
    if (head.starts_with("\xFF\xFE")) return TextKind::Utf16Le;
    if (head.starts_with("\xFE\xFF")) return TextKind::Utf16Be;
    if (head.starts_with("\xEF\xBB\xBF")) return TextKind::Utf8;
    if (head.find('\0') == head.npos && IsUtf8(head, whole)) return TextKind::Utf8;
    // Latin letters, digits, spaces and line ends have a zero high byte, which comes second
    // in little-endian order and first in big-endian order.
    std::size_t evenZeros = 0, oddZeros = 0;
    for (std::size_t i = 0; i + 1 < head.size(); i += 2) {
        evenZeros += head[i] == '\0';
        oddZeros += head[i + 1] == '\0';
    }
    if (evenZeros > oddZeros && IsUtf16(head, whole, true)) return TextKind::Utf16Be;
    if (IsUtf16(head, whole, false)) return TextKind::Utf16Le;
    return TextKind::Binary;
}

std::optional<TextKind> FileTextKind(const std::string& path) {
    std::string head;
    bool whole = false;
    try {
        ByteFile f(path, OpenMode::Read);
        const int64_t size = f.size();
        whole = size <= static_cast<int64_t>(kTextKindHead);
        head.resize(whole ? static_cast<std::size_t>(size) : kTextKindHead);
        f.read(head.data(), head.size());
        f.close();
    } catch (const IoError&) {
        return std::nullopt;
    }
    return TextKindOf(head, whole);
}

const char* TextKindReason(TextKind kind) {
    switch (kind) {
        case TextKind::Utf8: return "it reads as UTF-8";
        case TextKind::Utf16Be: return "it reads as UTF-16 big-endian";
        case TextKind::Utf16Le: return "it reads as UTF-16LE";
        case TextKind::Binary: break;
    }
    return "it holds binary data";
}

}  // namespace kes
