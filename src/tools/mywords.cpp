#include "tools/mywords.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "app/resultpage.h"
#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/ioerror.h"
#include "base/lines.h"
#include "base/replacefile.h"
#include "base/text.h"
#include "charinfo/pinyinmarks.h"
#include "dict/dic.h"
#include "tools/entrytext.h"
#include "tools/userdict.h"

namespace kes {

namespace {

const char kCantRead[] = "ERROR: Can't read userdict.txt!";
const char kCantWrite[] = "ERROR: Can't write changes to user dictionary!";
const char kCantExport[] = "ERROR: Can't write the flashcards!";

Outcome Failure(const char* message, std::string detail) {
    Outcome o;
    o.message = message;
    o.detail = std::move(detail);
    return o;
}

// The word and pinyin fields of a record line (the pinyin trimmed), as the key sees them.
void KeyFieldsOf(std::u16string_view line, std::u16string_view& word,
                 std::u16string_view& pinyin) {
    const EntryLayout l = LayoutOf(line);
    word = line.substr(0, l.Open);
    pinyin = {};
    if (l.Open == std::u16string_view::npos) return;
    const std::size_t end = l.Close == std::u16string_view::npos ? line.size() : l.Close;
    pinyin = line.substr(l.Open + 1, end - l.Open - 1);
}

bool HasLoneSurrogate(std::u16string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return true;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

std::string DamageOf(std::u16string_view line) {
    const EntryLayout l = LayoutOf(line);
    if (HasLoneSurrogate(line)) return "broken UTF-16 (a lone surrogate)";
    if (l.Open == std::u16string_view::npos) return "no pinyin in [ ]";
    if (l.Close == std::u16string_view::npos) return "the pinyin has no closing ]";
    if (UserdictKey(line).empty()) return "no word before [ ]";
    if (Trim(line.substr(l.Open + 1, l.Close - l.Open - 1)).empty()) return "empty pinyin";
    if (SensesOf(EntryOf(line, false)).empty()) return "no meaning between / /";
    return {};
}

std::u16string WithSlashes(std::u16string_view text) {
    return ReplaceAllNoCase(text, u"&sl;", u"/");
}

// Text as an HTML field: escaped, and the characters that would end a field or a record
// (tab, CR, LF) as character references.
std::string Html(std::u16string_view text) {
    std::string out;
    for (char c : EscapeHtml(Utf16ToUtf8(text))) {
        switch (c) {
            case '\t': out += "&#9;"; break;
            case '\r': out += "&#13;"; break;
            case '\n': out += "&#10;"; break;
            default: out += c; break;
        }
    }
    return out;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string Joined(const std::vector<std::u16string>& lines, const char* separator,
                   std::string (*convert)(std::u16string_view)) {
    std::string out;
    for (const std::u16string& l : lines) {
        if (!out.empty()) out += separator;
        out += convert(l);
    }
    return out;
}

std::string Plain(std::u16string_view text) {
    return Utf16ToUtf8(text);
}

}  // namespace

namespace {

// MyWordKey into `key` (its buffer used again: no allocation once it is large enough).
void MyWordKeyInto(std::u16string& key, std::u16string_view word, std::u16string_view pinyin) {
    key.clear();
    for (char16_t c : word)
        if (c != u' ') key.push_back(c);
    std::size_t end = key.size();
    while (end > 0 && key[end - 1] <= 0x20) --end;
    std::size_t start = 0;
    while (start < end && key[start] <= 0x20) ++start;
    key.resize(end);
    key.erase(0, start);
    key.push_back(u'\x1F');
    const std::size_t pinyinStart = key.size();
    for (char16_t c : pinyin) {
        if (c <= 0x20) continue;
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
        if (c == u':' && key.size() > pinyinStart && key.back() == u'u') {
            key.back() = u'v';
        } else if (c == u'ü' || c == u'Ü') {
            key.push_back(u'v');
        } else {
            key.push_back(c);
        }
    }
}

}  // namespace

std::u16string MyWordKey(std::u16string_view word, std::u16string_view pinyin) {
    std::u16string key;
    MyWordKeyInto(key, word, pinyin);
    return key;
}

void MyWordsIndex::Load(const std::string& path) {
    keys_.clear();
    if (!NameExists(path)) return;
    ByteFile f(path, OpenMode::Read);
    while (!f.eof()) {
        const std::u16string line = ReadUcs2Line(f);
        if (line.empty()) continue;
        std::u16string_view word, pinyin;
        KeyFieldsOf(line, word, pinyin);
        keys_.insert(MyWordKey(word, pinyin));
    }
    f.close();
}

bool MyWordsIndex::Contains(const EntryFields& entry) const {
    return keys_.contains(MyWordKey(entry.Word, entry.Pinyin));
}

void MyWordsIndex::Insert(const EntryFields& entry) {
    keys_.insert(MyWordKey(entry.Word, entry.Pinyin));
}

std::u16string MyWordLine(const EntryFields& entry) {
    std::u16string_view senses = entry.Translation;
    if (!senses.empty() && senses.front() == u'/') senses.remove_prefix(1);
    if (!senses.empty() && senses.back() == u'/') senses.remove_suffix(1);
    return ComposeEntryLine(entry.Word, entry.Pinyin, senses);
}

Outcome AddToMyWords(const std::string& path, const EntryFields& entry, bool& added) {
    added = false;
    const std::u16string word = Trim(entry.Word);
    const std::u16string pinyin = Trim(entry.Pinyin);
    if (UserdictKey(word).empty() || pinyin.empty() || SensesOf(EntryOf(MyWordLine(entry), false)).empty())
        return Failure("ERROR: This entry cannot be kept in my words: it has no word, no pinyin "
                       "or no meaning!",
                       {});
    if (word.find_first_of(u"[]/") != std::u16string::npos)
        return Failure(kWordWithMarksMessage.data(), {});
    const std::u16string key = MyWordKey(word, pinyin);
    const std::u16string line = MyWordLine(EntryFields{word, pinyin, entry.Translation});

    // The whole file once, as UTF-16 units: the records are compared in memory, and the new
    // file is the old bytes and the line.
    static_assert(std::endian::native == std::endian::little, "the file's units are read as they lie");
    std::u16string units;
    int64_t size = 0;
    try {
        if (NameExists(path)) {
            ByteFile in(path, OpenMode::Read);
            size = in.size();
            if (size > kMaxMyWordsBytes)
                throw IoError(path, "File too large (" + std::to_string(size) + " bytes)");
            units.assign(static_cast<std::size_t>((size + 1) / 2), u'\0');
            if (size > 0) in.read(units.data(), static_cast<std::size_t>(size));
            in.close();
        }
    } catch (...) {
        return Failure(kCantRead, CurrentExceptionDetail());
    }
    std::u16string_view rest(units.data(), static_cast<std::size_t>(size / 2));
    if (!rest.empty() && rest.front() == 0xFEFF) rest.remove_prefix(1);
    std::u16string lineKey;
    while (!rest.empty()) {
        const std::size_t end = rest.find(u'\n');
        std::u16string_view l = rest.substr(0, end);
        rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end + 1);
        if (!l.empty() && l.back() == u'\r') l.remove_suffix(1);
        if (l.empty()) continue;
        std::u16string_view w, p;
        KeyFieldsOf(l, w, p);
        MyWordKeyInto(lineKey, w, p);
        if (lineKey == key) {
            Outcome o;
            o.ok = true;
            o.message = "Already in my words: " + Utf16ToUtf8(word);
            return o;
        }
    }

    const char* const bytes = reinterpret_cast<const char*>(units.data());
    uint16_t last = 0;
    if (size % 2 != 0) {
        last = static_cast<unsigned char>(bytes[size - 1]);
    } else if (size > 0) {
        last = units[static_cast<std::size_t>(size / 2 - 1)];
    }
    const UserdictAppend plan = PlanUserdictAppend(size, last);
    try {
        ReplaceFileContents(path, [&](ByteFile& out) {
            // In pieces, so that the file's write buffer never holds the whole list.
            constexpr int64_t kPiece = 1 << 20;
            for (int64_t at = 0; at < plan.keep; at += kPiece)
                out.write(bytes + at, static_cast<std::size_t>(std::min(kPiece, plan.keep - at)));
            if (plan.padByte) out.write("\0", 1);
            if (plan.addLineEnd) out.write("\r\0\n\0", 4);
            WriteUcs2Line(out, line);
        });
    } catch (...) {
        return Failure(kCantWrite, CurrentExceptionDetail());
    }
    added = true;
    Outcome o;
    o.ok = true;
    o.message = "Added to my words: " + Utf16ToUtf8(word);
    return o;
}

Outcome AddFoundEntry(const Registry& reg, std::size_t dict, int32_t offset,
                      const std::string& userdictPath, bool& added, EntryFields& entry) {
    added = false;
    if (dict >= reg.Dicts.size())
        return Failure("ERROR: The entry is no longer there!",
                       "dictionary " + std::to_string(dict) + " of " +
                           std::to_string(reg.Dicts.size()));
    try {
        DicReader reader(reg.Dicts[dict], reg.Folder, false, reg.Views.get());
        entry = SplitEntryLine(reader.ReadEntryLine(offset));
        reader.close();
    } catch (...) {
        return Failure("ERROR: The entry is no longer there!", CurrentExceptionDetail());
    }
    return AddToMyWords(userdictPath, entry, added);
}

MyWordList ReadMyWords(const std::string& path) {
    MyWordList list;
    ByteFile f(path, OpenMode::Read);
    int number = 0;
    while (!f.eof()) {
        std::u16string line = ReadUcs2Line(f);
        ++number;
        if (line.empty()) continue;
        MyWord w;
        w.Line = number;
        w.Damage = DamageOf(line);
        w.Text = std::move(line);
        if (!w.Damage.empty()) ++list.Damaged;
        list.Words.push_back(std::move(w));
    }
    f.close();
    return list;
}

std::string DamageReport(const std::string& path, const MyWordList& list, std::string_view what) {
    if (list.Damaged == 0) return {};
    std::string out;
    for (const MyWord& w : list.Words)
        if (!w.Damage.empty())
            out += path + ": line " + std::to_string(w.Line) + ": " + w.Damage + ": " +
                   std::string(what) + "\n";
    out += path + ": " + std::to_string(list.Damaged) +
           (list.Damaged == 1 ? " damaged line\n" : " damaged lines\n");
    return out;
}

Flashcard FlashcardOf(const MyWord& word) {
    Flashcard card;
    const Entry e = EntryOf(word.Text, true);
    card.Pinyin = e.Fields.Pinyin;
    card.PinyinMarks = PinyinText(e.Fields.Pinyin, PinyinStyle::Marks);
    if (!word.Damage.empty()) {
        // Its word field may be the whole line: not taken apart into forms.
        card.Traditional = card.Simplified = e.Fields.Word;
        card.Meaning.push_back(word.Text);
        return card;
    }
    card.Traditional = e.Forms.empty() ? std::u16string() : e.Forms[0];
    card.Simplified = e.Forms.size() > 1 ? e.Forms[1] : e.Simplified;
    for (const EntrySense& s : SensesOf(e)) {
        for (const std::u16string& l : s.Lines)
            card.Meaning.push_back(WithSlashes(l));
        for (const std::u16string& n : s.Notes)
            card.Meaning.push_back(WithSlashes(n));
    }
    return card;
}

std::string AnkiFlashcards(const MyWordList& list) {
    std::string out =
        "#separator:tab\n#html:true\n#tags:kestrune\n"
        "#columns:Simplified\tTraditional\tPinyin\tPinyin (stored)\tMeaning\n";
    for (const MyWord& w : list.Words) {
        const Flashcard c = FlashcardOf(w);
        out += Html(c.Simplified) + '\t' + Html(c.Traditional) + '\t' + Html(c.PinyinMarks) +
               '\t' + Html(c.Pinyin) + '\t' + Joined(c.Meaning, "<br>", Html) + '\n';
    }
    return out;
}

std::string CsvFlashcards(const MyWordList& list) {
    std::string out = "Simplified,Traditional,Pinyin,Pinyin (stored),Meaning\r\n";
    for (const MyWord& w : list.Words) {
        const Flashcard c = FlashcardOf(w);
        out += CsvField(Plain(c.Simplified)) + ',' + CsvField(Plain(c.Traditional)) + ',' +
               CsvField(Plain(c.PinyinMarks)) + ',' + CsvField(Plain(c.Pinyin)) + ',' +
               CsvField(Joined(c.Meaning, "\n", Plain)) + "\r\n";
    }
    return out;
}

std::string MyWordsText(const MyWordList& list) {
    std::string out;
    for (const MyWord& w : list.Words)
        out += Utf16ToUtf8(w.Text) + '\n';
    return out;
}

std::string MyWordsJson(const MyWordList& list) {
    nlohmann::ordered_json words = nlohmann::ordered_json::array();
    for (const MyWord& w : list.Words) {
        const Flashcard c = FlashcardOf(w);
        nlohmann::ordered_json j;
        j["line"] = w.Line;
        j["word"] = Utf16ToUtf8(SplitEntryLine(w.Text).Word);
        j["traditional"] = Utf16ToUtf8(c.Traditional);
        j["simplified"] = Utf16ToUtf8(c.Simplified);
        j["pinyin"] = Utf16ToUtf8(c.Pinyin);
        j["pinyin_marks"] = Utf16ToUtf8(c.PinyinMarks);
        nlohmann::ordered_json meaning = nlohmann::ordered_json::array();
        for (const std::u16string& m : c.Meaning)
            meaning.push_back(Utf16ToUtf8(m));
        j["meaning"] = std::move(meaning);
        if (!w.Damage.empty()) j["damaged"] = w.Damage;
        words.push_back(std::move(j));
    }
    return words.dump(2) + "\n";
}

Outcome ExportFlashcards(const std::string& userdictPath, const std::string& target,
                         FlashcardFormat format, MyWordList& list) {
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec))
        return Failure(kCantExport, target + ": is a folder, not a file name");
    if (SameFileAs(target, userdictPath))
        return Failure(kCantExport, target + ": is the user dictionary itself");
    try {
        list = ReadMyWords(userdictPath);
    } catch (...) {
        return Failure(kCantRead, CurrentExceptionDetail());
    }
    const std::string bytes =
        format == FlashcardFormat::Anki ? AnkiFlashcards(list) : CsvFlashcards(list);
    try {
        ReplaceFileContents(target, [&bytes](ByteFile& f) { f.write(bytes.data(), bytes.size()); });
    } catch (...) {
        return Failure(kCantExport, CurrentExceptionDetail());
    }
    Outcome o;
    o.ok = true;
    const std::size_t n = list.Words.size();
    o.message = "Exported " + std::to_string(n) + (n == 1 ? " word to " : " words to ") + target;
    return o;
}

}  // namespace kes
