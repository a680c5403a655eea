#include "app/queryflow.h"
#include "app/textwriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "base/filesystem.h"
#include "base/text.h"
#include "charinfo/ucs2view.h"
#include "dict/builder.h"
#include "dict/indexformat.h"
#include "support/reference.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::MakeDict;
using test::W;

using test::TempDir;
using test::Ucs2File;
using test::WriteBytes;

// The grey line of a page on which nothing was found, around `text`.
std::string NothingFound(const std::string& text) {
    return "<p><font color=\"#777777\"><i>Nothing found for " + text + "</i></font></p>";
}

Registry Discover(const TempDir& dir) {
    Registry reg;
    DiscoverDictionaries(reg, dir.path(), RegistryCallbacks{});
    return reg;
}

class Search : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeDict(dir, "a", "First",
                 {"我 [wo3] /I/me/", "是 [shi4] /to be/", "学生 [xue2 sheng5] /student/",
                  "中 [zhong1] /middle/", "中国 [zhong1 guo2] /China/", "ABC [A B C] /alphabet/"});
        MakeDict(dir, "b", "Second", {"我是 [wo3 shi4] /it's me/", "生 [sheng1] /to be born/"});
        reg = Discover(dir);
        ASSERT_EQ(reg.Dicts.size(), 2u);
    }
    // What the per-call lookup gives for one dictionary.
    std::string Lw(std::size_t i, const char* q) {
        return test::ReferenceLookupHtml(reg.Dicts[i], dir.path(), W(q), options.SearchBoth,
                                         options.Fonts);
    }
    std::string Block(std::size_t i, const std::string& html) {
        return DictHeadingHtml(reg.Dicts[i].Description) + html + std::string(kDictSpacerHtml);
    }
    SearchResult Run(const char* q, int number = 0, bool record = true) {
        return RunSearch(reg, history, W(q), number, record, options);
    }

    TempDir dir;
    Registry reg;
    QueryHistory history;
    SearchOptions options;
};

TEST_F(Search, BlankQueryChangesNothing) {
    SearchResult r = Run(" \t  ");
    EXPECT_FALSE(r.Changed);
    EXPECT_EQ(r.FieldText, u"");
    EXPECT_EQ(history.P, 0);
    EXPECT_TRUE(r.Dicts.empty());
}

TEST_F(Search, ReferencesAreDecodedForTheFieldAndTheSearch) {
    for (const char* typed : {"  &#20013; ", "U+4E2D"}) {
        SearchResult r = Run(typed);
        ASSERT_TRUE(r.ok()) << r.Error;
        EXPECT_TRUE(r.Changed);
        EXPECT_EQ(r.FieldText, W("中"));
        EXPECT_EQ(r.Page, Block(0, Lw(0, "中")));
        ASSERT_EQ(r.Dicts.size(), 2u);
        EXPECT_EQ(r.Dicts[0].Words, (std::vector<std::u16string>{W("中"), W("中国")}));
        EXPECT_TRUE(r.Dicts[1].Listed);
        EXPECT_TRUE(r.Dicts[1].Words.empty());
    }
    EXPECT_EQ(history.H(10), W("中"));
    EXPECT_EQ(history.H(9), u"");
}

TEST_F(Search, CapitalsAreKeptForTheFieldButSearchedLowercased) {
    SearchResult r = Run("ABC");
    EXPECT_EQ(r.FieldText, u"ABC");
    EXPECT_EQ(history.H(10), u"ABC");
    EXPECT_EQ(r.Query, u"abc");
    // The headword key "ABC" is never reached; the translation word "alphabet" is not "abc".
    EXPECT_EQ(r.Page, NothingFound("\"ABC\"."));
    r = Run("ALPHABET");
    EXPECT_EQ(r.Page, Block(0, Lw(0, "alphabet")));
    EXPECT_NE(Lw(0, "alphabet"), "");
}

TEST_F(Search, TranslateTextCutsChineseTextPerDictionary) {
    options.TranslateAll = true;
    SearchResult r = Run("我是学生");
    ASSERT_TRUE(r.ok()) << r.Error;
    ASSERT_EQ(r.Dicts.size(), 2u);
    EXPECT_EQ(r.Dicts[0].Pieces, (std::vector<std::u16string>{W("我"), W("是"), W("学生")}));
    // The second dictionary cuts the same text its own way: 我是, then 生 (学 is skipped).
    EXPECT_EQ(r.Dicts[1].Pieces, (std::vector<std::u16string>{W("我是"), W("生")}));
    EXPECT_EQ(r.Page, Block(0, Lw(0, "我") + Lw(0, "是") + Lw(0, "学生")) +
                          Block(1, Lw(1, "我是") + Lw(1, "生")));
}

