// The index builder: reads a dictionary data file once, files every entry line under its
// keys in an in-memory character tree, and writes the index file (header, then the node
// records in pre-order) beside the data file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/bytefile.h"
#include "base/replacefile.h"
#include "base/result.h"

namespace kes {

struct IndexBuildOptions {
    bool AddDescToIndex = true;
    bool AddPinToIndex = false;
};

struct IndexBuildCallbacks {
    // Called before each line with the integer percent (100*offset/size). May be empty.
    // The GUI uses it to update the status text and process pending messages.
    std::function<void(int percent)> progress;
    // The options as they are now; read anew for every line. Empty = use the options argument.
    std::function<IndexBuildOptions()> currentOptions;
    // A warning to show and wait on (the size-limit warning, the 65535 warning). May be empty.
    std::function<void(const std::u16string& text)> warning;
    // Ask for the name: gets the initial text, returns the edited text, or std::nullopt when
    // the user cancels (then the initial text is the name). Empty = the initial text.
    std::function<std::optional<std::u16string>(const std::u16string& initial)> askName;
    // Polled before every line and before the name is asked for; a cancelled build writes
    // nothing.
    CancelPoll cancelRequested;
};

struct IndexBuildResult {
    // ok when the index was created. The message is the exact text to show the user; the
    // detail of a failure is the underlying error (e.g. IoError::what()).
    Outcome outcome;
    bool alreadyExists = false;  // an index (or anything) had the index's name: left alone
    std::string indexPath;       // data path with ".idx"
};

inline constexpr std::string_view kIndexFailedMessage =
    "ERROR: Unknown error when creating index file!";
inline constexpr std::string_view kIndexCancelledMessage =
    "Index file was not created: the build was cancelled";

// Builds FILE.idx beside FILE.ced. Never touches an index that exists already; the index
// appears only complete (it is written to a temporary file that is renamed at the end), and
// a failed or cancelled build leaves neither the index nor the temporary file behind.
IndexBuildResult BuildIndex(const std::string& dataPath, const IndexBuildOptions& options,
                            const IndexBuildCallbacks& callbacks);

// The same build for a caller that publishes the index itself (next to other files): reads
// `dataPath` and, when the result is ok, leaves the finished index sealed in `pending`, a
// replacement of `indexPath` that is not committed yet (dropping it removes the temporary
// file). The header records the size and time that `dataPath` has now, so the data file may
// be renamed, but not rewritten, before the index is used. `dataName` is the file name the
// initial name offered to askName refers to ("CEDICT file " + dataName). Whether `indexPath`
// exists already is the caller's concern. `pending` is empty after any failure.
IndexBuildResult BuildIndexPending(const std::string& dataPath, const std::string& indexPath,
                                   const std::string& dataName, const IndexBuildOptions& options,
                                   const IndexBuildCallbacks& callbacks,
                                   std::unique_ptr<FileReplacement>& pending);

// Finishes what interrupted replacements of dictionaries ("<stem>.ced" together with
// "<stem>.idx", see CommitPair) left in `folder`: each ends as the complete old or the
// complete new pair, and its leftover files go. Dictionary files that are symbolic links
// are followed to their real folders. Returns how many replacements were finished.
int FinishDictionaryReplacements(const std::string& folder);

// Most offsets one key can carry: the offset count of a node record is 16 bits wide.
constexpr uint32_t kMaxKeyOffsets = 65535;

// One node of the in-memory tree. Nodes live in one arena and refer to each other by
// index; index 0 is the root. Children form a singly linked list in first-filing order.
struct TDicBase {
    uint32_t Parent = 0;
    uint32_t FirstChild = 0;   // 0 = none (the root is never a child)
    uint32_t LastChild = 0;    // 0 = none
    uint32_t NextSibling = 0;  // 0 = none
    int32_t FilePos = 0;
    uint32_t ChildCount = 0;
    uint32_t OffsetCount = 0;  // offsets kept (at most kMaxKeyOffsets)
    int32_t LastOffset = -1;   // the last offset filed, kept or not
    char16_t Ch = 0;
    bool Overflowed = false;  // more than kMaxKeyOffsets offsets were filed
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

// The base letter of a code unit in U+00C0..U+023F for pinyin keys, or '*' when the unit
// is dropped.
char PinyinFoldLetter(char16_t c);

}  // namespace kes
