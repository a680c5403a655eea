#include "dict/indextree.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "base/bytefile.h"
#include "base/ioerror.h"

namespace kes {

IndexTree::IndexTree() {
    nodes_.emplace_back();  // the root
    edgeShift_ = 64 - 12;
    edges_.assign(std::size_t{1} << 12, Edge{0, 0, 0});
}

void IndexTree::Reserve(int64_t dataSize) {
    // About one node per 50 bytes of data with the default keys; capped so that a huge
    // file does not claim memory before it is read.
    const auto nodes = static_cast<std::size_t>(std::min<int64_t>(dataSize / 40, 1 << 22));
    nodes_.reserve(nodes);
    offsets_.reserve(nodes * 2);
    std::size_t slots = edges_.size();
    while (slots < 2 * nodes)
        slots *= 2;
    if (slots > edges_.size()) GrowEdges(slots);
}

std::size_t IndexTree::Slot(uint32_t parent, char16_t ch) const {
    uint64_t k = (static_cast<uint64_t>(parent) << 16) | ch;
    return static_cast<std::size_t>((k * 0x9E3779B97F4A7C15ull) >> edgeShift_);
}

void IndexTree::GrowEdges(std::size_t slots) {
    std::vector<Edge> old;
    old.swap(edges_);
    while ((std::size_t{1} << (64 - edgeShift_)) < slots)
        --edgeShift_;
    edges_.assign(slots, Edge{0, 0, 0});
    const std::size_t mask = edges_.size() - 1;
    for (const Edge& e : old) {
        if (e.child == 0) continue;
        std::size_t s = Slot(e.parent, e.ch);
        while (edges_[s].child != 0)
            s = (s + 1) & mask;
        edges_[s] = e;
    }
}

uint32_t IndexTree::FindOrAddChild(uint32_t parent, char16_t ch) {
    const std::size_t mask = edges_.size() - 1;
    std::size_t s = Slot(parent, ch);
    for (;;) {
        const Edge& e = edges_[s];
        if (e.child == 0) break;
        if (e.parent == parent && e.ch == ch) return e.child;
        s = (s + 1) & mask;
    }
    if (nodes_.size() >= std::numeric_limits<uint32_t>::max())
        throw std::length_error("Index tree has too many nodes");
    auto child = static_cast<uint32_t>(nodes_.size());
    TDicBase node;
    node.Ch = ch;
    node.Parent = parent;
    nodes_.push_back(node);
    TDicBase& p = nodes_[parent];
    if (p.LastChild == 0)
        p.FirstChild = child;
    else
        nodes_[p.LastChild].NextSibling = child;
    p.LastChild = child;
    ++p.ChildCount;

    edges_[s] = Edge{parent, child, ch};
    if (++edgeCount_ * 2 > edges_.size()) GrowEdges(edges_.size() * 2);
    return child;
}

void IndexTree::FileOffset(uint32_t node, int32_t offset) {
    TDicBase& n = nodes_[node];
    if (n.LastOffset == offset) return;
    n.LastOffset = offset;
    if (n.OffsetCount >= kMaxNodeOffsets) {
        if (!n.Overflowed) {
            n.Overflowed = true;
            if (overflowCount_ == 0) firstOverflow_ = node;
            ++overflowCount_;
        }
        return;
    }
    ++n.OffsetCount;
    offsets_.emplace_back(node, offset);
}

bool IndexTree::InsertKey(uint32_t node, std::u16string_view key, std::size_t depth,
                          int32_t offset) {
    if (key.empty() || depth < 1 || depth > key.size()) return true;
    std::size_t i = depth - 1;
    if (node == 0 && i == 0) {
        // Keys from the root: start below the longest prefix shared with the previous
        // such key (sorted dictionaries share long prefixes from line to line).
        std::size_t shared = 0;
        const std::size_t limit = std::min(key.size(), lastKey_.size());
        while (shared < limit && key[shared] == lastKey_[shared])
            ++shared;
        if (shared == key.size()) {
            FileOffset(lastPath_[shared - 1], offset);
            return true;
        }
        if (shared > 0) node = lastPath_[shared - 1];
        lastKey_.assign(key);
        lastPath_.resize(key.size());
        for (i = shared; i < key.size(); ++i)
            lastPath_[i] = node = FindOrAddChild(node, key[i]);
        FileOffset(node, offset);
        return true;
    }
    for (; i < key.size(); ++i)
        node = FindOrAddChild(node, key[i]);
    FileOffset(node, offset);
    return true;
}

namespace {

uint64_t HashKey(std::u16string_view key) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (char16_t c : key)
        h = (h ^ c) * 0x100000001b3ull;
    return h ^ (h >> 29);
}

// Keys are short: a plain loop beats a library call.
bool SameUnits(std::u16string_view key, const char16_t* units) {
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (key[i] != units[i]) return false;
    }
    return true;
}

}  // namespace