TEST_F(Search, NonChineseTextIsLookedUpWholeWithTheNotice) {
    options.TranslateAll = true;
    for (const char* q : {"我是a学生", "我是 学生", "我"}) {
        SearchResult r = Run(q);
        ASSERT_TRUE(r.ok());
        if (std::string(q) == "我") {
            EXPECT_FALSE(r.NonChinese);
            EXPECT_EQ(r.Page, Block(0, Lw(0, "我")));
        } else {
            EXPECT_TRUE(r.NonChinese);
            EXPECT_EQ(r.Page, std::string(kNoticeHtml));
        }
    }
    // With the option off there is no notice.
    options.TranslateAll = false;
    EXPECT_EQ(Run("我是a学生").Page, NothingFound("\"我是a学生\"."));
}

TEST_F(Search, NothingFoundGivesOnlyTheOptionalLines) {
    // A page that would be empty says that nothing was found, in the letter case typed; a
    // Chinese text looked up as one word gets the way to cut it into words.
    const std::vector<std::pair<const char*, std::string>> rows = {
        {"没有", "\"没有\" as one word. Turn on 'Translate text (instead of word)' to cut it "
                 "into words."},
        {"没", "\"没\"."},
        {"XyZ", "\"XyZ\"."},
        {"没 有", "\"没 有\"."},
        {"a<b>&\"", "\"a&lt;b&gt;&amp;&quot;\"."},
    };
    for (const auto& [q, line] : rows)
        EXPECT_EQ(Run(q).Page, NothingFound(line)) << q;
    // Cut into words and still nothing: no advice.
    options.TranslateAll = true;
    EXPECT_EQ(Run("没有").Page, NothingFound("\"没有\"."));
    options.TranslateAll = false;
    options.ShowUcs2 = true;
    EXPECT_EQ(Run("没有").Page, Ucs2ViewHtml(W("没有"), true));
    // Entries, then the UCS-2 line.
    EXPECT_EQ(Run("中国").Page, Block(0, Lw(0, "中国")) + Ucs2ViewHtml(W("中国"), true));
}

TEST_F(Search, UnihanBlockFollowsTheUcs2Line) {
    WriteBytes(dir.file("unihan.txt"), "U+4E2D\tkDefinition\tcentre\n");
    ASSERT_TRUE(BuildUnihanIndex(dir.file("unihan.txt"), dir.file("unihan.idc")).outcome.ok);
    reg = Discover(dir);
    options.ShowUcs2 = true;
    options.ShowUnihan = true;
    options.Fonts.ChrFontface = "Big";
    options.Fonts.DscFontface = "Small";
    SearchResult r = Run("中");
    EXPECT_EQ(r.Page, Block(0, Lw(0, "中")) + Ucs2ViewHtml(W("中"), true) +
                          UnihanInfoHtml(W("中"), reg.Unihan, true, "Big", "Small"));
    EXPECT_NE(r.Page.find("centre"), std::string::npos);
}

TEST_F(Search, DisabledAndSingleDictionarySearches) {
    reg.Dicts[0].Enabled = false;
    SearchResult r = Run("我");
    ASSERT_EQ(r.Dicts.size(), 1u);
    EXPECT_EQ(r.Dicts[0].Position, 1u);
    EXPECT_EQ(r.Page, NothingFound("\"我\"."));  // "我" alone is not in the second dictionary

    reg.Dicts[0].Enabled = true;
    // A word item of the second dictionary: only it is searched, nothing is listed.
    r = Run("我是", 2);
    ASSERT_EQ(r.Dicts.size(), 1u);
    EXPECT_FALSE(r.AllDictionaries);
    EXPECT_FALSE(r.Dicts[0].Listed);
    EXPECT_EQ(r.Page, Block(1, Lw(1, "我是")));
    // A number that is no position searches nothing.
    EXPECT_TRUE(Run("我是", 7).Dicts.empty());
}

TEST_F(Search, InputOutputErrorKeepsFieldAndHistory) {
    std::filesystem::remove(dir.file("b.ced"));
    SearchResult r = Run("我是");
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.Error.find("b.ced"), std::string::npos) << r.Error;
    EXPECT_EQ(r.FieldText, W("我是"));
    EXPECT_EQ(history.H(10), W("我是"));
    EXPECT_EQ(r.Page, "");
    // The second dictionary's words were listed before its lookup failed.
    ASSERT_EQ(r.Dicts.size(), 2u);
    EXPECT_EQ(r.Dicts[1].Words, (std::vector<std::u16string>{W("我是")}));
}

