// The keys of one entry line of a dictionary data file, filed into the index tree of a build.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dict/indextree.h"
#include "dict/senserefs.h"

namespace kes {

// The shortest translation word an index files unless asked for shorter ones, and the
// shortest it can be asked for.
inline constexpr int kDefaultMinWordLength = 4;
inline constexpr int kShortestMinWordLength = 3;
// Function words shorter than 4 letters that are never keys, even when shorter words are
// filed: they stand in thousands of senses and are no answer to look up.
inline constexpr std::u16string_view kShortStopWords[] = {u"and", u"but", u"esp", u"etc", u"for",
                                                          u"its", u"nor", u"sth", u"the"};
// True when `word` (lowercase) is one of kShortStopWords.
bool IsShortStopWord(std::u16string_view word);

// Files the keys of one entry line. The parts of the line are views into the line itself
// or into buffers that are reused from line to line.
class LineFiler {
  public:
    // `warning` (may be empty) gets the size-limit warning of a line that is left out.
    // Translation words shorter than `minWordLength` letters (3 or 4; see IndexBuildOptions)
    // are no keys.
    LineFiler(IndexTree& tree, std::function<void(const std::u16string& text)> warning,
              int minWordLength = kDefaultMinWordLength)
        : tree_(tree),
          warning_(std::move(warning)),
          minWord_(minWordLength == kShortestMinWordLength ? kShortestMinWordLength
                                                           : kDefaultMinWordLength) {}

    // Files one line of the data file (read at `offset`): nothing for an empty line, a
    // comment ("#") or a byte-order mark; the size-limit warning and nothing else for a line
    // whose raw parts are too long (word > 30, pinyin > 90, translation without notes > 10000
    // units); else its headword key (the first form of the word part), with `addWords` its
    // translation words (runs of at least 4 Latin or Cyrillic letters, or 3 but not a short
    // stop word, lowercased, Ё read as е), and with `addPinyin` its pinyin keys (no tone
    // digits, accents folded, lowercased, ";" and "," between keys). With the note rule (`convention` Notes) the notes ("|" up to
    // the next "/") are no part of the translation; in a CEDICT-convention file "|" separates
    // the forms of a reference and the words on both sides of it are filed.
    void FileLine(std::u16string_view rawLine, int32_t offset, bool addWords, bool addPinyin,
                  SenseConvention convention = SenseConvention::Notes);

  private:
    void AddLineKey(std::u16string_view key, std::size_t minLength);
    void AddTranslationWord(std::u16string_view word);
    // Headwords are mostly unique; translation words repeat often.
    void FileLineKeys(int32_t offset, bool repeated);
    void AddTranslationWords(std::u16string_view translation);
    void FilePinyinKeys(std::u16string_view pinyin, int32_t offset);

    IndexTree& tree_;
    std::function<void(const std::u16string& text)> warning_;
    std::size_t minWord_;
    std::u16string withoutNotes_;  // the translation part when the line has notes
    std::u16string folded_;        // the translation part lowercased, Ё/ё read as е
    std::u16string pinyinKey_;
    // The line's key list; the views point into the line or into folded_.
    std::vector<std::u16string_view> keys_;
};

}  // namespace kes
