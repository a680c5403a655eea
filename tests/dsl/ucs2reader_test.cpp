#include "dsl/ucs2reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/bytefile.h"
#include "base/ioerror.h"
#include "base/lines.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::TempDir;
using test::Utf16Bytes;
using test::WriteBytes;

struct Lines {
    std::vector<std::u16string> lines;
    bool failed = false;
    std::string error;
};

// Every line of the file as ReadUcs2Line gives it, starting at byte `start`.
Lines ByReadUcs2Line(const std::string& path, int64_t start) {
    Lines r;
    ByteFile f(path, OpenMode::Read);
    f.seek(start);
    try {
        while (!f.eof())
            r.lines.push_back(ReadUcs2Line(f));
    } catch (const IoError& e) {
        r.failed = true;
        r.error = e.what();
    }
    return r;
}

Lines ByReader(const std::string& path, int64_t start) {
    Lines r;
    ByteFile f(path, OpenMode::Read);
    f.seek(start);
    Ucs2LineReader reader(f);
    std::u16string line = u"stale";
    try {
        while (!reader.atEnd()) {
            reader.next(line);
            r.lines.push_back(line);
        }
    } catch (const IoError& e) {
        r.failed = true;
        r.error = e.what();
    }
    return r;
}

TEST(Ucs2LineReader, ReadsLinesLikeReadUcs2Line) {
    TempDir dir;
    std::string path = dir.file("f");
    WriteBytes(
        path, "\xFF\xFE" + Utf16Bytes("中国 [zhong1]\r\na\rb\n\n\xEF\xBB\xBFx\xEF\xBB\xBFy\nlast"));
    Lines r = ByReader(path, 0);
    EXPECT_FALSE(r.failed);
    EXPECT_EQ(r.lines, (std::vector<std::u16string>{u"中国 [zhong1]", u"ab", u"", u"xy", u"last"}));

    WriteBytes(path, "");
    r = ByReader(path, 0);
    EXPECT_TRUE(r.lines.empty());
    EXPECT_FALSE(r.failed);
}

TEST(Ucs2LineReader, LongLinesComeInPiecesOf9999Units) {
    TempDir dir;
    std::string path = dir.file("f");
    // 9998 units, a CR (counted though dropped), then two more units and LF.
    WriteBytes(path, Utf16Bytes(std::string(9998, 'a') + "\rbc\n"));
    Lines r = ByReader(path, 0);
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(r.lines[0], std::u16string(9998, u'a'));
    EXPECT_EQ(r.lines[1], u"bc");
}

TEST(Ucs2LineReader, OddSizedFileFailsAtTheLastByte) {
    TempDir dir;
    std::string path = dir.file("f");
    WriteBytes(path, Utf16Bytes("one\ntwo") + "x");
    Lines r = ByReader(path, 0);
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.lines, std::vector<std::u16string>{u"one"});
    EXPECT_EQ(r.error, "Read beyond end of file: " + path);
}

// Random files across block boundaries, from random start positions, odd sizes included.
TEST(Ucs2LineReader, SameAsReadUcs2LineOnRandomFiles) {
    TempDir dir;
    std::string path = dir.file("f");
    std::mt19937 rng(7);
    const char16_t units[] = {u'a', u'中', 0x000D, 0x000A, 0xFEFF, u' ', 0x0000, 0xD800};
    for (int n = 0; n < 60; ++n) {
        std::string bytes;
        std::size_t size = rng() % 3 == 0 ? rng() % 200 : rng() % 300000;
        bool longLines = rng() % 2 == 0;
        for (std::size_t i = 0; i < size / 2; ++i) {
            char16_t c = units[rng() % (longLines ? 2 : std::size(units))];
            if (longLines && rng() % 30000 == 0) c = 0x000A;
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        if (size % 2 != 0) bytes.push_back('z');
        WriteBytes(path, bytes);
        int64_t start =
            bytes.empty() ? 0 : 2 * static_cast<int64_t>(rng() % (bytes.size() / 2 + 1));
        Lines expected = ByReadUcs2Line(path, start);
        Lines got = ByReader(path, start);
        ASSERT_EQ(got.failed, expected.failed) << n;
        ASSERT_EQ(got.error, expected.error) << n;
        ASSERT_EQ(got.lines, expected.lines) << n;
    }
}

}  // namespace
}  // namespace kes
