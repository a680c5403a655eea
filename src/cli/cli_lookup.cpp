#include "cli/cli_lookup.h"

#include <cstdio>
#include <iterator>
#include <optional>

#include <nlohmann/json.hpp>

#include "app/pagebuffer.h"
#include "app/queryflow.h"
#include "app/registry.h"
#include "app/settings.h"
#include "base/bytefile.h"
#include "base/lines.h"
#include "base/paths.h"
#include "base/text.h"
#include "charinfo/s2t.h"
#include "charinfo/unihan.h"

namespace kes {

namespace {

const char* const kLookupUsage =
    "usage: kestrune lookup [--dict NAME.idx]... [--both|--no-both] [--translate-all] "
    "[--ucs2] [--unihan] [--html|--json] QUERY\n";

struct LookupArgs {
    std::vector<std::string> dicts;
    int both = -1;  // -1: as setup.ini says
    bool translateAll = false;
    bool ucs2 = false;
    bool unihan = false;
    bool html = false;
    bool json = false;
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
        } else if (options && arg == "--json") {
            a.json = true;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (a.haveQuery) {
            return "more than one query given (quote a query that holds spaces)";
        } else {
            a.haveQuery = true;
            a.query = arg;
        }
    }
    if (a.html && a.json) return "--html and --json exclude each other";
    if (!a.haveQuery) return "no query given";
    return {};
}

// Drops the markup tokens that only style the page.
std::u16string WithoutStyleTokens(std::u16string s) {
    if (s.find(u'[') == std::u16string::npos) return s;
    for (const char* token : {"[bs]", "[be]", "[cs]", "[ce]"})
        s = ReplaceAllNoCase(s, U(token), u"");
    return s;
}

// Splits at every "[br]" (letter case ignored).
std::vector<std::u16string> SplitBreaks(const std::u16string& s) {
    if (s.find(u'[') == std::u16string::npos && s.find(u'\n') == std::u16string::npos) return {s};
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

// The pieces of a text between "[br]" tokens, trimmed, empty ones left out.
std::vector<std::string> LinesOf(const std::u16string& text) {
    std::vector<std::string> lines;
    for (const std::u16string& piece : SplitBreaks(text)) {
        std::u16string t = Trim(piece);
        if (!t.empty()) lines.push_back(Utf16ToUtf8(t));
    }
    return lines;
}

const char* const kBlockedNotice =
    "NOTICE: 'Translate text (instead of word)' option was blocked by non-chinese characters "
    "in input.";

// The UTF-16 code units of the query as four hex digits each.
std::vector<std::string> Ucs2Codes(std::u16string_view query) {
    std::vector<std::string> codes;
    for (char16_t c : query) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(c));
        codes.emplace_back(hex);
    }
    return codes;
}

}  // namespace

LookupEntry LookupEntryOf(std::u16string_view line, bool searchBoth) {
    EntryFields f = SplitEntryLine(line);
    LookupEntry e;
    std::u16string head = HeadForm(f.Word);
    e.Forms.push_back(Utf16ToUtf8(head));
    if (head.size() < f.Word.size())
        for (const std::u16string& form : SplitAt(Trim(f.Word.substr(head.size() + 1)), u' '))
            if (!form.empty()) e.Forms.push_back(Utf16ToUtf8(form));
    e.Traditional = e.Forms[0];
    e.Simplified =
        e.Forms.size() > 1 ? e.Forms[1] : Utf16ToUtf8(ToSimplifiedText(head, searchBoth));
    e.Pinyin = Utf16ToUtf8(f.Pinyin);
    std::u16string t = WithoutStyleTokens(f.Translation);
    for (char16_t& c : t) {
        if (c == u'<') c = u'[';
        if (c == u'>') c = u']';
    }
    for (const std::u16string& sense : SplitAt(t, u'/')) {
        std::vector<std::u16string> parts = SplitAt(sense, u'|');
        LookupSense s;
        s.Lines = LinesOf(parts[0]);
        for (std::size_t i = 1; i < parts.size(); ++i) {
            std::vector<std::string> note = LinesOf(parts[i]);
            s.Notes.insert(s.Notes.end(), note.begin(), note.end());
        }
        if (!s.Lines.empty() || !s.Notes.empty()) e.Senses.push_back(std::move(s));
    }
    return e;
}

