#include "charinfo/pinyinfold.h"

#include <gtest/gtest.h>

namespace kes {
namespace {

TEST(PinyinFold, Table) {
    for (char16_t c : {u'Æ', u'Ç', u'Ñ', u'Ø', u'ß', u'×', u'÷', u'Ð', u'Ŀ'})
        EXPECT_EQ(PinyinFoldLetter(c), '*') << static_cast<int>(c);
    EXPECT_EQ(PinyinFoldLetter(u'À'), 'a');
    EXPECT_EQ(PinyinFoldLetter(u'ǎ'), 'a');
    EXPECT_EQ(PinyinFoldLetter(u'ě'), 'e');
    EXPECT_EQ(PinyinFoldLetter(u'ı'), 'i');
    EXPECT_EQ(PinyinFoldLetter(u'ĺ'), 'i');
    EXPECT_EQ(PinyinFoldLetter(u'ȱ'), 'o');
    EXPECT_EQ(PinyinFoldLetter(u'ü'), 'u');
    EXPECT_EQ(PinyinFoldLetter(u'ǜ'), 'u');
    EXPECT_EQ(PinyinFoldLetter(u'Ʋ'), 'v');
    EXPECT_EQ(PinyinFoldLetter(u'ȳ'), 'y');
    EXPECT_EQ(PinyinFoldLetter(0x0240), '*');
    EXPECT_EQ(PinyinFoldLetter(0x00BF), '*');
    int kept = 0;
    for (char16_t c = 0x00C0; c <= 0x023F; ++c)
        kept += PinyinFoldLetter(c) != '*';
    EXPECT_EQ(kept, 159);
}

}  // namespace
}  // namespace kes
