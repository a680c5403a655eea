#include "tools/entrytext.h"

#include "base/text.h"
#include "dict/entry.h"

namespace kes {

std::u16string UserdictKey(std::u16string_view line) {
    std::u16string key;
    for (char16_t c : line.substr(0, LayoutOf(line).Open))
        if (c != u' ') key.push_back(c);
    return Trim(key);
}

EditableEntry ParseEntryForEdit(std::u16string_view line) {
    // The word and pinyin fields as in every entry line; the translation ends at "[is]",
    // after which comes the image path with every "[ie]" dropped.
    EditableEntry e;
    const EntryLayout l = LayoutOf(line);
    e.Word = Trim(line.substr(0, l.Open));
    std::u16string_view rest;
    if (l.Open != std::u16string_view::npos) {
        const bool closed = l.Close != std::u16string_view::npos;
        e.Pinyin = Trim(line.substr(l.Open + 1, closed ? l.Close - l.Open - 1 : l.Close));
        if (closed) rest = line.substr(l.Close + 1);
    }
    const std::size_t is = rest.find(u"[is]");
    if (is != std::u16string_view::npos) {
        std::u16string_view path = rest.substr(is + 4);
        for (std::size_t end; (end = path.find(u"[ie]")) != std::u16string_view::npos;) {
            e.ImagePath += path.substr(0, end);
            path = path.substr(end + 4);
        }
        e.ImagePath = Trim(e.ImagePath + std::u16string(path));
    }
    std::u16string t = Trim(rest.substr(0, is));
    if (!t.empty() && t.front() == u'/') t.erase(0, 1);
    if (!t.empty() && t.back() == u'/') t.pop_back();
    std::u16string rebuilt;
    rebuilt.reserve(t.size() + 16);
    for (std::size_t k = 0; k < t.size(); ++k) {
        if (t[k] != u'/') {
            rebuilt.push_back(t[k]);
        } else if (k != 0 && k + 1 != t.size()) {
            rebuilt += u" / ";
        }
    }
    e.Translation = std::move(rebuilt);
    return e;
}

std::vector<std::u16string> ShowTranslation(std::u16string_view newDesc) {
    std::u16string desc = Trim(newDesc);
    std::vector<std::u16string> lines;
    std::u16string pending;
    auto flush = [&] {
        std::u16string piece = Trim(pending);
        if (!piece.empty()) lines.push_back(std::move(piece));
        pending.clear();
    };
    for (std::size_t i = 0; i < desc.size(); ++i) {
        if (desc[i] != u'/') {
            pending.push_back(desc[i]);
        } else if (i == 0) {
            pending.clear();  // nothing can precede the first unit
        } else {
            // A "/" closes the sense before it, also when it is the last unit.
            flush();
        }
    }
    flush();
    return lines;
}

CollectedTranslation CollectTranslation(const std::vector<std::u16string>& memoLines) {
    CollectedTranslation out;
    for (const auto& raw : memoLines) {
        std::u16string line = ReplaceAllNoCase(Trim(raw), u"/", u"&sl;");
        if (line.empty()) continue;
        if (!out.NewDesc.empty()) out.NewDesc.push_back(u'/');
        out.NewDesc += line;
        out.Lines.push_back(std::move(line));
    }
    return out;
}

std::u16string ComposeEntryLine(std::u16string_view word, std::u16string_view pinyin,
                                std::u16string_view newDesc) {
    std::u16string line;
    line.reserve(word.size() + pinyin.size() + newDesc.size() + 6);
    line += word;
    line += u" [";
    line += pinyin;
    line += u"] /";
    line += newDesc;
    line += u"/";
    return line;
}

void LoadEntryForm(EntryForm& form, std::u16string_view line) {
    EditableEntry e = ParseEntryForEdit(line);
    form.Pin = e.Pinyin;
    form.Word = e.Word;
    form.NewDesc = Trim(e.Translation);
    form.Memo = ShowTranslation(form.NewDesc);
}

bool CollectEntryForm(EntryForm& form, std::u16string* line) {
    form.Word = Trim(form.Word);
    form.Pin = Trim(form.Pin);
    CollectedTranslation c = CollectTranslation(form.Memo);
    form.Memo = std::move(c.Lines);
    form.NewDesc = std::move(c.NewDesc);
    if (form.Word.empty() || form.Pin.empty() || form.Memo.empty()) return false;
    if (line != nullptr) *line = ComposeEntryLine(form.Word, form.Pin, form.NewDesc);
    return true;
}

}  // namespace kes
