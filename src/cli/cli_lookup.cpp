#include "cli/cli_lookup.h"

#include <cstdio>
#include <iterator>
#include <optional>

#include "app/queryflow.h"
#include "app/registry.h"
#include "app/settings.h"
#include "base/bytefile.h"
#include "base/lines.h"
#include "base/text.h"
#include "charinfo/s2t.h"
#include "charinfo/unihan.h"

namespace kes {

namespace {

const char* const kLookupUsage =
    "usage: kestrune lookup [--dict NAME.idx]... [--both|--no-both] [--translate-all] "
    "[--ucs2] [--unihan] [--html] QUERY\n";

struct LookupArgs {
    std::vector<std::string> dicts;
    int both = -1;  // -1: as setup.ini says
    bool translateAll = false;
    bool ucs2 = false;
    bool unihan = false;
    bool html = false;
    bool haveQuery = false;
    std::string query;
};

// Parses the arguments; returns an error text, empty when they are fine.
std::string ParseArgs(const std::vector<std::string>& args, LookupArgs& a) {
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--dict") {
            if (i + 1 >= args.size()) return "--dict needs a dictionary name";
            a.dicts.push_back(args[++i]);
        } else if (options && arg.rfind("--dict=", 0) == 0) {
            a.dicts.push_back(arg.substr(7));
        } else if (options && arg == "--both") {
            a.both = 1;
        } else if (options && arg == "--no-both") {
            a.both = 0;
        } else if (options && arg == "--translate-all") {
            a.translateAll = true;
        } else if (options && arg == "--ucs2") {
            a.ucs2 = true;
        } else if (options && arg == "--unihan") {
            a.unihan = true;
        } else if (options && arg == "--html") {
            a.html = true;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (a.haveQuery) {
            return "more than one query given (quote a query that holds spaces)";
        } else {
            a.haveQuery = true;
            a.query = arg;
        }
    }
    if (!a.haveQuery) return "no query given";
    return {};
}

// Drops the markup tokens that only style the page.
std::u16string WithoutStyleTokens(std::u16string s) {
    for (const char* token : {"[bs]", "[be]", "[cs]", "[ce]"})
        s = ReplaceAllNoCase(s, U(token), u"");
    return s;
}

// Splits at every "[br]" (letter case ignored).
std::vector<std::u16string> SplitBreaks(const std::u16string& s) {
    std::u16string marked = ReplaceAllNoCase(s, u"[br]", u"\n");
    std::vector<std::u16string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t end = marked.find(u'\n', start);
        parts.push_back(marked.substr(start, end == std::u16string::npos ? end : end - start));
        if (end == std::u16string::npos) break;
        start = end + 1;
    }
    return parts;
}

std::vector<std::u16string> SplitAt(const std::u16string& s, char16_t sep) {
    std::vector<std::u16string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t end = s.find(sep, start);
        parts.push_back(s.substr(start, end == std::u16string::npos ? end : end - start));
        if (end == std::u16string::npos) break;
        start = end + 1;
    }
    return parts;
}

void AppendIndented(std::string& out, const std::u16string& text, const char* indent) {
    for (const std::u16string& piece : SplitBreaks(text)) {
        std::u16string t = Trim(piece);
        if (t.empty()) continue;
        out += indent;
        out += Utf16ToUtf8(t);
        out += '\n';
    }
}

}  // namespace

std::string EntryPlainText(std::u16string_view line, bool searchBoth) {
    EntryFields f = SplitEntryLine(line);
    std::u16string head = HeadForm(f.Word);
    if (head.size() < f.Word.size()) {
        std::u16string others = Trim(f.Word.substr(head.size() + 1));
        if (!others.empty()) {
            head += u" [";
            for (char16_t c : others)
                head += c == u' ' ? std::u16string(u", ") : std::u16string(1, c);
            head += u"]";
        }
    } else {
        std::u16string simplified = ToSimplifiedText(head, searchBoth);
        if (simplified != head) head += u" (" + simplified + u")";
    }
    std::string out = Utf16ToUtf8(head);
    if (!f.Pinyin.empty()) out += "  " + Utf16ToUtf8(f.Pinyin);
    out += '\n';
    std::u16string t = WithoutStyleTokens(f.Translation);
    for (char16_t& c : t) {
        if (c == u'<') c = u'[';
        if (c == u'>') c = u']';
    }
    for (const std::u16string& sense : SplitAt(t, u'/')) {
        std::vector<std::u16string> parts = SplitAt(sense, u'|');
        AppendIndented(out, parts[0], "  ");
        for (std::size_t i = 1; i < parts.size(); ++i)
            AppendIndented(out, parts[i], "    ");
    }
    return out;
}

