// One dictionary (a ".ced" data file with its ".idx" index) and the walk over its index that
// answers every question a search asks: the entries filed under a query, the longest start of
// a text that carries entries, and the indexed words on a query's path and below it. Answers
// are entry offsets and words; what the entries look like is the page's business.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/bytefile.h"
#include "base/mappedfile.h"
#include "charinfo/s2t.h"
#include "dict/indexformat.h"
#include "dict/senserefs.h"

namespace kes {

struct TDic {
    // The index file's bare name (base name + ".idx"); the data file is the same name with
    // ".ced". Both live in the program folder. Also the dictionary's key in setup.ini.
    std::string FileName;
    bool Enabled = true;
    // Display name, from the index header.
    std::u16string Description;
    // 1-based position among the tree's dictionary items; 0 until the tree is built.
    int32_t Number = 0;
    // The window's tree item for this dictionary; never touched by the core.
    void* Node = nullptr;
    // The rule of "|" in its translations, decided from its data file when it is added to the
    // list (SenseConventionOfDataFile).
    SenseConvention Convention = SenseConvention::Notes;
};

// Full paths of a dictionary's files.
std::string IndexPathOf(const TDic& dic, const std::string& folder);
std::string DataPathOf(const TDic& dic, const std::string& folder);

// Image index of the word items in the tree (normal and selected).
constexpr int kWordItemImage = 3;

// One dictionary's index and data files, open for the questions of one search. Walks follow,
// from the root, every child whose character matches the query's character at that depth by
// CharsMatch ("Search both chinese forms" as given), in pre-order with children in stored
// order. Each index record is read from disk at most once per reader. Every walk meets the
// records of a sound index in increasing file order; a record met out of order, or any
// other damage, ends the question with IoError and never loops or crashes.
class DicReader {
  public:
    // Opens the index (IoError when it is missing or unreadable); the data file is opened
    // when the first entry is read, so that the word list works without it. With `views`,
    // both files are read through its memory views instead of being opened.
    DicReader(const TDic& dic, const std::string& folder, bool searchBoth,
              FileViews* views = nullptr);
    DicReader(const DicReader&) = delete;
    DicReader& operator=(const DicReader&) = delete;

    // The largest L >= 1 such that the nodes of the first L units of `text` carry entries,
    // with the offsets of those entries in walk order (an offset may repeat when two
    // matching paths carry it); 0 and no offsets when there is none or `text` is empty.
    int Longest(std::u16string_view text, std::vector<int32_t>& found);
    // The offsets of the entries filed under exactly `query` (all of it), in walk order.
    void Exact(std::u16string_view query, std::vector<int32_t>& found);
    // Every indexed word that is a prefix of `query` or begins with it, in walk order, each
    // displayed text (ToSimplifiedText of the key) once per call. U+0000 in the query
    // matches every child.
    void ListWords(std::u16string_view query,
                   const std::function<void(const std::u16string& word)>& add);

    // The data file, for reading entry lines; CheckOffset refuses (IoError) an offset that
    // lies outside it, which only a damaged index or a changed data file can give.
    ByteFile& data();
    void CheckOffset(int32_t offset);
    // Reads the entry line at `offset` (checked).
    std::u16string ReadEntryLine(int32_t offset);

    bool searchBoth() const { return both_; }
    // Closes the files; throws IoError when closing fails.
    void close();

  private:
    struct Node {
        std::vector<int32_t> offsets;
        std::vector<ChildEntry> children;
        std::unordered_map<char16_t, std::vector<ChildEntry>> matches;  // per query unit
        // For nodes with many children: child index by code unit, and the children whose
        // simplified form differs from themselves, by that form.
        bool indexed = false;
        int scans = 0;  // lookups answered by scanning the children
        std::unordered_map<char16_t, std::vector<uint32_t>> byChar;
        std::unordered_map<char16_t, std::vector<uint32_t>> bySimplified;
    };
    struct Pending {
        int32_t pos;
        int32_t depth;
        char16_t ch;
    };
    // Visits every node on the paths matching `query`, and with `below` also every node
    // under the end of those paths; visit(depth, edge unit, node) returns false to stop.
    template <typename Visit>
    void Walk(std::u16string_view query, bool below, Visit visit);
    Node& NodeAt(int32_t pos, std::optional<NodeReader>& reader);
    const std::vector<ChildEntry>& Matches(Node& node, char16_t q);

    bool both_;
    bool closed_ = false;
    std::string dataPath_;
    FileViews* views_;
    ByteFile index_;
    ByteFile data_;
    std::unordered_map<int32_t, Node> nodes_;
    std::vector<Pending> stack_;
};

}  // namespace kes