// d.idx for d.ced in `dir`: a valid header (name "D") and node records given in hexadecimal.
void WriteHandMadeIndex(const TempDir& dir, const char* nodesHex) {
    IndexHeader h;
    h.Description = MakeDescription(u"D");
    h.DataSize = static_cast<int32_t>(FileSizeOf(dir.file("d.ced")));
    h.DataAge = FileDosTime(dir.file("d.ced"));
    ByteFile f(dir.file("d.idx"), OpenMode::Create);
    WriteIndexHeader(f, h);
    const std::string nodes = test::FromHex(nodesHex);
    f.write(nodes.data(), nodes.size());
    f.close();
}

TEST(SearchDamagedIndex, RecordReachedTwiceEndsTheSearchLikeALookup) {
    TempDir dir;
    WriteBytes(dir.file("d.ced"), Ucs2File({"国 [guo2] /country/"}));
    // Root with two children, 國 and 国, that both point at the same record.
    WriteHandMadeIndex(dir,
                       "00 00 02 00 00 00 0B 57 22 01 00 00 FD 56 22 01 00 00"
                       "01 00 00 00 00 00 00 00 00 00");
    Registry reg = Discover(dir);
    ASSERT_EQ(reg.Dicts.size(), 1u);
    EXPECT_THROW(test::ReferenceLookupHtml(reg.Dicts[0], dir.path(), W("国"), true), IoError);
    for (bool cut : {false, true}) {
        SearchOptions o;
        o.TranslateAll = cut;
        QueryHistory history;
        SearchResult r = RunSearch(reg, history, W("国"), 1, true, o);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.Error.find("d.idx"), std::string::npos) << r.Error;
    }
    // Without both forms only one path is followed, and the entry is found.
    SearchOptions o;
    o.SearchBoth = false;
    QueryHistory history;
    SearchResult r = RunSearch(reg, history, W("国"), 1, true, o);
    EXPECT_TRUE(r.ok()) << r.Error;
    EXPECT_EQ(r.Dicts[0].Pieces.size(), 1u);
}

TEST(QueryHistoryWalk, BackAndForward) {
    QueryHistory h;
    EXPECT_EQ(h.Back(), std::nullopt);
    for (const char* q : {"A", "B", "C"})
        h.Record(Utf8ToUtf16(q));
    EXPECT_EQ(h.P, 10);
    EXPECT_EQ(h.Back(), std::optional<std::u16string>(u"B"));
    EXPECT_EQ(h.Back(), std::optional<std::u16string>(u"A"));
    EXPECT_EQ(h.Back(), std::nullopt);  // H7 is empty
    EXPECT_EQ(h.P, 8);
    EXPECT_EQ(h.Fwd(), std::optional<std::u16string>(u"B"));
    EXPECT_EQ(h.Fwd(), std::optional<std::u16string>(u"C"));
    EXPECT_EQ(h.Fwd(), std::nullopt);
    EXPECT_EQ(h.P, 10);
    h.Back();
    h.Back();
    h.Record(u"A");  // already there: nothing changes, not even the position
    EXPECT_EQ(h.P, 8);
    EXPECT_EQ(h.H(10), u"C");
}

TEST(QueryHistoryWalk, ForwardFromTheStartMovesToEmptySlots) {
    QueryHistory h;
    EXPECT_EQ(h.Fwd(), std::optional<std::u16string>(u""));
    EXPECT_EQ(h.P, 1);
}

TEST(QueryHistoryWalk, EleventhQueryDropsTheFirst) {
    QueryHistory h;
    for (int i = 1; i <= 11; ++i)
        h.Record(U("q" + std::to_string(i)));
    EXPECT_EQ(h.H(1), u"q2");
    EXPECT_EQ(h.H(10), u"q11");
    for (int i = 0; i < 9; ++i)
        EXPECT_TRUE(h.Back().has_value());
    EXPECT_EQ(h.P, 1);
    EXPECT_EQ(h.Back(), std::nullopt);
}

TEST_F(Search, HistoryThroughRunSearch) {
    Run("A");
    Run("B");
    Run("C");
    auto back = history.Back();
    ASSERT_TRUE(back.has_value());
    SearchResult r = Run(Utf16ToUtf8(*back).c_str(), 0, false);
    EXPECT_EQ(r.FieldText, u"B");
    EXPECT_EQ(history.P, 9);
    EXPECT_EQ(history.H(10), u"C");
}

