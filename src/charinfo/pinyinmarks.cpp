#include "charinfo/pinyinmarks.h"

#include <algorithm>
#include <optional>

namespace kes {

namespace {

constexpr char16_t kCombiningMacron = 0x0304;
constexpr char16_t kCombiningCaron = 0x030C;
constexpr char16_t kCombiningGrave = 0x0300;
constexpr char16_t kCombiningAcute = 0x0301;

// A vowel and its four marked forms (tones 1-4), lower and upper case.
struct MarkedVowel {
    char16_t base;
    char16_t marked[4];
};

constexpr MarkedVowel kMarkedVowels[] = {
    {u'a', {u'ā', u'á', u'ǎ', u'à'}}, {u'A', {u'Ā', u'Á', u'Ǎ', u'À'}},
    {u'e', {u'ē', u'é', u'ě', u'è'}}, {u'E', {u'Ē', u'É', u'Ě', u'È'}},
    {u'i', {u'ī', u'í', u'ǐ', u'ì'}}, {u'I', {u'Ī', u'Í', u'Ǐ', u'Ì'}},
    {u'o', {u'ō', u'ó', u'ǒ', u'ò'}}, {u'O', {u'Ō', u'Ó', u'Ǒ', u'Ò'}},
    {u'u', {u'ū', u'ú', u'ǔ', u'ù'}}, {u'U', {u'Ū', u'Ú', u'Ǔ', u'Ù'}},
    {u'ü', {u'ǖ', u'ǘ', u'ǚ', u'ǜ'}}, {u'Ü', {u'Ǖ', u'Ǘ', u'Ǚ', u'Ǜ'}},
};

// Letters that have a precomposed form for only some tones; the others take a combining
// mark after the letter (0 in the table).
struct PartlyMarked {
    char16_t base;
    char16_t marked[4];
};

constexpr PartlyMarked kPartlyMarked[] = {
    {u'ê', {0, u'ế', 0, u'ề'}}, {u'Ê', {0, u'Ế', 0, u'Ề'}},
    {u'm', {0, u'ḿ', 0, 0}},    {u'M', {0, u'Ḿ', 0, 0}},
    {u'n', {0, u'ń', u'ň', u'ǹ'}}, {u'N', {0, u'Ń', u'Ň', u'Ǹ'}},
};

constexpr char16_t kCombiningForTone[4] = {kCombiningMacron, kCombiningAcute, kCombiningCaron,
                                           kCombiningGrave};

char16_t Lower(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
    if (c == u'Ü') return u'ü';
    if (c == u'Ê') return u'ê';
    return c;
}

bool IsAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsToneCombining(char16_t c) {
    return c == kCombiningMacron || c == kCombiningAcute || c == kCombiningCaron ||
           c == kCombiningGrave;
}

// The base letter and tone (1-4) of a vowel that carries a tone mark; tone 0 when it has none.
std::pair<char16_t, int> Unmarked(char16_t c) {
    for (const MarkedVowel& v : kMarkedVowels)
        for (int t = 0; t < 4; ++t)
            if (v.marked[t] == c) return {v.base, t + 1};
    for (const PartlyMarked& p : kPartlyMarked)
        for (int t = 0; t < 4; ++t)
            if (p.marked[t] == c) return {p.base, t + 1};
    return {c, 0};
}

bool IsMarkedVowel(char16_t c) {
    return Unmarked(c).second != 0;
}

bool IsLetterUnit(char16_t c) {
    return IsAsciiLetter(c) || c == u'ü' || c == u'Ü' || c == u'ê' || c == u'Ê' ||
           IsMarkedVowel(c);
}

// A code unit of a syllable's letters; ':' only as the "u:" of ü, a combining tone mark only
// right after a letter.
bool IsRunUnit(std::u16string_view s, std::size_t i) {
    const char16_t c = s[i];
    if (c == u':') return i > 0 && (s[i - 1] == u'u' || s[i - 1] == u'U');
    if (IsToneCombining(c)) return i > 0 && IsLetterUnit(s[i - 1]);
    return IsLetterUnit(c);
}

bool IsVowel(char16_t lower) {
    return lower == u'a' || lower == u'e' || lower == u'i' || lower == u'o' || lower == u'u' ||
           lower == u'ü' || lower == u'ê';
}

// The letters of a toned syllable as learners write them: "u:" and "v" become ü.
std::u16string LearnerLetters(std::u16string_view run) {
    std::u16string out;
    out.reserve(run.size());
    for (std::size_t i = 0; i < run.size(); ++i) {
        const char16_t c = run[i];
        if ((c == u'u' || c == u'U') && i + 1 < run.size() && run[i + 1] == u':') {
            out.push_back(c == u'u' ? u'ü' : u'Ü');
            ++i;
        } else if (c == u'v' || c == u'V') {
            out.push_back(c == u'v' ? u'ü' : u'Ü');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Where the tone mark of `letters` goes; npos when no letter can carry it.
std::size_t MarkPosition(std::u16string_view letters) {
    std::u16string lower(letters);
    for (char16_t& c : lower) c = Lower(c);
    if (std::size_t p = lower.find(u'a'); p != lower.npos) return p;
    if (std::size_t p = lower.find_first_of(u"eê"); p != lower.npos) return p;
    if (std::size_t p = lower.find(u"ou"); p != lower.npos) return p;
    for (std::size_t i = lower.size(); i-- > 0;)
        if (IsVowel(lower[i])) return i;
    if (std::size_t p = lower.find(u'n'); p != lower.npos) return p;
    return lower.find(u'm');
}

// The letters with the mark of `tone` (1-4) on the letter at `pos`.
std::u16string WithMark(std::u16string letters, std::size_t pos, int tone) {
    const char16_t c = letters[pos];
    for (const MarkedVowel& v : kMarkedVowels) {
        if (v.base == c) {
            letters[pos] = v.marked[tone - 1];
            return letters;
        }
    }
    for (const PartlyMarked& p : kPartlyMarked) {
        if (p.base == c) {
            if (p.marked[tone - 1] != 0)
                letters[pos] = p.marked[tone - 1];
            else
                letters.insert(letters.begin() + static_cast<std::ptrdiff_t>(pos) + 1,
                               kCombiningForTone[tone - 1]);
            return letters;
        }
    }
    return letters;
}

bool HasToneMark(std::u16string_view run) {
    return std::any_of(run.begin(), run.end(),
                       [](char16_t c) { return IsMarkedVowel(c) || IsToneCombining(c); });
}

std::u16string MarkedSyllable(std::u16string_view run, int tone) {
    std::u16string letters = LearnerLetters(run);
    if (tone < 1 || tone > 4 || HasToneMark(letters)) return letters;
    const std::size_t pos = MarkPosition(letters);
    if (pos == std::u16string::npos) return letters;
    return WithMark(std::move(letters), pos, tone);
}

// --- Zhuyin ---

struct Mapping {
    std::u16string_view pinyin;
    std::u16string_view zhuyin;
};

// Longest first where one initial begins another.
constexpr Mapping kInitials[] = {
    {u"zh", u"ㄓ"}, {u"ch", u"ㄔ"}, {u"sh", u"ㄕ"}, {u"b", u"ㄅ"}, {u"p", u"ㄆ"}, {u"m", u"ㄇ"},
    {u"f", u"ㄈ"},  {u"d", u"ㄉ"},  {u"t", u"ㄊ"},  {u"n", u"ㄋ"}, {u"l", u"ㄌ"}, {u"g", u"ㄍ"},
    {u"k", u"ㄎ"},  {u"h", u"ㄏ"},  {u"j", u"ㄐ"},  {u"q", u"ㄑ"}, {u"x", u"ㄒ"}, {u"r", u"ㄖ"},
    {u"z", u"ㄗ"},  {u"c", u"ㄘ"},  {u"s", u"ㄙ"},
};

// What follows the medial (or the initial when there is none).
constexpr Mapping kRhymes[] = {
    {u"a", u"ㄚ"},  {u"o", u"ㄛ"},  {u"ê", u"ㄝ"},  {u"ai", u"ㄞ"},  {u"ei", u"ㄟ"},
    {u"ao", u"ㄠ"}, {u"ou", u"ㄡ"}, {u"an", u"ㄢ"}, {u"en", u"ㄣ"},  {u"ang", u"ㄤ"},
    {u"eng", u"ㄥ"}, {u"n", u"ㄣ"}, {u"ng", u"ㄥ"},
};

// Syllables outside the initial-medial-rhyme scheme: the erhua "r" and the interjections
// without a vowel.
constexpr Mapping kWholeSyllables[] = {
    {u"r", u"ㄦ"}, {u"er", u"ㄦ"},   {u"m", u"ㄇ"},   {u"n", u"ㄋ"}, {u"ng", u"ㄫ"},
    {u"hm", u"ㄏㄇ"}, {u"hng", u"ㄏㄫ"}, {u"ê", u"ㄝ"}, {u"e", u"ㄜ"},
};

bool IsApicalInitial(std::u16string_view initial) {
    return initial == u"zh" || initial == u"ch" || initial == u"sh" || initial == u"r" ||
           initial == u"z" || initial == u"c" || initial == u"s";
}

// The bopomofo of a lower-case syllable without tone (ü written ü); empty when it is not a
// Mandarin syllable.
// A syllable's initial (as written and in zhuyin) and its final written out in full (y and w
// spelled as their medials, ü restored after j, q, x, l, n, the short forms of iou, uei, uen
// undone); nothing when the letters are no syllable.
struct SyllableParts {
    std::u16string_view initial;
    std::u16string_view initialZhuyin;
    std::u16string final;
};

std::optional<SyllableParts> SplitSyllable(std::u16string_view s) {
    SyllableParts p;
    std::u16string& final = p.final;
    if (s[0] == u'y') {
        std::u16string_view rest = s.substr(1);
        if (!rest.empty() && (rest[0] == u'u' || rest[0] == u'ü'))
            final = u"ü" + std::u16string(rest.substr(1));
        else if (!rest.empty() && rest[0] == u'i')
            final = rest;
        else if (rest == u"ong")
            final = u"iong";
        else
            final = u"i" + std::u16string(rest);
    } else if (s[0] == u'w') {
        std::u16string_view rest = s.substr(1);
        final = !rest.empty() && rest[0] == u'u' ? std::u16string(rest) : u"u" + std::u16string(rest);
    } else {
        for (const Mapping& m : kInitials) {
            if (s.starts_with(m.pinyin)) {
                p.initial = m.pinyin;
                p.initialZhuyin = m.zhuyin;
                break;
            }
        }
        const std::u16string_view initial = p.initial;
        final = s.substr(initial.size());
        if ((initial == u"j" || initial == u"q" || initial == u"x") && !final.empty() &&
            final[0] == u'u')
            final[0] = u'ü';
        if ((initial == u"l" || initial == u"n") && final == u"ue") final = u"üe";
        if (IsApicalInitial(initial) && final == u"i") final.clear();
        if (!initial.empty() && final.empty() && !IsApicalInitial(initial)) return std::nullopt;
    }
    // The written short forms of iou, uei, uen; ong is u + ng, iong is ü + ng.
    if (final == u"iu") final = u"iou";
    else if (final == u"ui") final = u"uei";
    else if (final == u"un") final = u"uen";
    else if (final == u"ong") final = u"ung";
    else if (final == u"iong") final = u"üng";
    return p;
}

std::u16string ZhuyinLetters(std::u16string_view s) {
    for (const Mapping& m : kWholeSyllables)
        if (m.pinyin == s) return std::u16string(m.zhuyin);
    if (s.empty()) return {};
    const std::optional<SyllableParts> parts = SplitSyllable(s);
    if (!parts) return {};
    const std::u16string_view initial = parts->initial;
    const std::u16string& final = parts->final;

    std::u16string out(parts->initialZhuyin);
    std::u16string_view rest = final;
    bool medial = false;
    if (!rest.empty() && (rest[0] == u'i' || rest[0] == u'u' || rest[0] == u'ü')) {
        out += rest[0] == u'i' ? u"ㄧ" : rest[0] == u'u' ? u"ㄨ" : u"ㄩ";
        rest = rest.substr(1);
        medial = true;
    }
    if (rest.empty()) return medial || IsApicalInitial(initial) ? out : std::u16string();
    // e is ㄝ after i and ü, ㄜ elsewhere.
    if (rest == u"e") {
        if (!medial) out += u"ㄜ";
        else if (final[0] == u'u') return {};
        else out += u"ㄝ";
        return out;
    }
    if ((rest == u"n" || rest == u"ng") && !medial) return {};
    for (const Mapping& m : kRhymes) {
        if (m.pinyin == rest) {
            out += m.zhuyin;
            return out;
        }
    }
    return {};
}

std::u16string ZhuyinSyllable(std::u16string_view letters, int tone) {
    std::u16string lower;
    lower.reserve(letters.size());
    for (char16_t c : letters) lower.push_back(Lower(Unmarked(c).first));
    std::u16string z = ZhuyinLetters(lower);
    if (z.empty()) return {};
    if (lower == u"r") return z;
    switch (tone) {
        case 2: return z + u"ˊ";
        case 3: return z + u"ˇ";
        case 4: return z + u"ˋ";
        case 5: return u"˙" + z;
        default: return z;
    }
}

// The tone of a run that carries tone marks: that of its one marked letter; 0 when it has
// none or more than one.
int MarkedTone(std::u16string_view run) {
    int tone = 0;
    int marks = 0;
    for (char16_t c : run) {
        int t = Unmarked(c).second;
        if (c == kCombiningMacron) t = 1;
        else if (c == kCombiningAcute) t = 2;
        else if (c == kCombiningCaron) t = 3;
        else if (c == kCombiningGrave) t = 4;
        if (t != 0) {
            tone = t;
            ++marks;
        }
    }
    return marks == 1 ? tone : 0;
}

std::u16string WithoutCombining(std::u16string_view run) {
    std::u16string out;
    for (char16_t c : run)
        if (!IsToneCombining(c)) out.push_back(c);
    return out;
}

void AppendPlain(std::vector<PinyinPiece>& pieces, std::u16string_view text) {
    if (text.empty()) return;
    if (!pieces.empty() && pieces.back().tone == 0)
        pieces.back().text += text;
    else
        pieces.push_back(PinyinPiece{std::u16string(text), 0});
}

}  // namespace

std::vector<PinyinPiece> PinyinPieces(std::u16string_view s, PinyinStyle style) {
    std::vector<PinyinPiece> pieces;
    std::size_t i = 0;
    while (i < s.size()) {
        if (!IsRunUnit(s, i)) {
            std::size_t j = i + 1;
            while (j < s.size() && !IsRunUnit(s, j)) ++j;
            AppendPlain(pieces, s.substr(i, j - i));
            i = j;
            continue;
        }
        std::size_t j = i;
        while (j < s.size() && IsRunUnit(s, j)) ++j;
        const std::u16string_view run = s.substr(i, j - i);
        const bool digit = j < s.size() && s[j] >= u'1' && s[j] <= u'5' &&
                           (j + 1 == s.size() || s[j + 1] < u'0' || s[j + 1] > u'9');
        if (digit) {
            const int tone = s[j] - u'0';
            std::u16string text;
            if (style == PinyinStyle::Stored) {
                text = s.substr(i, j + 1 - i);
            } else {
                text = MarkedSyllable(run, tone);
                if (style == PinyinStyle::Zhuyin) {
                    std::u16string z = ZhuyinSyllable(LearnerLetters(run), tone);
                    if (!z.empty()) text = std::move(z);
                }
            }
            pieces.push_back(PinyinPiece{std::move(text), tone});
            i = j + 1;
            continue;
        }
        const int tone = MarkedTone(run);
        if (tone == 0) {
            AppendPlain(pieces, run);
        } else {
            std::u16string text(run);
            if (style == PinyinStyle::Zhuyin) {
                std::u16string z = ZhuyinSyllable(WithoutCombining(LearnerLetters(run)), tone);
                if (!z.empty()) text = std::move(z);
            }
            pieces.push_back(PinyinPiece{std::move(text), tone});
        }
        i = j;
    }
    return pieces;
}

std::u16string PinyinText(std::u16string_view stored, PinyinStyle style) {
    std::u16string out;
    for (const PinyinPiece& p : PinyinPieces(stored, style)) out += p.text;
    return out;
}

std::array<std::string, 5> ParseToneColors(std::string_view value) {
    std::array<std::string, 5> colors;
    std::string_view defaults = kDefaultToneColors;
    for (std::size_t tone = 0; tone < 5; ++tone) {
        colors[tone] = std::string(defaults.substr(tone * 8, 7));
        if (value.data() == nullptr) continue;
        const std::size_t comma = value.find(',');
        std::string_view field = value.substr(0, comma);
        value = comma == value.npos ? std::string_view() : value.substr(comma + 1);
        while (!field.empty() && (field.front() == ' ' || field.front() == '\t'))
            field.remove_prefix(1);
        while (!field.empty() && (field.back() == ' ' || field.back() == '\t'))
            field.remove_suffix(1);
        const bool sound =
            field.size() == 7 && field[0] == '#' &&
            std::all_of(field.begin() + 1, field.end(), [](char c) {
                return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
            });
        if (!sound) continue;
        std::string color(field);
        for (char& c : color)
            if (c >= 'A' && c <= 'F') c = static_cast<char>(c + 32);
        colors[tone] = std::move(color);
    }
    return colors;
}

}  // namespace kes
