// Folding of accented Latin letters for pinyin: the index builder files pinyin keys and the
// search reads pinyin queries through the same table, so that "nǐ hǎo" and "ni3 hao3" meet.
#pragma once

namespace kes {

// The range the table covers.
constexpr char16_t kFirstPinyinFolded = 0x00C0;
constexpr char16_t kLastPinyinFolded = 0x023F;

// The lowercase base letter of a code unit in U+00C0..U+023F ("ǎ" -> 'a', "ü" -> 'u'), or
// '*' when the unit is dropped from a pinyin key (every other unit of the range, and every
// unit outside it).
char PinyinFoldLetter(char16_t c);

}  // namespace kes
