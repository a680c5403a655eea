#include "charinfo/pinyinmarks.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "base/text.h"

namespace kes {
namespace {

std::string Marks(const char* stored) {
    return Utf16ToUtf8(PinyinText(Utf8ToUtf16(stored), PinyinStyle::Marks));
}

std::string Zhuyin(const char* stored) {
    return Utf16ToUtf8(PinyinText(Utf8ToUtf16(stored), PinyinStyle::Zhuyin));
}

TEST(PinyinMarks, TheStandardRuleAndTheNamedCases) {
    struct Case {
        const char* stored;
        const char* marked;
    };
    const Case cases[] = {
        {"Zhong1 guo2", "Zhōng guó"},
        {"lu:4 se4", "lǜ sè"},
        {"nu:3", "nǚ"},
        {"lv4", "lǜ"},
        {"LV4 Lu:3 Xun4", "LǛ Lǚ Xùn"},
        {"lu:e4 nu:e4 lve4", "lüè nüè lüè"},
        // a or e first, then the o of ou, else the last vowel
        {"shuai4 xue2 Ou1 zhou1 liu2 gui4 jiong3 Er4 A1", "shuài xué Ōu zhōu liú guì jiǒng Èr Ā"},
        {"ma5 de5 ni3hao3", "ma de nǐhǎo"},
        // erhua and syllables that are not Mandarin lose only their digit
        {"wan2 r5", "wán r"},
        {"xx5", "xx"},
        {"hng5", "hng"},
        // interjections without a vowel mark their n, else their m
        {"m2 m4 n3 ng2 hng4 hm1", "ḿ m\u0300 ň ńg hǹg hm\u0304"},
        {"ê1 ê2 ê3 ê4", "ê\u0304 ế ê\u030C ề"},
        // letters and punctuation inside the field stay
        {"ka1 la1 O K", "kā lā O K"},
        {"Ka3 er3 · Ma3 ke4 si1", "Kǎ ěr · Mǎ kè sī"},
        {"yi1 , er4", "yī , èr"},
        {"zhōng wén", "zhōng wén"},
        {"abc12 tai6", "abc12 tai6"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Marks(c.stored), c.marked) << c.stored;
}

TEST(PinyinMarks, PiecesCarryTheToneOfEachSyllable) {
    const auto pieces = PinyinPieces(u"Zhong1 guo2 r5, O K", PinyinStyle::Marks);
    ASSERT_EQ(pieces.size(), 6u);
    const std::u16string texts[] = {u"Zhōng", u" ", u"guó", u" ", u"r", u", O K"};
    const int tones[] = {1, 0, 2, 0, 5, 0};
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_EQ(pieces[i].text, texts[i]) << i;
        EXPECT_EQ(pieces[i].tone, tones[i]) << i;
    }
    // Stored keeps the digits; pinyin stored with marks has the tone of its mark.
    const auto stored = PinyinPieces(u"ni3 hǎo", PinyinStyle::Stored);
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0].text, u"ni3");
    EXPECT_EQ(stored[0].tone, 3);
    EXPECT_EQ(stored[2].text, u"hǎo");
    EXPECT_EQ(stored[2].tone, 3);
}

