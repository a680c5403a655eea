#include "tools/duplicates.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/lines.h"
#include "base/text.h"
#include "support/faults.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::FileSizeLimit;
using test::Hex;
using test::NamesIn;
using test::ReadBytes;
using test::TempDir;
using test::Ucs2File;
using test::Utf16Bytes;
using test::W;
using test::WriteBytes;

DuplicateRow Row(const std::string& text, int64_t pos, bool checked = false) {
    return DuplicateRow{W(text), pos, checked};
}

std::string Rows(const std::vector<DuplicateRow>& rows) {
    std::string s;
    for (const auto& r : rows)
        s += "[" + Utf16ToUtf8(r.Text) + "]@" + std::to_string(r.Position) +
             (r.Checked ? "x" : "") + "\n";
    return s;
}

// The scan as first designed: every line is compared with every row of the table, in
// ascending order, and the flag is read once per compared line.
std::vector<DuplicateRow> LiteralScan(const std::string& path, const std::function<bool()>& flag) {
    struct Seen {
        std::u16string Word;
        int64_t Pos;
        bool Listed;
        std::u16string Pinyin;
    };
    std::vector<Seen> seen;
    std::vector<DuplicateRow> rows;
    ByteFile a(path, OpenMode::Read), b(path, OpenMode::Read);
    while (!a.eof()) {
        int64_t p = a.position();
        std::u16string line = Trim(ReadUcs2Line(a));
        if (line.empty() || line[0] == u'#') continue;
        std::u16string word, pinyin;
        std::size_t i = 0;
        while (i < line.size() && line[i] != u' ' && line[i] != u'[')
            word.push_back(line[i++]);
        word = Trim(word);
        bool inPinyin = false;
        for (char16_t c : line) {
            if (!inPinyin && c == u'[')
                inPinyin = true;
            else if (inPinyin && c == u']')
                break;
            if (inPinyin) pinyin.push_back(c);
        }
        pinyin = Trim(pinyin);
        if (word.empty()) continue;
        bool withPinyin = flag();
        bool dup = false;
        for (auto& s : seen) {
            if (s.Word == word && (!withPinyin || s.Pinyin == pinyin)) {
                dup = true;
                if (!s.Listed) {
                    b.seek(s.Pos);
                    rows.push_back({Trim(ReadUcs2Line(b)), s.Pos, false});
                    s.Listed = true;
                }
                rows.push_back({line, p, false});
            }
        }
        if (!dup) seen.push_back({word, p, false, pinyin});
    }
    return rows;
}

ScanCallbacks Flag(bool withPinyin) {
    ScanCallbacks cb;
    cb.comparePinyin = [withPinyin] { return withPinyin; };
    return cb;
}

class DuplicatesTest : public ::testing::Test {
  protected:
    std::string file(const std::string& bytes, const std::string& name = "dict.ced") {
        WriteBytes(dir.file(name), bytes);
        return dir.file(name);
    }
    TempDir dir;
};

TEST(DuplicateKeysTest, WordAndBracketedPinyin) {
    DuplicateKeys k = DuplicateKeysOf(W("中國 中国 [Zhong1 guo2] /China/"));
    EXPECT_EQ(k.Word, W("中國"));
    EXPECT_EQ(k.Pinyin, u"[Zhong1 guo2");
    k = DuplicateKeysOf(u"ab[ x ]c");
    EXPECT_EQ(k.Word, u"ab");
    EXPECT_EQ(k.Pinyin, u"[ x");
    k = DuplicateKeysOf(u"w [open to the end");
    EXPECT_EQ(k.Pinyin, u"[open to the end");
    k = DuplicateKeysOf(u"w\t[]");
    EXPECT_EQ(k.Word, u"w");  // a tab does not end the word but is trimmed
    EXPECT_EQ(k.Pinyin, u"[");
    k = DuplicateKeysOf(u"no brackets");
    EXPECT_EQ(k.Word, u"no");
    EXPECT_EQ(k.Pinyin, u"");
    // An empty bracket pair and no brackets are different pinyin keys.
    EXPECT_FALSE(IsDuplicateOf(DuplicateKeysOf(u"w []"), DuplicateKeysOf(u"w"), true));
    EXPECT_TRUE(IsDuplicateOf(DuplicateKeysOf(u"w []"), DuplicateKeysOf(u"w"), false));
    EXPECT_FALSE(IsDuplicateOf(DuplicateKeysOf(u"W [p]"), DuplicateKeysOf(u"w [p]"), false));
}

