// The links beside each entry's pinyin on the viewer's page and in the popup: a speaker that
// speaks the entry's pinyin, and "Add to my words" (or "in my words" for a word kept already).
// They are links of the program's own scheme "kestrune:", which the page never follows: the
// window that shows the page carries them out (EntryLinkOf tells what a click asks for).
//
//   kestrune:say?text=zhong1%20guo2      speak this text (app/speech.h SpeechText)
//   kestrune:add?dict=0&at=1234          keep the entry at byte offset 1234 of the data file of
//                                        the registry's dictionary 0
//
// The lookup command's page has none of them (no EntryLinks given to the writer).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/searchwriter.h"
#include "dict/entry.h"

namespace kes {

struct EntryLinks {
    // espeak-ng is there; without it the speaker is grey and says what to install.
    bool Speech = true;
    // Whether the entry is kept in my words already; empty: never.
    std::function<bool(const EntryFields& entry)> IsMine;
};

inline constexpr std::string_view kLinkScheme = "kestrune";
inline constexpr std::string_view kInMyWordsHtml =
    "<font color=\"#777777\" style=\"font-size:10pt;\"><i>in my words</i></font>";

// The links of one entry (put after its pinyin).
std::string EntryLinksHtml(const FoundEntry& found, const EntryLinks& links);

// What a clicked link asks for.
struct EntryLink {
    enum class Kind { None, Say, Add };
    Kind What = Kind::None;
    std::string Text;         // Say: the text for the voice
    std::size_t Dict = 0;     // Add: the dictionary's index in the registry
    int32_t Offset = -1;      // Add: the entry's byte offset in its data file
};
// `url` as the page gives it (the href); Kind::None for any other link.
EntryLink EntryLinkOf(std::string_view url);

// The page with the "Add to my words" link of that entry replaced by kInMyWordsHtml (for the
// page shown when the word has been added); the page as it is when it has no such link.
std::string MarkKept(std::string_view page, std::size_t dict, int32_t offset);

// The href of the first "Add to my words" link of the page (the first entry that can be
// kept), or empty.
std::string FirstAddLink(std::string_view page);

}  // namespace kes
