// The order of the entries that a translation-word query finds ("Best matches first"): the
// entries with a sense that is the query come first, then those with a sense that begins
// with it, then the rest; within each group the more common word first (charinfo/wordfreq.h),
// and otherwise the order in which the search found them.
//
// How a sense is compared with the query (both the same way):
// - Text in parentheses is left out, at any depth: "(computer) mouse" and "mouse (computer)"
//   are "mouse"; a sense that is all parentheses ("(a surname)") matches nothing.
// - Latin and Cyrillic letters are compared without case, and ё as е (as the index files
//   them); runs of spaces count as one; spaces and the punctuation . , ; : ! ? at the ends
//   are trimmed.
// - A sense with ";" is a list of alternatives, each compared on its own ("mice; mouse").
// - A classifier sense ("CL:隻|只[zhi1]") matches nothing.
// - Equal: an alternative is the query, or "to " + the query ("to eat" for "eat").
// - Begins: an alternative begins with the query, or with "to " + the query, and the next
//   character is not a letter or digit ("dog food" and "dog-tired" for "dog", not "dogma").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kes {

struct Entry;

enum class SenseMatch {
    Equal = 0,
    Begins = 1,
    Other = 2,
};

// How one sense answers the query (both as the user typed or the data file holds them).
SenseMatch MatchSense(std::u16string_view query, std::u16string_view sense);

// One entry that the query found.
struct RankCandidate {
    std::u16string_view simplified;           // its simplified form: how common it is
    std::vector<std::u16string_view> senses;  // its senses, without their notes
};

using WordCount = std::function<uint32_t(std::u16string_view simplifiedWord)>;

// The positions of `entries` in their ranked order: by the best match among the senses of
// each entry, then by `count` of its simplified form (greater first), then as given. An
// empty `count` ranks by the table of charinfo/wordfreq.h.
std::vector<std::size_t> RankTranslationMatches(std::u16string_view query,
                                                const std::vector<RankCandidate>& entries,
                                                const WordCount& count = {});

// True when `query` (lowercased) is one translation word as the index files them: a run of
// Latin letters, or of Cyrillic letters (ё included), and nothing else.
bool IsTranslationWordQuery(std::u16string_view query);

// "Best matches first" for the entries that a translation-word query found under its key, in
// the order found. The entries filed under it as a translation word (their translation,
// without its notes, holds the query as a word, and none of their pinyin keys is the query;
// each line of a sense counts as a sense)
// go in the order of RankTranslationMatches; the entries filed under the query as their
// headword or pinyin ("man", "xian" are pinyin too) keep the order found and stand after
// the translation-word entries with a sense equal to the query and before the others. So an
// English word that is no pinyin is ranked whole, and a pinyin syllable keeps its entries
// first unless a sense is the very word ("man": 男人, then 满, 慢 …). Returns positions into
// `entries`.
std::vector<std::size_t> BestFirstOrder(std::u16string_view query,
                                        const std::vector<const Entry*>& entries,
                                        const WordCount& count = {});

}  // namespace kes
