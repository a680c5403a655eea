#include "dict/dic.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <random>

#include "base/filesystem.h"
#include "base/text.h"
#include "dict/builder.h"
#include "support/reference.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::FromHex;
using test::TempDir;
using test::W;
using test::WriteBytes;

// A dictionary in a scratch folder: the data file written from lines, the index built by
// the builder or given as bytes.
class DicTest : public ::testing::Test {
  protected:
    TDic dic{"dict.idx", true, u"Test", 7, nullptr};

    std::string DataPath() const { return dir_.file("dict.ced"); }
    std::string IndexPath() const { return dir_.file("dict.idx"); }

    // Writes the data file and returns the byte offset of every line.
    std::vector<int32_t> WriteData(const std::vector<std::string>& lines) {
        WriteBytes(DataPath(), test::Ucs2File(lines));
        std::vector<int32_t> offsets;
        int32_t pos = 0;
        for (const auto& l : lines) {
            offsets.push_back(pos);
            pos += static_cast<int32_t>(2 * (Utf8ToUtf16(l).size() + 2));
        }
        return offsets;
    }
    void Build(const std::vector<std::string>& lines, bool desc = false, bool pinyin = false) {
        WriteData(lines);
        RemoveFile(IndexPath());
        IndexBuildOptions o;
        o.AddDescToIndex = desc;
        o.AddPinToIndex = pinyin;
        IndexBuildResult r = BuildIndex(DataPath(), o, IndexBuildCallbacks{});
        ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    }
    // A header and the node records given in hexadecimal.
    void WriteIndex(const std::string& nodesHex) {
        std::string bytes(kIndexHeaderSize, '\0');
        WriteBytes(IndexPath(), bytes + FromHex(nodesHex));
    }

    // The entry lines filed under exactly the query, each followed by "\n", in the order
    // the walk gives their offsets (a repeated offset gives its line again). Each call opens
    // and closes the files.
    std::string Lookup(std::u16string_view query, bool both = true) {
        DicReader reader(dic, dir_.path(), both);
        std::vector<int32_t> offsets;
        reader.Exact(query, offsets);
        std::string lines;
        for (int32_t off : offsets)
            lines += Utf16ToUtf8(reader.ReadEntryLine(off)) + "\n";
        return lines;
    }
    std::string Lookup(const char* query, bool both = true) { return Lookup(W(query), both); }
    std::vector<std::u16string> List(std::u16string_view query, bool both = true) {
        DicReader reader(dic, dir_.path(), both);
        std::vector<std::u16string> words;
        reader.ListWords(query, [&](const std::u16string& w) { words.push_back(w); });
        return words;
    }
    std::vector<std::u16string> ListTexts(std::u16string_view query, bool both = true) {
        return List(query, both);
    }
    std::vector<std::u16string> ListTexts(const char* query, bool both = true) {
        return ListTexts(W(query), both);
    }
    // An entry line as Lookup gives it. The line is read from the data file as stored, so it is
    // the same whether the lookup matched both forms or only its own.
    static std::string Entry(const char* line) { return std::string(line) + "\n"; }

    TempDir dir_;
};

using Texts = std::vector<std::u16string>;

