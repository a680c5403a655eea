#include "app/queryflow.h"

#include "app/pagebuffer.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "app/pinyin.h"
#include "base/lines.h"
#include "base/text.h"
#include "charinfo/s2t.h"
#include "charinfo/ucs2view.h"
#include "charinfo/unihan.h"
#include "dict/indexformat.h"

namespace kes {

void QueryHistory::Record(const std::u16string& query) {
    for (const std::u16string& h : Slots)
        if (h == query) return;
    std::rotate(Slots.begin(), Slots.begin() + 1, Slots.end());
    Slots[kSlots - 1] = query;
    P = kSlots;
}

std::optional<std::u16string> QueryHistory::Back() {
    if (P > 1 && !H(P - 1).empty()) {
        --P;
        return H(P);
    }
    return std::nullopt;
}

std::optional<std::u16string> QueryHistory::Fwd() {
    if (P < kSlots) {
        ++P;
        return H(P);
    }
    return std::nullopt;
}

SearchOptions SearchOptionsOf(const Settings& s) {
    SearchOptions o;
    o.TranslateAll = s.TranslateAll;
    o.SearchBoth = s.SearchBoth;
    o.ShowUcs2 = s.ShowUcs2;
    o.ShowUnihan = s.ShowUnihan;
    o.Fonts.ChrFontface = s.ChrFontface;
    o.Fonts.ChrFontsize = s.ChrFontsize;
    o.Fonts.PinFontface = s.PinFontface;
    o.Fonts.PinFontsize = s.PinFontsize;
    o.Fonts.DscFontface = s.DscFontface;
    o.Fonts.DscFontsize = s.DscFontsize;
    return o;
}

bool HasNonChinese(std::u16string_view query) {
    return std::any_of(query.begin(), query.end(), [](char16_t c) { return c < 0x3400; });
}

namespace {

// The entries of one lookup appended to the page: each offset rendered once (the shown
// offsets are reset first), and the offsets rendered, in page order. Without the page the
// same entries are chosen and no HTML is made. True when an entry was added.
bool AppendEntries(PageBuffer& page, DicReader& reader, const std::vector<int32_t>& offsets,
                   const SearchOptions& options, ShownOffsets& shown,
                   std::vector<int32_t>& rendered) {
    shown.reset();
    const std::size_t before = rendered.size();
    for (int32_t off : offsets) {
        reader.CheckOffset(off);
        if (!options.RenderPage) {
            if (shown.markShown(off)) rendered.push_back(off);
        } else if (AppendEntry(page.tail(), reader.data(), off, shown, options.Fonts,
                               options.SearchBoth)) {
            rendered.push_back(off);
            page.seal();
        }
    }
    return rendered.size() > before;
}

// One dictionary's part of the page: its heading, what `entries` appends, and the spacer;
// nothing at all when `entries` appends nothing. Returns what `entries` returned.
template <typename Entries>
bool AppendDictPart(PageBuffer& page, const TDic& dic, bool renderPage, Entries entries) {
    const std::size_t start = page.size();
    if (renderPage) page += DictHeadingHtml(dic.Description);
    const std::size_t body = page.size();
    const bool any = entries();
    if (page.size() == body) {
        page.resize(start);
    } else {
        page += kDictSpacerHtml;
    }
    return any;
}

// When the query found nothing as typed and reads as pinyin: each reading in order, with the
// first of its keys that finds entries in any dictionary; the page part is, per reading
// found, the "Results for" line and the entries of every dictionary that has them.
template <typename Append>
void SearchPinyinReadings(const Registry& reg, SearchResult& r,
                          std::vector<std::unique_ptr<DicReader>>& readers, const std::u16string& q,
                          PageBuffer& page, bool renderPage, const Append& append) {
    std::vector<int32_t> found;
    for (const PinyinReading& reading : PinyinReadings(q)) {
        for (const std::u16string& key : reading.Keys) {
            if (key == q) continue;  // searched as typed already
            bool any = false;
            const std::size_t start = page.size();
            if (renderPage) page += PinyinResultsHtml(key);
            for (std::size_t k = 0; k < r.Dicts.size(); ++k) {
                DictSearchResult& d = r.Dicts[k];
                readers[k]->Exact(key, found);
                if (found.empty()) continue;
                any = true;
                AppendDictPart(page, reg.Dicts[d.Position], renderPage,
                               [&] { return append(d, *readers[k], key, found); });
                if (d.Listed) {
                    std::unordered_set<std::u16string> listed(d.Words.begin(), d.Words.end());
                    readers[k]->ListWords(key, [&](const std::u16string& word) {
                        if (listed.insert(word).second) d.Words.push_back(word);
                    });
                }
            }
            if (!any) {
                page.resize(start);
                continue;
            }
            r.Searched.push_back(key);
            break;
        }
    }
}

}  // namespace

std::vector<std::u16string> SegmentText(const TDic& dic, std::u16string_view text,
                                        const std::string& folder, bool searchBoth) {
    DicReader reader(dic, folder, searchBoth);
    std::vector<std::u16string> pieces;
    std::vector<int32_t> found;
    std::size_t t = 0;
    while (t < text.size()) {
        int len = reader.Longest(text.substr(t), found);
        if (len > 0) {
            pieces.emplace_back(text.substr(t, static_cast<std::size_t>(len)));
            t += static_cast<std::size_t>(len);
        } else {
            ++t;
        }
    }
    reader.close();
    return pieces;
}

SearchResult RunSearch(const Registry& reg, QueryHistory& history, std::u16string_view query,
                       int dictNumber, bool record, const SearchOptions& options) {
    SearchResult r;
    std::u16string q = Trim(query);
    if (q.empty()) return r;
    q = DecodeCharRefs(q);
    r.Changed = true;
    r.NonChinese = HasNonChinese(q);
    r.FieldText = q;
    if (record) history.Record(q);
    q = LowerLatinCyr(q);
    r.Query = q;
    r.AllDictionaries = dictNumber <= 0;
    const bool segment = options.TranslateAll && !r.NonChinese;

    PageBuffer page = options.PageOut ? PageBuffer(options.PageOut) : PageBuffer();
    ShownOffsets shown;
    // One reader per dictionary asked, open for the whole search.
    std::vector<std::unique_ptr<DicReader>> readers;
    // The page is made in this one buffer, entry by entry.
    auto appendEntries = [&](DictSearchResult& d, DicReader& reader, const std::u16string& key,
                             const std::vector<int32_t>& found) {
        d.Pieces.push_back(key);
        d.Offsets.emplace_back();
        return AppendEntries(page, reader, found, options, shown, d.Offsets.back());
    };
    try {
        for (std::size_t i = 0; i < reg.Dicts.size(); ++i) {
            const TDic& dic = reg.Dicts[i];
            if (!dic.Enabled) continue;
            if (dictNumber > 0 && static_cast<std::size_t>(dictNumber) != i + 1) continue;
            r.Dicts.emplace_back();
            DictSearchResult& d = r.Dicts.back();
            d.Position = i;
            readers.push_back(
                std::make_unique<DicReader>(dic, reg.Folder, options.SearchBoth, reg.Views.get()));
            DicReader& reader = *readers.back();
            if (dictNumber <= 0) {
                d.Listed = true;
                reader.ListWords(q, [&d](const std::u16string& word) { d.Words.push_back(word); });
            }
            std::vector<int32_t> found;
            AppendDictPart(page, dic, options.RenderPage, [&] {
                bool any = false;
                if (segment) {
                    std::size_t t = 0;
                    while (t < q.size()) {
                        int len = reader.Longest(std::u16string_view(q).substr(t), found);
                        if (len == 0) {
                            ++t;  // no word starts here: the character is skipped
                            continue;
                        }
                        any |= appendEntries(d, reader, q.substr(t, static_cast<std::size_t>(len)),
                                             found);
                        t += static_cast<std::size_t>(len);
                    }
                } else if (reader.Longest(q, found) == static_cast<int>(q.size())) {
                    // The whole query carries entries: exactly what a lookup of it renders.
                    any = appendEntries(d, reader, q, found);
                }
                return any;
            });
        }
        const bool foundAsTyped = std::any_of(r.Dicts.begin(), r.Dicts.end(),
                                              [](const auto& d) { return !d.Pieces.empty(); });
        if (!foundAsTyped)
            SearchPinyinReadings(reg, r, readers, q, page, options.RenderPage, appendEntries);
        for (std::unique_ptr<DicReader>& reader : readers)
            reader->close();
        page += Ucs2ViewHtml(q, options.ShowUcs2);
        page += UnihanInfoHtml(q, reg.Unihan, options.ShowUnihan, options.Fonts.ChrFontface,
                               options.Fonts.DscFontface);
        if (options.TranslateAll && r.NonChinese) page += kNoticeHtml;
        page.finish();
    } catch (const IoError& e) {
        r.Error = e.what();
        return r;
    }
    if (!options.PageOut) r.Page = std::move(page).join();
    return r;
}

bool ContainsChinese(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) {
        return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
               (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xD840 && c <= 0xD8BF);  // U+20000..3FFFF
    });
}

