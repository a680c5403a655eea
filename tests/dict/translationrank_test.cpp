#include "dict/translationrank.h"

#include <gtest/gtest.h>

#include <map>

#include "base/lines.h"
#include "dict/entry.h"
#include "base/text.h"

namespace kes {
namespace {

TEST(MatchSense, HowASenseIsCompared) {
    struct Case {
        const char16_t* query;
        const char16_t* sense;
        SenseMatch match;
    };
    const Case cases[] = {
        {u"dog", u"dog", SenseMatch::Equal},
        {u"Dog", u"  DOG ", SenseMatch::Equal},
        {u"eat", u"to eat", SenseMatch::Equal},
        {u"to eat", u"to eat", SenseMatch::Equal},
        {u"mouse", u"(computer) mouse", SenseMatch::Equal},
        {u"mouse", u"mouse (computer)", SenseMatch::Equal},
        {u"mouse", u"(coll.)mouse", SenseMatch::Equal},
        {u"mouse", u"mice; mouse", SenseMatch::Equal},
        {u"hot  dog", u"hot dog", SenseMatch::Equal},
        {u"hello", u"hello!", SenseMatch::Equal},
        {u"елка", u"Ёлка", SenseMatch::Equal},
        {u"dog", u"dog food", SenseMatch::Begins},
        {u"dog", u"dog-tired", SenseMatch::Begins},
        {u"eat", u"to eat up", SenseMatch::Begins},
        {u"eat", u"(literary) to eat one's fill", SenseMatch::Begins},
        {u"dog", u"dogma", SenseMatch::Other},
        {u"dog", u"hot dog", SenseMatch::Other},
        {u"dog", u"(dog)", SenseMatch::Other},
        {u"eat", u"eaten", SenseMatch::Other},
        {u"to eat", u"eat", SenseMatch::Other},
        {u"cl", u"CL:隻|只[zhi1]", SenseMatch::Other},
        {u"zhi1", u"CL:隻|只[zhi1]", SenseMatch::Other},
        {u"", u"", SenseMatch::Other},
        {u"  ", u"dog", SenseMatch::Other},
        {u"(x)", u"dog", SenseMatch::Other},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchSense(c.query, c.sense), c.match)
            << Utf16ToUtf8(c.query) << " / " << Utf16ToUtf8(c.sense);
}

// A small dictionary as a translation-word query finds it: the lines in file order.
struct Found {
    std::vector<std::u16string> lines;
    std::vector<std::u16string> simplified, translations;
    std::vector<RankCandidate> candidates;

    explicit Found(std::vector<std::u16string> l) : lines(std::move(l)) {
        for (const std::u16string& line : lines) {
            EntryFields f = SplitEntryLine(line);
            const std::size_t space = f.Word.find(u' ');
            simplified.push_back(space == f.Word.npos ? f.Word : f.Word.substr(space + 1));
            translations.push_back(f.Translation);
        }
        for (std::size_t i = 0; i < lines.size(); ++i) {
            RankCandidate c;
            c.simplified = simplified[i];
            std::u16string_view t = translations[i];
            for (std::size_t start = 0; start < t.size();) {
                std::size_t end = t.find(u'/', start);
                if (end == t.npos) end = t.size();
                if (end > start) c.senses.push_back(t.substr(start, end - start));
                start = end + 1;
            }
            candidates.push_back(std::move(c));
        }
    }

    std::vector<std::string> Ranked(std::u16string_view query, const WordCount& count) const {
        std::vector<std::string> out;
        for (std::size_t i : RankTranslationMatches(query, candidates, count))
            out.push_back(Utf16ToUtf8(simplified[i]));
        return out;
    }
};

TEST(RankTranslationMatches, EqualSenseFirstThenBeginningThenTheRestByFrequency) {
    const Found dog({
        u"教條 教条 [jiao4 tiao2] /dogma/",
        u"走狗 走狗 [zou3 gou3] /hunting dog/(fig.) lackey/",
        u"狗屎 狗屎 [gou3 shi3] /dog shit/",
        u"犬 犬 [quan3] /dog/",
        u"熱狗 热狗 [re4 gou3] /hot dog/",
        u"汪星人 汪星人 [wang1 xing1 ren2] /(slang) dog/",
        u"狗 狗 [gou3] /dog/CL:隻|只[zhi1],條|条[tiao2]/",
        u"狗糧 狗粮 [gou3 liang2] /dog food/",
        u"狗窩 狗窝 [gou3 wo1] /doghouse/",
    });
    const std::map<std::u16string, uint32_t> counts = {
        {u"教条", 900}, {u"走狗", 300}, {u"狗屎", 40}, {u"犬", 597}, {u"热狗", 80},
        {u"狗", 3801},  {u"狗粮", 20},  {u"狗窝", 10},
    };
    auto count = [&counts](std::u16string_view w) {
        auto it = counts.find(std::u16string(w));
        return it == counts.end() ? 0u : it->second;
    };
    EXPECT_EQ(dog.Ranked(u"dog", count),
              (std::vector<std::string>{"狗", "犬", "汪星人", "狗屎", "狗粮", "教条", "走狗", "热狗",
                                        "狗窝"}));
    // The same words without any count: each group keeps the order of the file.
    EXPECT_EQ(dog.Ranked(u"dog", [](std::u16string_view) { return 0u; }),
              (std::vector<std::string>{"犬", "汪星人", "狗", "狗屎", "狗粮", "教条", "走狗", "热狗",
                                        "狗窝"}));
    // "hot dog" is equal only for 热狗.
    EXPECT_EQ(dog.Ranked(u"Hot Dog", count).front(), "热狗");
}

TEST(RankTranslationMatches, VerbsAndTheBundledCounts) {
    const Found eat({
        u"吃飯 吃饭 [chi1 fan4] /to have a meal/to eat/",
        u"吃掉 吃掉 [chi1 diao4] /to eat up/",
        u"食 食 [shi2] /(literary) to eat/food/",
        u"吃 吃 [chi1] /to eat/to consume/",
        u"吃苦 吃苦 [chi1 ku3] /to bear hardships/",
        u"零食 零食 [ling2 shi2] /snack/things to eat between meals/",
    });
    // With the table of the program: 吃 (36608), 食 (6350), 吃饭 (3082).
    EXPECT_EQ(eat.Ranked(u"eat", {}),
              (std::vector<std::string>{"吃", "食", "吃饭", "吃掉", "零食", "吃苦"}));
}

TEST(RankTranslationMatches, NoEntriesAndEmptyQuery) {
    EXPECT_TRUE(RankTranslationMatches(u"dog", {}).empty());
    const Found two({u"甲 甲 [jia3] /dog/", u"乙 乙 [yi3] /cat/"});
    EXPECT_EQ(two.Ranked(u"", [](std::u16string_view w) { return w == u"乙" ? 5u : 1u; }),
              (std::vector<std::string>{"乙", "甲"}));
}

TEST(IsTranslationWordQuery, OneRunOfOneScript) {
    const std::pair<const char16_t*, bool> cases[] = {
        {u"dog", true},      {u"ёлка", true},    {u"книга", true}, {u"dog2", false},
        {u"hot dog", false}, {u"dogкот", false}, {u"", false},     {u"狗", false},
        {u"xi'an", false},   {u"Dog", false},  // queries arrive lowercased
    };
    for (const auto& [q, word] : cases)
        EXPECT_EQ(IsTranslationWordQuery(q), word) << Utf16ToUtf8(q);
}

}  // namespace
}  // namespace kes