TEST_F(DicTest, HandMadeTwoEntryIndex) {
    // 中国 at offset 0 (24 units + CR LF), 中 at offset 52.
    WriteData({"中国 [zhong1 guo2] /China/", "中 [zhong1] /middle/"});
    WriteIndex(
        "00 00 01 00 00 00 2D 4E 1C 01 00 00"
        "01 00 34 00 00 00 01 00 00 00 FD 56 2C 01 00 00"
        "01 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(Lookup("中"), Entry("中 [zhong1] /middle/"));
    EXPECT_EQ(Lookup("中国"), Entry("中国 [zhong1 guo2] /China/"));
    EXPECT_EQ(Lookup("国"), "");
    EXPECT_EQ(Lookup(""), "");
    EXPECT_EQ(List(u"中"), (Texts{u"中", u"中国"}));
    EXPECT_EQ(ListTexts(""), (Texts{u"中", u"中国"}));
}

TEST_F(DicTest, PrefixListOrderAndLongQuery) {
    Build({"中 [zhong1] /a/", "中国 [zhong1 guo2] /b/", "中国人 [zhong1 guo2 ren2] /c/",
           "国 [guo2] /d/"});
    EXPECT_EQ(ListTexts("中国"), (Texts{u"中", u"中国", u"中国人"}));
    EXPECT_EQ(ListTexts("中"), (Texts{u"中", u"中国", u"中国人"}));
    EXPECT_EQ(ListTexts("国"), (Texts{u"国"}));
    // A query longer than every key lists only its prefixes and finds no entry.
    EXPECT_EQ(ListTexts("中国人民"), (Texts{u"中", u"中国", u"中国人"}));
    EXPECT_EQ(Lookup("中国人民"), "");
    EXPECT_EQ(ListTexts("文"), Texts{});
    EXPECT_EQ(Lookup("中国"), Entry("中国 [zhong1 guo2] /b/"));
}

TEST_F(DicTest, EntriesOfOneKeyInFileOrder) {
    Build({"行 [xing2] /to walk/", "好 [hao3] /good/", "行 [hang2] /row/"});
    EXPECT_EQ(Lookup("行"), Entry("行 [xing2] /to walk/") + Entry("行 [hang2] /row/"));
}

TEST_F(DicTest, CapitalHeadwordOnlyThroughTranslationWords) {
    const char* line = "NATO [Bei3 Yue1] /NATO/North Atlantic Treaty Organization/";
    Build({line}, true);
    // Queries arrive lowercased, so the headword key "NATO" is never reached; the entry is
    // found through its lowercased translation word.
    EXPECT_EQ(Lookup("nato"), Entry(line));
    EXPECT_EQ(ListTexts("n"), (Texts{u"nato", u"north"}));
    EXPECT_EQ(ListTexts("na"), (Texts{u"nato"}));
    Build({line}, false);
    EXPECT_EQ(Lookup("nato"), "");
    EXPECT_EQ(ListTexts("n"), Texts{});
}

TEST_F(DicTest, PinyinKeys) {
    Build({"你好 [ni3 hao3] /hello/"}, false, true);
    EXPECT_EQ(Lookup("ni hao"), Entry("你好 [ni3 hao3] /hello/"));
    EXPECT_EQ(ListTexts("ni"), (Texts{u"ni hao"}));
}

TEST_F(DicTest, BothFormsLookupAndList) {
    Build({"國 [guo2] /country (trad)/", "国 [guo2] /country (simp)/"});
    const std::string trad = Entry("國 [guo2] /country (trad)/");
    const std::string simp = Entry("国 [guo2] /country (simp)/");
    EXPECT_EQ(Lookup("国"), trad + simp);
    EXPECT_EQ(Lookup("國"), trad + simp);
    EXPECT_EQ(List(u"国"), (Texts{u"国"}));
    EXPECT_EQ(ListTexts("國"), (Texts{u"国"}));
    // Option off: each form reaches only its own path and is listed as stored.
    EXPECT_EQ(Lookup("国", false), Entry("国 [guo2] /country (simp)/"));
    EXPECT_EQ(Lookup("國", false), Entry("國 [guo2] /country (trad)/"));
    EXPECT_EQ(ListTexts("國", false), (Texts{u"國"}));
    EXPECT_EQ(ListTexts("", false), (Texts{u"國", u"国"}));
}

TEST_F(DicTest, TwoTraditionalFormsDoNotMatchEachOther) {
    Build({"並 [bing4] /a/", "併 [bing4] /b/", "并 [bing4] /c/"});
    EXPECT_EQ(Lookup("並"), Entry("並 [bing4] /a/") + Entry("并 [bing4] /c/"));
    EXPECT_EQ(Lookup("併"), Entry("併 [bing4] /b/") + Entry("并 [bing4] /c/"));
    EXPECT_EQ(Lookup("并"),
              Entry("並 [bing4] /a/") + Entry("併 [bing4] /b/") + Entry("并 [bing4] /c/"));
    EXPECT_EQ(ListTexts("并"), (Texts{u"并"}));
}

TEST_F(DicTest, NulInTheQuery) {
    Build({"中国 [zhong1 guo2] /a/", "中文 [zhong1 wen2] /b/", "中 [zhong1] /c/"});
    const std::u16string q(u"中\0", 2);
    // Listing: U+0000 matches every child, like the end of the query.
    EXPECT_EQ(ListTexts(q), (Texts{u"中", u"中国", u"中文"}));
    EXPECT_EQ(ListTexts(std::u16string(u"\0\0", 2)), (Texts{u"中", u"中国", u"中文"}));
    // Lookup: only a child whose code unit is U+0000.
    EXPECT_EQ(Lookup(q), "");
    WriteData({"a [p] /x/"});
    // root -> 'a' (284) -> U+0000 (300) with offset 0
    WriteIndex(
        "00 00 01 00 00 00 61 00 1C 01 00 00"
        "00 00 01 00 00 00 00 00 28 01 00 00"
        "01 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(Lookup(std::u16string(u"a\0", 2)), Entry("a [p] /x/"));
    EXPECT_EQ(Lookup(u"ab"), "");
    EXPECT_EQ(ListTexts(u"a"), (Texts{std::u16string(u"a\0", 2)}));
}

TEST_F(DicTest, OffsetReachedOnTwoPathsIsGivenOnEach) {
    WriteData({"國 [guo2] /country/", "囯 [guo2] /other/"});
    // root -> 國 (offsets 0) and 国 (offsets 0, 40): 国 reaches both paths.
    WriteIndex(
        "00 00 02 00 00 00 0B 57 22 01 00 00 FD 56 2C 01 00 00"
        "01 00 00 00 00 00 00 00 00 00"
        "02 00 00 00 00 00 28 00 00 00 00 00 00 00");
    const std::string first = Entry("國 [guo2] /country/");
    const std::string second = Entry("囯 [guo2] /other/");
    // The page shows each entry once; the walk reports every path.
    EXPECT_EQ(Lookup("国"), first + first + second);
    EXPECT_EQ(Lookup("国", false), Entry("國 [guo2] /country/") + Entry("囯 [guo2] /other/"));
    EXPECT_EQ(Lookup("國", false), Entry("國 [guo2] /country/"));
}

TEST_F(DicTest, MissingFiles) {
    Build({"中 [zhong1] /a/"});
    RemoveFile(DataPath());
    EXPECT_THROW(Lookup("中"), IoError);
    // The word list reads only the index.
    EXPECT_EQ(ListTexts("中"), (Texts{u"中"}));
    RemoveFile(IndexPath());
    WriteData({"中 [zhong1] /a/"});
    EXPECT_THROW(Lookup("中"), IoError);
    EXPECT_THROW(List(u"中"), IoError);
    EXPECT_THROW(DicReader(dic, dir_.path(), true), IoError);
    // A folder in place of the index.
    ASSERT_EQ(::mkdir(IndexPath().c_str(), 0755), 0);
    EXPECT_THROW(Lookup("中"), IoError);
    EXPECT_THROW(List(u"中"), IoError);
}

int OpenFileCount() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d))
            ++n;
        ::closedir(d);
    }
    return n;
}