TEST_F(DuplicatesTest, PinyinRuleDecidesByExactCase) {
    std::string bytes = Ucs2File({"中國 中国 [Zhong1 guo2] /China/", "其他 [qi2 ta1] /other/",
                                  "中國 中国 [zhong1 guo2] /Middle Kingdom/"});
    std::string path = file(bytes);
    const int64_t third = static_cast<int64_t>(
        Ucs2File({"中國 中国 [Zhong1 guo2] /China/", "其他 [qi2 ta1] /other/"}).size());
    ScanResult r = ScanFile(path, Flag(false));
    EXPECT_TRUE(r.outcome.ok);
    EXPECT_EQ(Rows(r.Rows), Rows({Row("中國 中国 [Zhong1 guo2] /China/", 0),
                                  Row("中國 中国 [zhong1 guo2] /Middle Kingdom/", third)}));
    r = ScanFile(path, Flag(true));
    EXPECT_TRUE(r.outcome.ok);
    EXPECT_TRUE(r.Rows.empty());
}

TEST_F(DuplicatesTest, OnlyTheFirstFormCountsAndThreeLinesGiveThreeRows) {
    std::string path = file("\xFF\xFE" + Utf16Bytes("A B [p] /x/\r\n  A C [p] /y/  \nA\r\n"));
    ScanResult r = ScanFile(path, Flag(false));
    // The first line is listed when the second is read; its offset is 0 despite the mark.
    EXPECT_EQ(Rows(r.Rows),
              Rows({Row("A B [p] /x/", 0), Row("A C [p] /y/", 2 + 26), Row("A", 2 + 26 + 32)}));
    r = ScanFile(path, Flag(true));  // "A" has no pinyin key
    EXPECT_EQ(Rows(r.Rows), Rows({Row("A B [p] /x/", 0), Row("A C [p] /y/", 2 + 26)}));
}

TEST_F(DuplicatesTest, CommentsBlankLinesAndEmptyWordsNeverBecomeRows) {
    std::string path =
        file(Ucs2File({"# a [p]", "# a [p]", "", "   ", "[p] /x/", "[p] /x/", " #a", "a [p] /1/"}));
    ScanResult r = ScanFile(path, Flag(false));
    EXPECT_TRUE(r.outcome.ok);
    EXPECT_TRUE(r.Rows.empty()) << Rows(r.Rows);
}

TEST_F(DuplicatesTest, FlagChangedDuringTheScanMatchesSeveralRows) {
    std::string path = file(Ucs2File({"a [1]", "a [2]", "a [3]", "a [2]"}));
    std::vector<bool> flags = {true, true, false, true};
    std::size_t k = 0;
    ScanCallbacks cb;
    cb.comparePinyin = [&] { return flags.at(k++); };
    ScanResult r = ScanFile(path, cb);
    EXPECT_EQ(k, 4u);
    const int64_t l = 14;  // bytes per line
    EXPECT_EQ(Rows(r.Rows), Rows({Row("a [1]", 0), Row("a [3]", 2 * l), Row("a [2]", l),
                                  Row("a [3]", 2 * l), Row("a [2]", 3 * l)}));
    k = 0;
    EXPECT_EQ(Rows(LiteralScan(path, cb.comparePinyin)), Rows(r.Rows));
}