int RunLookupCommand(const std::vector<std::string>& args, const CommandContext& ctx,
                     std::istream& in, std::ostream& out, std::ostream& err) {
    LookupArgs a;
    if (std::string problem = ParseArgs(args, a); !problem.empty()) {
        err << "kestrune lookup: " << problem << '\n' << kLookupUsage << std::flush;
        return 2;
    }
    if (a.query == "-") {
        a.query.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) {
            err << "kestrune lookup: cannot read the query from standard input\n" << std::flush;
            return 2;
        }
    }

    Settings settings = LoadSettings(JoinPath(ctx.programFolder, kSetupIniName));
    SearchOptions options = SearchOptionsOf(settings);
    if (a.both >= 0) options.SearchBoth = a.both == 1;
    if (a.translateAll) options.TranslateAll = true;
    if (a.ucs2) options.ShowUcs2 = true;
    if (a.unihan) options.ShowUnihan = true;
    options.RenderPage = a.html;  // plain text is made from the entry lines themselves

    Registry reg;
    RegistryCallbacks cb;
    cb.message = [&err](const std::string& text) { err << text << '\n' << std::flush; };
    DiscoverOptions discover;
    discover.writeDicts = false;
    DiscoverDictionaries(reg, ctx.programFolder, cb, discover);
    if (!reg.Unihan.Available) options.ShowUnihan = false;

    if (!a.dicts.empty()) {
        for (const std::string& name : a.dicts) {
            bool known = false;
            for (const TDic& d : reg.Dicts)
                known = known || d.FileName == name;
            if (!known) {
                err << "kestrune lookup: no usable dictionary " << name << " in "
                    << ctx.programFolder << '\n'
                    << std::flush;
                return 2;
            }
        }
        // The named dictionaries are searched, enabled or not; no other one is.
        for (TDic& d : reg.Dicts) {
            d.Enabled = false;
            for (const std::string& name : a.dicts)
                d.Enabled = d.Enabled || d.FileName == name;
        }
    }

    QueryHistory history;
    SearchResult r = RunSearch(reg, history, Utf8ToUtf16(a.query), 0, false, options);
    if (!r.ok()) {
        err << "kestrune lookup: " << r.Error << '\n' << std::flush;
        return 2;
    }
    bool found = false;
    for (const DictSearchResult& d : r.Dicts)
        found = found || !d.Pieces.empty();

    if (a.html) {
        out << r.Page << std::flush;
        return found ? 0 : 1;
    }
    try {
        std::string text;
        // Per dictionary its description and the entries of the pieces that `wanted` accepts.
        auto appendDicts = [&](const auto& wanted) {
            bool firstDict = true;
            for (const DictSearchResult& d : r.Dicts) {
                const TDic& dic = reg.Dicts[d.Position];
                std::optional<ByteFile> data;
                for (std::size_t p = 0; p < d.Pieces.size(); ++p) {
                    if (!wanted(d.Pieces[p])) continue;
                    if (!data) {
                        if (!firstDict) text += '\n';
                        firstDict = false;
                        text += Utf16ToUtf8(dic.Description) + '\n';
                        data.emplace(DataPathOf(dic, reg.Folder), OpenMode::Read);
                        data->setReadAhead(1024);
                    }
                    for (int32_t off : d.Offsets[p]) {
                        data->seek(off);
                        text += EntryPlainText(ReadUcs2Line(*data), options.SearchBoth);
                    }
                }
            }
        };
        if (r.Searched.empty()) {
            appendDicts([](const std::u16string&) { return true; });
        } else {
            for (const std::u16string& key : r.Searched) {
                text += (text.empty() ? "" : "\n") + PinyinResultsText(key) + "\n\n";
                appendDicts([&key](const std::u16string& piece) { return piece == key; });
            }
        }
        if (options.ShowUcs2) {
            std::string ucs2 = "UCS-2:";
            for (char16_t c : r.Query) {
                char hex[8];
                std::snprintf(hex, sizeof hex, " %04X", static_cast<unsigned>(c));
                ucs2 += hex;
            }
            text += (text.empty() ? "" : "\n") + ucs2 + '\n';
        }
        auto unihan = UnihanLinesOf(r.Query, reg.Unihan, options.ShowUnihan);
        if (!unihan.empty()) {
            text += (text.empty() ? "" : "\n") + std::string("Unicode: ") +
                    Utf16ToUtf8(r.Query.substr(0, 1)) + '\n';
            for (const UnihanLine& l : unihan)
                text += "  " + l.Tag + "  " + l.Value + '\n';
        }
        if (options.TranslateAll && r.NonChinese) {
            text += (text.empty() ? "" : "\n") +
                    std::string(
                        "NOTICE: 'Translate text (instead of word)' option was blocked by "
                        "non-chinese characters in input.\n");
        }
        out << text << std::flush;
    } catch (const IoError& e) {
        err << "kestrune lookup: " << e.what() << '\n' << std::flush;
        return 2;
    }
    return found ? 0 : 1;
}

}  // namespace kes
