#include "app/resultpage.h"

#include <algorithm>
#include <charconv>

#include "base/lines.h"
#include "base/text.h"
#include "charinfo/s2t.h"

namespace kes {

bool ShownOffsets::contains(int32_t offset) const {
    if (offset < 0) return false;  // -1 marks a free slot, never a shown entry
    return std::find(slots_.begin(), slots_.end(), offset) != slots_.end();
}

bool ShownOffsets::markShown(int32_t offset) {
    if (contains(offset)) return false;
    if (offset < 0) return true;
    auto free = std::find(slots_.begin(), slots_.end(), -1);
    if (free != slots_.end()) *free = offset;
    return true;
}

namespace {

// The headword as shown: the first form, the other forms in brackets separated by ", ",
// or, for a single form, its simplified text in parentheses when that differs.
std::u16string HeadwordText(const std::u16string& word, bool both) {
    std::size_t space = word.find(u' ');
    std::u16string head = word.substr(0, space);
    std::u16string rest = space == std::u16string::npos ? std::u16string() : word.substr(space + 1);
    if (!rest.empty()) {
        head += u" [";
        for (char16_t c : rest) {
            if (c == u' ') head += u',';
            head += c;
        }
        head += u']';
    } else {
        std::u16string simplified = ToSimplifiedText(head, both);
        if (simplified != head) {
            head += u"  (";
            head += simplified;
            head += u") ";
        }
    }
    return head;
}

void AppendDecimal(std::string& out, long value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

// Every code unit as "&#" decimal ";".
void AppendCharRefs(std::string& out, std::u16string_view s) {
    for (char16_t c : s) {
        out += "&#";
        AppendDecimal(out, c);
        out += ';';
    }
}

void AppendTranslation(std::string& out, const std::u16string& t) {
    bool note = false;
    const std::size_t n = t.size();
    for (std::size_t i = 0; i < n; ++i) {
        char16_t c = t[i];
        if (c == u'<') c = u'[';
        if (c == u'>') c = u']';
        if (c == u'|') {
            out += "</font></p><p style=\"margin:8;\"><font color=\"#777777\">";
            note = true;
        } else if (c == u'/') {
            if (i == 0 || i == n - 1) continue;
            if (note) {
                out += "</font></p><p style=\"margin:0;\"><font color=\"#000000\">";
            } else {
                out += "<br />";
            }
            note = false;
        } else if (c <= 0x7F) {
            out += static_cast<char>(c);
        } else {
            out += "&#";
            AppendDecimal(out, c);
            out += ';';
        }
    }
}

}  // namespace

// One pass over the text. No replacement holds a bracket and no two tokens can overlap, so
// this gives the same text as replacing each token over the whole text in turn.
std::string ReplaceMarkup(std::string_view s) {
    if (s.find('[') == std::string_view::npos) return std::string(s);
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    std::string out;
    out.reserve(s.size() + 64);
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        // The text up to the next bracket goes over as it is.
        std::size_t bracket = s.find('[', i);
        if (bracket == std::string_view::npos) bracket = n;
        out.append(s.substr(i, bracket - i));
        i = bracket;
        if (i >= n) break;
        const char* rep = nullptr;
        if (i + 3 < n && s[i + 3] == ']') {
            const char a = lower(s[i + 1]), b = lower(s[i + 2]);
            if (a == 'b' && b == 'r') {
                rep = "<br />";
            } else if (a == 'b' && b == 's') {
                rep = "<b>";
            } else if (a == 'b' && b == 'e') {
                rep = "</b>";
            } else if (a == 'c' && b == 's') {
                rep = "<font color=\"#449944\"><i>";
            } else if (a == 'c' && b == 'e') {
                rep = "</i></font>";
            }
        }
        if (rep) {
            out += rep;
            i += 4;
        } else {
            out += '[';
            ++i;
        }
    }
    return out;
}

void AppendEntryLine(std::string& out, std::u16string_view line, const PageFonts& fonts,
                     bool both) {
    EntryFields f = SplitEntryLine(line);
    const std::size_t start = out.size();
    out +=
        "<table width=\"100%\" height=\"10\" cellpadding=\"0\" cellspacing=\"0\">"
        "<tr><td></td></tr></table>"
        "<table cellpadding=\"0\" cellspacing=\"0\"><tr bgcolor=\"#FFFFFF\">"
        "<td style=\"font-family:";
    out += fonts.ChrFontface;
    out += "; color:#101040; font-size:";
    AppendDecimal(out, fonts.ChrFontsize);
    out += ";\">";
    AppendCharRefs(out, HeadwordText(f.Word, both));
    out += "</td><td style=\"font-family:";
    out += fonts.PinFontface;
    out += "; color:#104010; font-size:";
    AppendDecimal(out, fonts.PinFontsize);
    out += ";\"><i>&nbsp;&nbsp;";
    AppendCharRefs(out, f.Pinyin);
    out +=
        "</i></td></tr></table>\r\n"
        "<table width=\"100%\" cellpadding=\"8\" cellspacing=\"0\"><tr>"
        "<td style=\"font-family:";
    out += fonts.DscFontface;
    out += "; font-size:";
    AppendDecimal(out, fonts.DscFontsize);
    out += ";\"><p style=\"margin:0;\"><font color=\"#000000\">";
    AppendTranslation(out, f.Translation);
    out += "</font></p></td></tr></table>\r\n";

    // The markup tokens of the block (rare: most entries have none).
    const std::string_view block = std::string_view(out).substr(start);
    if (block.find('[') == std::string_view::npos) return;
    std::string replaced = ReplaceMarkup(block);
    out.replace(start, std::string::npos, replaced);
}

std::string RenderEntryLine(std::u16string_view line, const PageFonts& fonts, bool both) {
    std::string out;
    AppendEntryLine(out, line, fonts, both);
    return out;
}

bool AppendEntry(std::string& out, ByteFile& dataFile, int32_t offset, ShownOffsets& shown,
                 const PageFonts& fonts, bool both) {
    // An offset outside the data file can only come from a damaged index or a data file
    // changed after indexing; reading there would show an empty entry.
    if (offset < 0 || offset >= dataFile.size()) {
        throw IoError(dataFile.name(),
                      "Entry offset " + std::to_string(offset) + " lies outside the data file");
    }
    if (!shown.markShown(offset)) return false;
    dataFile.seek(offset);
    AppendEntryLine(out, ReadUcs2Line(dataFile), fonts, both);
    return true;
}

std::string RenderEntry(ByteFile& dataFile, int32_t offset, ShownOffsets& shown,
                        const PageFonts& fonts, bool both) {
    // An offset outside the data file can only come from a damaged index or a data file
    // changed after indexing; reading there would show an empty entry.
    std::string out;
    AppendEntry(out, dataFile, offset, shown, fonts, both);
    return out;
}

std::string DescriptionHtml(std::u16string_view text) {
    return Utf16ToUtf8(text);
}

std::string DictHeadingHtml(std::u16string_view description) {
    return "<p style=\"margin:2; border-bottom: #777777 1px solid;\"><i>" +
           DescriptionHtml(description) + "</i></p>";
}

std::string PinyinResultsText(std::u16string_view key) {
    return "Results for " + Utf16ToUtf8(key);
}

std::string PinyinResultsHtml(std::u16string_view key) {
    return "<p><font color=\"#777777\"><i>Results for </i></font><font color=\"#000000\">" +
           Utf16ToUtf8(key) + "</font></p>";
}

}  // namespace kes
