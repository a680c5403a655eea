#include "dict/translationrank.h"

#include <algorithm>
#include <numeric>

#include "charinfo/pinyinfold.h"
#include "charinfo/wordfreq.h"
#include "dict/entry.h"

namespace kes {

namespace {

using namespace std::string_view_literals;

char16_t Fold(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0x0410 && c <= 0x042F)) return static_cast<char16_t>(c + 0x20);
    if (c == 0x0401 || c == 0x0451) return 0x0435;  // Ё, ё -> е
    return c;
}

bool IsWordChar(char16_t c) {
    c = Fold(c);
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || (c >= 0x0430 && c <= 0x044F) ||
           (c >= 0x00C0 && c <= 0x024F);
}

bool IsEndPunctuation(char16_t c) {
    return c <= u' ' || c == u'.' || c == u',' || c == u';' || c == u':' || c == u'!' || c == u'?';
}

// The text without its parentheses, folded, with single spaces and trimmed ends.
std::u16string Normalize(std::u16string_view s) {
    std::u16string out;
    int depth = 0;
    bool space = false;
    for (char16_t c : s) {
        if (c == u'(') {
            ++depth;
            continue;
        }
        if (c == u')') {
            if (depth > 0) --depth;
            space = true;  // "(coll.)dog" reads as "dog", "a(b)c" as "a c"
            continue;
        }
        if (depth > 0) continue;
        if (c <= u' ') {
            space = true;
            continue;
        }
        if (space && !out.empty()) out.push_back(u' ');
        space = false;
        out.push_back(Fold(c));
    }
    std::size_t b = 0, e = out.size();
    while (b < e && IsEndPunctuation(out[b])) ++b;
    while (e > b && IsEndPunctuation(out[e - 1])) --e;
    return out.substr(b, e - b);
}

SenseMatch MatchAlternative(std::u16string_view q, std::u16string_view alt) {
    if (alt == q) return SenseMatch::Equal;
    const bool to = alt.starts_with(u"to "sv);
    if (to && alt.substr(3) == q) return SenseMatch::Equal;
    auto begins = [q](std::u16string_view a) {
        return a.size() > q.size() && a.starts_with(q) && !IsWordChar(a[q.size()]);
    };
    if (begins(alt) || (to && begins(alt.substr(3)))) return SenseMatch::Begins;
    return SenseMatch::Other;
}

SenseMatch MatchNormalized(std::u16string_view q, std::u16string_view sense) {
    if (q.empty()) return SenseMatch::Other;
    const std::u16string_view trimmed = [&] {
        std::size_t b = 0;
        while (b < sense.size() && sense[b] <= u' ') ++b;
        return sense.substr(b);
    }();
    if (trimmed.starts_with(u"CL:"sv)) return SenseMatch::Other;
    SenseMatch best = SenseMatch::Other;
    std::size_t start = 0;
    while (start <= sense.size()) {
        std::size_t end = sense.find(u';', start);
        if (end == sense.npos) end = sense.size();
        const std::u16string alt = Normalize(sense.substr(start, end - start));
        best = std::min(best, MatchAlternative(q, alt));
        start = end + 1;
    }
    return best;
}

}  // namespace

SenseMatch MatchSense(std::u16string_view query, std::u16string_view sense) {
    return MatchNormalized(Normalize(query), sense);
}

std::vector<std::size_t> RankTranslationMatches(std::u16string_view query,
                                                const std::vector<RankCandidate>& entries,
                                                const WordCount& count) {
    const std::u16string q = Normalize(query);
    struct Key {
        SenseMatch match;
        uint32_t count;
    };
    std::vector<Key> keys;
    keys.reserve(entries.size());
    for (const RankCandidate& e : entries) {
        SenseMatch best = SenseMatch::Other;
        for (std::u16string_view sense : e.senses) {
            best = std::min(best, MatchNormalized(q, sense));
            if (best == SenseMatch::Equal) break;
        }
        keys.push_back({best, count ? count(e.simplified) : WordFrequency(e.simplified)});
    }
    std::vector<std::size_t> order(entries.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&keys](std::size_t a, std::size_t b) {
        if (keys[a].match != keys[b].match) return keys[a].match < keys[b].match;
        return keys[a].count > keys[b].count;
    });
    return order;
}

