#include "dict/senserefs.h"

#include <algorithm>
#include <iterator>

#include "base/bytefile.h"
#include "base/lines.h"
#include "base/text.h"

namespace kes {

SenseConvention SenseConventionOfFirstLine(std::u16string_view line) {
    const std::u16string_view t = TrimView(line);
    return !t.empty() && t.front() == u'#' ? SenseConvention::References : SenseConvention::Notes;
}

SenseConvention SenseConventionOfData(ByteFile& data) {
    for (int i = 0; i < kConventionLines && !data.eof(); ++i) {
        const std::u16string line = ReadUcs2Line(data);
        if (!TrimView(line).empty()) return SenseConventionOfFirstLine(line);
    }
    return SenseConvention::Notes;
}

SenseConvention SenseConventionOfDataFile(const std::string& dataPath) {
    ByteFile f(dataPath, OpenMode::Read);
    const SenseConvention c = SenseConventionOfData(f);
    f.close();
    return c;
}

namespace {

bool IsChinese(char16_t c) {
    if (c >= 0xD800 && c <= 0xDFFF) return true;  // the halves of a character beyond U+FFFF
    if (c == 0x3005 || c == 0x3007) return true;  // 々 〇
    if (c < 0x2E80) return false;
    if (c >= 0x3000 && c <= 0x303F) return false;  // CJK punctuation
    if (c >= 0xA000 && c <= 0xF8FF) return false;  // Yi, Hangul, private use
    if (c >= 0xFE30) return false;                 // compatibility forms, full-width signs
    return true;
}

// What may stand in a form beside Chinese characters: Latin and Greek letters, digits, "·",
// and the swung dash that stands for the headword ("∼的大門").
bool IsFormUnit(char16_t c) {
    return IsChinese(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
           (c >= u'0' && c <= u'9') || c == u'·' || (c >= 0x0391 && c <= 0x03C9) ||
           c == 0x223C || c == 0xFF5E;
}

bool IsToneMarked(char16_t c) {
    static constexpr std::u16string_view kMarked =
        u"āáǎàēéěèīíǐìōóǒòūúǔùǖǘǚǜĀÁǍÀĒÉĚÈĪÍǏÌŌÓǑÒŪÚǓÙǕǗǙǛ";
    return kMarked.find(c) != kMarked.npos;
}

bool IsPinyin(std::u16string_view p) {
    bool tone = false;
    for (char16_t c : p) {
        if ((c >= u'1' && c <= u'5') || IsToneMarked(c)) {
            tone = true;
            continue;
        }
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'ü' ||
                            c == u'Ü' || c == u'ê' || c == u'Ê';
        const bool digit = c >= u'0' && c <= u'9';
        if (!letter && !digit && c != u' ' && c != u':' && c != u'·' && c != u',') return false;
    }
    return tone;
}

constexpr char16_t kFullWidthComma = 0xFF0C;

// The start of the form that ends at `end`; `end` itself when there is no form there (no
// run of form units, or one without a Chinese character). With `comma`, a full-width comma
// may stand inside the form (a saying: "丈二和尚，摸不著頭腦").
std::size_t FormStart(std::u16string_view s, std::size_t end, bool comma) {
    std::size_t b = end;
    while (b > 0 && (IsFormUnit(s[b - 1]) || (comma && s[b - 1] == kFullWidthComma))) --b;
    while (b < end && s[b] == kFullWidthComma) ++b;
    for (std::size_t i = b; i < end; ++i)
        if (IsChinese(s[i])) return b;
    return end;
}

// The end of the form that starts at `begin`; `begin` when there is none.
std::size_t FormEnd(std::u16string_view s, std::size_t begin) {
    std::size_t e = begin;
    bool chinese = false;
    while (e < s.size() && IsFormUnit(s[e])) chinese = IsChinese(s[e++]) || chinese;
    return chinese ? e : begin;
}

// The references written with pinyin, "X|Y[pinyin]" and "X[pinyin]".
void FindBracketed(std::u16string_view s, std::vector<SenseReference>& refs) {
    std::size_t from = 0;  // nothing before this belongs to a new reference
    for (std::size_t open = s.find(u'['); open != s.npos; open = s.find(u'[', open + 1)) {
        const std::size_t close = s.find_first_of(u"[]", open + 1);
        if (close == s.npos) break;
        if (s[close] == u'[') continue;  // "[" again before the "]": try from that one
        const std::u16string_view pinyin = s.substr(open + 1, close - open - 1);
        std::size_t formEnd = open;
        if (formEnd > from && s[formEnd - 1] == u' ') --formEnd;
        const bool comma = pinyin.find(u',') != pinyin.npos;
        const std::size_t start = FormStart(s, formEnd, comma);
        if (start == formEnd || start < from || !IsPinyin(pinyin)) continue;
        SenseReference r;
        r.begin = start;
        r.end = close + 1;
        r.first = s.substr(start, formEnd - start);
        r.pinyin = pinyin;
        if (start > from && s[start - 1] == u'|') {
            const std::size_t firstStart = FormStart(s, start - 1, comma);
            if (firstStart < start - 1 && firstStart >= from) {
                r.begin = firstStart;
                r.second = r.first;
                r.first = s.substr(firstStart, start - 1 - firstStart);
            }
        }
        refs.push_back(r);
        from = close + 1;
        open = close;
    }
}

}  // namespace

std::vector<SenseReference> FindSenseReferences(std::u16string_view s) {
    std::vector<SenseReference> refs;
    FindBracketed(s, refs);
    // The two forms without pinyin, "X|Y", where no reference with pinyin holds the "|".
    std::vector<SenseReference> bare;
    std::size_t next = 0;  // the bracketed reference that may hold the next "|"
    std::size_t from = 0;
    for (std::size_t bar = s.find(u'|'); bar != s.npos; bar = s.find(u'|', bar + 1)) {
        while (next < refs.size() && refs[next].end <= bar) from = refs[next++].end;
        if (next < refs.size() && refs[next].begin <= bar) continue;
        const std::size_t start = FormStart(s, bar, false);
        const std::size_t end = FormEnd(s, bar + 1);
        const std::size_t limit = next < refs.size() ? refs[next].begin : s.size();
        if (start == bar || end == bar + 1 || start < from || end > limit) continue;
        if (!bare.empty() && bare.back().end > start) continue;
        SenseReference r;
        r.begin = start;
        r.end = end;
        r.first = s.substr(start, bar - start);
        r.second = s.substr(bar + 1, end - bar - 1);
        bare.push_back(r);
    }
    if (bare.empty()) return refs;
    std::vector<SenseReference> all;
    all.reserve(refs.size() + bare.size());
    std::merge(refs.begin(), refs.end(), bare.begin(), bare.end(), std::back_inserter(all),
               [](const SenseReference& a, const SenseReference& b) { return a.begin < b.begin; });
    return all;
}

}  // namespace kes
