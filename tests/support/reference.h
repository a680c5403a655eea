// The literal lookups the fast index walk is checked against: every question answered by a
// fresh walk that opens the files, follows every matching child in stored order and closes
// them again, with no caching and no shortcuts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/resultpage.h"
#include "dict/dic.h"

namespace kes::test {

// The offsets of the entries filed under exactly `query`, in walk order (repeats kept).
std::vector<int32_t> ReferenceExact(const TDic& dic, const std::string& folder,
                                    std::u16string_view query, bool both);
// The longest L >= 1 whose start of `text` has entries, trying every length from the
// longest down, each a separate lookup; 0 when none.
int ReferenceLongest(const TDic& dic, const std::string& folder, std::u16string_view text,
                     bool both);
// The indexed words on the query's paths and below them, in walk order, each text once.
std::vector<std::u16string> ReferenceListWords(const TDic& dic, const std::string& folder,
                                               std::u16string_view query, bool both);
// The entry blocks of one lookup of `query` as the page shows them (each entry once).
std::string ReferenceLookupHtml(const TDic& dic, const std::string& folder,
                                std::u16string_view query, bool both,
                                const PageFonts& fonts = PageFonts{});

}  // namespace kes::test
