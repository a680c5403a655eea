// The result page as the viewer shows it: per dictionary its heading, the entry blocks and the
// spacer; "Results for" before the entries of a pinyin key searched in the query's place; then
// the UCS-2 line, the Unihan block and the notice, as the options ask; a page that would be
// empty because nothing was found says so in one grey line. Made piece by piece in
// a PageBuffer: kept whole (Take) or written out as it is made through a sink.
#pragma once

#include <string>

#include "app/entrylinks.h"
#include "app/pagebuffer.h"
#include "app/resultpage.h"
#include "app/searchwriter.h"

namespace kes {

// The grey line of a page on which nothing was found for `query` (as typed); for a Chinese text
// looked up as one word (`cuttable`) it says that "Translate text" cuts it into words.
std::string NothingFoundHtml(std::u16string_view query, bool cuttable);

class PageWriter : public SearchWriter {
  public:
    // Without a sink the page is kept for Take(). With `links` (the viewer's page) every entry
    // gets its links beside the pinyin.
    explicit PageWriter(const PageFonts& fonts, PageSink sink = {},
                        const EntryLinks* links = nullptr);

    void BeginReading(std::u16string_view key) override;
    void BeginDict(const TDic& dic, std::size_t position) override;
    void BeginPiece(std::u16string_view) override {}
    void WriteEntry(const FoundEntry& found) override;
    void EndDict() override;
    void Finish(const SearchEnd& end) override;

    // The whole page (no sink), after Finish.
    std::string Take() &&;

  private:
    PageFonts fonts_;
    PageBuffer page_;
    const EntryLinks* links_ = nullptr;
};

}  // namespace kes