TEST_F(Search, OffsetsOfEachPieceRenderToItsEntries) {
    options.TranslateAll = true;
    for (const char* q : {"中国", "我是学生", "中", "学生中国我"}) {
        SearchResult r = Run(q);
        ASSERT_TRUE(r.ok()) << r.Error;
        std::string page;
        for (const DictSearchResult& d : r.Dicts) {
            ASSERT_EQ(d.Offsets.size(), d.Pieces.size());
            ByteFile data(DataPathOf(reg.Dicts[d.Position], dir.path()), OpenMode::Read);
            std::string html;
            for (std::size_t p = 0; p < d.Pieces.size(); ++p) {
                ShownOffsets shown;
                std::string piece;
                for (int32_t off : d.Offsets[p])
                    piece += RenderEntry(data, off, shown, PageFonts{}, true);
                EXPECT_EQ(piece, test::ReferenceLookupHtml(reg.Dicts[d.Position], dir.path(),
                                                           d.Pieces[p], true));
                html += piece;
            }
            if (!html.empty()) page += Block(d.Position, html);
        }
        // The page is the dictionaries' blocks of these entries, in this order.
        EXPECT_EQ(r.Page, page) << q;
    }
}

TEST_F(Search, AnotherWriterGetsTheSameEntries) {
    options.TranslateAll = true;
    for (const char* q : {"我是学生", "中国中"}) {
        SearchResult full = Run(q);
        TextWriter text;
        SearchResult bare = RunSearch(reg, history, W(q), 0, true, options, text);
        ASSERT_EQ(full.Dicts.size(), bare.Dicts.size());
        for (std::size_t i = 0; i < full.Dicts.size(); ++i) {
            EXPECT_EQ(bare.Dicts[i].Pieces, full.Dicts[i].Pieces);
            EXPECT_EQ(bare.Dicts[i].Offsets, full.Dicts[i].Offsets);
        }
        EXPECT_EQ(bare.Page, "");
    }
}

// The greedy cut as literally described: every length from the longest down, each a
// separate lookup that opens and closes the files.
std::string LiteralPage(const Registry& reg, const std::u16string& q, const SearchOptions& o) {
    std::string page;
    for (const TDic& dic : reg.Dicts) {
        std::string html;
        std::size_t t = 0;
        while (t < q.size()) {
            std::size_t found = 0;
            for (std::size_t len = q.size() - t; len >= 1; --len) {
                std::string piece = test::ReferenceLookupHtml(dic, reg.Folder, q.substr(t, len),
                                                              o.SearchBoth, o.Fonts);
                if (!piece.empty()) {
                    html += piece;
                    found = len;
                    break;
                }
            }
            t += found > 0 ? found : 1;
        }
        if (!html.empty())
            page += DictHeadingHtml(dic.Description) + html + std::string(kDictSpacerHtml);
    }
    if (page.empty()) page = NothingFound("\"" + Utf16ToUtf8(q) + "\".");
    return page;
}

std::u16string RandomText(const std::u16string& alphabet, std::size_t n, std::mt19937& rng) {
    std::u16string text;
    while (text.size() < n)
        text += alphabet[rng() % alphabet.size()];
    return text;
}

// "Translate text" with or without both forms.
SearchOptions CutOptions(bool both) {
    SearchOptions o;
    o.TranslateAll = true;
    o.SearchBoth = both;
    return o;
}

