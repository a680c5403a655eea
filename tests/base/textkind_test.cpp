#include "base/textkind.h"

#include <gtest/gtest.h>

#include <string>

namespace kes {
namespace {

TEST(TextKindOf, TheFirstBytesOfFiles) {
    struct Case {
        std::string head;
        bool whole;
        TextKind kind;
    };
    using std::string_literals::operator""s;
    const Case cases[] = {
        {"", true, TextKind::Utf16Le},
        {"\xFF\xFE", true, TextKind::Utf16Le},
        {"\xFF\xFE\x00\x00"s, true, TextKind::Utf16Le},  // the mark decides
        {"a\x00[\x00]\x00\r\x00\n\x00"s, true, TextKind::Utf16Le},
        {"\x2D\x4E\x87\x65\x0A\x00"s, true, TextKind::Utf16Le},          // 中文 LF
        {"\x40\xD8\x00\xDC\x0A\x00"s, true, TextKind::Utf16Le},          // U+20000 LF
        {"a\x00\x40\xD8"s, false, TextKind::Utf16Le},                    // pair cut by the head
        {"a\x00\x40\xD8"s, true, TextKind::Binary},                      // unpaired at the end
        {"a\x00\x00\xDC"s, true, TextKind::Binary},                      // low half alone
        {"a\x00\x00\x00"s, true, TextKind::Binary},                      // U+0000
        {"a\x00\x01\x00"s, true, TextKind::Binary},                      // a control character
        {"\x09\x00\x0C\x00"s, true, TextKind::Utf16Le},                  // tab, form feed
        {"a\x00\xFF\xFF"s, true, TextKind::Binary},                      // U+FFFF
        {"root:x:0:0::/root:/bin/sh\n", true, TextKind::Utf8},
        {"\xE4\xB8\xAD\xE6\x96\x87\n", true, TextKind::Utf8},            // 中文 in UTF-8
        {"\xE4\xB8\xAD\xE6\x96", false, TextKind::Utf8},                 // cut inside 文
        {"\xE4\xB8\xAD\xE6\x96", true, TextKind::Utf16Le},  // odd size: left to the reader
        {"\xEF\xBB\xBF\x00\x00"s, true, TextKind::Utf8},                 // the mark decides
        {"\xFE\xFF\x4E\x2D", true, TextKind::Utf16Be},
        {"\x00[\x00" "a\x00]\x00\n"s, true, TextKind::Utf16Be},
        {"\x7F" "ELF\x02\x01\x01\x00\x00\x00\x00\x00"s, true, TextKind::Binary},
        {"\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR"s, true, TextKind::Binary},
        {"a\0" "b"s, true, TextKind::Utf16Le},  // the odd byte is left to the reader
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(TextKindOf(cases[i].head, cases[i].whole), cases[i].kind) << "row " << i;
}

}  // namespace
}  // namespace kes
