// One dictionary (a ".ced" data file with its ".idx" index) and the two questions a search
// asks it: the entries filed under exactly the query (LookupWord) and the indexed words on
// the query's path and below it (ListWords). Both walk the index on disk from the root,
// reading only the nodes they visit; the files are opened per call and always closed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/resultpage.h"
#include "dict/bytefile.h"
#include "dict/indexformat.h"

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
};

// What a lookup needs besides the dictionary.
struct LookupSettings {
    std::string Folder;      // the program folder holding the ".idx" and ".ced" files
    bool SearchBoth = true;  // "Search both chinese forms"
    PageFonts Fonts;         // page fonts for the entry blocks
};

// Full paths of a dictionary's files.
std::string IndexPathOf(const TDic& dic, const std::string& folder);
std::string DataPathOf(const TDic& dic, const std::string& folder);

// The HTML of all entries filed under exactly `query` (already trimmed, decoded and
// lowercased), following every child that matches by CharsMatch; each entry rendered at
// most once per call. Empty when nothing is found or the query is empty. Throws IoError
// when a file is missing or unreadable or the index is corrupt.
std::string LookupWord(const TDic& dic, std::u16string_view query, const LookupSettings& s);

// Image index of the word items in the tree (normal and selected).
constexpr int kWordItemImage = 3;
// Adds one word item below the dictionary's tree item: text, data value (the dictionary's
// Number) and image index.
using WordItemSink = std::function<void(const std::u16string& text, int32_t data, int imageIndex)>;

// Every indexed word that is a prefix of `query` or begins with it, in pre-order with
// children in stored order, each displayed text (ToSimplifiedText of the key) once per call.
// U+0000 in the query matches every child. Only the index file is read. Throws IoError.
void ListWords(const TDic& dic, std::u16string_view query, const LookupSettings& s,
               const WordItemSink& addItem);

// Keeps one dictionary's index and data files open for a series of lookups (the text
// segmentation of a search). Same results as the per-call functions; ShownOffsets is reset
// per LookupWord call. Both files are opened by the constructor (IoError when either is
// missing) and closed by close() or the destructor.
class DicSession {
  public:
    DicSession(const TDic& dic, const LookupSettings& s);
    ~DicSession();
    DicSession(const DicSession&) = delete;
    DicSession& operator=(const DicSession&) = delete;

    std::string LookupWord(std::u16string_view query);
    // The largest L >= 1 such that LookupWord of the first L code units of `text` would
    // return a non-empty text, or 0 when there is none; one walk over the matching paths.
    int LongestEntryPrefix(std::u16string_view text);
    void close();

  private:
    TDic dic_;
    LookupSettings settings_;
    ByteFile index_;
    ByteFile data_;
    ShownOffsets shown_;
};

}  // namespace kes