TEST_F(DuplicatesTest, FastScanEqualsTheLiteralScan) {
    const std::vector<std::string> words = {"a", "b", "中", "中國", "A", "a]b", "ab", ""};
    const std::vector<std::string> pinyins = {" [x]",   " [X]", " []",    "",
                                              " [x y]", "[x",   " [ x ]", " [x] [y]"};
    const std::vector<std::string> tails = {" /s/", "", " /t/u/", " [z]", "  "};
    std::mt19937 rng(12345);
    auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
    int compared = 0;
    for (int round = 0; round < 300; ++round) {
        std::string text = (round % 3 == 0) ? "\xEF\xBB\xBF" : "";  // UTF-8 of U+FEFF
        const int lines = 1 + static_cast<int>(rng() % 120);
        for (int i = 0; i < lines; ++i) {
            switch (rng() % 12) {
                case 0:
                    text += "# " + pick(words) + pick(pinyins);
                    break;
                case 1:
                    text += (rng() % 2) ? "" : " \t ";
                    break;
                default:
                    text += std::string(rng() % 3 == 0 ? "  " : "") + pick(words) +
                            (rng() % 4 == 0 ? " B" : "") + pick(pinyins) + pick(tails);
            }
            text += (rng() % 4 == 0) ? "\n" : "\r\n";
        }
        if (rng() % 2) text += pick(words) + pick(pinyins);  // no line end at the end
        std::string path = file(Utf16Bytes(text));
        for (int mode = 0; mode < 3; ++mode) {
            std::vector<bool> flags;
            for (int i = 0; i < 200; ++i)
                flags.push_back(mode == 2 ? rng() % 2 : mode == 1);
            std::size_t k = 0;
            ScanCallbacks cb;
            cb.comparePinyin = [&] { return flags.at(k++ % flags.size()); };
            ScanResult fast = ScanFile(path, cb);
            const std::size_t calls = k;
            k = 0;
            std::vector<DuplicateRow> literal = LiteralScan(path, cb.comparePinyin);
            ASSERT_TRUE(fast.outcome.ok);
            ASSERT_EQ(calls, k) << "round " << round;
            ASSERT_EQ(Rows(fast.Rows), Rows(literal)) << "round " << round << " mode " << mode;
            compared += static_cast<int>(literal.size());
        }
    }
    EXPECT_GT(compared, 1000);  // the generated inputs do produce duplicates
}

TEST_F(DuplicatesTest, ProgressAndCancel) {
    std::string path = file(Ucs2File({"a [1]", "a [2]", "a [3]", "a [4]"}));
    std::vector<int64_t> positions;
    ScanCallbacks cb = Flag(false);
    cb.progress = [&](int64_t p, int64_t size) {
        positions.push_back(p);
        EXPECT_EQ(size, 56);
    };
    int events = 0;
    cb.processEvents = [&] { ++events; };
    cb.cancelRequested = [&] { return positions.size() == 3; };
    ScanResult r = ScanFile(path, cb);
    EXPECT_TRUE(r.outcome.cancelled);
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(positions, (std::vector<int64_t>{0, 14, 28}));
    EXPECT_EQ(events, 3);
    EXPECT_EQ(Rows(r.Rows), Rows({Row("a [1]", 0), Row("a [2]", 14)}));
}

TEST_F(DuplicatesTest, ReadErrorsEndTheScanWithTheRowsFound) {
    ScanResult r = ScanFile(dir.file("missing.ced"), Flag(false));
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.outcome.message,
              "ERROR: The file could not be read to its end: " + r.outcome.detail);
    EXPECT_NE(r.outcome.detail.find(dir.file("missing.ced")), std::string::npos);
    EXPECT_TRUE(r.Rows.empty());

    std::string path = file(Ucs2File({"a [1]", "a [2]"}) + "x");  // odd size
    r = ScanFile(path, Flag(false));
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(Rows(r.Rows), Rows({Row("a [1]", 0), Row("a [2]", 14)}));
}

// ---- Save ----

