#include "charinfo/s2t.h"

#include <algorithm>

namespace kes {
namespace {

struct S2TRow {
    uint16_t from;
    uint16_t to;
};

constexpr S2TRow kRows[] = {
#include "charinfo/s2t_data.inc"
};

// {simplified, traditional}, sorted by the simplified form.
constexpr S2TRow kTraditionalRows[] = {
#include "charinfo/s2t_trad.inc"
};

constexpr std::array<uint16_t, 65536> BuildTable() {
    std::array<uint16_t, 65536> t{};
    for (uint32_t i = 0; i < t.size(); ++i)
        t[i] = static_cast<uint16_t>(i);
    for (const S2TRow& r : kRows)
        t[r.from] = r.to;
    return t;
}

}  // namespace

// Built by the compiler from the generated rows; no work at program start.
extern constexpr std::array<uint16_t, 65536> S2TTable = BuildTable();

char16_t ToSimplifiedChar(char16_t c, bool both) {
    if (!both) return c;
    uint16_t v = S2TTable[c];
    return v == 0 ? c : static_cast<char16_t>(v);
}

std::u16string ToSimplifiedText(std::u16string_view s, bool both) {
    std::u16string out(s);
    if (both) {
        for (char16_t& c : out)
            c = ToSimplifiedChar(c, true);
    }
    return out;
}

std::u16string TraditionalForms(char16_t c) {
    const auto range = std::equal_range(
        std::begin(kTraditionalRows), std::end(kTraditionalRows), S2TRow{c, 0},
        [](const S2TRow& a, const S2TRow& b) { return a.from < b.from; });
    std::u16string out;
    for (auto it = range.first; it != range.second; ++it)
        out += static_cast<char16_t>(it->to);
    return out;
}

}  // namespace kes
