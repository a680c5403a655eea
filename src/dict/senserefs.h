// The two readings of "|" in a translation, and the references a sense holds.
//
// A data file in the CEDICT convention (CC-CEDICT and the other CEDICT-format dictionaries,
// which begin with "#" comment lines, and every file that `kestrune import` writes, which it
// makes begin with one) has no notes: a "|" there separates the two forms of a reference,
// traditional|simplified ("CL:臺|台[tai2]", "see 學習|学习[xue2 xi2]"). Files converted from
// DSL (whose first line is always an entry: the converter writes no comments) and files
// without such a header keep the note rule: "|" opens a note that runs to the next "/".
// The rule is decided once per dictionary, from the first line of its data file that is not
// blank.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kes {

enum class SenseConvention {
    Notes,       // "|" opens a note (DSL conversions, files without a "#" header)
    References,  // "|" separates the forms of a reference (CEDICT files)
};

// The rule of a data file whose first non-blank line (trimmed, without U+FEFF) is `line`:
// References when it begins with "#". An empty `line` (a file of blank lines) gives Notes.
SenseConvention SenseConventionOfFirstLine(std::u16string_view line);

// The first lines that SenseConventionOfDataFile reads at most before it gives up on
// finding a non-blank one.
inline constexpr int kConventionLines = 64;

// Reads the data file's first lines (UTF-16LE, as the line reader reads them) up to the first
// non-blank one, at most kConventionLines, and decides by it; Notes when none is found
// there. Throws IoError (with the file's name) when the file cannot be opened or read.
SenseConvention SenseConventionOfDataFile(const std::string& dataPath);
// The same for a data file open for reading (or a view of it) at its start; it is left open.
class ByteFile;
SenseConvention SenseConventionOfData(ByteFile& data);

// A reference inside a sense: "X|Y[pinyin]" (the two forms, traditional first), "X[pinyin]"
// (one form) or "X|Y" (two forms without pinyin, as CC-CEDICT writes a few hundred names and
// sayings in running text). The views point into the sense that was searched.
struct SenseReference {
    std::size_t begin = 0;       // where the reference starts (its first form)
    std::size_t end = 0;         // one past its "]"
    std::u16string_view first;   // X
    std::u16string_view second;  // Y; empty for "X[pinyin]"
    std::u16string_view pinyin;  // between the brackets
};

// The references of `sense` (one sense of a CEDICT-convention file, or the text of a sense or
// of a note of a file with notes), in order, without overlap. A form is a run of Chinese
// characters (CJK ideographs of every block, surrogate pairs, kana, 々 and 〇), in which Latin
// and Greek letters, digits, "·" and "∼" may stand too ("T恤", "卡拉OK", "卡爾·馬克思",
// "γ射線", "∼的大門") as long as it holds one Chinese character; before pinyin with a ","
// a full-width "，" may stand inside it too ("丈二和尚，摸不著頭腦"). One space may stand
// between the form and "[" (CC-CEDICT writes "连锅端 [lian2 guo1 duan1]" once). The brackets
// must hold pinyin: Latin letters, "u:", ü and tone-marked vowels, digits, spaces, "·" and
// ",", with at least one tone digit 1-5 or tone mark, so "[ ]" and the markup "[br]" are no
// references. "X|" with no form before the "|" gives the one-form reference "Y[pinyin]".
// Of the 11,249 "|" in the senses of CC-CEDICT, every one lies in a two-form reference.
std::vector<SenseReference> FindSenseReferences(std::u16string_view sense);

}  // namespace kes
