#include "app/pagewriter.h"

#include "charinfo/ucs2view.h"

namespace kes {

PageWriter::PageWriter(const PageFonts& fonts, PageSink sink)
    : fonts_(fonts), page_(sink ? PageBuffer(std::move(sink)) : PageBuffer()) {}

void PageWriter::BeginReading(std::u16string_view key) {
    page_ += PinyinResultsHtml(key);
}

void PageWriter::BeginDict(const TDic& dic, std::size_t) {
    page_ += DictHeadingHtml(dic.Description);
}

void PageWriter::WriteEntry(const FoundEntry& found) {
    AppendEntryHtml(page_.tail(), found.Model, fonts_);
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
    page_.finish();
}

std::string PageWriter::Take() && {
    return std::move(page_).join();
}

}  // namespace kes
