#include "app/queryflow.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

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

QueryCharMatcher::QueryCharMatcher(char16_t q, bool both)
    : q_(q), sq_(ToSimplifiedChar(q, both)), both_(both) {}

namespace {

// One dictionary's files, open for a whole search. Every node record is read once per
// search and kept decoded, with the children that match each query character: the root and
// the nodes of frequent first characters have thousands of children, and a cut text starts
// a walk at every position.
class SearchSession {
  public:
    SearchSession(const TDic& dic, const LookupSettings& s, bool renderPage)
        : settings_{s, renderPage},
          index_(IndexPathOf(dic, s.Folder), OpenMode::Read),
          data_(DataPathOf(dic, s.Folder), OpenMode::Read) {
        index_.setReadAhead(4096);
        data_.setReadAhead(1024);
        std::optional<NodeReader> reader;
        NodeAt(kRootPosition, reader);
    }

    // One walk over every path whose characters match the start of `text` (pre-order,
    // children in stored order, as a lookup walks): returns the longest length L whose
    // nodes carry entries, with those entries' offsets in walk order (what a lookup of the
    // first L units renders), or 0.
    int Longest(std::u16string_view text, std::vector<int32_t>& found) {
        found.clear();
        if (text.empty()) return 0;
        // Records of one walk come in increasing file order; a reader checks that for the
        // records read in this walk (cached ones were checked when they were read).
        std::optional<NodeReader> reader;
        stack_.clear();
        stack_.push_back({kRootPosition, 0});
        int best = 0;
        int32_t last = -1;
        while (!stack_.empty()) {
            Pending pending = stack_.back();
            stack_.pop_back();
            // A sound index is met in increasing file order by every walk; a record met
            // again or out of order (a damaged index) ends the search as a lookup would.
            if (pending.pos <= last)
                throw IoError(index_.name(),
                              "Corrupt index file (record out of order at position " +
                                  std::to_string(pending.pos) + ")");
            last = pending.pos;
            Node& node = NodeAt(pending.pos, reader);
            if (pending.depth > 0 && !node.offsets.empty()) {
                if (pending.depth > best) {
                    best = pending.depth;
                    found.clear();
                }
                if (pending.depth == best)
                    found.insert(found.end(), node.offsets.begin(), node.offsets.end());
            }
            if (static_cast<std::size_t>(pending.depth) >= text.size()) continue;
            const std::vector<ChildEntry>& next =
                Matches(node, text[static_cast<std::size_t>(pending.depth)]);
            for (std::size_t i = next.size(); i-- > 0;)
                stack_.push_back({next[i].Pos, pending.depth + 1});
        }
        return best;
    }

    // The entries of one lookup: each offset rendered once (ShownOffsets reset first).
    std::string Render(const std::vector<int32_t>& offsets, std::vector<int32_t>& rendered) {
        shown_.reset();
        std::string html;
        if (!settings_.RenderPage) {
            // The same choice of entries as rendering makes, without the HTML.
            const int64_t size = data_.size();
            for (int32_t off : offsets) {
                if (off < 0 || off >= size)
                    throw IoError(data_.name(), "Entry offset " + std::to_string(off) +
                                                    " lies outside the data file");
                if (shown_.markShown(off)) rendered.push_back(off);
            }
            return html;
        }
        for (int32_t off : offsets) {
            std::string block = RenderEntry(data_, off, shown_, settings_.lookup.Fonts,
                                            settings_.lookup.SearchBoth);
            if (block.empty()) continue;
            rendered.push_back(off);
            html += block;
        }
        return html;
    }

    void close() {
        index_.close();
        data_.close();
    }

  private:
    struct Pending {
        int32_t pos;
        int depth;
    };
    struct Node {
        std::vector<int32_t> offsets;
        std::vector<ChildEntry> children;
        std::unordered_map<char16_t, std::vector<ChildEntry>> matches;  // per query char
        // For nodes with many children: child index by code unit, and the children whose
        // simplified form differs from themselves, by that form.
        bool indexed = false;
        std::unordered_map<char16_t, std::vector<uint32_t>> byChar;
        std::unordered_map<char16_t, std::vector<uint32_t>> bySimplified;
    };
    static constexpr std::size_t kIndexedChildren = 64;

