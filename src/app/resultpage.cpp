#include "app/resultpage.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "base/lines.h"
#include "base/text.h"
#include "dict/entry.h"

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
std::u16string HeadwordText(const Entry& e) {
    std::u16string head = e.Head;
    if (!e.OtherForms.empty()) {
        head += u" [";
        for (char16_t c : e.OtherForms) {
            if (c == u' ') head += u',';
            head += c;
        }
        head += u']';
    } else if (e.Simplified != e.Head) {
        head += u"  (";
        head += e.Simplified;
        head += u") ";
    }
    return head;
}

void AppendDecimal(std::string& out, long value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

// Appends text made in a small local buffer, flushed to the page when full: one append per
// run instead of several per character.
class PieceWriter {
  public:
    explicit PieceWriter(std::string& out) : out_(out) {}
    ~PieceWriter() { flush(); }
    void put(char c) {
        if (n_ == sizeof buf_) flush();
        buf_[n_++] = c;
    }
    void put(std::string_view s) {
        if (s.size() > sizeof buf_ - n_) {
            flush();
            if (s.size() > sizeof buf_) {
                out_.append(s);
                return;
            }
        }
        std::memcpy(buf_ + n_, s.data(), s.size());
        n_ += s.size();
    }
    // "&#" decimal ";"
    void charRef(char16_t c) {
        if (sizeof buf_ - n_ < 8) flush();
        buf_[n_++] = '&';
        buf_[n_++] = '#';
        n_ = static_cast<std::size_t>(
            std::to_chars(buf_ + n_, buf_ + sizeof buf_, static_cast<unsigned>(c)).ptr - buf_);
        buf_[n_++] = ';';
    }
    void flush() {
        out_.append(buf_, n_);
        n_ = 0;
    }

  private:
    std::string& out_;
    char buf_[1024];
    std::size_t n_ = 0;
};

// Every code unit as "&#" decimal ";".
void AppendCharRefs(std::string& out, std::u16string_view s) {
    PieceWriter w(out);
    for (char16_t c : s)
        w.charRef(c);
}

// The HTML of a translation mark other than text and the note marks.
const char* MarkHtml(TranslationMark m) {
    switch (m) {
        case TranslationMark::Break: return "<br />";
        case TranslationMark::BoldStart: return "<b>";
        case TranslationMark::BoldEnd: return "</b>";
        case TranslationMark::ExampleStart: return "<font color=\"#449944\"><i>";
        case TranslationMark::ExampleEnd: return "</i></font>";
        default: return "";
    }
}

// A translation's character: up to U+007F itself, above as a reference.
void PutTextChar(PieceWriter& w, char16_t c) {
    if (c <= 0x7F) {
        w.put(static_cast<char>(c));
    } else {
        w.charRef(c);
    }
}

// Pinyin as `look` shows it; with `allRefs` every code unit as a reference (the pinyin cell),
// else as the translation writes its text. In colour each syllable stands in a font element
// of its tone's colour.
void PutPinyin(PieceWriter& w, std::u16string_view stored, const PagePinyin& look, bool allRefs) {
    auto put = [&](std::u16string_view text) {
        for (char16_t c : text) {
            if (allRefs) {
                w.charRef(c);
            } else {
                PutTextChar(w, c);
            }
        }
    };
    if (look.Style == PinyinStyle::Stored) {
        put(stored);
        return;
    }
    if (!look.Colored) {
        put(PinyinText(stored, look.Style));
        return;
    }
    for (const PinyinPiece& p : PinyinPieces(stored, look.Style)) {
        if (p.tone < 1 || p.tone > 5) {
            put(p.text);
            continue;
        }
        w.put("<font color=\"");
        w.put(look.ToneColors[static_cast<std::size_t>(p.tone - 1)]);
        w.put("\">");
        put(p.text);
        w.put("</font>");
    }
}

// A reference as a link of its form, then its pinyin in brackets.
void PutReference(PieceWriter& w, const Entry& e, const EntryReference& r, const PagePinyin& look) {
    const std::u16string& form = ReferenceForm(e, r);
    w.put("<a href=\"");
    w.put(SearchLinkHref(form));
    w.put("\">");
    for (char16_t c : form)
        PutTextChar(w, c);
    w.put("</a>[");
    PutPinyin(w, r.Pinyin, look, false);
    w.put("]");
}

void AppendTranslation(std::string& out, const Entry& e, const PagePinyin& look) {
    PieceWriter w(out);
    bool note = false;
    std::size_t ref = 0;  // the next reference
    for (const TranslationPiece& p : e.Pieces) {
        switch (p.Mark) {
            case TranslationMark::Text:
                for (uint32_t i = p.Begin; i < p.End; ++i) {
                    if (ref < e.References.size() && e.References[ref].Begin == i) {
                        PutReference(w, e, e.References[ref], look);
                        i = e.References[ref].End - 1;
                        ++ref;
                        continue;
                    }
                    PutTextChar(w, e.Text[i]);
                }
                break;
            case TranslationMark::NoteStart:
                w.put("</font></p><p style=\"margin:8;\"><font color=\"#777777\">");
                note = true;
                break;
            case TranslationMark::SenseEnd:
                w.put(note ? "</font></p><p style=\"margin:0;\"><font color=\"#000000\">"
                           : "<br />");
                note = false;
                break;
            default: w.put(MarkHtml(p.Mark)); break;
        }
    }
}

// A font face as the page writes it: markup tokens in it (a face never has any in practice)
// are replaced as in the rest of the block.
void AppendFace(std::string& out, const std::string& face) {
    if (face.find('[') == std::string::npos) {
        out += face;
    } else {
        out += ReplaceMarkup(face);
    }
}

}  // namespace

