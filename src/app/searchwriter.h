// What a search hands to the form it is shown in. The search reads each entry line once, takes
// it apart (dict/entry.h) and gives it to one writer, in page order:
//
//   [BeginReading(key)]                 a pinyin key searched in the query's place
//     BeginDict(dic)                    a dictionary with entries (once per reading)
//       BeginPiece(text)                a query piece with entries
//         WriteEntry(found)...          each entry of the piece, once
//     EndDict()
//   Finish(end)                         the lines after the entries; nothing follows
//
// A writer that cannot put its bytes where they go throws IoError; the search ends with it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "charinfo/unihan.h"
#include "dict/dic.h"
#include "dict/entry.h"

namespace kes {

// One entry found: where it was found, its line as read and taken apart.
struct FoundEntry {
    const TDic& Dict;
    std::size_t Position;     // the dictionary's index in Registry::Dicts
    std::u16string_view Piece;  // the query piece (or pinyin key) it was found for
    int32_t Offset;           // the byte offset of its line in the data file
    std::u16string_view Line;
    const Entry& Model;
};

// What follows the entries.
struct SearchEnd {
    std::u16string_view Query;                 // as searched (lowercased)
    const std::vector<std::u16string>& Searched;  // the pinyin keys searched in its place
    bool Found = false;                        // some entry was handed over
    bool ShowUcs2 = false;
    const UnihanIndex& Unihan;
    bool ShowUnihan = false;
    // "Translate text" was asked for but the query holds non-Chinese characters.
    bool Blocked = false;
    // The query as the field shows it (letter case as typed).
    std::u16string_view FieldText;
    // The query is a Chinese text of more than one character that was looked up as one word
    // ("Translate text" off).
    bool Cuttable = false;
};

class SearchWriter {
  public:
    virtual ~SearchWriter() = default;
    virtual void BeginReading(std::u16string_view key) = 0;
    virtual void BeginDict(const TDic& dic, std::size_t position) = 0;
    virtual void BeginPiece(std::u16string_view text) = 0;
    virtual void WriteEntry(const FoundEntry& found) = 0;
    virtual void EndDict() = 0;
    virtual void Finish(const SearchEnd& end) = 0;
};

}  // namespace kes