    Node& NodeAt(int32_t pos, std::optional<NodeReader>& reader) {
        auto it = nodes_.find(pos);
        if (it != nodes_.end()) return it->second;
        if (!reader) reader.emplace(index_);
        Node node;
        reader->readOffsets(pos, node.offsets);
        reader->readChildren(node.children);
        return nodes_.emplace(pos, std::move(node)).first->second;
    }

    // The children of a node that match q (CharsMatch), in stored order.
    const std::vector<ChildEntry>& Matches(Node& node, char16_t q) {
        auto it = node.matches.find(q);
        if (it != node.matches.end()) return it->second;
        std::vector<ChildEntry>& m = node.matches[q];
        const bool both = settings_.lookup.SearchBoth;
        if (node.children.size() <= kIndexedChildren) {
            const QueryCharMatcher match(q, both);
            for (const ChildEntry& c : node.children)
                if (match(c.Ch)) m.push_back(c);
            return m;
        }
        // CharsMatch(c, q) holds for c = q, and with both forms for c = the simplified form
        // of q and for every c whose simplified form is q.
        if (!node.indexed) {
            node.indexed = true;
            for (uint32_t i = 0; i < node.children.size(); ++i) {
                const char16_t c = node.children[i].Ch;
                node.byChar[c].push_back(i);
                const char16_t sc = ToSimplifiedChar(c, true);
                if (sc != c) node.bySimplified[sc].push_back(i);
            }
        }
        std::vector<uint32_t> picked;
        auto add = [&](char16_t c) {
            auto it = node.byChar.find(c);
            if (it != node.byChar.end())
                picked.insert(picked.end(), it->second.begin(), it->second.end());
        };
        add(q);
        if (both) {
            const char16_t sq = ToSimplifiedChar(q, true);
            if (sq != q) add(sq);
            if (auto it = node.bySimplified.find(q); it != node.bySimplified.end())
                picked.insert(picked.end(), it->second.begin(), it->second.end());
        }
        std::sort(picked.begin(), picked.end());
        picked.erase(std::unique(picked.begin(), picked.end()), picked.end());
        for (uint32_t i : picked)
            m.push_back(node.children[i]);
        return m;
    }

    struct Settings {
        LookupSettings lookup;
        bool RenderPage;
    };
    Settings settings_;
    ByteFile index_;
    ByteFile data_;
    std::unordered_map<int32_t, Node> nodes_;
    ShownOffsets shown_;
    std::vector<Pending> stack_;
};

}  // namespace

std::vector<std::u16string> SegmentText(const TDic& dic, std::u16string_view text,
                                        const LookupSettings& settings) {
    SearchSession session(dic, settings, false);
    std::vector<std::u16string> pieces;
    std::vector<int32_t> found;
    std::size_t t = 0;
    while (t < text.size()) {
        int len = session.Longest(text.substr(t), found);
        if (len > 0) {
            pieces.emplace_back(text.substr(t, static_cast<std::size_t>(len)));
            t += static_cast<std::size_t>(len);
        } else {
            ++t;
        }
    }
    session.close();
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
            SearchSession session(dic, ls, options.RenderPage);
            std::vector<int32_t> found;
            if (segment) {
                std::size_t t = 0;
                while (t < q.size()) {
                    int len = session.Longest(std::u16string_view(q).substr(t), found);
                    if (len == 0) {
                        ++t;  // no word starts here: the character is skipped
                        continue;
                    }
                    d.Pieces.push_back(q.substr(t, static_cast<std::size_t>(len)));
                    d.Offsets.emplace_back();
                    d.Html += session.Render(found, d.Offsets.back());
                    t += static_cast<std::size_t>(len);
                }
            } else if (session.Longest(q, found) == static_cast<int>(q.size())) {
                // The whole query carries entries: exactly what a lookup of it renders.
                d.Pieces.push_back(q);
                d.Offsets.emplace_back();
                d.Html = session.Render(found, d.Offsets.back());
            }
            session.close();
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

}  // namespace kes
