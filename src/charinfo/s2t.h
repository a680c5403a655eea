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
// True when the index character equals the query character, or equals the simplified form
// of the query character, or its own simplified form equals the query character. So 并
// matches 並 and 併, while 並 does not match 併. Off: plain equality.
bool CharsMatch(char16_t indexCh, char16_t queryCh, bool both);

}  // namespace kes
