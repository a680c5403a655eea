// How common a Chinese word is, for putting the common words first: the word counts of
// jieba's dictionary (Debian's python3-jieba, MIT), kept for the simplified headwords of the
// bundled CC-CEDICT and made into a constant table at build time (scripts/gen_wordfreq.py).
// The table is read-only data of the program: nothing is loaded or allocated, and the pages
// of it that a lookup touches are the only ones read from disk.
#pragma once

#include <cstdint>
#include <string_view>

namespace kes {

// The count of `simplifiedWord` (UTF-16 code units, compared exactly) in jieba's corpus; 0
// when the word is not a simplified CC-CEDICT headword with a count. Counts of 32768 and
// more are rounded down to a multiple of 256, which keeps their order (的 318720, 狗 3801).
uint32_t WordFrequency(std::u16string_view simplifiedWord);

// The number of words the table holds.
std::size_t WordFrequencyTableSize();

}  // namespace kes
