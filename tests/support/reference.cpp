#include "support/reference.h"

#include <unordered_set>

#include "app/resultpage.h"
#include "base/bytefile.h"
#include "charinfo/s2t.h"
#include "dict/indexformat.h"

namespace kes::test {

namespace {

struct Pending {
    int32_t pos;
    std::u16string key;
};

// Visits, in pre-order with children in stored order, every node whose key matches the
// query's units by CharsMatch, and with `below` every node under those (U+0000 then matching
// every child too). visit(key, offsets).
template <typename Visit>
void LiteralWalk(const TDic& dic, const std::string& folder, std::u16string_view query, bool both,
                 bool below, Visit visit) {
    ByteFile index(IndexPathOf(dic, folder), OpenMode::Read);
    NodeReader reader(index);
    std::vector<Pending> stack{{kRootPosition, u""}};
    std::vector<int32_t> offsets;
    std::vector<ChildEntry> children;
    while (!stack.empty()) {
        Pending p = std::move(stack.back());
        stack.pop_back();
        reader.readOffsets(p.pos, offsets);
        reader.readChildren(children);
        visit(p.key, offsets);
        const std::size_t depth = p.key.size();
        std::vector<Pending> next;
        for (const ChildEntry& c : children) {
            bool take;
            if (depth < query.size() && !(below && query[depth] == 0))
                take = CharsMatch(c.Ch, query[depth], both);
            else
                take = below;
            if (take) next.push_back({c.Pos, p.key + c.Ch});
        }
        for (auto it = next.rbegin(); it != next.rend(); ++it)
            stack.push_back(std::move(*it));
    }
    index.close();
}

}  // namespace

std::vector<int32_t> ReferenceExact(const TDic& dic, const std::string& folder,
                                    std::u16string_view query, bool both) {
    std::vector<int32_t> found;
    if (query.empty()) return found;
    LiteralWalk(dic, folder, query, both, false,
                [&](const std::u16string& key, const std::vector<int32_t>& offsets) {
                    if (key.size() == query.size())
                        found.insert(found.end(), offsets.begin(), offsets.end());
                });
    return found;
}

int ReferenceLongest(const TDic& dic, const std::string& folder, std::u16string_view text,
                     bool both) {
    for (std::size_t len = text.size(); len >= 1; --len)
        if (!ReferenceExact(dic, folder, text.substr(0, len), both).empty())
            return static_cast<int>(len);
    return 0;
}

std::vector<std::u16string> ReferenceListWords(const TDic& dic, const std::string& folder,
                                               std::u16string_view query, bool both) {
    std::vector<std::u16string> words;
    std::unordered_set<std::u16string> seen;
    LiteralWalk(dic, folder, query, both, true,
                [&](const std::u16string& key, const std::vector<int32_t>& offsets) {
                    if (offsets.empty()) return;
                    std::u16string w = ToSimplifiedText(key, both);
                    if (seen.insert(w).second) words.push_back(w);
                });
    return words;
}

std::string ReferenceLookupHtml(const TDic& dic, const std::string& folder,
                                std::u16string_view query, bool both, const PageFonts& fonts) {
    std::vector<int32_t> offsets = ReferenceExact(dic, folder, query, both);
    ByteFile data(DataPathOf(dic, folder), OpenMode::Read);
    ShownOffsets shown;
    std::string html;
    for (int32_t off : offsets)
        html += RenderEntry(data, off, shown, fonts, both);
    data.close();
    return html;
}

}  // namespace kes::test
