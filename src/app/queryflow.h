// The search: from the text the user asks for to the page the user reads. RunSearch
// normalises the query, records it in the ten-slot history, asks every enabled dictionary
// (word list and entries, or a greedy longest-match cut of a Chinese text), and assembles
// the page. The window only displays what it returns.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/entrylinks.h"
#include "app/pagebuffer.h"
#include "app/registry.h"
#include "app/resultpage.h"
#include "app/searchwriter.h"
#include "app/settings.h"

namespace kes {

// The query history: slots H1..H10 (Slots[0] = H1, Slots[9] = H10 the newest) and the
// position P (1..10, 0 before the first query).
struct QueryHistory {
    static constexpr int kSlots = 10;
    std::array<std::u16string, kSlots> Slots;
    int P = 0;

    // A query equal to one of the slots changes nothing; otherwise the slots move one up
    // (the oldest is dropped), H10 takes the query and P becomes 10.
    void Record(const std::u16string& query);
    const std::u16string& H(int i) const { return Slots[static_cast<std::size_t>(i - 1)]; }
    // "Back": when P > 1 and H(P-1) is not empty, P decreases and the query to search (all
    // dictionaries, history off) is returned; otherwise nothing happens.
    std::optional<std::u16string> Back();
    // "Fwd": when P < 10, P increases and H(P) is returned (possibly empty: the search then
    // changes nothing, but P has moved); otherwise nothing happens.
    std::optional<std::u16string> Fwd();

    bool operator==(const QueryHistory&) const = default;
};

// The options a search reads.
struct SearchOptions {
    bool TranslateAll = false;  // "Translate text (instead of word)"
    bool SearchBoth = true;     // "Search both chinese forms"
    // "Best matches first": the entries of a translation-word query (an English or Russian
    // word) in the order of BestFirstOrder (dict/translationrank.h) instead of walk order.
    bool BestFirst = true;
    bool ShowUcs2 = false;      // "Show UCS-2"
    bool ShowUnihan = false;    // "Show Unihan info"
    PageFonts Fonts;            // word, pinyin and translation fonts
    // When set (and the page is the writer), the page is written here as it is made, in order, and SearchResult::Page
    // stays empty; a sink that fails (IoError) ends the search with its error.
    PageSink PageOut;
    // The viewer's links beside each entry's pinyin (app/entrylinks.h); none when null.
    const EntryLinks* Links = nullptr;
};
SearchOptions SearchOptionsOf(const Settings& s);

// True when any code unit is below U+3400 (the query holds non-Chinese characters).
bool HasNonChinese(std::u16string_view query);

// What one dictionary contributed to a search.
struct DictSearchResult {
    std::size_t Position = 0;  // index in Registry::Dicts (0-based)
    // All-dictionaries searches: the dictionary's new word items (replace its children);
    // each item's data value is the dictionary's Number. Empty for one-dictionary searches.
    bool Listed = false;
    std::vector<std::u16string> Words;
    // The query pieces that found entries, in page order (the whole query, the pieces of
    // the cut text, or the pinyin keys searched in the query's place).
    std::vector<std::u16string> Pieces;
    // Per piece, the offsets of the entries handed to the writer for it, in page order.
    std::vector<std::vector<int32_t>> Offsets;
};

struct SearchResult {
    // False for a query of blanks only: nothing changes, not even the field.
    bool Changed = false;
    // The text for the input field (trimmed, references decoded, letter case as typed).
    std::u16string FieldText;
    // The query as typed and searched (lowercased).
    std::u16string Query;
    // When the query found nothing as typed and read as pinyin: the pinyin keys searched in
    // its place that found entries, in page order ("zhong guo" for "Zhong1guo2"); each is a
    // piece of the dictionaries that hold it. When it found entries as typed and its other
    // pinyin readings found some too: the query, then those keys ("xian", "xi an"). Empty
    // otherwise.
    std::vector<std::u16string> Searched;
    bool AllDictionaries = true;
    bool NonChinese = false;
    // The "Translate text" option the search ran with (RunPopupSearch decides it itself).
    bool TranslateAll = false;
    // Nothing was found for a Chinese text of more than one character looked up as one word:
    // "Translate text" would cut it into words.
    bool CouldCut = false;
    // Every dictionary that was asked, in registry order (listed or with entries).
    std::vector<DictSearchResult> Dicts;
    // The complete page body, when the search made the page and kept it; valid only when
    // Error is empty.
    std::string Page;
    // The text of an input/output error that ended the search: the window shows it and
    // keeps its page; the field and the history are already updated, and Dicts holds what
    // was gathered before the error.
    std::string Error;
    bool ok() const { return Error.empty(); }
};

// Runs one search. dictNumber <= 0 searches all enabled dictionaries (listing their words);
// a positive value searches only the enabled dictionary at that position (Number). With
// `record` the query is recorded in `history`. Each entry found is read once and handed to
// `writer` (searchwriter.h). Never throws IoError (the writer's own included): it is reported
// in SearchResult::Error.
SearchResult RunSearch(const Registry& reg, QueryHistory& history, std::u16string_view query,
                       int dictNumber, bool record, const SearchOptions& options,
                       SearchWriter& writer);
// The same search made into the result page (PageWriter with options.Fonts): kept in
// SearchResult::Page, or written to options.PageOut as it is made.
SearchResult RunSearch(const Registry& reg, QueryHistory& history, std::u16string_view query,
                       int dictNumber, bool record, const SearchOptions& options);

// True when `text` holds a Han character (the CJK unified ideographs with their extensions,
// and the compatibility ideographs).
bool ContainsChinese(std::u16string_view text);

// The most characters of a copied or selected text that pops up while scanning.
inline constexpr std::size_t kMaxScanCharacters = 100;
// Whether a copied or selected text pops up: after trimming it is not empty, holds at most
// kMaxScanCharacters characters (code points) and contains Chinese.
bool IsScanText(std::u16string_view text);

// The popup's search in all enabled dictionaries (the history is not touched): `text` looked
// up as a word, as the viewer does; when that finds no entry and the text holds more than one
// Chinese character, the cut of its Chinese characters (everything else dropped) into words,
// as "Translate text" does. options.TranslateAll is decided here. FieldText and TranslateAll
// of the result are what was searched (the text, or the cut Chinese with TranslateAll set), so
// that the main window can search the same.
// A page longer than about kPopupPageBytes (a long text cut into thousands of words) keeps its
// first entries up to there, followed by kPopupMoreHtml: a popup shows it at once, and "Open
// in Kestrune" the whole page.
SearchResult RunPopupSearch(const Registry& reg, std::u16string_view text, SearchOptions options);
inline constexpr std::size_t kPopupPageBytes = PageBuffer::kSinkPieceBytes;
inline constexpr std::string_view kPopupMoreHtml =
    "<p><font color=\"#777777\"><i>The page goes on: \"Open in Kestrune\" shows all of "
    "it.</i></font></p>";

// The greedy longest-match cut of `text` against one dictionary: pieces in text order;
// characters that start no known word are skipped. Keeps the dictionary's files open for
// the whole cut and walks the index once per start position.
std::vector<std::u16string> SegmentText(const TDic& dic, std::u16string_view text,
                                        const std::string& folder, bool searchBoth);

}  // namespace kes
