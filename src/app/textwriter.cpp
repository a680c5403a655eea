#include "app/textwriter.h"

#include <cstdio>

#include "app/resultpage.h"
#include "base/text.h"

namespace kes {

namespace {

// A line of a sense with the pinyin of its references shown in `pinyin`.
std::string SenseLineText(const std::u16string& line, PinyinStyle pinyin) {
    if (pinyin == PinyinStyle::Stored || line.find(u'[') == std::u16string::npos)
        return Utf16ToUtf8(line);
    std::u16string shown;
    std::size_t at = 0;
    for (const SenseReference& r : FindSenseReferences(line)) {
        if (r.pinyin.empty()) continue;
        const std::size_t open = static_cast<std::size_t>(r.pinyin.data() - line.data());
        shown.append(line, at, open - at);
        shown += PinyinText(r.pinyin, pinyin);
        at = open + r.pinyin.size();
    }
    shown.append(line, at);
    return Utf16ToUtf8(shown);
}

}  // namespace

void AppendEntryPlainText(std::string& out, const Entry& e, PinyinStyle pinyin) {
    out += Utf16ToUtf8(e.Forms[0]);
    if (e.Forms.size() > 1) {
        out += " [";
        for (std::size_t i = 1; i < e.Forms.size(); ++i) {
            if (i > 1) out += ", ";
            out += Utf16ToUtf8(e.Forms[i]);
        }
        out += "]";
    } else if (e.Simplified != e.Head) {
        out += " (";
        out += Utf16ToUtf8(e.Simplified);
        out += ")";
    }
    if (!e.Fields.Pinyin.empty()) {
        out += "  ";
        out += Utf16ToUtf8(PinyinText(e.Fields.Pinyin, pinyin));
    }
    out += '\n';
    for (const EntrySense& s : SensesOf(e)) {
        for (const std::u16string& l : s.Lines) {
            out += "  ";
            out += SenseLineText(l, pinyin);
            out += '\n';
        }
        for (const std::u16string& n : s.Notes) {
            out += "    ";
            out += SenseLineText(n, pinyin);
            out += '\n';
        }
    }
}

std::string EntryPlainText(std::u16string_view line, bool searchBoth) {
    std::string out;
    AppendEntryPlainText(out, EntryOf(line, searchBoth));
    return out;
}

std::vector<std::string> Ucs2Codes(std::u16string_view query) {
    std::vector<std::string> codes;
    for (char16_t c : query) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(c));
        codes.emplace_back(hex);
    }
    return codes;
}

std::string PlainTextOfHtml(std::string_view html) {
    std::string text;
    bool tag = false;
    for (char c : html) {
        if (c == '<') {
            tag = true;
        } else if (c == '>') {
            tag = false;
        } else if (!tag) {
            text += c;
        }
    }
    return text;
}

TextWriter::TextWriter(PageSink sink, PinyinStyle pinyin)
    : text_(sink ? PageBuffer(std::move(sink)) : PageBuffer()), pinyin_(pinyin) {}

void TextWriter::Section(std::string_view text) {
    if (text_.size() != 0) text_ += "\n";
    text_ += text;
}

void TextWriter::BeginReading(std::u16string_view key) {
    Section(PinyinResultsText(key) + "\n\n");
    firstDict_ = true;
}

void TextWriter::BeginDict(const TDic& dic, std::size_t) {
    if (!firstDict_) text_ += "\n";
    firstDict_ = false;
    text_ += Utf16ToUtf8(dic.Description);
    text_ += "\n";
}

void TextWriter::WriteEntry(const FoundEntry& found) {
    AppendEntryPlainText(text_.tail(), found.Model, pinyin_);
    text_.seal();
}

void TextWriter::Finish(const SearchEnd& end) {
    if (end.ShowUcs2) {
        std::string ucs2 = "UCS-2:";
        for (const std::string& code : Ucs2Codes(end.Query))
            ucs2 += " " + code;
        Section(ucs2 + '\n');
    }
    const std::vector<UnihanLine> unihan = UnihanLinesOf(end.Query, end.Unihan, end.ShowUnihan);
    if (!unihan.empty()) {
        std::string block = "Unicode: " + Utf16ToUtf8(end.Query.substr(0, 1)) + '\n';
        for (const UnihanLine& l : unihan)
            block += "  " + l.Tag + "  " + l.Value + '\n';
        Section(block);
    }
    if (end.Blocked) Section(PlainTextOfHtml(kNoticeHtml) + '\n');
    text_.finish();
}

std::string TextWriter::Take() && {
    return std::move(text_).join();
}

}  // namespace kes
