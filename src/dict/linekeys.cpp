#include "dict/linekeys.h"

#include "base/text.h"
#include "charinfo/pinyinfold.h"

namespace kes {

namespace {

// Size limits of one entry line, on the raw (untrimmed) parts.
constexpr std::size_t kMaxWordUnits = 30;
constexpr std::size_t kMaxPinyinUnits = 90;
constexpr std::size_t kMaxTranslationUnits = 10000;
// Shortest translation word that becomes a key.
constexpr std::size_t kMinTranslationWord = 4;

}  // namespace

bool IsShortStopWord(std::u16string_view word) {
    for (std::u16string_view stop : kShortStopWords)
        if (word == stop) return true;
    return false;
}

void LineFiler::FileLine(std::u16string_view rawLine, int32_t offset, bool addWords,
                         bool addPinyin, SenseConvention convention) {
    std::u16string_view line = TrimView(rawLine);
    if (line.empty() || line[0] == u'#' || line[0] == 0xFEFF) return;

    // The word part runs up to the first "[", the pinyin part from there up to the next
    // "]", the translation part is the rest; the brackets that end the parts belong to none.
    std::u16string_view word = line, pinyin, translation;
    if (std::size_t open = line.find(u'['); open != std::u16string_view::npos) {
        word = line.substr(0, open);
        pinyin = line.substr(open + 1);
        if (std::size_t close = pinyin.find(u']'); close != std::u16string_view::npos) {
            translation = pinyin.substr(close + 1);
            pinyin = pinyin.substr(0, close);
        }
    }
    // Notes ("|" up to the next "/") leave the translation part together with their "|"
    // and the "/" that closes them.
    if (convention == SenseConvention::Notes && translation.find(u'|') != std::u16string_view::npos) {
        withoutNotes_.clear();
        bool inNote = false;
        for (char16_t c : translation) {
            if (inNote) {
                if (c == u'/') inNote = false;
            } else if (c == u'|') {
                inNote = true;
            } else {
                withoutNotes_.push_back(c);
            }
        }
        translation = withoutNotes_;
    }
    if (word.size() > kMaxWordUnits || pinyin.size() > kMaxPinyinUnits ||
        translation.size() > kMaxTranslationUnits) {
        if (warning_) {
            warning_(u"WARNING: A string with word [" + std::u16string(word) +
                     u"] can't be added to index because of size limitations (word "
                     u"<= 30, pinyin <=90, translation <=10000 chars)");
        }
        return;
    }

    // The headword key: the first form of the word part.
    keys_.clear();
    std::u16string_view words = TrimView(word);
    AddLineKey(words.substr(0, words.find(u' ')), 1);
    FileLineKeys(offset, false);

    if (addWords) {
        keys_.clear();
        AddTranslationWords(TrimView(translation));
        FileLineKeys(offset, true);
    }
    if (addPinyin) FilePinyinKeys(TrimView(pinyin), offset);
}

void LineFiler::AddLineKey(std::u16string_view key, std::size_t minLength) {
    std::u16string_view k = TrimView(key);
    if (k.size() < minLength || k.empty()) return;
    for (std::u16string_view held : keys_) {
        if (held == k) return;
    }
    keys_.push_back(k);
}

void LineFiler::FileLineKeys(int32_t offset, bool repeated) {
    for (std::u16string_view key : keys_) {
        if (repeated)
            tree_.InsertRepeatedKey(key, offset);
        else
            tree_.InsertKey(0, key, 1, offset);
    }
}

// A word is a maximal run of Latin or of Cyrillic letters, lowercased, with Ё and ё read
// as е; a change of script ends a word as well. Words shorter than 4 letters are no keys.
void LineFiler::AddTranslationWords(std::u16string_view translation) {
    folded_.resize(translation.size());
    int wordClass = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < translation.size(); ++i) {
        char16_t c = translation[i];
        if (c == 0x0401 || c == 0x0451) c = 0x0435;
        int cls = 0;
        if (c >= u'A' && c <= u'Z') {
            cls = 1;
            c = static_cast<char16_t>(c + 0x20);
        } else if (c >= u'a' && c <= u'z') {
            cls = 1;
        } else if (c >= 0x0410 && c <= 0x044F) {
            cls = 2;
            if (c <= 0x042F) c = static_cast<char16_t>(c + 0x20);
        }
        folded_[i] = c;
        if (cls != wordClass) {
            if (wordClass != 0)
                AddTranslationWord(std::u16string_view(folded_).substr(start, i - start));
            start = i;
            wordClass = cls;
        }
    }
    if (wordClass != 0) AddTranslationWord(std::u16string_view(folded_).substr(start));
}

// Words of 4 letters and more are keys; shorter ones when the build asks for them, unless
// they are short stop words.
void LineFiler::AddTranslationWord(std::u16string_view word) {
    if (word.size() < kMinTranslationWord && (word.size() < minWord_ || IsShortStopWord(word)))
        return;
    AddLineKey(word, minWord_);
}

// Pinyin keys: tone digits dropped, a space after a space dropped, accented letters folded
// to their base letter, lowercase; ";" and "," separate keys.
void LineFiler::FilePinyinKeys(std::u16string_view pinyin, int32_t offset) {
    pinyinKey_.resize(pinyin.size());
    std::size_t start = 0, end = 0;
    for (std::size_t i = 0; i < pinyin.size(); ++i) {
        char16_t c = pinyin[i];
        if (c >= u'0' && c <= u'9') continue;
        if (c == u' ' && i > 0 && pinyin[i - 1] == u' ') continue;
        if (c >= kFirstPinyinFolded && c <= kLastPinyinFolded) {
            char letter = PinyinFoldLetter(c);
            if (letter == '*') continue;
            c = static_cast<char16_t>(letter);
        }
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 0x20);
        if (c == u';' || c == u',') {
            tree_.InsertRepeatedKey(
                TrimView(std::u16string_view(pinyinKey_).substr(start, end - start)), offset);
            start = end;
            continue;
        }
        pinyinKey_[end++] = c;
    }
    tree_.InsertRepeatedKey(TrimView(std::u16string_view(pinyinKey_).substr(start, end - start)),
                            offset);
}

}  // namespace kes