TEST(SearchSegmentation, FastCutEqualsTheLiteralAlgorithm) {
    // Characters with traditional/simplified pairs, so both settings of the option matter;
    // the large alphabet gives nodes with many children (those are looked up by index).
    const std::u16string small = W("国國学學生中人大");
    std::u16string large = W("国國学學生中人大並併并竝乾幹干夾袷夹龍龙馬马來来個个們们書书");
    for (char16_t c = 0x4E00; large.size() < 200; ++c)
        large += c;
    std::mt19937 rng(20261209);
    int found = 0;
    for (int round = 0; round < 8; ++round) {
        const std::u16string& alphabet = round % 2 == 0 ? small : large;
        TempDir dir;
        for (int d = 0; d < 2; ++d) {
            std::vector<std::string> lines;
            int entries = alphabet.size() > 100 ? 300 + static_cast<int>(rng() % 100)
                                                : 10 + static_cast<int>(rng() % 30);
            for (int e = 0; e < entries; ++e) {
                std::u16string word;
                int len = 1 + static_cast<int>(rng() % 4);
                for (int k = 0; k < len; ++k)
                    word += alphabet[rng() % alphabet.size()];
                lines.push_back(Utf16ToUtf8(word) + " [p" + std::to_string(e) + "] /s" +
                                std::to_string(e) + "/");
            }
            MakeDict(dir, "d" + std::to_string(d), "D" + std::to_string(d), lines);
        }
        Registry reg = Discover(dir);
        ASSERT_EQ(reg.Dicts.size(), 2u);
        for (int t = 0; t < 8; ++t) {
            const std::u16string text = RandomText(alphabet, 1 + rng() % 24, rng);
            for (bool both : {true, false}) {
                SearchOptions o = CutOptions(both);
                QueryHistory h;
                SearchResult r = RunSearch(reg, h, text, 0, true, o);
                ASSERT_TRUE(r.ok()) << r.Error;
                EXPECT_EQ(r.Page, LiteralPage(reg, text, o))
                    << "round " << round << " text " << Utf16ToUtf8(text) << " both " << both;
                // Without the cut: one lookup of the whole text (short texts, to find some).
                o.TranslateAll = false;
                std::u16string word = text.substr(0, 1 + rng() % 3);
                r = RunSearch(reg, h, word, 0, true, o);
                std::string expected;
                for (const TDic& dic : reg.Dicts) {
                    std::string html =
                        test::ReferenceLookupHtml(dic, reg.Folder, word, both, o.Fonts);
                    if (!html.empty())
                        expected +=
                            DictHeadingHtml(dic.Description) + html + std::string(kDictSpacerHtml);
                }
                found += expected.empty() ? 0 : 1;
                if (expected.empty()) {
                    expected = NothingFound(
                        "\"" + Utf16ToUtf8(word) + "\"" +
                        (word.size() > 1 ? " as one word. Turn on 'Translate text (instead of "
                                           "word)' to cut it into words."
                                         : "."));
                }
                EXPECT_EQ(r.Page, expected) << Utf16ToUtf8(word);
            }
        }
    }
    EXPECT_GT(found, 10);  // the comparison saw real hits
}

// A page written out as it is made (the command line's --html) is the page the window gets,
// byte for byte, over many pieces; a write that fails ends the search with its error.
TEST(SearchSegmentation, PageWrittenOutEqualsThePageKept) {
    std::u16string alphabet = W("国國学學生中人大");
    for (char16_t c = 0x4E00; alphabet.size() < 60; ++c)
        alphabet += c;
    std::mt19937 rng(99);
    TempDir dir;
    for (int d = 0; d < 2; ++d) {
        std::vector<std::string> lines;
        for (int e = 0; e < 400; ++e) {
            std::u16string word;
            for (int k = 0, len = 1 + static_cast<int>(rng() % 3); k < len; ++k)
                word += alphabet[rng() % alphabet.size()];
            lines.push_back(Utf16ToUtf8(word) + " [pin" + std::to_string(e) + "] /sense " +
                            std::to_string(e) + "/other [bs]x[be]|note/");
        }
        MakeDict(dir, "d" + std::to_string(d), "D" + std::to_string(d), lines);
    }
    Registry reg = Discover(dir);
    const std::u16string text = RandomText(alphabet, 6000, rng);
    for (bool both : {true, false}) {
        SearchOptions o = CutOptions(both);
        QueryHistory h;
        const SearchResult kept = RunSearch(reg, h, text, 0, true, o);
        ASSERT_TRUE(kept.ok()) << kept.Error;
        ASSERT_GT(kept.Page.size(), 3 * PageBuffer::kSinkPieceBytes);
        std::string written;
        int writes = 0;
        o.PageOut = [&](std::string_view bytes) {
            written += bytes;
            ++writes;
        };
        const SearchResult streamed = RunSearch(reg, h, text, 0, true, o);
        ASSERT_TRUE(streamed.ok()) << streamed.Error;
        EXPECT_EQ(streamed.Page, "");
        EXPECT_GT(writes, 3);
        EXPECT_TRUE(written == kept.Page) << "both " << both;
        ASSERT_EQ(streamed.Dicts.size(), kept.Dicts.size());
        for (std::size_t i = 0; i < kept.Dicts.size(); ++i) {
            EXPECT_EQ(streamed.Dicts[i].Pieces, kept.Dicts[i].Pieces);
            EXPECT_EQ(streamed.Dicts[i].Words, kept.Dicts[i].Words);
        }
        // The second write fails: the search ends with that error, nothing more is written.
        writes = 0;
        o.PageOut = [&](std::string_view) {
            if (++writes == 2) throw IoError("standard output", "No space left on device");
        };
        const SearchResult failed = RunSearch(reg, h, text, 0, true, o);
        EXPECT_EQ(failed.Error, "No space left on device: standard output");
        EXPECT_EQ(writes, 2);
    }
}

