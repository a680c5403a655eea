#include "app/queryflow.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "app/pagewriter.h"
#include "app/pinyin.h"
#include "base/lines.h"
#include "base/text.h"
#include "charinfo/s2t.h"
#include "dict/indexformat.h"
#include "dict/translationrank.h"

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
    o.BestFirst = s.BestFirst;
    o.ShowUcs2 = s.ShowUcs2;
    o.ShowUnihan = s.ShowUnihan;
    o.Fonts.ChrFontface = s.ChrFontface;
    o.Fonts.ChrFontsize = s.ChrFontsize;
    o.Fonts.PinFontface = s.PinFontface;
    o.Fonts.PinFontsize = s.PinFontsize;
    o.Fonts.DscFontface = s.DscFontface;
    o.Fonts.DscFontsize = s.DscFontsize;
    o.Fonts.Pinyin = PagePinyinOf(s.Pinyin, s.ToneColors);
    return o;
}

bool HasNonChinese(std::u16string_view query) {
    return std::any_of(query.begin(), query.end(), [](char16_t c) { return c < 0x3400; });
}

namespace {

// One search's way from the index to the writer: each dictionary's part (begun at its first
// entry, so that a dictionary without entries leaves no trace), each piece's entries read
// once, taken apart once and handed over, and what was handed over recorded in the result.
class Handing {
  public:
    Handing(SearchWriter& writer, bool searchBoth) : writer_(writer), both_(searchBoth) {}

    void Start(const TDic& dic, DictSearchResult& d) {
        dic_ = &dic;
        d_ = &d;
        begun_ = false;
    }
    // The entries at `found` (each once) as the piece `key`; true when one was handed over.
    // With `bestFirst` (a translation-word query, "Best matches first") they are all read
    // first and handed over in the order of BestFirstOrder.
    bool Piece(DicReader& reader, const std::u16string& key, const std::vector<int32_t>& found,
               bool bestFirst = false) {
        shown_.reset();
        d_->Pieces.push_back(key);
        d_->Offsets.emplace_back();
        std::vector<int32_t>& handed = d_->Offsets.back();
        if (bestFirst) {
            HandBestFirst(reader, key, found, handed);
        } else {
            for (int32_t off : found) {
                reader.CheckOffset(off);
                if (!shown_.markShown(off)) continue;
                const std::u16string line = reader.ReadEntryLine(off);
                ReadEntry(line, both_, entry_, dic_->Convention);
                Hand(key, off, line, entry_, handed);
            }
        }
        found_ = found_ || !handed.empty();
        return !handed.empty();
    }
    void End() {
        if (begun_) writer_.EndDict();
        begun_ = false;
    }
    bool found() const { return found_; }

  private:
    void Hand(const std::u16string& key, int32_t off, const std::u16string& line,
              const Entry& entry, std::vector<int32_t>& handed) {
        if (!begun_) writer_.BeginDict(*dic_, d_->Position);
        if (handed.empty()) writer_.BeginPiece(key);
        begun_ = true;
        writer_.WriteEntry({*dic_, d_->Position, key, off, line, entry});
        handed.push_back(off);
    }
    void HandBestFirst(DicReader& reader, const std::u16string& key,
                       const std::vector<int32_t>& found, std::vector<int32_t>& handed) {
        std::size_t n = 0;
        offsets_.clear();
        for (int32_t off : found) {
            reader.CheckOffset(off);
            if (!shown_.markShown(off)) continue;
            if (n == lines_.size()) {
                lines_.emplace_back();
                models_.emplace_back();
            }
            lines_[n] = reader.ReadEntryLine(off);
            ReadEntry(lines_[n], both_, models_[n], dic_->Convention);
            offsets_.push_back(off);
            ++n;
        }
        std::vector<const Entry*> entries;
        for (std::size_t i = 0; i < n; ++i)
            entries.push_back(&models_[i]);
        for (std::size_t i : BestFirstOrder(key, entries))
            Hand(key, offsets_[i], lines_[i], models_[i], handed);
    }

