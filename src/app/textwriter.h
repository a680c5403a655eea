// The search as plain text (UTF-8), for a terminal or a script: per dictionary its
// description, then every entry as its headword and pinyin, one sense per line indented by two
// spaces, notes and examples indented by four; dictionaries apart by an empty line; "Results
// for KEY" before the entries of a pinyin key searched in the query's place; then the UCS-2
// codes, the Unihan lines and the notice, as the options ask.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/pagebuffer.h"
#include "app/searchwriter.h"
#include "charinfo/pinyinmarks.h"

namespace kes {

class TextWriter : public SearchWriter {
  public:
    // Without a sink the text is kept for Take(). The pinyin of every entry and of the
    // references in its senses is shown in `pinyin`.
    explicit TextWriter(PageSink sink = {}, PinyinStyle pinyin = PinyinStyle::Stored);

    void BeginReading(std::u16string_view key) override;
    void BeginDict(const TDic& dic, std::size_t position) override;
    void BeginPiece(std::u16string_view) override {}
    void WriteEntry(const FoundEntry& found) override;
    void EndDict() override {}
    void Finish(const SearchEnd& end) override;

    std::string Take() &&;

  private:
    // Text that follows what is there already after an empty line.
    void Section(std::string_view text);
    PageBuffer text_;
    PinyinStyle pinyin_;
    bool firstDict_ = true;  // of the current reading
};

// The plain-text form of one entry, ending with a line feed; its pinyin, and the pinyin of the
// references in its senses, shown in `pinyin`.
void AppendEntryPlainText(std::string& out, const Entry& e,
                          PinyinStyle pinyin = PinyinStyle::Stored);
std::string EntryPlainText(std::u16string_view line, bool searchBoth);

// The UTF-16 code units of the query as four upper-case hex digits each.
std::vector<std::string> Ucs2Codes(std::u16string_view query);

// The words of a page text without its markup (the notice as plain text).
std::string PlainTextOfHtml(std::string_view html);

}  // namespace kes
