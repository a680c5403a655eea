// Pinyin as learners read it: the pinyin field of a CEDICT entry ("Zhong1 guo2", "lu:4 se4")
// shown with tone marks (Zhōng guó, lǜ sè) or in zhuyin (ㄓㄨㄥ ㄍㄨㄛˊ), cut into pieces that
// carry the tone of each syllable, so that a writer can colour the tones.
//
// Contract:
// - A syllable is a run of Latin letters (with "u:", ü, ê and vowels that already carry a tone
//   mark) followed by one tone digit 1-5 ("Zhong1", "lu:4", "r5", "xx5", "m2"); syllables may
//   stand joined ("ni3hao3"). Everything else (spaces, "·", ",", letters without a digit such
//   as the "O K" of 卡拉OK) is kept as it stands, in every style.
// - Tone marks follow the standard rule: a or e takes the mark, else the o of "ou", else the
//   last vowel; a syllable without a vowel marks its n (ń, ňg, hǹg), else its m (ḿ, hm̀).
//   "u:" and "v" become ü; the neutral tone (5) carries no mark; letter case is kept. A
//   syllable whose letters cannot carry a mark ("xx5", "r5") loses only its digit.
// - Zhuyin writes tone 2, 3 and 4 after the syllable (ˊ ˇ ˋ), tone 1 unmarked and the
//   neutral tone as ˙ before it; the erhua syllable "r" is ㄦ without a mark. A syllable that
//   is not Mandarin (xx5) is shown with tone marks instead.
// - A run without a digit that carries exactly one tone mark (pinyin stored with marks,
//   "zhōng") is a syllable of that tone: zhuyin converts it; the other styles keep it.
// - Never fails and never throws on any input (lone surrogates, controls, empty text).
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace kes {

enum class PinyinStyle {
    Stored,  // as the data file holds it
    Marks,   // tone marks
    Zhuyin,  // bopomofo with tone marks
};

struct PinyinPiece {
    std::u16string text;  // the piece as shown in the style
    int tone = 0;         // 1-5 for a syllable, 0 for everything between syllables
};

// The pinyin cut into syllables and the text between them, in order; the texts together are
// PinyinText(stored, style). Neighbouring non-syllable text forms one piece.
std::vector<PinyinPiece> PinyinPieces(std::u16string_view stored, PinyinStyle style);

// The pinyin shown in `style`.
std::u16string PinyinText(std::u16string_view stored, PinyinStyle style);

// The five tone colours, tones 1-5, as setup.ini "Setup" key "ToneColors" holds them: five
// HTML colours "#rrggbb" separated by commas.
//
// The default is the scheme that most learners meet first in dictionary apps and textbooks,
// red, green, blue, purple, grey: the first tone (high) in the warmest colour, the neutral
// tone in grey because it is the weakest. The shades are darkened until each reaches a
// contrast of at least 4.5:1 on a white page, so that coloured pinyin stays readable as text.
inline constexpr char kDefaultToneColors[] = "#d0021b,#16801a,#1f4fd8,#8e24aa,#6b6b6b";

// The colours of a "ToneColors" value. Each of the five fields that is not "#" followed by
// six hexadecimal digits (spaces around it allowed) takes the default colour of its tone;
// fields beyond the fifth are ignored. The colours are returned in lower case.
std::array<std::string, 5> ParseToneColors(std::string_view value);

}  // namespace kes