TEST_F(DicTest, FilesAreClosedAfterEveryCallAndEveryError) {
    Build({"中 [zhong1] /a/", "中国 [zhong1 guo2] /b/"});
    const int before = OpenFileCount();
    EXPECT_NE(Lookup("中"), "");
    EXPECT_EQ(OpenFileCount(), before);
    EXPECT_EQ(ListTexts("中").size(), 2u);
    EXPECT_EQ(OpenFileCount(), before);
    // An index that fails half way.
    std::string bytes = test::ReadBytes(IndexPath());
    WriteBytes(IndexPath(), bytes.substr(0, bytes.size() - 3));
    EXPECT_THROW(Lookup("中国"), IoError);
    EXPECT_EQ(OpenFileCount(), before);
    EXPECT_THROW(List(u"中"), IoError);
    EXPECT_EQ(OpenFileCount(), before);
    RemoveFile(DataPath());
    EXPECT_THROW(Lookup("中"), IoError);  // index opened, data missing
    EXPECT_EQ(OpenFileCount(), before);
    {
        WriteData({"中 [zhong1] /a/"});
        DicReader reader(dic, dir_.path(), true);
        EXPECT_EQ(OpenFileCount(), before + 1);
        EXPECT_EQ(reader.ReadEntryLine(0), W("中 [zhong1] /a/"));
        EXPECT_EQ(OpenFileCount(), before + 2);
    }
    EXPECT_EQ(OpenFileCount(), before);
}

