// Traditional and simplified character forms: a fixed 65536-entry table from every UCS-2
// code unit to its simplified counterpart, and the three operations that the lookup, the
// word list and the result page use when "Search both chinese forms" is on.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kes {

// Entry i holds the simplified counterpart of code unit i, or i itself when it has none.
// Changed entries lie in U+4E00..U+9FFF and map into that range; entry 0 is 0. The table
// is applied once and never repeatedly (one changed entry maps to another changed index).
extern const std::array<uint16_t, 65536> S2TTable;

// The first and last code units that the table may change.
constexpr char16_t kS2TFirst = 0x4E00;
constexpr char16_t kS2TLast = 0x9FFF;

// `both` is the state of the "Search both chinese forms" option. Off: identity.
// On: the table entry of c (c itself when that entry is 0).
char16_t ToSimplifiedChar(char16_t c, bool both);
// Every code unit mapped by ToSimplifiedChar; same length as s. Off: s unchanged.
std::u16string ToSimplifiedText(std::u16string_view s, bool both);
// The one character matcher of every index walk: whether an index character c matches the
// query character q. True when c equals q, or equals the simplified form of q, or its own
// simplified form equals q. So 并 matches 並 and 併, while 並 does not match 併. With `both`
// off ("Search both chinese forms" unchecked): plain equality. The simplified form of q is
// computed once per matcher.
class QueryCharMatcher {
  public:
    QueryCharMatcher(char16_t q, bool both) : q_(q), sq_(ToSimplifiedChar(q, both)), both_(both) {}
    bool operator()(char16_t c) const {
        return c == q_ || (both_ && (c == sq_ || S2TTable[c] == q_));
    }
    char16_t query() const { return q_; }
    // The simplified form of the query character (itself with `both` off).
    char16_t simplified() const { return sq_; }
    bool both() const { return both_; }

  private:
    char16_t q_;
    char16_t sq_;
    bool both_;
};

// The traditional forms of a simplified character c (学 -> 學; 发 -> 發 髮), in the order of
// Unihan's traditional variants, each of which the table maps back to c; empty when c has
// none (a traditional character, or one written the same in both). Variant and old forms
// are not offered.
std::u16string TraditionalForms(char16_t c);

inline bool CharsMatch(char16_t indexCh, char16_t queryCh, bool both) {
    return QueryCharMatcher(queryCh, both)(indexCh);
}

}  // namespace kes
