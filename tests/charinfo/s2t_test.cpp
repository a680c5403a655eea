#include "charinfo/s2t.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>

#include "support/tempdir.h"

namespace kes {
namespace {

char16_t Map(char16_t c) {
    return static_cast<char16_t>(S2TTable[c]);
}

TEST(S2TTable, ChangesOnlyInsideTheIdeographBlockAndIntoIt) {
    EXPECT_EQ(S2TTable[0], 0);
    int changed = 0;
    for (uint32_t i = 0; i < 65536; ++i) {
        uint16_t v = S2TTable[i];
        if (v == i) continue;
        ++changed;
        ASSERT_GE(i, kS2TFirst) << std::hex << i;
        ASSERT_LE(i, kS2TLast) << std::hex << i;
        ASSERT_GE(v, kS2TFirst) << std::hex << i;
        ASSERT_LE(v, kS2TLast) << std::hex << i;
    }
    // Thousands of traditional and variant forms.
    EXPECT_GT(changed, 2500);
}

TEST(S2TTable, ManyToOne) {
    std::map<uint16_t, int> targets;
    for (uint32_t i = 0; i < 65536; ++i) {
        if (S2TTable[i] != i) ++targets[S2TTable[i]];
    }
    int shared = 0;
    for (const auto& [v, n] : targets)
        shared += n >= 2;
    EXPECT_GT(shared, 100);
    EXPECT_EQ(targets[0x575B], 5);  // 坛: 墰 壇 壜 罈 罎
}

TEST(S2TTable, TellingRows) {
    const std::pair<const char16_t*, char16_t> rows[] = {
        {u"國", u'国'},     {u"們", u'们'},         {u"書", u'书'},       {u"龍", u'龙'},
        {u"馬", u'马'},     {u"來", u'来'},         {u"個", u'个'},       {u"並併竝", u'并'},
        {u"乾幹榦", u'干'}, {u"墰壇壜罈罎", u'坛'}, {u"囘囬廻迴", u'回'},
    };
    for (const auto& [from, to] : rows) {
        for (const char16_t* p = from; *p; ++p) {
            EXPECT_EQ(Map(*p), to) << std::hex << static_cast<int>(*p);
        }
    }
    // Variant links resolved to the right counterpart, and characters of their own kept.
    EXPECT_EQ(Map(u'妳'), u'你');
    EXPECT_EQ(Map(u'偺'), u'咱');
    EXPECT_EQ(Map(u'惇'), u'惇');
    EXPECT_EQ(Map(u'耑'), u'耑');
    EXPECT_EQ(Map(0x88B7), 0x593E);  // 袷 -> 夾
    EXPECT_EQ(Map(0x593E), 0x5939);  // 夾 -> 夹
}

TEST(S2TTable, SimplifiedFormsMapToThemselvesAndNoOtherChain) {
    std::set<uint32_t> chained;
    for (uint32_t i = 0; i < 65536; ++i) {
        uint16_t v = S2TTable[i];
        if (v != i && S2TTable[v] != v) chained.insert(i);
    }
    EXPECT_EQ(chained, std::set<uint32_t>{0x88B7});
    for (char16_t c : std::u16string(u"国们书龙马来个并干坛回夹中文学习")) {
        EXPECT_EQ(Map(c), c);
    }
}

TEST(S2TTable, ToSimplifiedCharAppliesTheTableOnceWhenOn) {
    EXPECT_EQ(ToSimplifiedChar(u'國', true), u'国');
    EXPECT_EQ(ToSimplifiedChar(u'國', false), u'國');
    EXPECT_EQ(ToSimplifiedChar(0x88B7, true), 0x593E);
    EXPECT_EQ(ToSimplifiedChar(0, true), 0);
    for (char16_t c : std::u16string(u"aZ\u00FC\u3042\u3001\U00020000\uFF21 \u9FA0")) {
        EXPECT_EQ(ToSimplifiedChar(c, true), c);
    }
}

TEST(S2TTable, ToSimplifiedText) {
    EXPECT_EQ(ToSimplifiedText(u"中國人們 abc", true), u"中国人们 abc");
    EXPECT_EQ(ToSimplifiedText(u"中國人們 abc", false), u"中國人們 abc");
    EXPECT_EQ(ToSimplifiedText(u"", true), u"");
    // Characters outside the Basic Multilingual Plane stay two unchanged code units.
    EXPECT_EQ(ToSimplifiedText(u"\U00020000袷", true), u"\U00020000夾");
    std::u16string withNul(u"a\0國", 3);
    EXPECT_EQ(ToSimplifiedText(withNul, true), std::u16string(u"a\0国", 3));
}

TEST(S2TTable, CharsMatch) {
    // Off: plain equality.
    EXPECT_TRUE(CharsMatch(u'國', u'國', false));
    EXPECT_FALSE(CharsMatch(u'国', u'國', false));
    EXPECT_FALSE(CharsMatch(u'國', u'国', false));
    // On: equal, or one is the simplified form of the other.
    EXPECT_TRUE(CharsMatch(u'國', u'国', true));
    EXPECT_TRUE(CharsMatch(u'国', u'國', true));
    EXPECT_TRUE(CharsMatch(u'並', u'并', true));
    EXPECT_TRUE(CharsMatch(u'併', u'并', true));
    EXPECT_TRUE(CharsMatch(u'并', u'並', true));
    // Two traditional forms of one simplified character do not match each other.
    EXPECT_FALSE(CharsMatch(u'併', u'並', true));
    EXPECT_FALSE(CharsMatch(u'並', u'併', true));
    // Applied once: 袷 meets 夾 but not 夹.
    EXPECT_TRUE(CharsMatch(0x88B7, 0x593E, true));
    EXPECT_FALSE(CharsMatch(0x88B7, 0x5939, true));
    EXPECT_FALSE(CharsMatch(u'a', u'b', true));
    EXPECT_TRUE(CharsMatch(0, 0, true));
    EXPECT_FALSE(CharsMatch(u'a', 0, true));
}

// The matcher, with its query's simplified form computed once, agrees with the rule written
// out from the table for every index character.
TEST(S2TTable, MatcherFollowsTheRuleForEveryIndexCharacter) {
    auto simplified = [](char16_t c) {
        return S2TTable[c] == 0 ? c : static_cast<char16_t>(S2TTable[c]);
    };
    for (char16_t q : {u'\0', u'a', u'\u56FD', u'\u570B', u'\u5E76', u'\u4E26', u'\u4F75',
                       u'\u5939', u'\u593E', u'\u88B7', char16_t(0xD840), u'\uFFFF'}) {
        for (bool both : {true, false}) {
            QueryCharMatcher m(q, both);
            for (uint32_t i = 0; i <= 0xFFFF; ++i) {
                const char16_t c = static_cast<char16_t>(i);
                const bool rule = c == q || (both && (c == simplified(q) || simplified(c) == q));
                ASSERT_EQ(m(c), rule)
                    << std::hex << i << " " << static_cast<uint32_t>(q) << " " << both;
            }
        }
    }
}

// The traditional direction: standard forms only, in Unihan's order, and never a form that
// the table does not fold back to the character asked about.
TEST(S2TTable, TraditionalForms) {
    const struct {
        char16_t c;
        std::u16string forms;
    } rows[] = {
        {u'\u5B66', u"\u5B78"},                // 学 -> 學
        {u'\u56FD', u"\u570B"},                // 国 -> 國
        {u'\u53D1', u"\u767C\u9AEE"},          // 发 -> 發 髮
        {u'\u5E72', u"\u4E7E\u5E79"},          // 干 -> 乾 幹 (not the old form 榦)
        {u'\u53F0', u"\u6AAF\u81FA\u98B1"},    // 台 -> 檯 臺 颱
        {u'\u5939', u"\u593E"},                // 夹 -> 夾
        {u'\u4EBA', u""},                      // 人: the same in both
        {u'\u570B', u""},                      // 國: already traditional
        {u'a', u""},
        {char16_t(0xFFFF), u""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(TraditionalForms(r.c), r.forms) << std::hex << static_cast<int>(r.c);
    int pairs = 0;
    for (uint32_t i = kS2TFirst; i <= kS2TLast; ++i) {
        for (char16_t t : TraditionalForms(static_cast<char16_t>(i))) {
            ASSERT_EQ(Map(t), i) << std::hex << i << " " << static_cast<int>(t);
            ++pairs;
        }
    }
    EXPECT_EQ(pairs, 2634);
}

}  // namespace
}  // namespace kes

namespace kes {
namespace {

// The committed rows are what the generator makes of the installed Unihan data.
TEST(S2TTable, GeneratedRowsAreUpToDate) {
    const std::string source = KESTRUNE_SOURCE_DIR;
    if (std::system("python3 -c 'import bz2' >/dev/null 2>&1") != 0 ||
        std::system("test -f /usr/share/unicode/Unihan_Variants.txt.bz2") != 0) {
        GTEST_SKIP() << "python3 or the Unihan data is not installed";
    }
    test::TempDir dir;
    std::string out = dir.file("rows.inc");
    ASSERT_EQ(std::system(("python3 '" + source + "/scripts/gen_s2t.py' > '" + out + "'").c_str()),
              0);
    EXPECT_EQ(test::ReadBytes(out), test::ReadBytes(source + "/src/charinfo/s2t_data.inc"));
    ASSERT_EQ(std::system(("python3 '" + source + "/scripts/gen_s2t.py' --traditional > '" + out +
                           "'").c_str()),
              0);
    EXPECT_EQ(test::ReadBytes(out), test::ReadBytes(source + "/src/charinfo/s2t_trad.inc"));
}

}  // namespace
}  // namespace kes
