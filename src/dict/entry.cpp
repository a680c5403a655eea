#include "dict/entry.h"

#include "base/text.h"
#include "charinfo/s2t.h"

namespace kes {

EntryLayout LayoutOf(std::u16string_view line) {
    EntryLayout l;
    l.Open = line.find(u'[');
    if (l.Open != std::u16string_view::npos) l.Close = line.find(u']', l.Open + 1);
    return l;
}


std::u16string HeadForm(std::u16string_view word) {
    auto space = word.find(u' ');
    return std::u16string(space == std::u16string_view::npos ? word : word.substr(0, space));
}

TranslationMark MarkupToken(char16_t a, char16_t b) {
    auto lower = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; };
    a = lower(a);
    b = lower(b);
    if (a == u'b' && b == u'r') return TranslationMark::Break;
    if (a == u'b' && b == u's') return TranslationMark::BoldStart;
    if (a == u'b' && b == u'e') return TranslationMark::BoldEnd;
    if (a == u'c' && b == u's') return TranslationMark::ExampleStart;
    if (a == u'c' && b == u'e') return TranslationMark::ExampleEnd;
    return TranslationMark::Text;
}

namespace {

void ReadFields(std::u16string_view line, EntryFields& f);

}  // namespace

EntryFields SplitEntryLine(std::u16string_view line) {
    EntryFields f;
    ReadFields(line, f);
    return f;
}

namespace {

// The mark of the token "[xx]" at t[i] (a '['), or Text when there is none.
TranslationMark TokenAt(std::u16string_view t, std::size_t i) {
    if (i + 3 >= t.size() || t[i + 3] != u']') return TranslationMark::Text;
    return MarkupToken(t[i + 1], t[i + 2]);
}

// Sets `out` to `text`, keeping the capacity it has.
void SetTrimmed(std::u16string& out, std::u16string_view text) {
    const std::u16string_view t = TrimView(text);
    out.assign(t.data(), t.size());
}

void ReadFields(std::u16string_view line, EntryFields& f) {
    const EntryLayout l = LayoutOf(line);
    SetTrimmed(f.Word, line.substr(0, l.Open));
    f.Pinyin.clear();
    f.Translation.clear();
    if (l.Open == std::u16string_view::npos) return;
    SetTrimmed(f.Pinyin, line.substr(l.Open + 1, l.Close == std::u16string_view::npos
                                                     ? std::u16string_view::npos
                                                     : l.Close - l.Open - 1));
    if (l.Close != std::u16string_view::npos) SetTrimmed(f.Translation, line.substr(l.Close + 1));
}

void ReadForms(Entry& e, bool searchBoth) {
    const std::u16string& word = e.Fields.Word;
    const std::size_t space = word.find(u' ');
    e.Head.assign(word, 0, space);
    e.OtherForms.clear();
    if (space != std::u16string::npos) e.OtherForms.assign(word, space + 1);
    // The strings of the forms keep their buffers from entry to entry.
    std::size_t n = 0;
    auto add = [&e, &n](std::u16string_view form) {
        if (n < e.Forms.size()) {
            e.Forms[n].assign(form.data(), form.size());
        } else {
            e.Forms.emplace_back(form);
        }
        ++n;
    };
    add(e.Head);
    const std::u16string_view rest = TrimView(e.OtherForms);
    std::size_t start = 0;
    while (start <= rest.size() && !rest.empty()) {
        std::size_t end = rest.find(u' ', start);
        if (end == std::u16string_view::npos) end = rest.size();
        if (end > start) add(rest.substr(start, end - start));
        start = end + 1;
    }
    e.Forms.resize(n);
    if (n > 1) {
        e.Simplified = e.Forms[1];
    } else {
        e.Simplified = ToSimplifiedText(e.Head, searchBoth);
    }
}

// The references of the text runs, with pinyin (the ones that can be searched).
void ReadReferences(Entry& e) {
    e.References.clear();
    if (e.Text.find(u'[') == std::u16string::npos) return;
    for (const TranslationPiece& p : e.Pieces) {
        if (p.Mark != TranslationMark::Text) continue;
        for (const SenseReference& r : FindSenseReferences(e.TextOf(p))) {
            if (r.pinyin.empty()) continue;
            e.References.push_back({uint32_t(p.Begin + r.begin), uint32_t(p.Begin + r.end),
                                    std::u16string(r.first), std::u16string(r.second),
                                    std::u16string(r.pinyin)});
        }
    }
}

void ReadPieces(Entry& e) {
    std::u16string& t = e.Text;
    t = e.Fields.Translation;
    for (char16_t& c : t) {
        if (c == u'<') c = u'[';
        if (c == u'>') c = u']';
    }
    e.Pieces.clear();
    const std::size_t n = t.size();
    std::size_t run = 0;  // start of the text run
    auto mark = [&](std::size_t at, std::size_t next, TranslationMark m) {
        if (at > run)
            e.Pieces.push_back({TranslationMark::Text, uint32_t(run), uint32_t(at)});
        if (m != TranslationMark::Text) e.Pieces.push_back({m, 0, 0});
        run = next;
    };
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = t[i];
        if (c == u'|' && e.Convention == SenseConvention::Notes) {
            mark(i, i + 1, TranslationMark::NoteStart);
        } else if (c == u'/') {
            // The first and the last unit only open and close the list of senses.
            mark(i, i + 1, i == 0 || i == n - 1 ? TranslationMark::Text : TranslationMark::SenseEnd);
        } else if (c == u'[') {
            const TranslationMark m = TokenAt(t, i);
            if (m != TranslationMark::Text) {
                mark(i, i + 4, m);
                i += 3;
            }
        }
    }
    mark(n, n, TranslationMark::Text);
}

}  // namespace

