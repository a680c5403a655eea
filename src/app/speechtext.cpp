#include "app/speechtext.h"

#include <algorithm>

#include "app/pinyin.h"
#include "base/text.h"
#include "charinfo/pinyinfold.h"
#include "charinfo/pinyinmarks.h"

namespace kes {

namespace {

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool IsAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Syllables without a vowel that the voice reads (interjections: 呣 m2, 嗯 ng2, 哼 hng5).
bool IsVowellessSyllable(std::string_view s) {
    return s == "m" || s == "n" || s == "ng" || s == "hm" || s == "hng";
}

// A syllable with its tone digit ("Lu:4") as the voice reads it ("lv4"); empty when its
// letters are no Mandarin syllable.
std::string SpokenSyllable(std::u16string_view piece) {
    const char16_t digit = piece.back();
    std::string letters;
    for (char16_t c : piece.substr(0, piece.size() - 1)) {
        if (IsAsciiLetter(c)) {
            letters.push_back(static_cast<char>(c | 0x20));
        } else if (c == u':') {
            if (!letters.empty() && letters.back() == 'u') letters.back() = 'v';
        } else if (c == u'ü' || c == u'Ü') {
            letters.push_back('v');
        } else if (c == u'ê' || c == u'Ê') {
            letters.push_back('e');
        } else {
            const char f = PinyinFoldLetter(c);
            if (f == '*') return {};
            letters.push_back(f);
        }
    }
    if (letters == "r") letters = "er";
    // The table writes ü as u after j, q, x and y.
    if (letters.size() > 1 && letters[1] == 'v' &&
        std::string_view("jqxy").find(letters[0]) != std::string_view::npos)
        letters[1] = 'u';
    if (!IsPinyinSyllable(letters) && !IsVowellessSyllable(letters)) return {};
    // "lue" and "nue" are the table's spellings of lüe and nüe; the voice needs the v.
    if (letters == "lue" || letters == "nue") letters[1] = 'v';
    letters.push_back(static_cast<char>(digit));
    return letters;
}

}  // namespace

std::string SpeechText(std::u16string_view pinyin) {
    std::string out;
    auto blank = [&out] {
        if (!out.empty() && out.back() != ' ') out.push_back(' ');
    };
    for (const PinyinPiece& p : PinyinPieces(pinyin, PinyinStyle::Stored)) {
        const std::u16string_view t = p.text;
        if (p.tone != 0 && !t.empty() && IsDigit(t.back())) {
            out += SpokenSyllable(t);
        } else if (p.tone != 0) {
            out += Utf16ToUtf8(t);  // a syllable with a tone mark: read as it is
        } else {
            for (char16_t c : t) {
                if (IsAsciiLetter(c)) {
                    out.push_back(static_cast<char>(c));
                } else if (c == u',') {
                    if (!out.empty() && out.back() == ' ') out.pop_back();
                    out += ", ";
                } else {
                    blank();
                }
            }
        }
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == ',')) out.pop_back();
    std::size_t start = out.find_first_not_of(" ,");
    return start == std::string::npos ? std::string() : out.substr(start);
}

bool IsTonedPinyin(std::u16string_view text) {
    if (PinyinReadings(text).empty()) return false;
    bool toned = false;
    for (const PinyinPiece& p : PinyinPieces(Trim(text), PinyinStyle::Stored)) {
        if (p.tone != 0) {
            toned = true;
        } else if (std::any_of(p.text.begin(), p.text.end(),
                               [](char16_t c) { return c != u' ' && c != u'\''; })) {
            return false;  // a syllable without a tone
        }
    }
    return toned;
}

}  // namespace kes