namespace {

bool IsLatinLower(char16_t c) {
    return c >= u'a' && c <= u'z';
}
bool IsCyrillicLower(char16_t c) {
    return (c >= 0x0430 && c <= 0x044F) || c == 0x0451;
}

// The senses of an entry without their notes; each line of a sense (after a line break) is
// compared as a sense of its own.
std::vector<std::u16string> SenseTexts(const Entry& e) {
    std::vector<std::u16string> senses(1);
    bool note = false;
    for (const TranslationPiece& p : e.Pieces) {
        switch (p.Mark) {
            case TranslationMark::Text:
                if (!note) senses.back() += e.TextOf(p);
                break;
            case TranslationMark::SenseEnd:
                senses.emplace_back();
                note = false;
                break;
            case TranslationMark::NoteStart:
                note = true;
                break;
            case TranslationMark::Break:
                if (!note) senses.emplace_back();
                break;
            default:
                break;  // style only
        }
    }
    return senses;
}

// Whether `text` holds `word` as a word: a maximal run of Latin or of Cyrillic letters,
// compared without case and with ё as е, as the index builder cuts translations.
bool HoldsWord(std::u16string_view text, std::u16string_view word) {
    std::size_t i = 0;
    while (i < text.size()) {
        const char16_t first = Fold(text[i]);
        const bool latin = IsLatinLower(first);
        if (!latin && !IsCyrillicLower(first)) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size()) {
            const char16_t c = Fold(text[end]);
            if (latin ? !IsLatinLower(c) : !IsCyrillicLower(c)) break;
            ++end;
        }
        if (end - i == word.size()) {
            bool same = true;
            for (std::size_t k = 0; k < word.size() && same; ++k)
                same = Fold(text[i + k]) == Fold(word[k]);
            if (same) return true;
        }
        i = end;
    }
    return false;
}

// Whether one of the pinyin keys the builder files for `pinyin` is `word` (tone digits
// dropped, accents folded, lowercase, ";" and "," between keys).
bool PinyinKeyIs(std::u16string_view pinyin, std::u16string_view word) {
    std::u16string key;
    auto matches = [&key, word] {
        std::size_t b = 0, e = key.size();
        while (b < e && key[b] <= u' ')
            ++b;
        while (e > b && key[e - 1] <= u' ')
            --e;
        return std::u16string_view(key).substr(b, e - b) == word;
    };
    for (char16_t c : pinyin) {
        if (c >= u'0' && c <= u'9') continue;
        if (c >= kFirstPinyinFolded && c <= kLastPinyinFolded) {
            const char letter = PinyinFoldLetter(c);
            if (letter == '*') continue;
            c = static_cast<char16_t>(letter);
        }
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 0x20);
        if (c == u';' || c == u',') {
            if (matches()) return true;
            key.clear();
            continue;
        }
        key.push_back(c);
    }
    return matches();
}

}  // namespace

bool IsTranslationWordQuery(std::u16string_view query) {
    if (query.empty()) return false;
    const bool latin = IsLatinLower(query[0]);
    for (char16_t c : query)
        if (latin ? !IsLatinLower(c) : !IsCyrillicLower(c)) return false;
    return true;
}

std::vector<std::size_t> BestFirstOrder(std::u16string_view query,
                                        const std::vector<const Entry*>& entries,
                                        const WordCount& count) {
    std::vector<std::size_t> ranked, rest;
    std::vector<std::vector<std::u16string>> senses;
    std::vector<RankCandidate> candidates;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = *entries[i];
        std::vector<std::u16string> texts = SenseTexts(e);
        const bool word = std::any_of(texts.begin(), texts.end(), [query](const std::u16string& t) {
            return HoldsWord(t, query);
        });
        if (!word || PinyinKeyIs(e.Fields.Pinyin, query)) {
            rest.push_back(i);
            continue;
        }
        ranked.push_back(i);
        senses.push_back(std::move(texts));
    }
    for (std::size_t k = 0; k < ranked.size(); ++k) {
        RankCandidate c;
        c.simplified = entries[ranked[k]]->Simplified;
        c.senses.assign(senses[k].begin(), senses[k].end());
        candidates.push_back(std::move(c));
    }
    const std::u16string q = Normalize(query);
    auto equal = [&](std::size_t k) {
        return std::any_of(candidates[k].senses.begin(), candidates[k].senses.end(),
                           [&q](std::u16string_view sense) {
                               return MatchNormalized(q, sense) == SenseMatch::Equal;
                           });
    };
    const std::vector<std::size_t> byRank = RankTranslationMatches(query, candidates, count);
    std::vector<std::size_t> order;
    order.reserve(entries.size());
    std::size_t k = 0;
    for (; k < byRank.size() && equal(byRank[k]); ++k)
        order.push_back(ranked[byRank[k]]);
    order.insert(order.end(), rest.begin(), rest.end());
    for (; k < byRank.size(); ++k)
        order.push_back(ranked[byRank[k]]);
    return order;
}

}  // namespace kes
