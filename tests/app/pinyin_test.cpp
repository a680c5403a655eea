#include "app/pinyin.h"

#include <gtest/gtest.h>

#include "app/queryflow.h"
#include "app/resultpage.h"
#include "base/text.h"
#include "support/reference.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::MakeDict;
using test::TempDir;
using test::W;

// The readings of a query as UTF-8 text: readings separated by " | ", the keys of one
// reading by " / ".
std::string Readings(const char* query) {
    std::string out;
    for (const PinyinReading& r : PinyinReadings(W(query))) {
        if (!out.empty()) out += " | ";
        for (std::size_t i = 0; i < r.Keys.size(); ++i)
            out += (i ? " / " : "") + Utf16ToUtf8(r.Keys[i]);
    }
    return out;
}

TEST(PinyinReadingsOf, TypedFormsGiveTheIndexKeys) {
    struct Case {
        const char* typed;
        const char* keys;
    };
    const Case cases[] = {
        // joined, spaced, digits, marks, capitals
        {"zhongguo", "zhong guo | zhong gu o"},
        {"zhong guo", "zhong guo | zhong gu o"},
        {"zhong1guo2", "zhong guo | zhong gu o"},
        {"Zhong1 guo2", "zhong guo | zhong gu o"},
        {"ZHONGGUO", "zhong guo | zhong gu o"},
        {"zhōngguó", "zhong guo | zhong gu o"},
        {"Zhōng guó", "zhong guo | zhong gu o"},
        {"zho\u0304nggu\u00f3", "zhong guo | zhong gu o"},  // a combining macron
        {"xue2xi2", "xue xi | xu e xi"},
        {"ni3  hao3", "ni hao | ni ha o"},
        {"ma5", "ma"},
        // erhua
        {"yixiar", "yi xia r | yi xi a r"},
        {"yi1xia4r5", "yi xia r | yi xi a r"},
        // apostrophes always cut; ambiguous cuts longest syllable first
        {"xi'an", "xi an"},
        {"xi\u2019an", "xi an"},
        {"xian", "xian | xi an"},
        {"Xī'ān", "xi an"},
        {"xīān", "xi an"},  // a syllable carries one tone mark at most
        {"fangan", "fang an | fan gan"},
        // ü as ü, v, u:, u + combining diaeresis, and after j q x y
        {"lü", "lu: / lv / lu"},
        {"lv4", "lu: / lv / lu"},
        {"lu:4", "lu: / lv / lu"},
        {"lu\u0308", "lu: / lv / lu"},
        {"nǚrén", "nu: ren / nv ren / nu ren | nu: r en / nv r en / nu r en"},
        {"lüe", "lu:e / lve / lue | lu: e / lv e / lu e"},
        {"lue4", "lu:e / lve / lue | lu e"},
        {"xv", "xu"},
        {"jǜ", "ju"},
        {"qu:", "qu"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Readings(c.typed), c.keys) << c.typed;
}

TEST(PinyinReadingsOf, WhatIsNotPinyinIsLeftAlone) {
    for (const char* q : {"hello", "walkman", "brand", "zhongguox", "zhong6", "3zhong", "zhong 1",
                          "ni-hao", "u:", "ma:", "中国", "zhong国", "café", "zhǒ\u0304ng",
                          "ǎǒ\u0301", "", " ", "'", "ni,hao"})
        EXPECT_EQ(Readings(q), "") << q;
}

TEST(PinyinReadingsOf, ManyCutsStopAtTheLimit) {
    // Every "xian" cuts two ways: 2^8 readings are possible.
    auto readings = PinyinReadings(u"xianxianxianxianxianxianxianxian");
    ASSERT_EQ(readings.size(), kMaxPinyinReadings);
    EXPECT_EQ(readings[0].Keys[0], u"xian xian xian xian xian xian xian xian");
    EXPECT_EQ(readings[1].Keys[0], u"xian xian xian xian xian xian xian xi an");
    // A long run that cannot be cut is refused quickly, not by trying every cut.
    std::u16string hard(2000, u'a');
    hard += u'q';
    EXPECT_TRUE(PinyinReadings(hard).empty());
}

class PinyinSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        IndexBuildOptions pin;
        pin.AddPinToIndex = true;
        MakeDict(dir, "a", "Pinyin",
                 {"中國 中国 [Zhong1 guo2] /China/", "學習 学习 [xue2 xi2] /to learn/",
                  "一下兒 一下儿 [yi1 xia4 r5] /a bit/", "西安 [Xi1 an1] /Xi'an/",
                  "先 [xian1] /first/", "女人 [nu:3 ren2] /woman/", "綠 绿 [lu:4] /green/",
                  "路 [lu4] /road/", "你好 [ni3 hao3] /hello/"},
                 pin);
        MakeDict(dir, "b", "Marks", {"略 [lüè] /brief/", "西 [xī] /west/", "先 [xiān] /before/"},
                 pin);
        DiscoverDictionaries(reg, dir.path(), RegistryCallbacks{});
        ASSERT_EQ(reg.Dicts.size(), 2u);
    }
    SearchResult Run(const char* q) { return RunSearch(reg, history, W(q), 0, true, options); }
    std::string Block(std::size_t i, const char* key) {
        return DictHeadingHtml(reg.Dicts[i].Description) +
               test::ReferenceLookupHtml(reg.Dicts[i], dir.path(), W(key), true) +
               std::string(kDictSpacerHtml);
    }

    TempDir dir;
    Registry reg;
    QueryHistory history;
    SearchOptions options;
};

