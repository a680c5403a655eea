#include "app/pagewriter.h"

#include "base/text.h"
#include "charinfo/ucs2view.h"

namespace kes {

std::string NothingFoundHtml(std::u16string_view query, bool cuttable) {
    std::string line = "<p><font color=\"#777777\"><i>Nothing found for \"" +
                       EscapeHtml(Utf16ToUtf8(query)) + "\"";
    line += cuttable ? " as one word. Turn on 'Translate text (instead of word)' to cut it into "
                       "words."
                     : ".";
    return line + "</i></font></p>";
}

PageWriter::PageWriter(const PageFonts& fonts, PageSink sink, const EntryLinks* links)
    : fonts_(fonts), page_(sink ? PageBuffer(std::move(sink)) : PageBuffer()), links_(links) {}

void PageWriter::BeginReading(std::u16string_view key) {
    page_ += PinyinResultsHtml(key);
}

void PageWriter::BeginDict(const TDic& dic, std::size_t) {
    page_ += DictHeadingHtml(dic.Description);
}

void PageWriter::WriteEntry(const FoundEntry& found) {
    AppendEntryHtml(page_.tail(), found.Model, fonts_,
                    links_ ? EntryLinksHtml(found, *links_) : std::string());
    page_.seal();
}

void PageWriter::EndDict() {
    page_ += kDictSpacerHtml;
}

void PageWriter::Finish(const SearchEnd& end) {
    page_ += Ucs2ViewHtml(end.Query, end.ShowUcs2);
    page_ += UnihanInfoHtml(end.Query, end.Unihan, end.ShowUnihan, fonts_.ChrFontface,
                            fonts_.DscFontface);
    if (end.Blocked) page_ += kNoticeHtml;
    if (!end.Found && page_.size() == 0) page_ += NothingFoundHtml(end.FieldText, end.Cuttable);
    page_.finish();
}

std::string PageWriter::Take() && {
    return std::move(page_).join();
}

}  // namespace kes