    SearchWriter& writer_;
    bool both_;
    ShownOffsets shown_;
    Entry entry_;  // its buffers serve every entry
    // The entries of a piece handed over best first, read before any is handed over.
    std::vector<int32_t> offsets_;
    std::vector<std::u16string> lines_;
    std::vector<Entry> models_;
    const TDic* dic_ = nullptr;
    DictSearchResult* d_ = nullptr;
    bool begun_ = false;
    bool found_ = false;
};

// One dictionary's part of a search: the whole query, or the greedy longest-match cut of it.
// With `bestFirst` the entries of the whole query are handed over best first.
void SearchDict(DicReader& reader, const std::u16string& q, bool segment, bool bestFirst,
                Handing& hand) {
    std::vector<int32_t> found;
    if (!segment) {
        // The whole query carries entries: exactly what a lookup of it hands over.
        if (reader.Longest(q, found) == static_cast<int>(q.size()))
            hand.Piece(reader, q, found, bestFirst);
        return;
    }
    std::size_t t = 0;
    while (t < q.size()) {
        const int len = reader.Longest(std::u16string_view(q).substr(t), found);
        if (len == 0) {
            ++t;  // no word starts here: the character is skipped
            continue;
        }
        hand.Piece(reader, q.substr(t, static_cast<std::size_t>(len)), found);
        t += static_cast<std::size_t>(len);
    }
}

// When the query reads as pinyin and found nothing as typed, or found entries as typed and
// reads as pinyin in more than one way ("xian", "xi an"): each reading in order (but the one
// typed), with the first of its keys that finds entries in any dictionary: its "Results
// for" line and the entries of every dictionary that has them.
void SearchPinyinReadings(const Registry& reg, SearchResult& r,
                          std::vector<std::unique_ptr<DicReader>>& readers, const std::u16string& q,
                          SearchWriter& writer, Handing& hand) {
    const bool typedFound = hand.found();
    const std::vector<PinyinReading> readings = PinyinReadings(q);
    if (typedFound && readings.size() < 2) return;
    std::vector<std::vector<int32_t>> found(r.Dicts.size());
    for (const PinyinReading& reading : readings) {
        if (typedFound &&
            std::find(reading.Keys.begin(), reading.Keys.end(), q) != reading.Keys.end())
            continue;  // the reading as typed: its entries are on the page already
        for (const std::u16string& key : reading.Keys) {
            if (key == q) continue;  // searched as typed already
            bool any = false;
            for (std::size_t k = 0; k < r.Dicts.size(); ++k) {
                readers[k]->Exact(key, found[k]);
                any = any || !found[k].empty();
            }
            if (!any) continue;
            writer.BeginReading(key);
            for (std::size_t k = 0; k < r.Dicts.size(); ++k) {
                if (found[k].empty()) continue;
                DictSearchResult& d = r.Dicts[k];
                hand.Start(reg.Dicts[d.Position], d);
                hand.Piece(*readers[k], key, found[k]);
                hand.End();
                if (d.Listed) {
                    std::unordered_set<std::u16string> listed(d.Words.begin(), d.Words.end());
                    readers[k]->ListWords(key, [&](const std::u16string& word) {
                        if (listed.insert(word).second) d.Words.push_back(word);
                    });
                }
            }
            // The query as typed comes first among the keys searched when it found entries.
            if (typedFound && r.Searched.empty()) r.Searched.push_back(q);
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
                       int dictNumber, bool record, const SearchOptions& options,
                       SearchWriter& writer) {
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
    r.TranslateAll = options.TranslateAll;
    const bool segment = options.TranslateAll && !r.NonChinese;
    const bool bestFirst = options.BestFirst && !segment && IsTranslationWordQuery(q);

    Handing hand(writer, options.SearchBoth);
    // One reader per dictionary asked, open for the whole search.
    std::vector<std::unique_ptr<DicReader>> readers;
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
            hand.Start(dic, d);
            SearchDict(reader, q, segment, bestFirst, hand);
            hand.End();
        }
        SearchPinyinReadings(reg, r, readers, q, writer, hand);
        for (std::unique_ptr<DicReader>& reader : readers)
            reader->close();
        // Characters, not code units: a low surrogate continues the character before it.
        const auto chars = std::count_if(q.begin(), q.end(),
                                         [](char16_t c) { return c < 0xDC00 || c > 0xDFFF; });
        const bool cuttable = !options.TranslateAll && !r.NonChinese && chars > 1;
        r.CouldCut = cuttable && !hand.found();
        writer.Finish({q, r.Searched, hand.found(), options.ShowUcs2, reg.Unihan,
                       options.ShowUnihan, options.TranslateAll && r.NonChinese, r.FieldText,
                       cuttable});
    } catch (const IoError& e) {
        r.Error = e.what();
    }
    return r;
}

SearchResult RunSearch(const Registry& reg, QueryHistory& history, std::u16string_view query,
                       int dictNumber, bool record, const SearchOptions& options) {
    PageWriter page(options.Fonts, options.PageOut, options.Links);
    SearchResult r = RunSearch(reg, history, query, dictNumber, record, options, page);
    if (r.ok() && !options.PageOut) r.Page = std::move(page).Take();
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

namespace {

// The search with the page kept up to the end of the first piece that reaches kPopupPageBytes
// (pieces end after an entry), and the note when more followed.
SearchResult RunPopupPage(const Registry& reg, std::u16string_view text,
                          const SearchOptions& options) {
    QueryHistory unused;
    std::string kept;
    bool more = false;
    SearchOptions o = options;
    o.PageOut = [&kept, &more](std::string_view bytes) {
        if (kept.size() < kPopupPageBytes)
            kept.append(bytes);
        else
            more = more || !bytes.empty();
    };
    SearchResult r = RunSearch(reg, unused, text, 0, false, o);
    if (!r.ok()) return r;
    r.Page = std::move(kept);
    if (more) r.Page += kPopupMoreHtml;
    return r;
}

}  // namespace

SearchResult RunPopupSearch(const Registry& reg, std::u16string_view text, SearchOptions options) {
    options.TranslateAll = false;
    SearchResult r = RunPopupPage(reg, text, options);
    const bool found = !r.Searched.empty() ||
                       std::any_of(r.Dicts.begin(), r.Dicts.end(),
                                   [](const DictSearchResult& d) { return !d.Pieces.empty(); });
    if (!r.ok() || found) return r;
    std::u16string chinese;
    for (char16_t c : text)
        if (c >= 0x3400) chinese += c;
    if (chinese.size() < 2 || !ContainsChinese(chinese)) return r;
    options.TranslateAll = true;
    return RunPopupPage(reg, chinese, options);
}

}  // namespace kes