TEST_F(PinyinSearch, JoinedDigitsAndMarksFindTheEntries) {
    for (const char* q : {"zhongguo", "zhong1guo2", "zhōngguó", "Zhong1 guo2", "ZhongGuo"}) {
        SearchResult r = Run(q);
        ASSERT_TRUE(r.ok()) << r.Error;
        EXPECT_EQ(r.Page,
                  "<p><font color=\"#777777\"><i>Results for </i></font><font "
                  "color=\"#000000\">zhong guo</font></p>" +
                      Block(0, "zhong guo"))
            << q;
        EXPECT_EQ(r.Searched, std::vector<std::u16string>{u"zhong guo"});
        ASSERT_EQ(r.Dicts[0].Pieces, std::vector<std::u16string>{u"zhong guo"});
        EXPECT_EQ(r.Dicts[0].Offsets.size(), 1u);
        EXPECT_TRUE(r.Dicts[1].Pieces.empty());
        // The field and the history keep the query as typed; the tree lists the key.
        EXPECT_EQ(r.FieldText, W(q));
        EXPECT_EQ(history.H(10), W(q));
        EXPECT_EQ(r.Dicts[0].Words, std::vector<std::u16string>{u"zhong guo"});
    }
    EXPECT_EQ(Run("yixiar").Searched, std::vector<std::u16string>{u"yi xia r"});
    EXPECT_EQ(Run("xuexi").Searched, std::vector<std::u16string>{u"xue xi"});
}

TEST_F(PinyinSearch, EveryReadingThatFindsEntriesIsShownInOrder) {
    const std::string results =
        "<p><font color=\"#777777\"><i>Results for </i></font><font "
        "color=\"#000000\">";
    // Found as typed ("xian" is the key of 先): its entries as they are, then the other
    // reading that finds entries with its line.
    SearchResult typed = Run("xian");
    EXPECT_EQ(typed.Searched, (std::vector<std::u16string>{u"xian", u"xi an"}));
    EXPECT_EQ(typed.Page, Block(0, "xian") + Block(1, "xian") + results + "xi an</font></p>" +
                              Block(0, "xi an"));
    EXPECT_EQ(typed.Dicts[0].Pieces, (std::vector<std::u16string>{u"xian", u"xi an"}));
    EXPECT_EQ(typed.Dicts[1].Pieces, std::vector<std::u16string>{u"xian"});
    // The tree lists the words of both.
    EXPECT_EQ(typed.Dicts[0].Words, (std::vector<std::u16string>{u"xian", u"xi an"}));
    // Both cuts find entries: longest syllable first, each with the dictionaries holding it.
    SearchResult cuts = Run("xian1");
    EXPECT_EQ(cuts.Searched, (std::vector<std::u16string>{u"xian", u"xi an"}));
    EXPECT_EQ(cuts.Page, results + "xian</font></p>" + Block(0, "xian") + Block(1, "xian") +
                             results + "xi an</font></p>" + Block(0, "xi an"));
    EXPECT_EQ(cuts.Dicts[0].Pieces, (std::vector<std::u16string>{u"xian", u"xi an"}));
    EXPECT_EQ(cuts.Dicts[1].Pieces, std::vector<std::u16string>{u"xian"});
    EXPECT_EQ(Run("xiān").Searched, (std::vector<std::u16string>{u"xian", u"xi an"}));
    // Two tone marks make two syllables.
    EXPECT_EQ(Run("xīān").Searched, std::vector<std::u16string>{u"xi an"});
    EXPECT_EQ(Run("xi'an").Searched, std::vector<std::u16string>{u"xi an"});
}

TEST_F(PinyinSearch, UmlautSpellingsAndWhatStaysAsToday) {
    // CEDICT's "u:" first; the "u" of a folded ü where the data wrote ü.
    EXPECT_EQ(Run("nǚrén").Searched, std::vector<std::u16string>{u"nu: ren"});
    EXPECT_EQ(Run("lv4").Searched, std::vector<std::u16string>{u"lu:"});
    SearchResult lue = Run("lüe");
    EXPECT_EQ(lue.Searched, std::vector<std::u16string>{u"lue"});
    EXPECT_EQ(lue.Page,
              "<p><font color=\"#777777\"><i>Results for </i></font><font "
              "color=\"#000000\">lue</font></p>" +
                  Block(1, "lue"));
    // Found as typed: nothing else is searched and no line is added.
    SearchResult lu = Run("lu");
    EXPECT_TRUE(lu.Searched.empty());
    EXPECT_EQ(lu.Page, Block(0, "lu"));
    // Not pinyin, or pinyin without entries: only the line that nothing was found.
    for (const char* q : {"hellox", "zhongguoren", "qqq"}) {
        SearchResult r = Run(q);
        EXPECT_TRUE(r.Searched.empty()) << q;
        EXPECT_EQ(r.Page, "<p><font color=\"#777777\"><i>Nothing found for \"" + std::string(q) +
                              "\".</i></font></p>")
            << q;
    }
}

}  // namespace
}  // namespace kes