namespace {

// The replacement of the markup token "[xx]" starting at s[i] (a '['), or null.
const char* MarkupTokenAt(std::string_view s, std::size_t i) {
    if (i + 3 >= s.size() || s[i + 3] != ']') return nullptr;
    const TranslationMark m = MarkupToken(static_cast<unsigned char>(s[i + 1]),
                                          static_cast<unsigned char>(s[i + 2]));
    return m == TranslationMark::Text ? nullptr : MarkHtml(m);
}

}  // namespace

// One pass over the text. No replacement holds a bracket and no two tokens can overlap, so
// this gives the same text as replacing each token over the whole text in turn.
std::string ReplaceMarkup(std::string_view s) {
    if (s.find('[') == std::string_view::npos) return std::string(s);
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
        if (const char* rep = MarkupTokenAt(s, i)) {
            out += rep;
            i += 4;
        } else {
            out += '[';
            ++i;
        }
    }
    return out;
}

void AppendEntryHtml(std::string& out, const Entry& e, const PageFonts& fonts,
                     std::string_view afterPinyin) {
    out +=
        "<table width=\"100%\" height=\"10\" cellpadding=\"0\" cellspacing=\"0\">"
        "<tr><td></td></tr></table>"
        "<table cellpadding=\"0\" cellspacing=\"0\"><tr bgcolor=\"#FFFFFF\">"
        "<td style=\"font-family:";
    AppendFace(out, fonts.ChrFontface);
    out += "; color:#101040; font-size:";
    AppendDecimal(out, fonts.ChrFontsize);
    out += ";\">";
    AppendCharRefs(out, HeadwordText(e));
    out += "</td><td style=\"font-family:";
    AppendFace(out, fonts.PinFontface);
    out += "; color:#104010; font-size:";
    AppendDecimal(out, fonts.PinFontsize);
    out += ";\"><i>&nbsp;&nbsp;";
    {
        PieceWriter w(out);
        PutPinyin(w, e.Fields.Pinyin, fonts.Pinyin, true);
    }
    out += "</i>";
    out += afterPinyin;
    out +=
        "</td></tr></table>\r\n"
        "<table width=\"100%\" cellpadding=\"8\" cellspacing=\"0\"><tr>"
        "<td style=\"font-family:";
    AppendFace(out, fonts.DscFontface);
    out += "; font-size:";
    AppendDecimal(out, fonts.DscFontsize);
    out += ";\"><p style=\"margin:0;\"><font color=\"#000000\">";
    AppendTranslation(out, e, fonts.Pinyin);
    out += "</font></p></td></tr></table>\r\n";
}

void AppendEntryLine(std::string& out, std::u16string_view line, const PageFonts& fonts,
                     bool both) {
    AppendEntryHtml(out, EntryOf(line, both), fonts);
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
    std::string out;
    AppendEntry(out, dataFile, offset, shown, fonts, both);
    return out;
}

PagePinyin PagePinyinOf(std::string_view choice, std::string_view toneColors) {
    PagePinyin look;
    if (choice == "marks" || choice == "colored") look.Style = PinyinStyle::Marks;
    if (choice == "zhuyin") look.Style = PinyinStyle::Zhuyin;
    look.Colored = choice == "colored";
    look.ToneColors = ParseToneColors(toneColors);
    return look;
}

std::string SearchLinkHref(std::u16string_view word) {
    return "kestrune:search?" + PercentEncoded(Utf16ToUtf8(word));
}

std::optional<std::u16string> SearchWordOfLink(std::string_view href) {
    static constexpr std::string_view kPrefix = "kestrune:search?";
    if (href.size() <= kPrefix.size()) return std::nullopt;
    for (std::size_t i = 0; i < kPrefix.size(); ++i) {
        const char c = href[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        if (lower != kPrefix[i]) return std::nullopt;
    }
    const std::optional<std::string> bytes = PercentDecoded(href.substr(kPrefix.size()));
    if (!bytes) return std::nullopt;
    std::u16string word;
    std::size_t bad = 0;
    if (!Utf8ToUtf16Strict(*bytes, word, bad) || word.empty()) return std::nullopt;
    return word;
}

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c; break;
        }
    }
    return out;
}

std::string DescriptionHtml(std::u16string_view text) {
    return EscapeHtml(Utf16ToUtf8(text));
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