void IndexTree::GrowKeyCache() {
    std::vector<CachedKey> old;
    old.swap(keyCache_);
    keyCache_.assign(old.empty() ? 4096 : old.size() * 2, CachedKey{0, 0, 0, 0});
    const std::size_t mask = keyCache_.size() - 1;
    for (const CachedKey& e : old) {
        if (e.node == 0) continue;
        std::size_t s = static_cast<std::size_t>(e.hash) & mask;
        while (keyCache_[s].node != 0)
            s = (s + 1) & mask;
        keyCache_[s] = e;
    }
}

void IndexTree::InsertRepeatedKey(std::u16string_view key, int32_t offset) {
    if (key.empty()) return;
    if (keyCache_.empty()) GrowKeyCache();
    const uint64_t h = HashKey(key);
    const std::size_t mask = keyCache_.size() - 1;
    std::size_t s = static_cast<std::size_t>(h) & mask;
    for (;;) {
        const CachedKey& e = keyCache_[s];
        if (e.node == 0) break;
        if (e.hash == h && e.length == key.size() && SameUnits(key, keyPool_.data() + e.poolPos)) {
            FileOffset(e.node, offset);
            return;
        }
        s = (s + 1) & mask;
    }
    uint32_t node = 0;
    for (char16_t c : key)
        node = FindOrAddChild(node, c);
    FileOffset(node, offset);
    keyCache_[s] = CachedKey{h, node, static_cast<uint32_t>(keyPool_.size()),
                             static_cast<uint32_t>(key.size())};
    keyPool_.insert(keyPool_.end(), key.begin(), key.end());
    if (++keyCacheCount_ * 2 > keyCache_.size()) GrowKeyCache();
}

std::u16string IndexTree::KeyOf(uint32_t node) const {
    std::u16string key;
    while (node != 0) {
        key.push_back(nodes_[node].Ch);
        node = nodes_[node].Parent;
    }
    return std::u16string(key.rbegin(), key.rend());
}

uint32_t IndexTree::NextInPreOrder(uint32_t n) const {
    if (nodes_[n].FirstChild != 0) return nodes_[n].FirstChild;
    while (n != 0 && nodes_[n].NextSibling == 0)
        n = nodes_[n].Parent;
    return n == 0 ? 0 : nodes_[n].NextSibling;
}

int64_t IndexTree::LayoutNodes(int64_t position, const std::string& fileName) {
    uint32_t n = 0;
    do {
        TDicBase& node = nodes_[n];
        if (position > std::numeric_limits<int32_t>::max())
            throw IoError(fileName,
                          "Index file would reach 2 GiB, which the format cannot address");
        node.FilePos = static_cast<int32_t>(position);
        position += NodeRecordSize(node.OffsetCount, node.ChildCount);
        n = NextInPreOrder(n);
    } while (n != 0);
    if (position > std::numeric_limits<int32_t>::max())
        throw IoError(fileName, "Index file would reach 2 GiB, which the format cannot address");
    return position;
}

void IndexTree::WriteNodes(ByteFile& f) const {
    // Group the kept offsets by node; the pairs arrive in filing order, so each group
    // stays ascending.
    std::vector<uint32_t> start(nodes_.size() + 1, 0);
    for (std::size_t i = 0; i < nodes_.size(); ++i)
        start[i + 1] = start[i] + nodes_[i].OffsetCount;
    std::vector<int32_t> grouped(offsets_.size());
    {
        std::vector<uint32_t> next(start.begin(), start.end() - 1);
        for (const auto& [node, offset] : offsets_)
            grouped[next[node]++] = offset;
    }
    NodeWriter out(f);
    uint32_t n = 0;
    do {
        const TDicBase& node = nodes_[n];
        out.beginRecord(node.OffsetCount);
        for (uint32_t i = start[n]; i < start[n + 1]; ++i)
            out.offset(grouped[i]);
        out.childCount(node.ChildCount);
        for (uint32_t c = node.FirstChild; c != 0; c = nodes_[c].NextSibling)
            out.child(nodes_[c].Ch, nodes_[c].FilePos);
        n = NextInPreOrder(n);
    } while (n != 0);
    out.finish();
}

}  // namespace kes