TEST_F(DuplicatesTest, SaveAppliesRowsAtTheirOwnPlacesInAnyOrder) {
    std::string path = file(Ucs2File({"a [1] /x/", "# note", "a [2] /y/", "b"}));
    std::vector<DuplicateRow> rows = {Row("a [2] /edited/", 24 + 14), Row("a [1] /x/", 0)};
    SaveResult r = SaveDuplicates(path, rows, {});
    ASSERT_TRUE(r.outcome.ok) << r.outcome.message;
    EXPECT_EQ(r.OutputPath, dir.file("dict.new"));
    EXPECT_EQ(r.outcome.message, "Changes saved to file: " + dir.file("dict.new"));
    EXPECT_EQ(Hex(ReadBytes(r.OutputPath)),
              Hex(Ucs2File({"a [1] /x/", "# note", "a [2] /edited/", "b"})));
    EXPECT_EQ(ReadBytes(path), Ucs2File({"a [1] /x/", "# note", "a [2] /y/", "b"}));
}

TEST_F(DuplicatesTest, SaveRemovesCheckedLinesWithTheirLineEnds) {
    std::string path = file(Utf16Bytes("a [1]\r\n  a [2]  \na [3]\n\nlast"));
    std::vector<DuplicateRow> rows = {Row("a [1]", 0), Row("a [2]", 14, true),
                                      Row("a [3]", 14 + 20)};
    SaveResult r = SaveDuplicates(path, rows, {});
    ASSERT_TRUE(r.outcome.ok);
    // An unchecked row is rewritten trimmed and ended with CR LF; other bytes are copied.
    EXPECT_EQ(Hex(ReadBytes(r.OutputPath)), Hex(Utf16Bytes("a [1]\r\na [3]\r\n\nlast")));
}

TEST_F(DuplicatesTest, SaveOfAnEmptyListCopiesByteForByte) {
    const std::string bytes = "\xFF\xFE" + Utf16Bytes("a\r\n\n# c\rx\nno end");
    std::string path = file(bytes);
    SaveResult r = SaveDuplicates(path, {}, {});
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(ReadBytes(r.OutputPath), bytes);
    // Also an empty file and an odd-sized one (nothing is read line by line).
    path = file("", "empty.ced");
    ASSERT_TRUE(SaveDuplicates(path, {}, {}).outcome.ok);
    EXPECT_EQ(ReadBytes(dir.file("empty.new")), "");
    path = file("abc", "odd.ced");
    ASSERT_TRUE(SaveDuplicates(path, {}, {}).outcome.ok);
    EXPECT_EQ(ReadBytes(dir.file("odd.new")), "abc");
}

TEST_F(DuplicatesTest, SaveReplacesAnEarlierNewFile) {
    std::string path = file(Ucs2File({"a", "a"}));
    WriteBytes(dir.file("dict.new"), std::string(1000, 'z'));
    SaveResult r = SaveDuplicates(path, {Row("a", 0, true)}, {});
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(ReadBytes(dir.file("dict.new")), Ucs2File({"a"}));
    EXPECT_FALSE(FileExists(dir.file("dict.new.tmp")));
    // A name without an extension gets one.
    path = file(Ucs2File({"a"}), "plain");
    ASSERT_TRUE(SaveDuplicates(path, {}, {}).outcome.ok);
    EXPECT_TRUE(FileExists(dir.file("plain.new")));
}

TEST_F(DuplicatesTest, SaveOfTheFirstLineDropsTheByteOrderMark) {
    std::string path = file("\xFF\xFE" + Utf16Bytes("a [1]\r\na [2]\r\n"));
    SaveResult r = SaveDuplicates(path, {Row("a [9]", 0)}, {});
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(Hex(ReadBytes(r.OutputPath)), Hex(Utf16Bytes("a [9]\r\na [2]\r\n")));
}

TEST_F(DuplicatesTest, RowsWithOnePositionAreWrittenOnce) {
    std::string path = file(Ucs2File({"a [1]", "a [2]", "a [3]", "b"}));
    // As a scan with a changing rule lists them; the first row in list order wins.
    std::vector<DuplicateRow> rows = {Row("a [1]", 0), Row("a [3] first", 28), Row("a [2]", 14),
                                      Row("a [3] second", 28, true)};
    SaveResult r = SaveDuplicates(path, rows, {});
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(Hex(ReadBytes(r.OutputPath)), Hex(Ucs2File({"a [1]", "a [2]", "a [3] first", "b"})));
}

