// The in-memory character tree of one index build: every key filed with the offsets of its
// entry lines, children in first-filing order, laid out and written as the node records of
// the index file (dict/indexformat.h) in pre-order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/bytefile.h"
#include "dict/indexformat.h"

namespace kes {

// One node of the in-memory tree. Nodes live in one arena and refer to each other by
// index; index 0 is the root. Children form a singly linked list in first-filing order.
struct TDicBase {
    uint32_t Parent = 0;
    uint32_t FirstChild = 0;   // 0 = none (the root is never a child)
    uint32_t LastChild = 0;    // 0 = none
    uint32_t NextSibling = 0;  // 0 = none
    int32_t FilePos = 0;
    uint32_t ChildCount = 0;
    uint32_t OffsetCount = 0;  // offsets kept (at most kMaxNodeOffsets)
    int32_t LastOffset = -1;   // the last offset filed, kept or not
    char16_t Ch = 0;
    bool Overflowed = false;  // more than kMaxNodeOffsets offsets were filed
};

// The character tree of one build.
class IndexTree {
  public:
    IndexTree();
    // Prepares room for the tree of a data file of this many bytes (a guess; the tree
    // grows as needed either way).
    void Reserve(int64_t dataSize);

    // Files `key` from its unit at `depth` (counting from 1) on below `node`, with one entry
    // offset. Offsets must arrive in ascending order; a repeat of a node's last offset is
    // ignored, and so is an empty key. Returns true.
    bool InsertKey(uint32_t node, std::u16string_view key, std::size_t depth, int32_t offset);
    // The same as InsertKey(root, key, 1, offset), through a table of whole keys met before:
    // one probe instead of one per unit for keys that repeat often (translation words,
    // pinyin). Same tree, same result.
    void InsertRepeatedKey(std::u16string_view key, int32_t offset);

    // Gives every node its FilePos in pre-order, starting with the root at `position`;
    // returns the position after the last record. Throws IoError (naming `fileName`) when a
    // position would not fit a signed 32-bit number.
    int64_t LayoutNodes(int64_t position, const std::string& fileName);
    // Writes the node records of the whole tree in pre-order (after LayoutNodes).
    void WriteNodes(ByteFile& f) const;

    const std::vector<TDicBase>& nodes() const { return nodes_; }
    std::size_t overflowCount() const { return overflowCount_; }
    uint32_t firstOverflow() const { return firstOverflow_; }
    // The key of a node: the edge units from the root down to it.
    std::u16string KeyOf(uint32_t node) const;

  private:
    // The node after `n` in pre-order (first child, else the next sibling of the nearest
    // node on the way up that has one); 0 after the last node.
    uint32_t NextInPreOrder(uint32_t n) const;

    struct Edge {
        uint32_t parent;
        uint32_t child;  // 0 = empty slot
        char16_t ch;
    };
    std::size_t Slot(uint32_t parent, char16_t ch) const;
    uint32_t FindOrAddChild(uint32_t parent, char16_t ch);
    // Rehashes the edges into `slots` slots (a power of two).
    void GrowEdges(std::size_t slots);
    void GrowKeyCache();
    void FileOffset(uint32_t node, int32_t offset);

    std::vector<TDicBase> nodes_;
    std::vector<Edge> edges_;  // open addressing, linear probing, power-of-two size
    int edgeShift_ = 0;
    std::size_t edgeCount_ = 0;
    // Every kept (node, offset) pair in filing order; grouped per node when written.
    std::vector<std::pair<uint32_t, int32_t>> offsets_;
    // Whole keys filed through InsertRepeatedKey: open addressing on the key's hash, the
    // units of each key kept in keyPool_ so that a hit is confirmed by comparing them.
    struct CachedKey {
        uint64_t hash;
        uint32_t node;  // 0 = empty slot
        uint32_t poolPos;
        uint32_t length;
    };
    std::vector<CachedKey> keyCache_;
    std::size_t keyCacheCount_ = 0;
    std::vector<char16_t> keyPool_;
    // The last key filed from the root by InsertKey and the node of each of its prefixes.
    std::u16string lastKey_;
    std::vector<uint32_t> lastPath_;
    std::size_t overflowCount_ = 0;
    uint32_t firstOverflow_ = 0;
};

}  // namespace kes
