#include "dict/dic.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "base/bytefile.h"
#include "base/ioerror.h"
#include "base/lines.h"
#include "base/paths.h"

namespace kes {

std::string IndexPathOf(const TDic& dic, const std::string& folder) {
    return JoinPath(folder, ChangeExtension(dic.FileName, ".idx"));
}

std::string DataPathOf(const TDic& dic, const std::string& folder) {
    return JoinPath(folder, ChangeExtension(dic.FileName, ".ced"));
}

namespace {

// Read-ahead for the scattered small reads of a search: index records along the matching
// paths and single entry lines.
constexpr std::size_t kIndexReadAhead = 4096;
constexpr std::size_t kDataReadAhead = 1024;
// Nodes with more children than this get their children indexed by code unit once they
// have been asked for kScansBeforeIndex different query units (the root and the nodes of
// frequent first characters, when a text is cut); a single lookup just scans them.
constexpr std::size_t kIndexedChildren = 64;
constexpr int kScansBeforeIndex = 4;

}  // namespace

DicReader::DicReader(const TDic& dic, const std::string& folder, bool searchBoth, FileViews* views)
    : both_(searchBoth), dataPath_(DataPathOf(dic, folder)), views_(views) {
    if (views_)
        index_.openView(views_->get(IndexPathOf(dic, folder)));
    else
        index_.open(IndexPathOf(dic, folder), OpenMode::Read);
    index_.setReadAhead(kIndexReadAhead);
}

ByteFile& DicReader::data() {
    if (closed_) throw IoError(dataPath_, "File not open");
    if (!data_.isOpen()) {
        if (views_)
            data_.openView(views_->get(dataPath_));
        else
            data_.open(dataPath_, OpenMode::Read);
        data_.setReadAhead(kDataReadAhead);
    }
    return data_;
}

DicReader::Node& DicReader::NodeAt(int32_t pos, std::optional<NodeReader>& reader) {
    auto it = nodes_.find(pos);
    if (it != nodes_.end()) return it->second;
    if (!reader) reader.emplace(index_);
    Node node;
    reader->readOffsets(pos, node.offsets);
    reader->readChildren(node.children);
    return nodes_.emplace(pos, std::move(node)).first->second;
}

const std::vector<ChildEntry>& DicReader::Matches(Node& node, char16_t q) {
    auto it = node.matches.find(q);
    if (it != node.matches.end()) return it->second;
    std::vector<ChildEntry>& m = node.matches[q];
    const QueryCharMatcher match(q, both_);
    if (node.children.size() <= kIndexedChildren ||
        (!node.indexed && ++node.scans <= kScansBeforeIndex)) {
        for (const ChildEntry& c : node.children)
            if (match(c.Ch)) m.push_back(c);
        return m;
    }
    // The matcher holds for c = q, and with both forms for c = the simplified form of q and
    // for every c whose simplified form is q: look those up instead of trying every child.
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
    auto add = [&](const std::unordered_map<char16_t, std::vector<uint32_t>>& by, char16_t c) {
        auto found = by.find(c);
        if (found != by.end())
            picked.insert(picked.end(), found->second.begin(), found->second.end());
    };
    add(node.byChar, match.query());
    if (match.both()) {
        if (match.simplified() != match.query()) add(node.byChar, match.simplified());
        add(node.bySimplified, match.query());
    }
    std::sort(picked.begin(), picked.end());
    picked.erase(std::unique(picked.begin(), picked.end()), picked.end());
    for (uint32_t i : picked)
        m.push_back(node.children[i]);
    return m;
}

template <typename Visit>
void DicReader::Walk(std::u16string_view query, bool below, Visit visit) {
    // Records read in this walk are checked by the reader; a record met again or out of
    // order (possible only in a damaged index) is refused here, cached or not.
    std::optional<NodeReader> reader;
    stack_.clear();
    stack_.push_back({kRootPosition, 0, 0});
    int32_t last = -1;
    const std::size_t length = query.size();
    // Nodes under the end of the query's paths are read once each by the word list; they
    // are not kept.
    Node scratch;
    while (!stack_.empty()) {
        const Pending pending = stack_.back();
        stack_.pop_back();
        if (pending.pos <= last)
            throw IoError(index_.name(), "Corrupt index file (record out of order at position " +
                                             std::to_string(pending.pos) + ")");
        last = pending.pos;
        const bool onPath = static_cast<std::size_t>(pending.depth) <= length;
        Node* node;
        if (onPath) {
            node = &NodeAt(pending.pos, reader);
        } else {
            if (!reader) reader.emplace(index_);
            reader->readOffsets(pending.pos, scratch.offsets);
            reader->readChildren(scratch.children);
            node = &scratch;
        }
        if (!visit(pending.depth, pending.ch, *node)) return;
        const int32_t next = pending.depth + 1;
        const bool inQuery = static_cast<std::size_t>(pending.depth) < length;
        if (inQuery && !(below && query[pending.depth] == 0)) {
            const std::vector<ChildEntry>& m = Matches(*node, query[pending.depth]);
            for (std::size_t i = m.size(); i-- > 0;)
                stack_.push_back({m[i].Pos, next, m[i].Ch});
        } else if (below) {
            // Below the query's paths, and for the word list at a U+0000 of the query: every
            // child.
            for (std::size_t i = node->children.size(); i-- > 0;)
                stack_.push_back({node->children[i].Pos, next, node->children[i].Ch});
        }
    }
}

int DicReader::Longest(std::u16string_view text, std::vector<int32_t>& found) {
    found.clear();
    if (text.empty()) return 0;
    int best = 0;
    Walk(text, false, [&](int32_t depth, char16_t, const Node& node) {
        if (depth > 0 && !node.offsets.empty()) {
            if (depth > best) {
                best = depth;
                found.clear();
            }
            if (depth == best) found.insert(found.end(), node.offsets.begin(), node.offsets.end());
        }
        return true;
    });
    return best;
}

void DicReader::Exact(std::u16string_view query, std::vector<int32_t>& found) {
    if (Longest(query, found) != static_cast<int>(query.size())) found.clear();
}

void DicReader::ListWords(std::u16string_view query,
                          const std::function<void(const std::u16string& word)>& add) {
    std::unordered_set<std::u16string> listed;
    std::u16string path;
    Walk(query, true, [&](int32_t depth, char16_t ch, const Node& node) {
        if (depth > 0) {
            path.resize(static_cast<std::size_t>(depth - 1));
            path.push_back(ch);
        }
        if (!node.offsets.empty()) {
            std::u16string w = ToSimplifiedText(path, both_);
            if (listed.insert(w).second && add) add(w);
        }
        return true;
    });
}

void DicReader::CheckOffset(int32_t offset) {
    if (offset < 0 || offset >= data().size())
        throw IoError(data_.name(),
                      "Entry offset " + std::to_string(offset) + " lies outside the data file");
}

std::u16string DicReader::ReadEntryLine(int32_t offset) {
    CheckOffset(offset);
    data_.seek(offset);
    return ReadUcs2Line(data_);
}

void DicReader::close() {
    closed_ = true;
    index_.close();
    if (data_.isOpen()) data_.close();
}

}  // namespace kes