void AppendEntryPlainText(std::string& out, std::u16string_view line, bool searchBoth) {
    LookupEntry e = LookupEntryOf(line, searchBoth);
    out += e.Forms[0];
    if (e.Forms.size() > 1) {
        out += " [";
        for (std::size_t i = 1; i < e.Forms.size(); ++i) {
            if (i > 1) out += ", ";
            out += e.Forms[i];
        }
        out += "]";
    } else if (e.Simplified != e.Traditional) {
        out += " (";
        out += e.Simplified;
        out += ")";
    }
    if (!e.Pinyin.empty()) {
        out += "  ";
        out += e.Pinyin;
    }
    out += '\n';
    for (const LookupSense& s : e.Senses) {
        for (const std::string& l : s.Lines) {
            out += "  ";
            out += l;
            out += '\n';
        }
        for (const std::string& n : s.Notes) {
            out += "    ";
            out += n;
            out += '\n';
        }
    }
}

std::string EntryPlainText(std::u16string_view line, bool searchBoth) {
    std::string out;
    AppendEntryPlainText(out, line, searchBoth);
    return out;
}

namespace {

// The search as one JSON document (see RunLookupCommand); reads the entry lines of every
// piece found. Throws IoError when a data file cannot be read.
std::string LookupJson(const Registry& reg, const SearchResult& r, const SearchOptions& options) {
    using Json = nlohmann::ordered_json;
    Json doc = Json::object();
    doc["query"] = Utf16ToUtf8(r.Query);
    Json searched = Json::array();
    if (r.Searched.empty()) searched.push_back(Utf16ToUtf8(r.Query));
    for (const std::u16string& key : r.Searched)
        searched.push_back(Utf16ToUtf8(key));
    doc["searched"] = std::move(searched);
    Json dicts = Json::array();
    for (const DictSearchResult& d : r.Dicts) {
        if (d.Pieces.empty()) continue;
        const TDic& dic = reg.Dicts[d.Position];
        ByteFile data(DataPathOf(dic, reg.Folder), OpenMode::Read);
        data.setReadAhead(1024);
        Json pieces = Json::array();
        for (std::size_t p = 0; p < d.Pieces.size(); ++p) {
            Json entries = Json::array();
            for (int32_t off : d.Offsets[p]) {
                data.seek(off);
                LookupEntry e = LookupEntryOf(ReadUcs2Line(data), options.SearchBoth);
                Json senses = Json::array();
                for (const LookupSense& s : e.Senses) {
                    std::string text;
                    for (const std::string& l : s.Lines)
                        text += (text.empty() ? "" : "\n") + l;
                    senses.push_back({{"text", text}, {"notes", s.Notes}});
                }
                entries.push_back({{"traditional", e.Traditional},
                                   {"simplified", e.Simplified},
                                   {"forms", e.Forms},
                                   {"pinyin", e.Pinyin},
                                   {"senses", std::move(senses)}});
            }
            pieces.push_back({{"text", Utf16ToUtf8(d.Pieces[p])}, {"entries", std::move(entries)}});
        }
        dicts.push_back({{"name", Utf16ToUtf8(dic.Description)},
                         {"file", dic.FileName},
                         {"pieces", std::move(pieces)}});
    }
    doc["dictionaries"] = std::move(dicts);
    if (options.ShowUcs2) doc["ucs2"] = Ucs2Codes(r.Query);
    auto unihan = UnihanLinesOf(r.Query, reg.Unihan, options.ShowUnihan);
    if (!unihan.empty()) {
        Json lines = Json::array();
        for (const UnihanLine& l : unihan)
            lines.push_back({{"tag", l.Tag}, {"value", l.Value}});
        doc["unihan"] = {{"character", Utf16ToUtf8(r.Query.substr(0, 1))},
                         {"lines", std::move(lines)}};
    }
    if (options.TranslateAll && r.NonChinese) doc["notice"] = kBlockedNotice;
    // Text that is not UTF-8 (a file name, for one) is written with U+FFFD in its place.
    return doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace

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

    // What the lookup prints goes out as it is made; a write that fails ends the lookup with
    // its reason.
    const PageSink writeOut = [&out](std::string_view bytes) { WriteOutput(out, bytes); };
    if (a.html) options.PageOut = writeOut;

    Registry reg;
    RegistryCallbacks cb;
    cb.message = [&err](const std::string& text) { err << text << '\n' << std::flush; };
    DiscoverOptions discover;
    discover.writeDicts = false;
    discover.keepStaleIndexes = true;  // a read-only command changes no file
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

    try {
        if (a.html) {
            FlushOutput(out);
            return found ? 0 : 1;
        }
        if (a.json) {
            WriteOutput(out, LookupJson(reg, r, options));
            FlushOutput(out);
            return found ? 0 : 1;
        }
        PageBuffer text(writeOut);
        // Per dictionary its description and the entries of the pieces that `wanted` accepts.
        auto appendDicts = [&](const auto& wanted) {
            bool firstDict = true;
            for (const DictSearchResult& d : r.Dicts) {
                const TDic& dic = reg.Dicts[d.Position];
                std::optional<ByteFile> data;
                for (std::size_t p = 0; p < d.Pieces.size(); ++p) {
                    if (!wanted(d.Pieces[p])) continue;
                    if (!data) {
                        if (!firstDict) text += "\n";
                        firstDict = false;
                        text += Utf16ToUtf8(dic.Description);
                        text += "\n";
                        data.emplace();
                        data->openView(reg.Views->get(DataPathOf(dic, reg.Folder)));
                        data->setReadAhead(1024);
                    }
                    for (int32_t off : d.Offsets[p]) {
                        data->seek(off);
                        AppendEntryPlainText(text.tail(), ReadUcs2Line(*data),
                                             options.SearchBoth);
                        text.seal();
                    }
                }
            }
        };
        if (r.Searched.empty()) {
            appendDicts([](const std::u16string&) { return true; });
        } else {
            for (const std::u16string& key : r.Searched) {
                text += (text.size() == 0 ? "" : "\n") + PinyinResultsText(key) + "\n\n";
                appendDicts([&key](const std::u16string& piece) { return piece == key; });
            }
        }
        if (options.ShowUcs2) {
            std::string ucs2 = "UCS-2:";
            for (const std::string& code : Ucs2Codes(r.Query))
                ucs2 += " " + code;
            text += (text.size() == 0 ? "" : "\n") + ucs2 + '\n';
        }
        auto unihan = UnihanLinesOf(r.Query, reg.Unihan, options.ShowUnihan);
        if (!unihan.empty()) {
            text += (text.size() == 0 ? "" : "\n") + std::string("Unicode: ") +
                    Utf16ToUtf8(r.Query.substr(0, 1)) + '\n';
            for (const UnihanLine& l : unihan)
                text += "  " + l.Tag + "  " + l.Value + '\n';
        }
        if (options.TranslateAll && r.NonChinese)
            text += (text.size() == 0 ? "" : "\n") + std::string(kBlockedNotice) + '\n';
        text.finish();
        FlushOutput(out);
    } catch (const IoError& e) {
        err << "kestrune lookup: " << e.what() << '\n' << std::flush;
        return 2;
    }
    return found ? 0 : 1;
}

}  // namespace kes