TEST_F(DicTest, EveryTruncationIsAnError) {
    Build({"中 [zhong1] /middle/", "中国 [zhong1 guo2] /China/", "国 [guo2] /country/"}, true);
    const std::string whole = test::ReadBytes(IndexPath());
    ASSERT_EQ(ListTexts("").size(), 6u);
    for (std::size_t len = 0; len < whole.size(); ++len) {
        WriteBytes(IndexPath(), whole.substr(0, len));
        EXPECT_THROW(List(u""), IoError) << len;
    }
    // The lookup fails as soon as its path leaves the file.
    WriteBytes(IndexPath(), whole.substr(0, 280));
    EXPECT_THROW(Lookup("中"), IoError);
    std::vector<int32_t> found;
    EXPECT_THROW(DicReader(dic, dir_.path(), true).Longest(u"中", found), IoError);
}

TEST_F(DicTest, CorruptRecordsAreErrors) {
    WriteData({"中 [zhong1] /a/"});
    // A child that points back at the root.
    WriteIndex("00 00 01 00 00 00 2D 4E 10 01 00 00");
    EXPECT_THROW(Lookup("中"), IoError);
    EXPECT_THROW(List(u""), IoError);
    // A child that points at itself.
    WriteIndex("00 00 01 00 00 00 2D 4E 1C 01 00 00  00 00 01 00 00 00 2D 4E 1C 01 00 00");
    EXPECT_THROW(Lookup("中中"), IoError);
    EXPECT_THROW(List(u""), IoError);
    // Two siblings that point at the same record (a revisit).
    WriteIndex(
        "00 00 02 00 00 00 2D 4E 22 01 00 00 FD 56 22 01 00 00"
        "01 00 00 00 00 00 00 00 00 00");
    EXPECT_THROW(List(u""), IoError);
    // Offset count past the end.
    WriteIndex("00 00 01 00 00 00 2D 4E 1C 01 00 00  FF FF 00 00 00 00");
    EXPECT_THROW(Lookup("中"), IoError);
    // Child count past the end, and a negative child count.
    WriteIndex("00 00 FF FF FF 0F 2D 4E 1C 01 00 00");
    EXPECT_THROW(Lookup("中"), IoError);
    WriteIndex("00 00 FF FF FF FF");
    EXPECT_THROW(Lookup("中"), IoError);
    EXPECT_THROW(List(u""), IoError);
    // An entry offset outside the data file.
    WriteIndex("00 00 01 00 00 00 2D 4E 1C 01 00 00  01 00 00 10 00 00 00 00 00 00");
    EXPECT_THROW(Lookup("中"), IoError);
    WriteIndex("00 00 01 00 00 00 2D 4E 1C 01 00 00  01 00 FF FF FF FF 00 00 00 00");
    EXPECT_THROW(Lookup("中"), IoError);
}

