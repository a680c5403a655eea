#include "app/queryflow.h"

#include <algorithm>
#include <unordered_set>

#include "charinfo/s2t.h"
#include "charinfo/ucs2view.h"
#include "charinfo/unihan.h"
#include "dict/indexformat.h"
#include "dict/lines.h"
#include "dict/text.h"

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

// The longest piece at the start of `rest` that has entries, and their HTML; {0, ""} when
// no piece has any. One index walk finds the length; should the entries of that length
// render to nothing after all, shorter lengths are tried as the plain longest-first loop
// would.
std::pair<int, std::string> LongestPiece(DicSession& session, std::u16string_view rest) {
    for (int len = session.LongestEntryPrefix(rest); len > 0; --len) {
        std::string html = session.LookupWord(rest.substr(0, static_cast<std::size_t>(len)));
        if (!html.empty()) return {len, std::move(html)};
    }
    return {0, std::string()};
}

}  // namespace

std::vector<std::u16string> SegmentText(DicSession& session, std::u16string_view text) {
    std::vector<std::u16string> pieces;
    std::size_t t = 0;
    while (t < text.size()) {
        int len = session.LongestEntryPrefix(text.substr(t));
        if (len > 0) {
            pieces.emplace_back(text.substr(t, static_cast<std::size_t>(len)));
            t += static_cast<std::size_t>(len);
        } else {
            ++t;
        }
    }
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

    LookupSettings ls;
    ls.Folder = reg.Folder;
    ls.SearchBoth = options.SearchBoth;
    ls.Fonts = options.Fonts;

    std::string page;
    try {
        for (std::size_t i = 0; i < reg.Dicts.size(); ++i) {
            const TDic& dic = reg.Dicts[i];
            if (!dic.Enabled) continue;
            if (dictNumber > 0 && static_cast<std::size_t>(dictNumber) != i + 1) continue;
            r.Dicts.emplace_back();
            DictSearchResult& d = r.Dicts.back();
            d.Position = i;
            if (dictNumber <= 0) {
                d.Listed = true;
                ListWords(dic, q, ls, [&d](const std::u16string& text, int32_t, int) {
                    d.Words.push_back(text);
                });
            }
            if (segment) {
                DicSession session(dic, ls);
                std::size_t t = 0;
                while (t < q.size()) {
                    auto [len, html] = LongestPiece(session, std::u16string_view(q).substr(t));
                    if (len == 0) {
                        ++t;  // no word starts here: the character is skipped
                        continue;
                    }
                    d.Pieces.push_back(q.substr(t, static_cast<std::size_t>(len)));
                    d.Html += html;
                    t += static_cast<std::size_t>(len);
                }
                session.close();
            } else {
                std::string html = LookupWord(dic, q, ls);
                if (!html.empty()) {
                    d.Pieces.push_back(q);
                    d.Html = std::move(html);
                }
            }
            if (!d.Html.empty()) {
                page += DictHeadingHtml(dic.Description);
                page += d.Html;
                page += kDictSpacerHtml;
            }
        }
        page += Ucs2ViewHtml(q, options.ShowUcs2);
        page += UnihanInfoHtml(q, reg.Unihan, options.ShowUnihan, options.Fonts.ChrFontface,
                               options.Fonts.DscFontface);
    } catch (const IoError& e) {
        r.Error = e.what();
        return r;
    }
    if (options.TranslateAll && r.NonChinese) page += kNoticeHtml;
    r.Page = std::move(page);
    return r;
}

std::vector<int32_t> EntryOffsets(const TDic& dic, std::u16string_view query,
                                  const std::string& folder, bool searchBoth) {
    ByteFile index(IndexPathOf(dic, folder), OpenMode::Read);
    std::vector<int32_t> found = EntryOffsets(index, query, searchBoth);
    index.close();
    return found;
}

std::vector<int32_t> EntryOffsets(ByteFile& index, std::u16string_view query, bool searchBoth) {
    std::vector<int32_t> found;
    if (query.empty()) return found;
    NodeReader reader(index);
    struct Pending {
        int32_t pos;
        std::size_t depth;
    };
    std::vector<Pending> stack{{kRootPosition, 0}};
    std::vector<int32_t> offsets;
    std::vector<ChildEntry> children;
    std::unordered_set<int32_t> seen;
    while (!stack.empty()) {
        Pending node = stack.back();
        stack.pop_back();
        reader.readOffsets(node.pos, offsets);
        if (node.depth == query.size()) {
            for (int32_t off : offsets)
                if (seen.insert(off).second) found.push_back(off);
            continue;
        }
        reader.readChildren(children);
        const char16_t q = query[node.depth];
        for (std::size_t i = children.size(); i-- > 0;)
            if (CharsMatch(children[i].Ch, q, searchBoth))
                stack.push_back({children[i].Pos, node.depth + 1});
    }
    return found;
}

}  // namespace kes