TEST(SearchSegmentation, SegmentTextGivesThePieces) {
    TempDir dir;
    MakeDict(dir, "a", "A", {"我 [wo3] /I/", "学生 [xue2 sheng5] /student/", "是 [shi4] /be/"});
    Registry reg = Discover(dir);
    EXPECT_EQ(SegmentText(reg.Dicts[0], W("我是学生x学"), dir.path(), true),
              (std::vector<std::u16string>{W("我"), W("是"), W("学生")}));
}

// An entry that two matching paths carry is shown once per lookup.
TEST(SearchDamagedIndex, EntryOnTwoPathsIsShownOnce) {
    TempDir dir;
    WriteBytes(dir.file("d.ced"), Ucs2File({"國 [guo2] /country/", "囯 [guo2] /other/"}));
    // root -> 國 (offset 0) and 国 (offsets 0, 40): 国 reaches both paths.
    WriteHandMadeIndex(dir,
                       "00 00 02 00 00 00 0B 57 22 01 00 00 FD 56 2C 01 00 00"
                       "01 00 00 00 00 00 00 00 00 00"
                       "02 00 00 00 00 00 28 00 00 00 00 00 00 00");
    Registry reg = Discover(dir);
    ASSERT_EQ(reg.Dicts.size(), 1u);
    const std::string first = RenderEntryLine(W("國 [guo2] /country/"), PageFonts{}, true);
    const std::string second = RenderEntryLine(W("囯 [guo2] /other/"), PageFonts{}, true);
    for (int run = 0; run < 2; ++run) {  // each search starts afresh
        QueryHistory history;
        SearchResult r = RunSearch(reg, history, W("国"), 1, true, SearchOptions{});
        ASSERT_TRUE(r.ok()) << r.Error;
        ASSERT_EQ(r.Dicts.size(), 1u);
        EXPECT_EQ(r.Page, DictHeadingHtml(u"D") + first + second + std::string(kDictSpacerHtml));
        EXPECT_EQ(r.Dicts[0].Offsets, (std::vector<std::vector<int32_t>>{{0, 40}}));
    }
}

TEST(SearchOptionsFromSettings, CopiesOptionsAndPageFonts) {
    Settings s;
    s.TranslateAll = true;
    s.SearchBoth = false;
    s.ShowUnihan = true;
    s.PinFontface = "Pin";
    s.DscFontsize = 9;
    SearchOptions o = SearchOptionsOf(s);
    EXPECT_TRUE(o.TranslateAll);
    EXPECT_FALSE(o.SearchBoth);
    EXPECT_FALSE(o.ShowUcs2);
    EXPECT_TRUE(o.ShowUnihan);
    EXPECT_EQ(o.Fonts.PinFontface, "Pin");
    EXPECT_EQ(o.Fonts.DscFontsize, 9);
    EXPECT_EQ(o.Fonts.ChrFontface, "Arial");
    EXPECT_TRUE(HasNonChinese(u"\u33FF"));
    EXPECT_FALSE(HasNonChinese(u"\u3400\U00020000\uFF21"));
}

}  // namespace
}  // namespace kes