// Random damage never crashes or hangs: every call returns or throws IoError. The damage does
// reach the walk: some calls fail, some still answer, and some of those answers differ from the
// ones of the whole index.
TEST_F(DicTest, DamagedIndexesNeverCrash) {
    Build({"中 [zhong1] /middle/", "中国 [zhong1 guo2] /China/", "国 [guo2] /country/",
           "國 [guo2] /country/", "中文 [zhong1 wen2] /Chinese/"},
          true, true);
    const std::string whole = test::ReadBytes(IndexPath());
    const std::vector<const char*> queries{"", "中", "中国", "国", "zhong"};
    std::vector<std::string> wholeLookups;
    std::vector<Texts> wholeLists;
    for (const char* q : queries) {
        wholeLookups.push_back(Lookup(q));
        wholeLists.push_back(List(W(q)));
    }
    // Each call answers as the whole index does, answers otherwise, or throws IoError; counted
    // apart for lookups (0) and word lists (1, which read only the index).
    int same[2] = {}, changed[2] = {}, errors[2] = {};
    auto count = [&](int kind, const auto& call, const auto& wholeAnswer) {
        try {
            ++(call() == wholeAnswer ? same : changed)[kind];
        } catch (const IoError&) {
            ++errors[kind];
        }
    };
    std::mt19937 rng(12345);
    for (int round = 0; round < 400; ++round) {
        std::string bytes = whole;
        int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i) {
            std::size_t at = kIndexHeaderSize + rng() % (bytes.size() - kIndexHeaderSize);
            bytes[at] = static_cast<char>(rng());
        }
        WriteBytes(IndexPath(), bytes);
        for (std::size_t q = 0; q < queries.size(); ++q) {
            count(
                0, [&] { return Lookup(queries[q]); }, wholeLookups[q]);
            count(
                1, [&] { return List(W(queries[q])); }, wholeLists[q]);
        }
    }
    for (int kind : {0, 1}) {
        const std::string counts = std::string(kind == 0 ? "lookups: " : "word lists: ") +
                                   std::to_string(same[kind]) + " same, " +
                                   std::to_string(changed[kind]) + " changed, " +
                                   std::to_string(errors[kind]) + " errors";
        EXPECT_GT(errors[kind], 0) << counts;
        EXPECT_GT(same[kind] + changed[kind], 0) << counts;
        EXPECT_GT(changed[kind], 0) << counts;
    }
}

// A chain of nodes far deeper than any call stack could follow by recursion.
TEST_F(DicTest, VeryDeepIndexIsWalkedWithoutRecursion) {
    WriteData({"a [p] /x/"});
    const int depth = 200000;
    std::string nodes;
    for (int i = 0; i < depth; ++i) {
        int32_t next = kIndexHeaderSize + 12 * (i + 1);
        nodes += std::string("\0\0\1\0\0\0a\0", 8);
        for (int b = 0; b < 4; ++b)
            nodes += static_cast<char>((next >> (8 * b)) & 0xFF);
    }
    nodes += std::string("\1\0\0\0\0\0\0\0\0\0", 10);
    WriteBytes(IndexPath(), std::string(kIndexHeaderSize, '\0') + nodes);
    const std::u16string query(depth, u'a');
    EXPECT_EQ(Lookup(query), Entry("a [p] /x/"));
    EXPECT_EQ(List(u"a"), Texts{query});
    DicReader reader(dic, dir_.path(), true);
    std::vector<int32_t> found;
    EXPECT_EQ(reader.Longest(query + u"b", found), depth);
    EXPECT_EQ(found, std::vector<int32_t>{0});
}