bool IsScanText(std::u16string_view text) {
    const std::u16string t = Trim(text);
    if (t.empty() || !ContainsChinese(t)) return false;
    // Characters, not code units: a low surrogate continues the character before it.
    const auto count =
        std::count_if(t.begin(), t.end(), [](char16_t c) { return c < 0xDC00 || c > 0xDFFF; });
    return static_cast<std::size_t>(count) <= kMaxScanCharacters;
}

SearchResult RunPopupSearch(const Registry& reg, std::u16string_view text, SearchOptions options) {
    QueryHistory unused;
    options.TranslateAll = false;
    SearchResult r = RunSearch(reg, unused, text, 0, false, options);
    const bool found = !r.Searched.empty() ||
                       std::any_of(r.Dicts.begin(), r.Dicts.end(),
                                   [](const DictSearchResult& d) { return !d.Pieces.empty(); });
    if (!r.ok() || found) return r;
    std::u16string chinese;
    for (char16_t c : text)
        if (c >= 0x3400) chinese += c;
    if (chinese.size() < 2 || !ContainsChinese(chinese)) return r;
    options.TranslateAll = true;
    SearchResult cut = RunSearch(reg, unused, chinese, 0, false, options);
    // The field text stays the text as given.
    cut.FieldText = r.FieldText;
    return cut;
}

}  // namespace kes