void ReadEntry(std::u16string_view line, bool searchBoth, Entry& e, SenseConvention convention) {
    ReadFields(line, e.Fields);
    ReadForms(e, searchBoth);
    e.Convention = convention;
    ReadPieces(e);
    ReadReferences(e);
}

Entry EntryOf(std::u16string_view line, bool searchBoth, SenseConvention convention) {
    Entry e;
    ReadEntry(line, searchBoth, e, convention);
    return e;
}

bool WritesSimplified(const Entry& e) {
    // Two forms are traditional and simplified, in CEDICT's order.
    if (e.Forms.size() > 1) return false;
    const std::u16string& head = e.Head;
    if (ToSimplifiedText(head, true) != head) return false;
    for (char16_t c : head)
        if (!TraditionalForms(c).empty()) return true;
    return false;
}

const std::u16string& ReferenceForm(const Entry& e, const EntryReference& r) {
    return !r.Second.empty() && WritesSimplified(e) ? r.Second : r.First;
}

std::vector<EntrySense> SensesOf(const Entry& e) {
    std::vector<EntrySense> senses;
    EntrySense sense;
    bool note = false;
    std::u16string line;
    auto endLine = [&] {
        const std::u16string_view t = TrimView(line);
        if (!t.empty()) (note ? sense.Notes : sense.Lines).emplace_back(t);
        line.clear();
    };
    auto endSense = [&] {
        endLine();
        if (!sense.Lines.empty() || !sense.Notes.empty()) senses.push_back(std::move(sense));
        sense = EntrySense();
        note = false;
    };
    for (const TranslationPiece& p : e.Pieces) {
        switch (p.Mark) {
            case TranslationMark::Text:
                // A line feed (never in a line read from a file) breaks the line too.
                for (char16_t c : e.TextOf(p)) {
                    if (c == u'\n') {
                        endLine();
                    } else {
                        line.push_back(c);
                    }
                }
                break;
            case TranslationMark::SenseEnd: endSense(); break;
            case TranslationMark::NoteStart:
                endLine();
                note = true;
                break;
            case TranslationMark::Break: endLine(); break;
            default: break;  // style only
        }
    }
    endSense();
    return senses;
}

}  // namespace kes