namespace kes {
namespace {

TEST(PopupScan, ChineseTextsOfAtMostAHundredCharacters) {
    EXPECT_TRUE(IsScanText(u"学习"));
    EXPECT_TRUE(IsScanText(u"  \n我是学生。\t"));
    EXPECT_TRUE(IsScanText(u"see 中国 on the map"));
    EXPECT_TRUE(IsScanText(u"\U00020000"));  // an ideograph beyond the basic plane
    EXPECT_FALSE(IsScanText(u""));
    EXPECT_FALSE(IsScanText(u" \n "));
    EXPECT_FALSE(IsScanText(u"hello world"));
    EXPECT_FALSE(IsScanText(u"ひらがな、한국어。"));  // kana, Hangul, CJK punctuation
    EXPECT_TRUE(IsScanText(std::u16string(100, u'学')));
    EXPECT_FALSE(IsScanText(std::u16string(101, u'学')));
    // Characters are counted, not code units; blanks around the text are not counted.
    std::u16string wide;
    for (int i = 0; i < 100; ++i)
        wide += u"\U00020000";
    EXPECT_TRUE(IsScanText(u"  " + wide + u"  "));
    EXPECT_FALSE(IsScanText(wide + u"x"));
}

TEST_F(Search, PopupLooksUpAWordOrCutsAChineseText) {
    options.TranslateAll = true;  // the popup decides for itself
    // A word: looked up whole, as the viewer does; the history is not touched.
    SearchResult r = RunPopupSearch(reg, u"中国", options);
    EXPECT_EQ(r.Page, RunSearch(reg, history, u"中国", 0, false,
                                [&] {
                                    SearchOptions o = options;
                                    o.TranslateAll = false;
                                    return o;
                                }())
                          .Page);
    EXPECT_EQ(history.P, 0);
    // What was searched, for the main window to search the same.
    EXPECT_EQ(r.FieldText, u"中国");
    EXPECT_FALSE(r.TranslateAll);
    // A text that is no entry: its Chinese characters cut into words, as "Translate text" does.
    r = RunPopupSearch(reg, u"我是学生。", options);
    EXPECT_EQ(r.FieldText, u"我是学生");
    EXPECT_TRUE(r.TranslateAll);
    EXPECT_EQ(r.Page, Run("我是学生").Page);
    ASSERT_EQ(r.Dicts.size(), 2u);
    EXPECT_EQ(r.Dicts[0].Pieces, (std::vector<std::u16string>{u"我", u"是", u"学生"}));
    // Latin text is never cut; one character that is no entry stays a lookup of it.
    options.TranslateAll = false;
    EXPECT_EQ(RunPopupSearch(reg, u"abc", options).Page, Run("abc").Page);
    EXPECT_EQ(RunPopupSearch(reg, u"龍", options).Page, Run("龍").Page);
}

// A text cut into thousands of words: the popup's page holds whole entries up to about
// kPopupPageBytes and the note; the search behind it is the whole one.
TEST_F(Search, PopupPageOfALongTextStopsAfterAnEntry) {
    std::u16string text;
    for (int i = 0; i < 1500; ++i)
        text += u"我是学生，";
    const SearchResult r = RunPopupSearch(reg, text, options);
    options.TranslateAll = true;
    std::u16string chinese;
    for (int i = 0; i < 1500; ++i)
        chinese += u"我是学生";
    const SearchResult whole = RunSearch(reg, history, chinese, 0, false, options);
    ASSERT_TRUE(r.ok());
    ASSERT_GT(whole.Page.size(), 2 * kPopupPageBytes);
    EXPECT_EQ(r.Dicts[0].Offsets, whole.Dicts[0].Offsets);  // every entry was found
    ASSERT_GT(r.Page.size(), kPopupPageBytes);
    ASSERT_LT(r.Page.size(), kPopupPageBytes + 4096);
    const std::string more(kPopupMoreHtml);
    ASSERT_EQ(r.Page.substr(r.Page.size() - more.size()), more);
    const std::string shown = r.Page.substr(0, r.Page.size() - more.size());
    EXPECT_EQ(whole.Page.substr(0, shown.size()), shown);
    // It ends where an entry ends.
    int endings = 0;
    for (const char* word : {"我", "是", "学生"}) {
        const std::string entry = Lw(0, word);
        endings += shown.size() > entry.size() &&
                   shown.compare(shown.size() - entry.size(), entry.size(), entry) == 0;
    }
    EXPECT_EQ(endings, 1);
    // A short page is whole and has no note.
    EXPECT_EQ(RunPopupSearch(reg, u"我是学生，", options).Page, Run("我是学生").Page);
}

// ---------------------------------------------------------------------------------------
// "Best matches first"

// The simplified forms of the entries a search hands over, in order.
class FormsWriter : public SearchWriter {
  public:
    void BeginReading(std::u16string_view) override {}
    void BeginDict(const TDic&, std::size_t) override {}
    void BeginPiece(std::u16string_view) override {}
    void WriteEntry(const FoundEntry& found) override {
        forms.push_back(Utf16ToUtf8(found.Model.Simplified));
    }
    void EndDict() override {}
    void Finish(const SearchEnd&) override {}
    std::vector<std::string> forms;
};

class BestFirst : public ::testing::Test {
  protected:
    void SetUp() override {
        // Indexed as the bundled dictionary is: words of three letters, pinyin. The counts of
        // the word table: 人 313088, 满 9603, 男人 7291, 狗 3801, 慢 2660, 曼 690, 犬 597,
        // 走狗 530, 文人 411, 热狗 5, 狗屎 3, 汪星人 none. Without a "#" header the file keeps
        // the note rule, which the reference lookup of the page test follows.
        IndexBuildOptions bundled;
        bundled.AddPinToIndex = true;
        bundled.MinWordLength = 3;
        MakeDict(dir, "a", "Dogs and men",
                 {"熱狗 热狗 [re4 gou3] /hot dog/", "滿 满 [man3] /full/",
                  "走狗 走狗 [zou3 gou3] /hunting dog/(fig.) lackey/",
                  "狗屎 狗屎 [gou3 shi3] /dog shit/", "文人 文人 [wen2 ren2] /man of letters/",
                  "犬 犬 [quan3] /dog/", "曼 曼 [man4] /handsome/", "人 人 [ren2] /person/man/",
                  "狗 狗 [gou3] /dog/CL:隻|只[zhi1]/", "慢 慢 [man4] /slow/",
                  "男人 男人 [nan2 ren2] /man/", "汪星人 汪星人 [wang1 xing1 ren2] /(slang) dog/"},
                 bundled);
        reg = Discover(dir);
        ASSERT_EQ(reg.Dicts.size(), 1u);
    }
    std::vector<std::string> Forms(const char* q) {
        FormsWriter w;
        SearchResult r = RunSearch(reg, history, W(q), 0, false, options, w);
        EXPECT_TRUE(r.ok()) << r.Error;
        return w.forms;
    }
    using Forms_ = std::vector<std::string>;

