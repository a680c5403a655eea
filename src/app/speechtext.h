// Hearing a word: the text the voice is given. The voice (espeak-ng's cmn-latn-pinyin, see
// app/speech.h) reads pinyin as Mandarin; it is always given the pinyin of the entry, never
// characters: from characters it misreads polyphones (银行 as yin2 xing2).
//
// What the voice accepts (espeak-ng 1.51), and so how stored pinyin is handed to it:
// - Tones 1-4 as digits after the syllable, the neutral tone as 5 ("ma1 ma5"); a syllable
//   without a digit is read in the first tone, so the digits always go over.
// - ü must be written "v": of "lu:4" it reads "lu" and then the digit after ":" as a number
//   ("si4"). "u:", "ü" and "v" all become "v".
// - The erhua "r5" becomes "er5", a neutral er after its syllable. Joined forms ("wanr2") move
//   the tone off the main syllable, so they are not made.
// - Tone marks ("nǐ hǎo") are read correctly and go over as they stand.
// - A syllable that is no Mandarin syllable ("xx5", CEDICT's unknown reading) is left out.
//   Latin letters without a digit (the "O K" of 卡拉OK) go over as they stand; a comma stays
//   a comma (a pause); every other character becomes a blank.
#pragma once

#include <string>
#include <string_view>

namespace kes {

// The text the voice is given for stored pinyin (UTF-8, blanks collapsed, trimmed); empty when
// nothing in it can be spoken.
std::string SpeechText(std::u16string_view pinyin);

// True when `text` reads as pinyin (app/pinyin.h) and carries a tone: a tone digit after a
// syllable or a tone mark. Such text is spoken as it is; other text is looked up first.
bool IsTonedPinyin(std::u16string_view text);

}  // namespace kes
