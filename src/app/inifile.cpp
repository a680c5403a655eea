#include "app/inifile.h"

#include <unistd.h>

#include <limits>

#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/replacefile.h"
#include "base/text.h"

namespace kes {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

bool IsBlank(std::string_view raw) {
    return TrimA(raw).empty();
}

// A written key or value stays on its own line: line breaks become spaces.
std::string OneLine(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

}  // namespace

bool ParseIniInteger(std::string_view value, int32_t& out) {
    std::string v = TrimA(value);
    std::size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+')) {
        negative = v[i] == '-';
        ++i;
    }
    int base = 10;
    if (i + 1 < v.size() && v[i] == '0' && (v[i + 1] == 'x' || v[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= v.size()) return false;
    int64_t n = 0;
    for (; i < v.size(); ++i) {
        char c = v[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        n = n * base + d;
        // Hexadecimal values may use the full 32 bits (0xFFFFFFFF is -1).
        if (n > (base == 16 ? int64_t{0xFFFFFFFF} : int64_t{0x80000000})) return false;
    }
    if (base == 16 && !negative) {
        out = static_cast<int32_t>(static_cast<uint32_t>(n));
        return true;
    }
    if (negative) n = -n;
    if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
        return false;
    out = static_cast<int32_t>(n);
    return true;
}

bool IniFile::load(const std::string& path, std::string* reason) {
    sections_.clear();
    if (!FileExists(path)) {
        // A missing file reads as empty; a directory or other non-file in its place is a
        // file that cannot be read.
        if (::access(path.c_str(), F_OK) != 0) return true;
        if (reason != nullptr) *reason = "Cannot open file (not a regular file): " + path;
        return false;
    }
    try {
        const std::string bytes = ReadSmallFile(path, kMaxIniBytes);
        parse(bytes);
        return true;
    } catch (const IoError& e) {
        sections_.clear();
        if (reason != nullptr) *reason = e.what();
        return false;
    }
}

void IniFile::parse(std::string_view text) {
    sections_.clear();
    // Byte-order marks before the first line (an editor may have added more than one).
    while (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    sections_.push_back(Section{});
    std::size_t start = 0;
    while (start < text.size()) {
        // A line ends at LF, CR LF, a lone CR, or the CR CR LF that a text-mode write of
        // CR LF leaves: a run of CRs with the LF after it is one line end.
        std::size_t end = text.find_first_of("\r\n", start);
        std::string_view raw = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (end == std::string_view::npos) {
            start = text.size();
        } else {
            start = end;
            while (start < text.size() && text[start] == '\r')
                ++start;
            if (start < text.size() && text[start] == '\n') ++start;
        }
        std::string trimmed = TrimA(raw);
        if (!trimmed.empty() && trimmed[0] == '[') {
            auto close = trimmed.find(']');
            Section s;
            s.name = TrimA(std::string_view(trimmed).substr(
                1, close == std::string::npos ? std::string::npos : close - 1));
            s.hasHeader = true;
            s.headerRaw = std::string(raw);  // kept exactly as written
            sections_.push_back(std::move(s));
            continue;
        }
        Line line;
        line.raw = std::string(raw);
        auto eq = trimmed.find('=');
        if (eq != std::string::npos && trimmed[0] != ';' && trimmed[0] != '#') {
            line.isPair = true;
            line.key = TrimA(std::string_view(trimmed).substr(0, eq));
            line.value = TrimA(std::string_view(trimmed).substr(eq + 1));
        }
        sections_.back().lines.push_back(std::move(line));
    }
}

std::string IniFile::text() const {
    std::string out;
    for (const Section& s : sections_) {
        if (s.hasHeader) {
            out += s.headerRaw.empty() ? "[" + s.name + "]" : s.headerRaw;
            out += '\n';
        }
        for (const Line& l : s.lines) {
            out += l.raw;
            out += '\n';
        }
    }
    return out;
}

void IniFile::save(const std::string& path) const {
    const std::string bytes = text();
    ReplaceFileContents(path, [&](ByteFile& f) { f.write(bytes.data(), bytes.size()); });
}

IniFile::Section* IniFile::findSection(std::string_view name) {
    for (Section& s : sections_)
        if (s.hasHeader && EqualNoCase(s.name, name)) return &s;
    return nullptr;
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
    for (const Section& s : sections_)
        if (s.hasHeader && EqualNoCase(s.name, name)) return &s;
    return nullptr;
}

const IniFile::Line* IniFile::findKey(std::string_view section, std::string_view key) const {
    const Section* s = findSection(section);
    if (s == nullptr) return nullptr;
    for (const Line& l : s->lines)
        if (l.isPair && EqualNoCase(l.key, key)) return &l;
    return nullptr;
}

bool IniFile::hasSection(std::string_view section) const {
    return findSection(section) != nullptr;
}

bool IniFile::hasKey(std::string_view section, std::string_view key) const {
    return findKey(section, key) != nullptr;
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view def) const {
    const Line* l = findKey(section, key);
    return l != nullptr ? l->value : std::string(def);
}

int32_t IniFile::readInteger(std::string_view section, std::string_view key, int32_t def) const {
    const Line* l = findKey(section, key);
    int32_t v;
    if (l != nullptr && ParseIniInteger(l->value, v)) return v;
    return def;
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

std::vector<IniPair> IniFile::readSection(std::string_view section) const {
    std::vector<IniPair> pairs;
    if (const Section* s = findSection(section))
        for (const Line& l : s->lines)
            if (l.isPair) pairs.emplace_back(l.key, l.value);
    return pairs;
}

IniFile::Section& IniFile::sectionForWrite(std::string_view name) {
    if (Section* s = findSection(name)) return *s;
    if (sections_.empty()) sections_.push_back(Section{});
    // Separate the new section from the text before it by one blank line.
    Section& last = sections_.back();
    if ((last.hasHeader || !last.lines.empty()) &&
        (last.lines.empty() || !IsBlank(last.lines.back().raw)))
        last.lines.push_back(Line{});
    Section s;
    s.name = std::string(name);
    s.hasHeader = true;
    sections_.push_back(std::move(s));
    return sections_.back();
}

void IniFile::appendLine(Section& s, Line line) {
    // After the last non-blank line, so that blank lines before the next section stay there.
    auto pos = s.lines.end();
    while (pos != s.lines.begin() && IsBlank((pos - 1)->raw))
        --pos;
    s.lines.insert(pos, std::move(line));
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    Section& s = sectionForWrite(section);
    for (Line& l : s.lines) {
        if (l.isPair && EqualNoCase(l.key, key)) {
            l.value = TrimA(OneLine(value));
            l.raw = l.key + "=" + OneLine(value);
            return;
        }
    }
    appendKey(section, key, value);
}

void IniFile::writeInteger(std::string_view section, std::string_view key, int32_t value) {
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

void IniFile::appendKey(std::string_view section, std::string_view key, std::string_view value) {
    Section& s = sectionForWrite(section);
    Line l;
    l.key = TrimA(OneLine(key));
    l.value = TrimA(OneLine(value));
    l.isPair = true;
    l.raw = OneLine(key) + "=" + OneLine(value);
    appendLine(s, std::move(l));
}

void IniFile::eraseSection(std::string_view section) {
    for (std::size_t i = sections_.size(); i-- > 0;) {
        if (sections_[i].hasHeader && EqualNoCase(sections_[i].name, section)) {
            sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

Outcome EditIniFile(const std::string& path, const std::function<void(IniFile&)>& edit,
                    std::string_view failMessage) {
    Outcome outcome;
    try {
        IniFile ini;
        std::string reason;
        if (ini.load(path, &reason)) {
            edit(ini);
            ini.save(path);
            outcome.ok = true;
            return outcome;
        }
        outcome.detail = reason;
    } catch (...) {
        outcome.detail = CurrentExceptionDetail();
    }
    outcome.message = failMessage;
    return outcome;
}

}  // namespace kes
