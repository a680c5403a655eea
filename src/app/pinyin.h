// Pinyin as learners type it: joined syllables, tone digits, tone marks, ü written as ü, v or
// u:, apostrophes and capitals, turned into the pinyin keys that the index builder files
// ("zhong1 guo2" and "Zhōngguó" are both filed as "zhong guo").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kes {

// Most readings that one query gives; further cuts are not searched.
constexpr std::size_t kMaxPinyinReadings = 16;

// One way to cut the query into syllables, with the index keys to try for it in order: the
// first one that finds entries is the one searched. The keys differ only in how ü is written
// (CEDICT's "u:", "v", and "u" as the builder folds ü); a reading without ü has one key.
struct PinyinReading {
    std::vector<std::u16string> Keys;
};

// The readings of `query` (trimmed; letter case ignored) when it reads as pinyin: only Latin
// letters, ü/v/u:, vowels with tone marks (precomposed or followed by a combining mark), tone
// digits 1-5 after a syllable, apostrophes and spaces, and every run between spaces,
// apostrophes and digits cuts into standard Mandarin syllables (or the erhua "r") with at
// most one tone mark each. Readings come in a fixed order: at each point the longest
// syllable first ("xian" gives "xian", then "xi an"). Empty when the query is not pinyin.
std::vector<PinyinReading> PinyinReadings(std::u16string_view query);

// True when `letters` (lower case, ü written "v") is a standard Mandarin syllable or the erhua
// "r".
bool IsPinyinSyllable(std::string_view letters);

}  // namespace kes