TEST(PinyinZhuyin, SyllableTable) {
    struct Case {
        const char* stored;
        const char* zhuyin;
    };
    const Case cases[] = {
        {"Zhong1 guo2", "ㄓㄨㄥ ㄍㄨㄛˊ"},
        {"lu:4 se4 ma5", "ㄌㄩˋ ㄙㄜˋ ˙ㄇㄚ"},
        {"wan2 r5 er2 er5", "ㄨㄢˊ ㄦ ㄦˊ ˙ㄦ"},
        {"zhi1 chi2 shi3 ri4 zi1 ci2 si3", "ㄓ ㄔˊ ㄕˇ ㄖˋ ㄗ ㄘˊ ㄙˇ"},
        {"ju2 qu4 xu1 jue2 quan2 xun4 jiong3", "ㄐㄩˊ ㄑㄩˋ ㄒㄩ ㄐㄩㄝˊ ㄑㄩㄢˊ ㄒㄩㄣˋ ㄐㄩㄥˇ"},
        {"yi1 ya2 ye3 yao4 you3 yan2 yin1 yang2 ying1 yong3 yu2 yue4 yuan2 yun2",
         "ㄧ ㄧㄚˊ ㄧㄝˇ ㄧㄠˋ ㄧㄡˇ ㄧㄢˊ ㄧㄣ ㄧㄤˊ ㄧㄥ ㄩㄥˇ ㄩˊ ㄩㄝˋ ㄩㄢˊ ㄩㄣˊ"},
        {"wu3 wa1 wo3 wai4 wei4 wan3 wen2 wang2 weng1",
         "ㄨˇ ㄨㄚ ㄨㄛˇ ㄨㄞˋ ㄨㄟˋ ㄨㄢˇ ㄨㄣˊ ㄨㄤˊ ㄨㄥ"},
        {"liu2 gui4 dun4 dong1 xiong2", "ㄌㄧㄡˊ ㄍㄨㄟˋ ㄉㄨㄣˋ ㄉㄨㄥ ㄒㄩㄥˊ"},
        {"e4 ai4 ei2 ao4 ou1 an1 en1 ang2 eng1 a1 o2", "ㄜˋ ㄞˋ ㄟˊ ㄠˋ ㄡ ㄢ ㄣ ㄤˊ ㄥ ㄚ ㄛˊ"},
        {"bo1 po2 mo3 fo2 lo5 yo1 yai2", "ㄅㄛ ㄆㄛˊ ㄇㄛˇ ㄈㄛˊ ˙ㄌㄛ ㄧㄛ ㄧㄞˊ"},
        {"nu:3 lu:e4 lve4 nv3", "ㄋㄩˇ ㄌㄩㄝˋ ㄌㄩㄝˋ ㄋㄩˇ"},
        {"m2 n3 ng4 hm5 hng5 ê2", "ㄇˊ ㄋˇ ㄫˋ ˙ㄏㄇ ˙ㄏㄫ ㄝˊ"},
        // rare syllables of CC-CEDICT
        {"fiao4 ging1 bia1 biu1 den4 tei1 shei2 nou4", "ㄈㄧㄠˋ ㄍㄧㄥ ㄅㄧㄚ ㄅㄧㄡ ㄉㄣˋ ㄊㄟ ㄕㄟˊ ㄋㄡˋ"},
        // not Mandarin: tone marks instead; letters and punctuation stay
        {"xx5 gue2", "xx gué"},
        {"ka1 la1 O K", "ㄎㄚ ㄌㄚ O K"},
        {"Ka3 er3 · Ma3", "ㄎㄚˇ ㄦˇ · ㄇㄚˇ"},
        {"zhōng wén", "ㄓㄨㄥ ㄨㄣˊ"},
        {"Zhong1guo2", "ㄓㄨㄥㄍㄨㄛˊ"},
    };
    for (const Case& c : cases) EXPECT_EQ(Zhuyin(c.stored), c.zhuyin) << c.stored;
}

// The letters of a marked syllable without its marks.
std::u16string StripMarks(std::u16string_view s) {
    static const std::u16string marked =
        u"āáǎàĀÁǍÀēéěèĒÉĚÈīíǐìĪÍǏÌōóǒòŌÓǑÒūúǔùŪÚǓÙǖǘǚǜǕǗǙǛếềẾỀḿḾńňǹŃŇǸ";
    static const std::u16string base =
        u"aaaaAAAAeeeeEEEEiiiiIIIIooooOOOOuuuuUUUUüüüüÜÜÜÜêêÊÊmMnnnNNN";
    std::u16string out;
    for (char16_t c : s) {
        if (c == 0x0300 || c == 0x0301 || c == 0x0304 || c == 0x030C) continue;
        const std::size_t p = marked.find(c);
        out.push_back(p == marked.npos ? c : base[p]);
    }
    return out;
}

