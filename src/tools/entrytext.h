// Entry-text rules shared by the user dictionary window and the entry edit dialog: the
// record key, the split of an entry line into the dialog's fields, the translation shown
// one sense per memo line and collected back, and the composition of the entry line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kes {

// The key of a user dictionary record: the units before the first "[" without any blank
// (U+0020), trimmed.
std::u16string UserdictKey(std::u16string_view line);

struct EditableEntry {
    std::u16string Word;
    std::u16string Pinyin;
    std::u16string Translation;  // senses separated by " / ", outer slashes removed
    std::u16string ImagePath;    // text after "[is]" ("[ie]" dropped); never written back
};

// Splits an entry line "word [pinyin] /a/b/ [is]path[ie]" into the dialog's fields.
EditableEntry ParseEntryForEdit(std::u16string_view line);

// The memo lines of a translation: one trimmed, non-empty line per sense.
std::vector<std::u16string> ShowTranslation(std::u16string_view newDesc);

struct CollectedTranslation {
    std::vector<std::u16string> Lines;  // the memo as it must be shown afterwards
    std::u16string NewDesc;             // the senses joined by "/"
};

// Trims every memo line, writes "/" inside a line as "&sl;", drops empty lines and joins
// the rest with "/".
CollectedTranslation CollectTranslation(const std::vector<std::u16string>& memoLines);

// word + " [" + pinyin + "] /" + newDesc + "/".
std::u16string ComposeEntryLine(std::u16string_view word, std::u16string_view pinyin,
                                std::u16string_view newDesc);

// The contents of an entry form: word field, transcription field, translation memo, and
// the translation text in transit between the line and the memo.
struct EntryForm {
    std::u16string Word;
    std::u16string Pin;
    std::vector<std::u16string> Memo;
    std::u16string NewDesc;
};

// Fills a form from an entry line (the image path is not used).
void LoadEntryForm(EntryForm& form, std::u16string_view line);

// Trims the word and transcription, normalises the memo (CollectTranslation) and tells
// whether all three fields hold something. On success `line` is the composed entry line.
bool CollectEntryForm(EntryForm& form, std::u16string* line);

}  // namespace kes
