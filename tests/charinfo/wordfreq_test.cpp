#include "charinfo/wordfreq.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace kes {
namespace {

// The counts of jieba's dict.txt (python3-jieba 0.42.1) for simplified CC-CEDICT headwords.
TEST(WordFrequency, CountsOfTheTable) {
    struct Case {
        std::u16string_view word;
        uint32_t count;
    };
    const Case cases[] = {
        {u"狗", 3801},    {u"犬", 597},      {u"电脑", 3427}, {u"计算机", 6396},
        {u"水", 24314},   {u"猫", 1908},
        // counts of 32768 and more, rounded down to a multiple of 256
        {u"吃", 36608},   {u"的", 318720},  {u"了", 883456},
        // not a simplified headword, not in jieba, or no word at all
        {u"電腦", 0},     {u"狗狗狗狗", 0},  {u"", 0},        {u"dog", 0},
        {std::u16string_view(u"\xD840", 1), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WordFrequency(c.word), c.count) << Utf16ToUtf8(c.word);
    EXPECT_EQ(WordFrequencyTableSize(), 82198u);
}

TEST(WordFrequency, LongestAndBeyond) {
    EXPECT_EQ(WordFrequency(std::u16string(16, u'一')), 0u);
    EXPECT_EQ(WordFrequency(std::u16string(100000, u'一')), 0u);
}

}  // namespace
}  // namespace kes
