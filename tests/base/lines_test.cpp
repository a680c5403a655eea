#include "base/lines.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::TempDir;
using test::Utf16Bytes;
using test::W;
using test::WriteBytes;

class LineFile : public ::testing::Test {
  protected:
    ByteFile open(const std::string& bytes) {
        WriteBytes(dir.file("f"), bytes);
        return ByteFile(dir.file("f"), OpenMode::Read);
    }
    TempDir dir;
};

TEST_F(LineFile, Ucs2LinesDropBomAndCrAnywhere) {
    auto f = open("\xFF\xFE" + Utf16Bytes("中国 [zhong1]\r\na\rb\nlast"));
    EXPECT_EQ(ReadUcs2Line(f), W("中国 [zhong1]"));
    EXPECT_EQ(f.position(), 2 + 2 * 13);
    EXPECT_EQ(ReadUcs2Line(f), W("ab"));
    EXPECT_EQ(ReadUcs2Line(f), W("last"));
    EXPECT_TRUE(f.eof());
    EXPECT_EQ(ReadUcs2Line(f), u"");
}

TEST_F(LineFile, Ucs2LineLimitSplitsLongLines) {
    std::u16string longLine(10000, u'x');
    longLine[9999] = u'y';
    std::string bytes;
    for (char16_t c : longLine)
        bytes += std::string{static_cast<char>(c), 0};
    bytes += Utf16Bytes("\nnext\n");
    auto f = open(bytes);
    EXPECT_EQ(ReadUcs2Line(f), std::u16string(9999, u'x'));
    EXPECT_EQ(ReadUcs2Line(f), u"y");
    EXPECT_EQ(ReadUcs2Line(f), u"next");
}

TEST_F(LineFile, Ucs2LineOf9999UnitsAndItsLineEnd) {
    std::u16string line(9998, u'a');
    std::string bytes;
    for (char16_t c : line)
        bytes += std::string{static_cast<char>(c), 0};
    bytes += Utf16Bytes("\nb\n");
    auto f = open(bytes);
    EXPECT_EQ(ReadUcs2Line(f), line);  // 9998 units + LF = 9999 read
    EXPECT_EQ(ReadUcs2Line(f), u"b");
}

TEST_F(LineFile, Ucs2LinesAcrossReadBufferBoundaries) {
    // Lines of many lengths, with CR, LF and U+FEFF at every position relative to the
    // read-ahead buffer, one line longer than the 9999-unit limit, and no final LF.
    std::u16string text;
    for (int n = 0; n < 300; ++n) {
        for (int k = 0; k < n; ++k)
            text.push_back(static_cast<char16_t>(u'a' + (n + k) % 26));
        if (n % 7 == 3) text.push_back(0xFEFF);
        if (n % 3 == 0) text.push_back(u'\r');
        text.push_back(u'\n');
    }
    text += std::u16string(12000, u'L') + u"\r\nend";
    std::string bytes;
    for (char16_t c : text)
        bytes += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};

    // The expected pieces, unit by unit.
    std::vector<std::pair<std::u16string, int64_t>> expected;  // line, position after it
    std::size_t i = 0;
    while (i < text.size()) {
        std::u16string line;
        int count = 0;
        while (count < 9999 && i < text.size()) {
            char16_t c = text[i++];
            ++count;
            if (c == u'\n') break;
            if (c != 0xFEFF && c != u'\r') line.push_back(c);
        }
        expected.emplace_back(line, static_cast<int64_t>(2 * i));
    }
    for (std::size_t readAhead :
         {std::size_t{16}, std::size_t{18}, std::size_t{4098}, std::size_t{65536}}) {
        auto f = open(bytes);
        f.setReadAhead(readAhead);
        for (const auto& [line, after] : expected) {
            ASSERT_EQ(ReadUcs2Line(f), line) << readAhead;
            ASSERT_EQ(f.position(), after) << readAhead;
        }
        EXPECT_TRUE(f.eof());
    }
}

TEST_F(LineFile, OddSizedFileFailsOnItsLastByte) {
    auto f = open(Utf16Bytes("ab") + "\x41");
    EXPECT_THROW(ReadUcs2Line(f), IoError);
}

