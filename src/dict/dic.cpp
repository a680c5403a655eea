#include "dict/dic.h"

#include <unordered_set>

#include "charinfo/s2t.h"

namespace kes {

std::string IndexPathOf(const TDic& dic, const std::string& folder) {
    return JoinPath(folder, ChangeExtension(dic.FileName, ".idx"));
}

std::string DataPathOf(const TDic& dic, const std::string& folder) {
    return JoinPath(folder, ChangeExtension(dic.FileName, ".ced"));
}

namespace {

// Read-ahead for the scattered small reads of an exact lookup: index nodes along one path
// and single entry lines. The word list reads whole subtrees in file order and keeps the
// default.
constexpr std::size_t kIndexReadAhead = 4096;
constexpr std::size_t kDataReadAhead = 1024;

// One pending node of a walk: its record position, its depth (length of its key) and the
// code unit on the edge that leads to it.
struct Pending {
    int32_t pos;
    int32_t depth;
    char16_t ch;
};

// CharsMatch against one query unit, with the query's simplified form computed once.
struct QueryUnitMatch {
    QueryUnitMatch(char16_t q, bool both)
        : q(q), simplified(ToSimplifiedChar(q, both)), both(both) {}
    bool operator()(char16_t c) const {
        return c == q || (both && (c == simplified || S2TTable[c] == q));
    }
    char16_t q;
    char16_t simplified;
    bool both;
};

// Pushes the children of the node at `depth` that match `q` so that they are popped in
// stored order.
template <typename Match>
void PushMatching(std::vector<Pending>& stack, const std::vector<ChildEntry>& children,
                  int32_t depth, Match match) {
    for (std::size_t i = children.size(); i-- > 0;) {
        if (match(children[i].Ch)) stack.push_back({children[i].Pos, depth, children[i].Ch});
    }
}

// Visits, in pre-order with children in stored order, every node whose key matches the
// first `depth` units of `query` by CharsMatch, down to the query's length. `atNode` is
// called with each node's depth and offsets and returns false to end the walk.
template <typename AtNode>
void WalkMatching(ByteFile& index, std::u16string_view query, bool both, AtNode atNode) {
    NodeReader reader(index);
    std::vector<int32_t> offsets;
    std::vector<ChildEntry> children;
    std::vector<Pending> stack;
    stack.push_back({kRootPosition, 0, 0});
    const int32_t length = static_cast<int32_t>(query.size());
    while (!stack.empty()) {
        Pending node = stack.back();
        stack.pop_back();
        reader.readOffsets(node.pos, offsets);
        if (!atNode(node.depth, offsets)) return;
        if (node.depth >= length) continue;
        reader.readChildren(children);
        PushMatching(stack, children, node.depth + 1, QueryUnitMatch(query[node.depth], both));
    }
}

std::string WalkExact(ByteFile& index, ByteFile& data, std::u16string_view query,
                      const LookupSettings& s, ShownOffsets& shown) {
    shown.reset();
    std::string result;
    const int32_t length = static_cast<int32_t>(query.size());
    if (length == 0) return result;
    WalkMatching(index, query, s.SearchBoth,
                 [&](int32_t depth, const std::vector<int32_t>& offsets) {
                     if (depth == length) {
                         for (int32_t off : offsets) {
                             result += RenderEntry(data, off, shown, s.Fonts, s.SearchBoth);
                         }
                     }
                     return true;
                 });
    return result;
}

int LongestPrefix(ByteFile& index, std::u16string_view text, bool both) {
    const int32_t length = static_cast<int32_t>(text.size());
    int32_t best = 0;
    WalkMatching(index, text, both, [&](int32_t depth, const std::vector<int32_t>& offsets) {
        if (depth > best && !offsets.empty()) best = depth;
        return best < length;  // nothing can beat the whole text
    });
    return best;
}

}  // namespace

std::string LookupWord(const TDic& dic, std::u16string_view query, const LookupSettings& s) {
    ByteFile index(IndexPathOf(dic, s.Folder), OpenMode::Read);
    ByteFile data(DataPathOf(dic, s.Folder), OpenMode::Read);
    index.setReadAhead(kIndexReadAhead);
    data.setReadAhead(kDataReadAhead);
    ShownOffsets shown;
    std::string result = WalkExact(index, data, query, s, shown);
    index.close();
    data.close();
    return result;
}

void ListWords(const TDic& dic, std::u16string_view query, const LookupSettings& s,
               const WordItemSink& addItem) {
    ByteFile index(IndexPathOf(dic, s.Folder), OpenMode::Read);
    NodeReader reader(index);
    // The texts listed so far in this call.
    std::unordered_set<std::u16string> listed;
    std::vector<int32_t> offsets;
    std::vector<ChildEntry> children;
    std::vector<Pending> stack;
    std::u16string path;
    stack.push_back({kRootPosition, 0, 0});
    const int32_t length = static_cast<int32_t>(query.size());
    while (!stack.empty()) {
        Pending node = stack.back();
        stack.pop_back();
        if (node.depth > 0) {
            path.resize(static_cast<std::size_t>(node.depth - 1));
            path.push_back(node.ch);
        }
        reader.readOffsets(node.pos, offsets);
        if (!offsets.empty()) {
            std::u16string w = ToSimplifiedText(path, s.SearchBoth);
            if (listed.insert(w).second && addItem) addItem(w, dic.Number, kWordItemImage);
        }
        reader.readChildren(children);
        const QueryUnitMatch match(node.depth < length ? query[node.depth] : char16_t(0),
                                   s.SearchBoth);
        PushMatching(stack, children, node.depth + 1,
                     [&](char16_t c) { return match.q == 0 || match(c); });
    }
    index.close();
}

DicSession::DicSession(const TDic& dic, const LookupSettings& s)
    : dic_(dic),
      settings_(s),
      index_(IndexPathOf(dic, s.Folder), OpenMode::Read),
      data_(DataPathOf(dic, s.Folder), OpenMode::Read) {
    index_.setReadAhead(kIndexReadAhead);
    data_.setReadAhead(kDataReadAhead);
}

DicSession::~DicSession() = default;

std::string DicSession::LookupWord(std::u16string_view query) {
    return WalkExact(index_, data_, query, settings_, shown_);
}

int DicSession::LongestEntryPrefix(std::u16string_view text) {
    if (text.empty()) return 0;
    return LongestPrefix(index_, text, settings_.SearchBoth);
}

void DicSession::close() {
    index_.close();
    data_.close();
}

}  // namespace kes
