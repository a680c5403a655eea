// The entry line of a dictionary, taken apart once for everything that shows or edits it:
//
//   forms [pinyin] /sense/sense|note/.../
//
// The word field runs to the first "[", the pinyin field from there to the next "]", the
// translation is the rest. Inside the translation "/" ends a sense, "|" opens a note that runs
// to the next "/" (in a dictionary of the CEDICT convention, dict/senserefs.h, it is no note:
// it separates the two forms of a reference and stays in the text), and "[br]", "[bs]", "[be]", "[cs]", "[ce]" (letter case ignored; "<" and ">"
// are read as "[" and "]") break the line, start and end bold, start and end an example.
//
// The search reads each entry line once into an Entry and hands it to its writer (the page,
// plain text, JSON); a new way of showing an entry is added here once and once per writer.
// The user dictionary, its editor and the duplicates checker take their fields from here too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dict/senserefs.h"

namespace kes {

// Where the fields of a line lie: the positions of its first "[" and of the next "]" after
// it (npos when missing).
struct EntryLayout {
    std::size_t Open = std::u16string_view::npos;
    std::size_t Close = std::u16string_view::npos;
};
EntryLayout LayoutOf(std::u16string_view line);

struct EntryFields {
    std::u16string Word;
    std::u16string Pinyin;
    std::u16string Translation;
};

// Word: before the first "["; Pinyin: up to the next "]"; Translation: the rest. Trimmed.
EntryFields SplitEntryLine(std::u16string_view line);
// The first form of a word field: up to, not including, the first space.
std::u16string HeadForm(std::u16string_view word);

// One step of a translation: a run of text, or one of the marks between runs.
enum class TranslationMark : uint8_t {
    Text,       // the text Entry::Text[Begin, End)
    SenseEnd,   // a "/" that ends a sense (the first and last unit of a translation end none)
    NoteStart,  // "|"
    Break,      // "[br]"
    BoldStart,  // "[bs]"
    BoldEnd,    // "[be]"
    ExampleStart,  // "[cs]"
    ExampleEnd,    // "[ce]"
};
// The mark of the token "[" a b "]" (letter case ignored), or Text when it is none.
TranslationMark MarkupToken(char16_t a, char16_t b);

struct TranslationPiece {
    TranslationMark Mark;
    uint32_t Begin = 0;
    uint32_t End = 0;
};

// One sense as plain lines: its text cut at the breaks and the lines of its notes, each
// trimmed, empty ones left out; style marks dropped.
struct EntrySense {
    std::vector<std::u16string> Lines;
    std::vector<std::u16string> Notes;
};

// A reference of the translation that can be followed: "X|Y[pinyin]" or "X[pinyin]"
// (FindSenseReferences, with pinyin), at Entry::Text[Begin, End).
struct EntryReference {
    uint32_t Begin = 0;
    uint32_t End = 0;
    std::u16string First;   // X (traditional in a two-form reference)
    std::u16string Second;  // Y (simplified); empty for one form
    std::u16string Pinyin;  // as stored, between the brackets
};

struct Entry {
    EntryFields Fields;
    std::u16string Head;  // the first form
    // The text after the first form's space, as written (empty for a single form).
    std::u16string OtherForms;
    // The forms in order, none empty (at least the first, which may be empty itself).
    std::vector<std::u16string> Forms;
    // The second form; for a single form, its simplified text with "Search both chinese
    // forms" on, else the form itself.
    std::u16string Simplified;
    // The translation with "<" and ">" read as "[" and "]", and its pieces in order.
    std::u16string Text;
    std::vector<TranslationPiece> Pieces;
    // The rule of "|" the translation was read by, and the references of its text runs in
    // order (a reference never spans a mark).
    SenseConvention Convention = SenseConvention::Notes;
    std::vector<EntryReference> References;

    std::u16string_view TextOf(const TranslationPiece& p) const {
        return std::u16string_view(Text).substr(p.Begin, p.End - p.Begin);
    }
};

// Takes one entry line apart into `e` (its buffers are used again). `searchBoth` is the
// "Search both chinese forms" option (the simplified form of a single form); `convention` is
// the dictionary's rule of "|" (TDic::Convention): with References no note is read.
void ReadEntry(std::u16string_view line, bool searchBoth, Entry& e,
               SenseConvention convention = SenseConvention::Notes);
Entry EntryOf(std::u16string_view line, bool searchBoth,
              SenseConvention convention = SenseConvention::Notes);

// Whether the entry is written in simplified characters: it has a single form, which is its
// own simplified form and has characters that are written otherwise in traditional. An entry
// of two forms (traditional first, as CEDICT writes them, even when they are equal) and one of
// characters written alike in both count as traditional.
bool WritesSimplified(const Entry& e);
// The form of a reference that matches the entry's script: the simplified form (Second) when
// the entry is written in simplified and the reference has one, else the first.
const std::u16string& ReferenceForm(const Entry& e, const EntryReference& r);

// The senses of an entry as plain lines (senses with no line and no note left out).
std::vector<EntrySense> SensesOf(const Entry& e);

}  // namespace kes