    TempDir dir;
    Registry reg;
    QueryHistory history;
    SearchOptions options;
};

TEST_F(BestFirst, EqualSensesFirstThenBeginningsThenTheRestEachByFrequency) {
    struct Case {
        const char* query;
        Forms_ on, off;
    };
    const Case cases[] = {
        // An English word that is no pinyin: ranked whole.
        {"dog",
         {"狗", "犬", "汪星人", "狗屎", "走狗", "热狗"},
         {"热狗", "走狗", "狗屎", "犬", "狗", "汪星人"}},
        {"DOG",
         {"狗", "犬", "汪星人", "狗屎", "走狗", "热狗"},
         {"热狗", "走狗", "狗屎", "犬", "狗", "汪星人"}},
        // Also pinyin: the equal senses, then the pinyin entries as found, then the rest.
        {"man", {"人", "男人", "满", "曼", "慢", "文人"}, {"满", "文人", "曼", "人", "慢", "男人"}},
        // Pinyin (searched by its key "man", which holds the words too), words and a
        // Chinese word: as found.
        {"man4",
         {"满", "文人", "曼", "人", "慢", "男人"},
         {"满", "文人", "曼", "人", "慢", "男人"}},
        {"re gou", {"热狗"}, {"热狗"}},
        {"狗", {"狗"}, {"狗"}},
    };
    for (const Case& c : cases) {
        options.BestFirst = true;
        EXPECT_EQ(Forms(c.query), c.on) << c.query;
        options.BestFirst = false;
        EXPECT_EQ(Forms(c.query), c.off) << c.query;
    }
}

TEST_F(BestFirst, OffGivesTodaysPageByteForByte) {
    options.BestFirst = false;
    for (const char* q : {"dog", "man", "slang", "full"}) {
        SearchResult r = RunSearch(reg, history, W(q), 0, false, options);
        ASSERT_TRUE(r.ok()) << r.Error;
        EXPECT_EQ(r.Page, DictHeadingHtml(reg.Dicts[0].Description) +
                              test::ReferenceLookupHtml(reg.Dicts[0], dir.path(), W(q), true) +
                              std::string(kDictSpacerHtml))
            << q;
    }
    // On, the same entries, each once, in the other order.
    options.BestFirst = true;
    SearchResult on = RunSearch(reg, history, u"dog", 0, false, options);
    options.BestFirst = false;
    SearchResult off = RunSearch(reg, history, u"dog", 0, false, options);
    ASSERT_EQ(on.Dicts.size(), 1u);
    ASSERT_EQ(on.Dicts[0].Offsets.size(), 1u);
    std::vector<int32_t> a = on.Dicts[0].Offsets[0], b = off.Dicts[0].Offsets[0];
    EXPECT_NE(a, b);
    std::sort(a.begin(), a.end());
    EXPECT_EQ(a, b);
    EXPECT_NE(on.Page, off.Page);
}

TEST_F(BestFirst, TheOptionComesFromTheSettings) {
    Settings s;
    s.BestFirst = false;
    EXPECT_FALSE(SearchOptionsOf(s).BestFirst);
    s.BestFirst = true;
    EXPECT_TRUE(SearchOptionsOf(s).BestFirst);
}

}  // namespace
}  // namespace kes