TEST_F(LineFile, WriteUcs2LineWritesCrLfWithoutBom) {
    {
        ByteFile f(dir.file("out"), OpenMode::Create);
        WriteUcs2Line(f, W("中a"));
        WriteUcs2Line(f, u"");
        f.close();
    }
    EXPECT_EQ(test::ReadBytes(dir.file("out")),
              std::string("\x2D\x4E\x61\x00\x0D\x00\x0A\x00\x0D\x00\x0A\x00", 12));
}

TEST_F(LineFile, Utf8LineAsRefs) {
    auto f = open(
        "a\xE4\xB8\xAD"
        "b\r\n\xF0\xA0\x80\x80\x80\xFF\n\xC3");
    EXPECT_EQ(ReadUtf8LineAsRefs(f), "a&#20013;b");
    EXPECT_EQ(ReadUtf8LineAsRefs(f), "&#131072;\x80\xFF");
    EXPECT_EQ(ReadUtf8LineAsRefs(f), "");  // cut-off sequence dropped
    EXPECT_TRUE(f.eof());
}

TEST_F(LineFile, Utf8LineTakesLineEndInsideASequenceAsContinuation) {
    auto f = open(
        "\xE4\n\xAD"
        "x\n");
    // 0xE4 starts a 3-byte sequence; LF and 0xAD complete it: (4<<12)|(0x0A<<6)|0x2D.
    EXPECT_EQ(ReadUtf8LineAsRefs(f), "&#" + std::to_string((4 << 12) | (0x0A << 6) | 0x2D) + ";x");
}

TEST_F(LineFile, AnsiLineKeepsFirst9999BytesAndSkipsTheRest) {
    std::string line(12000, 'q');
    line[9998] = 'L';
    line[9999] = 'M';
    auto f = open(line + "\r\nsecond\n");
    std::string got = ReadAnsiLine(f);
    EXPECT_EQ(got.size(), 9999u);
    EXPECT_EQ(got.back(), 'L');
    EXPECT_EQ(ReadAnsiLine(f), "second");
}

TEST_F(LineFile, AnsiLineCrBytesCountTowardsTheLimit) {
    std::string line = std::string(5, '\r') + std::string(9999, 'z');
    auto f = open(line + "\n");
    EXPECT_EQ(ReadAnsiLine(f).size(), 9994u);
}

TEST(LowerLatinCyr, OnlyLatinAndBasicCyrillicCapitals) {
    EXPECT_EQ(LowerLatinCyr(W("ABCабвАБВЁ")), W("abcабвабвЁ"));
    EXPECT_EQ(LowerLatinCyr(W("ÄZ[@")), W("Äz[@"));
}

TEST(DecodeCharRefs, Examples) {
    EXPECT_EQ(DecodeCharRefs(W("&#20013;")), W("中"));
    EXPECT_EQ(DecodeCharRefs(W("&#x4E2D;")), W("中"));
    EXPECT_EQ(DecodeCharRefs(W("&#0x4E2D;")), W("中"));
    EXPECT_EQ(DecodeCharRefs(W("&#$4E2D;")), W("中"));
    EXPECT_EQ(DecodeCharRefs(W("U+4E2D;")), W("中"));
    EXPECT_EQ(DecodeCharRefs(W("U+4E2D")), W("中"));
    EXPECT_EQ(DecodeCharRefs(W("a&#20013;b")), W("a中b"));
    EXPECT_EQ(DecodeCharRefs(W("&#;a")), std::u16string(u"\0a", 2));
    EXPECT_EQ(DecodeCharRefs(W("&#1")), W("&#1"));
    EXPECT_EQ(DecodeCharRefs(W("&#12")), u"\x000C");
    EXPECT_EQ(DecodeCharRefs(W("u+4E2D")), W("u+4E2D"));
    EXPECT_EQ(DecodeCharRefs(W("&#123456789;")),
              std::u16string(1, char16_t(1234567 & 0xFFFF)) + u"89;");
    EXPECT_EQ(DecodeCharRefs(W("&#abc;x")), std::u16string(u"\0x", 2));
    EXPECT_EQ(DecodeCharRefs(W("&# 65;")), u"A");
    EXPECT_EQ(DecodeCharRefs(W("&#-1;")), u"\xFFFF");
    EXPECT_EQ(DecodeCharRefs(W("U+1F600;")), std::u16string(1, char16_t(0xF600)));
}

}  // namespace
}  // namespace kes