// The letters a learner expects: the tone digit dropped, "u:" and "v" written ü.
std::u16string LearnerLetters(std::u16string s) {
    if (!s.empty() && s.back() >= u'1' && s.back() <= u'5') s.pop_back();
    for (std::size_t p; (p = s.find(u"u:")) != s.npos;) s.replace(p, 2, u"ü");
    for (std::size_t p; (p = s.find(u"U:")) != s.npos;) s.replace(p, 2, u"Ü");
    for (char16_t& c : s) {
        if (c == u'v') c = u'ü';
        if (c == u'V') c = u'Ü';
    }
    return s;
}

bool IsZhuyin(std::u16string_view s) {
    if (s.empty()) return false;
    for (char16_t c : s) {
        const bool letter = c >= 0x3105 && c <= 0x312F;
        const bool tone = c == u'ˊ' || c == u'ˇ' || c == u'ˋ' || c == u'˙';
        if (!letter && !tone) return false;
    }
    return true;
}

// Every token of the pinyin fields of the full CC-CEDICT (extracted once into the test data
// by scripts/cedict_pinyin_tokens.py).
TEST(PinyinMarks, EverySyllableShapeOfCcCedict) {
    std::ifstream in(KESTRUNE_SOURCE_DIR "/tests/charinfo/data/cedict_pinyin_tokens.txt");
    ASSERT_TRUE(in) << "tests/charinfo/data/cedict_pinyin_tokens.txt";
    // The tokens with a tone digit that are not Mandarin syllables.
    const std::set<std::u16string> notMandarin = {u"xx5"};
    std::string line;
    int toned = 0, plain = 0, zhuyin = 0;
    std::set<std::u16string> seenNotMandarin;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::u16string token = Utf8ToUtf16(line);
        const bool hasTone = token.back() >= u'1' && token.back() <= u'5';
        const auto pieces = PinyinPieces(token, PinyinStyle::Marks);
        const std::u16string marked = PinyinText(token, PinyinStyle::Marks);
        const std::u16string z = PinyinText(token, PinyinStyle::Zhuyin);
        if (!hasTone) {
            ++plain;
            EXPECT_EQ(marked, token) << line;
            EXPECT_EQ(z, token) << line;
            ASSERT_EQ(pieces.size(), 1u) << line;
            EXPECT_EQ(pieces[0].tone, 0) << line;
            continue;
        }
        ++toned;
        EXPECT_EQ(marked.find_first_of(u"0123456789"), marked.npos) << line;
        EXPECT_EQ(StripMarks(marked), LearnerLetters(token)) << line;
        // Tones 1-4 show a mark, the neutral tone none.
        EXPECT_EQ(marked != StripMarks(marked), token.back() != u'5' && token != u"r5") << line;
        ASSERT_EQ(pieces.size(), 1u) << line;
        EXPECT_EQ(pieces[0].tone, token.back() - u'0') << line;
        if (notMandarin.count(token)) {
            seenNotMandarin.insert(token);
            EXPECT_EQ(z, marked) << line;
        } else {
            ++zhuyin;
            EXPECT_TRUE(IsZhuyin(z)) << line << " -> " << Utf16ToUtf8(z);
        }
    }
    // The whole list was read: CC-CEDICT has some 2400 toned tokens and a few dozen others.
    EXPECT_GT(toned, 2300);
    EXPECT_GT(plain, 20);
    EXPECT_EQ(zhuyin, toned - 1);
    EXPECT_EQ(seenNotMandarin, notMandarin);
}

TEST(PinyinMarks, ToneColors) {
    const auto defaults = ParseToneColors("");
    EXPECT_EQ(defaults, (std::array<std::string, 5>{"#d0021b", "#16801a", "#1f4fd8", "#8e24aa",
                                                     "#6b6b6b"}));
    EXPECT_EQ(ParseToneColors(" #FF0000 ,#00ff00,red,,#12345,#000000,#ffffff"),
              (std::array<std::string, 5>{"#ff0000", "#00ff00", "#1f4fd8", "#8e24aa", "#6b6b6b"}));
    EXPECT_EQ(ParseToneColors("#111111,#222222,#333333,#444444,#555555"),
              (std::array<std::string, 5>{"#111111", "#222222", "#333333", "#444444", "#555555"}));
}

}  // namespace
}  // namespace kes
