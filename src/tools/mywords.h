// My words: the entries a user keeps from a search ("Add to my words"), in userdict.txt, and
// what leaves the program from there: the list for scripts and the export for flashcards.
//
// A kept entry is one record of userdict.txt in the file's own line shape, its fields as the
// dictionary has them: "中國 中国 [Zhong1 guo2] /China/Middle Kingdom/". A word is already kept
// when a record has the same key (the word field without blanks, as the user dictionary window
// finds it) and the same pinyin (letter case, blanks and the spelling of ü aside): 行 [xing2]
// and 行 [hang2] are two words.
//
// Reading never changes userdict.txt; adding replaces it in one step (base/replacefile.h), so
// the old file stays whole until the new one is complete. Adding creates the file where it does
// not exist yet: the one writer that may, on the user's explicit action.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "app/registry.h"
#include "base/result.h"
#include "dict/entry.h"

namespace kes {

// The largest userdict.txt that adding, the list and the export read (a word list of a million
// entries is far below it).
inline constexpr int64_t kMaxMyWordsBytes = int64_t{1} << 30;

// The identity of a kept word: the key of its word field and its pinyin folded (letters in
// lower case, blanks dropped, "u:" and "ü" as "v").
std::u16string MyWordKey(std::u16string_view word, std::u16string_view pinyin);

// The keys of the records of userdict.txt, for "in my words" on the page.
class MyWordsIndex {
  public:
    // Reads the keys of `path`; a missing file is an empty list. Throws IoError.
    void Load(const std::string& path);
    bool Contains(const EntryFields& entry) const;
    void Insert(const EntryFields& entry);
    std::size_t size() const { return keys_.size(); }

  private:
    std::unordered_set<std::u16string> keys_;
};

// The record line for an entry: word + " [" + pinyin + "] /" + senses + "/", the senses as the
// dictionary separates them.
std::u16string MyWordLine(const EntryFields& entry);

// Keeps `entry` in the user dictionary `path`: ok with `added` true when the record was
// appended, ok with `added` false when the word was kept already (nothing written). The
// message says which ("Added to my words: 中国", "Already in my words: 中国"), or, on failure,
// what failed, with the file and the reason in the detail. An entry without word or pinyin, or
// whose word holds "]" or "/", is refused (it could not be found again).
Outcome AddToMyWords(const std::string& path, const EntryFields& entry, bool& added);

// "Add to my words" for the entry at byte `offset` of the data file of the registry's
// dictionary `dict` (a link of the page, app/entrylinks.h): its line is read and kept as
// AddToMyWords does; `entry` gets its fields. A dictionary or offset that is not there (the
// dictionaries changed since the page was made) fails with the reason.
Outcome AddFoundEntry(const Registry& reg, std::size_t dict, int32_t offset,
                      const std::string& userdictPath, bool& added, EntryFields& entry);

// One record as the list and the export see it.
struct MyWord {
    int Line = 0;          // line number in the file, from 1
    std::u16string Text;   // the line as stored
    std::string Damage;    // why the line is not a sound record; empty when it is
};

struct MyWordList {
    std::vector<MyWord> Words;  // the records (non-empty lines), in file order
    int Damaged = 0;            // records with a Damage
};

// The records of `path`. Throws IoError (a missing file too).
MyWordList ReadMyWords(const std::string& path);

// "userdict.txt: line 3: no pinyin in [ ]: exported as it stands" per damaged record, then
// "userdict.txt: N damaged lines"; empty when there are none. `what` is what happens to such a
// line ("exported as it stands", "listed as it stands").
std::string DamageReport(const std::string& path, const MyWordList& list, std::string_view what);

// The fields of one record as a flashcard has them.
struct Flashcard {
    std::u16string Simplified;
    std::u16string Traditional;
    std::u16string PinyinMarks;   // tone marks (Zhōng guó)
    std::u16string Pinyin;        // as stored (Zhong1 guo2)
    std::vector<std::u16string> Meaning;  // one line per sense line and note; "&sl;" as "/"
};
// Traditional is the first form, simplified the second, or for a single form its simplified
// text. A damaged record keeps its word field in both and has the line as it stands for its
// meaning.
Flashcard FlashcardOf(const MyWord& word);

enum class FlashcardFormat { Anki, Csv };

// Anki's plain-text import: the header lines "#separator:tab", "#html:true", "#tags:kestrune"
// and "#columns:" with the field names, then one line per record, fields separated by tabs;
// text is HTML (&, <, >, " and tab as entities), the meaning's lines joined by "<br>".
std::string AnkiFlashcards(const MyWordList& list);
// RFC 4180: a header row, CR LF line ends, a field with a comma, quote, CR or LF quoted (quotes
// doubled); the meaning's lines joined by LF.
std::string CsvFlashcards(const MyWordList& list);
// The records as stored, one per line (UTF-8, LF).
std::string MyWordsText(const MyWordList& list);
// One JSON array: per record its line number, word, traditional, simplified, pinyin,
// pinyin_marks, meaning (the flashcard's lines), and "damaged" with the reason for a damaged
// one.
std::string MyWordsJson(const MyWordList& list);

// Writes the flashcards of `userdictPath` to `target` (replaced whole or not at all). Fails
// with the reason when userdict.txt cannot be read, when `target` is a folder, is userdict.txt
// itself or cannot be written. `list` gets what was read (for the damage report).
Outcome ExportFlashcards(const std::string& userdictPath, const std::string& target,
                         FlashcardFormat format, MyWordList& list);

}  // namespace kes
