#include "dict/translationrank.h"

#include <algorithm>
#include <numeric>

#include "charinfo/wordfreq.h"

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

}  // namespace kes