TEST_F(DuplicatesTest, ScanThenSaveRoundTrip) {
    std::string text =
        "\xEF\xBB\xBF"
        "x [1] /a/\r\ny [1]\n# x [1]\r\n x [2] /b/ \r\n\r\nx [1] /c/";
    std::string path = file(Utf16Bytes(text));
    ScanResult s = ScanFile(path, Flag(false));
    ASSERT_EQ(s.Rows.size(), 3u);
    std::reverse(s.Rows.begin(), s.Rows.end());
    s.Rows[0].Checked = true;  // the last line
    s.Rows[2].Text = u"x [1] /edited/";
    SaveResult r = SaveDuplicates(path, s.Rows, {});
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(Hex(ReadBytes(r.OutputPath)),
              Hex(Utf16Bytes("x [1] /edited/\r\ny [1]\n# x [1]\r\nx [2] /b/\r\n\r\n")));
}

TEST_F(DuplicatesTest, CancelledSaveAppliesRowsSoFarAndCopiesTheRest) {
    std::string path = file(Ucs2File({"a [1]", "a [2]", "a [3]"}));
    int asked = 0;
    SaveCallbacks cb;
    cb.cancelRequested = [&] { return ++asked == 2; };
    SaveResult r = SaveDuplicates(path, {Row("a [7]", 0), Row("a [8]", 14), Row("a [9]", 28)}, cb);
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_TRUE(r.outcome.cancelled);
    EXPECT_EQ(r.outcome.message, "Changes saved to file: " + r.OutputPath);
    EXPECT_EQ(ReadBytes(r.OutputPath), Ucs2File({"a [7]", "a [2]", "a [3]"}));
}

TEST_F(DuplicatesTest, FailedSaveIsReportedAndLeavesNoHalfFile) {
    std::string path = file(Ucs2File({"a [1]", "a [2]"}));
    const std::string earlier = "earlier output";
    WriteBytes(dir.file("dict.new"), earlier);
    SaveResult r;
    {
        // The disk takes no more than 4 bytes of the new file.
        FileSizeLimit limit(4);
        r = SaveDuplicates(path, {Row("a [1]", 0, true)}, {});
    }
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.outcome.message, "ERROR: Can't save changes to file: " + dir.file("dict.new") +
                                     " (Write error (" + std::strerror(EFBIG) + "))");
    EXPECT_EQ(r.outcome.detail,
              "Write error (" + std::string(std::strerror(EFBIG)) + "): " + dir.file("dict.new"));
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"dict.ced", "dict.new"}));
    EXPECT_EQ(
        r.outcome.message.rfind("ERROR: Can't save changes to file: " + dir.file("dict.new"), 0),
        0u)
        << r.outcome.message;
    EXPECT_EQ(ReadBytes(dir.file("dict.new")), earlier);

    // The scanned file is gone: nothing is written.
    r = SaveDuplicates(dir.file("gone.ced"), {}, {});
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_FALSE(FileExists(dir.file("gone.new")));

    // Rows that do not fit the file (it changed since the scan) fail the save.
    r = SaveDuplicates(path, {Row("a [1]", 28)}, {});
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(ReadBytes(dir.file("dict.new")), earlier);
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"dict.ced", "dict.new"}));

    // A scanned ".new" file would be its own output: refused, the file stays as it was.
    std::string self = file(Ucs2File({"a", "a"}), "x.new");
    r = SaveDuplicates(self, {Row("a", 0, true)}, {});
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(ReadBytes(self), Ucs2File({"a", "a"}));
    // So would a ".new" name that links to the scanned file.
    std::string linked = file(Ucs2File({"b", "b"}), "y.ced");
    ASSERT_EQ(::symlink("y.ced", dir.file("y.new").c_str()), 0);
    r = SaveDuplicates(linked, {Row("b", 0, true)}, {});
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(ReadBytes(linked), Ucs2File({"b", "b"}));
}

}  // namespace
}  // namespace kes