TEST_F(DicTest, OneReaderAnswersLikeFreshOnes) {
    Build({"我 [wo3] /I/", "是 [shi4] /is/", "學生 [xue2 sheng1] /student/", "学 [xue2] /learn/"});
    DicReader reader(dic, dir_.path(), true);
    std::vector<int32_t> found;
    for (const char* q : {"我", "是", "学生", "學生", "学", "我是", "", "学生", "我"}) {
        reader.Exact(W(q), found);
        std::string lines;
        for (int32_t off : found)
            lines += Utf16ToUtf8(reader.ReadEntryLine(off)) + "\n";
        EXPECT_EQ(lines, Lookup(q)) << q;
    }
    EXPECT_EQ(reader.Longest(W("学生们"), found), 2);
    EXPECT_EQ(reader.Longest(W("学习"), found), 1);
    EXPECT_EQ(reader.Longest(W("我是"), found), 1);
    EXPECT_EQ(reader.Longest(W("你"), found), 0);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(reader.Longest(u"", found), 0);
    reader.close();
    EXPECT_THROW(reader.ReadEntryLine(0), IoError);
}

// The fast walk (one reader, cached records, children looked up by code unit in large
// nodes) against the literal walk, on generated dictionaries with headwords, translation
// words and pinyin, both forms on and off.
TEST_F(DicTest, FastWalkEqualsTheLiteralWalk) {
    // A small alphabet gives deep shared paths; a large one gives nodes with many children.
    const std::u16string small = W("中国國人民文学學");
    std::u16string large = W("国國学學生中人大並併并竝乾幹干夾袷夹龍龙馬马來来個个們们書书");
    for (char16_t c = 0x4E00; large.size() < 200; ++c)
        large += c;
    const char* latin[] = {"a", "an", "ab", "abc", "learn", "lea", "le", "zhong", "guo", "xue"};
    std::mt19937 rng(2024);
    int hits = 0;
    for (int round = 0; round < 12; ++round) {
        const std::u16string& alphabet = round % 3 == 2 ? large : small;
        auto randomText = [&](int maxLen) {
            std::u16string s;
            int len = 1 + static_cast<int>(rng() % maxLen);
            for (int i = 0; i < len; ++i)
                s += alphabet[rng() % alphabet.size()];
            return s;
        };
        std::vector<std::string> lines;
        int keys = alphabet.size() > 100 ? 400 : 5 + static_cast<int>(rng() % 30);
        for (int k = 0; k < keys; ++k) {
            std::string pinyin = std::string(latin[rng() % 10]) + "1 " + latin[rng() % 10] + "2";
            lines.push_back(Utf16ToUtf8(randomText(4)) + " [" + pinyin + "] /" + latin[rng() % 10] +
                            " e" + std::to_string(k) + "/");
        }
        Build(lines, round % 2 == 0, round % 4 < 2);
        for (bool both : {true, false}) {
            DicReader reader(dic, dir_.path(), both);
            std::vector<int32_t> found;
            for (int t = 0; t < 40; ++t) {
                std::u16string text = t % 4 == 3 ? W(latin[rng() % 10]) : randomText(7);
                const std::string where = Utf16ToUtf8(text) + " both=" + std::to_string(both) +
                                          " round " + std::to_string(round);
                const int expected = test::ReferenceLongest(dic, dir_.path(), text, both);
                ASSERT_EQ(reader.Longest(text, found), expected) << where;
                if (expected > 0) {
                    ASSERT_EQ(found, test::ReferenceExact(dic, dir_.path(),
                                                          text.substr(0, expected), both))
                        << where;
                }
                reader.Exact(text, found);
                ASSERT_EQ(found, test::ReferenceExact(dic, dir_.path(), text, both)) << where;
                hits += found.empty() ? 0 : 1;
                const std::u16string prefix = text.substr(0, 1 + rng() % text.size());
                std::vector<std::u16string> words;
                reader.ListWords(prefix, [&](const std::u16string& w) { words.push_back(w); });
                ASSERT_EQ(words, test::ReferenceListWords(dic, dir_.path(), prefix, both)) << where;
            }
        }
    }
    EXPECT_GT(hits, 20);  // the comparison saw real entries
}

}  // namespace
}  // namespace kes
