// The HTML text of the result page: one dictionary entry's block, the pieces that frame
// each dictionary's entries, and the fixed texts. Page text is UTF-8; every character of
// an entry outside ASCII is written as a decimal character reference "&#N;".
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/bytefile.h"
#include "charinfo/pinyinmarks.h"
#include "dict/entry.h"

namespace kes {

// How the page shows pinyin, in its pinyin cell and inside the references: in `Style`, and
// with `Colored` each syllable in the colour of its tone (ToneColors, tones 1-5).
struct PagePinyin {
    PinyinStyle Style = PinyinStyle::Stored;
    bool Colored = false;
    std::array<std::string, 5> ToneColors = ParseToneColors(kDefaultToneColors);
};

// The look of setup.ini's "Pinyin" choice ("stored", "marks", "colored": marks in the
// colours of `toneColors`, "zhuyin"; anything else: stored).
PagePinyin PagePinyinOf(std::string_view choice, std::string_view toneColors);

// The page fonts of the settings (face as stored, size in points without unit).
struct PageFonts {
    std::string ChrFontface = "Arial";  // headword
    int ChrFontsize = 12;
    std::string PinFontface = "Times";  // pinyin
    int PinFontsize = 12;
    std::string DscFontface = "Times";  // translation
    int DscFontsize = 12;
    // Not a font, but how the pinyin looks too.
    PagePinyin Pinyin;
};

// The entry offsets already rendered during one lookup: 100 slots, -1 when free.
// An offset met again renders nothing; when all slots are taken, further entries are
// rendered without being recorded.
class ShownOffsets {
  public:
    static constexpr int kSlots = 100;
    ShownOffsets() { reset(); }
    // Frees all slots (done at the start of every lookup).
    void reset() { slots_.fill(-1); }
    // False when the offset is already recorded; otherwise records it in the first free
    // slot (if any) and returns true.
    bool markShown(int32_t offset);
    bool contains(int32_t offset) const;
    const std::array<int32_t, kSlots>& slots() const { return slots_; }

  private:
    std::array<int32_t, kSlots> slots_;
};

// The link of a reference: clicking it searches `word`. "kestrune:search?" followed by the
// word in UTF-8, every byte but the unreserved ASCII ones percent-encoded.
std::string SearchLinkHref(std::u16string_view word);
// The word a link searches: the text after "kestrune:search?" (letter case of the scheme
// ignored) percent-decoded; nothing for any other link, an empty word, a broken escape or a
// word that is no UTF-8.
std::optional<std::u16string> SearchWordOfLink(std::string_view href);

// The HTML block of one entry (the headword, pinyin and translation tables) appended to `out`.
// Every reference with pinyin in the translation (Entry::References) is shown as the link of
// its form that matches the entry's script (ReferenceForm), then its pinyin in brackets:
// "<a href=\"" SearchLinkHref(form) "\">" form "</a>[" pinyin "]".
// `afterPinyin` (the viewer's links, app/entrylinks.h) goes into the pinyin cell after the pinyin.
void AppendEntryHtml(std::string& out, const Entry& e, const PageFonts& fonts,
                     std::string_view afterPinyin = {});
// The HTML block of one entry line.
// `both` is the "Search both chinese forms" option: a single-form headword whose simplified
// text differs gets "  (" simplified ") " appended.
std::string RenderEntryLine(std::u16string_view line, const PageFonts& fonts, bool both);
// The same block appended to `out`.
void AppendEntryLine(std::string& out, std::u16string_view line, const PageFonts& fonts, bool both);

// The markup tokens "[br]", "[bs]", "[be]", "[cs]" and "[ce]" (letter case ignored) replaced
// by "<br />", "<b>", "</b>", "<font color=\"#449944\"><i>" and "</i></font>".
std::string ReplaceMarkup(std::string_view s);

// Renders the entry whose line starts at `offset` of the open data file, unless `shown`
// already holds that offset (then the result is empty). Reads exactly one line; a read
// error propagates as IoError.
std::string RenderEntry(ByteFile& dataFile, int32_t offset, ShownOffsets& shown,
                        const PageFonts& fonts, bool both);
// The same block appended to `out`; false (and nothing appended) when `shown` already held
// the offset.
bool AppendEntry(std::string& out, ByteFile& dataFile, int32_t offset, ShownOffsets& shown,
                 const PageFonts& fonts, bool both);

// Fixed texts of the page.
inline constexpr std::string_view kHintHtml =
    "<font face=\"Tahoma\"><b>To use:</b> Enter (chinese) text/word in the \"Input\" field "
    "and press \"Search\"</font>";
inline constexpr std::string_view kDictSpacerHtml =
    "<table height=\"20\"><tr><td></td></tr></table>";
inline constexpr std::string_view kNoticeHtml =
    "<p><font color=\"#777777\"><i>NOTICE: </font><font color=\"#000000\">'Translate text "
    "(instead of word)'</font><font color=\"#777777\"> option was blocked by non-chinese "
    "characters in input.</i></font></p>";

// The line put before the entries found for a pinyin key searched in place of the query
// ("Results for zhong guo"); the key is plain ASCII pinyin.
std::string PinyinResultsHtml(std::u16string_view key);
// The same line as plain text.
std::string PinyinResultsText(std::u16string_view key);

// UTF-8 text as page text: "&", "<", ">" and '"' written as character entities, so that it
// shows as it is and never opens a tag or ends an attribute.
std::string EscapeHtml(std::string_view text);
// A dictionary description as page text (UTF-8, escaped): a name is shown as written, never
// taken as markup.
std::string DescriptionHtml(std::u16string_view text);

// The heading put before a dictionary's entries.
std::string DictHeadingHtml(std::u16string_view description);

}  // namespace kes
