#include "cli/cli_lookup.h"

#include <algorithm>
#include <iterator>
#include <memory>

#include "app/jsonwriter.h"
#include "app/pagebuffer.h"
#include "app/pagewriter.h"
#include "app/queryflow.h"
#include "app/registry.h"
#include "app/settings.h"
#include "app/textwriter.h"
#include "base/bytefile.h"
#include "base/paths.h"
#include "base/text.h"

namespace kes {

namespace {

const char* const kLookupUsage =
    "usage: kestrune lookup [--dict NAME.idx]... [--both|--no-both] "
    "[--best-first|--no-best-first] [--translate-all] [--ucs2] [--unihan] "
    "[--pinyin=stored|marks|zhuyin] [--html|--json] QUERY\n";

struct LookupArgs {
    std::vector<std::string> dicts;
    int both = -1;  // -1: as setup.ini says
    int bestFirst = -1;
    bool translateAll = false;
    bool ucs2 = false;
    bool unihan = false;
    bool html = false;
    bool json = false;
    std::string pinyin;  // empty: as setup.ini says
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
        } else if (options && (arg == "--best-first" || arg == "--no-best-first")) {
            a.bestFirst = arg == "--best-first" ? 1 : 0;
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
        } else if (options && arg.rfind("--pinyin=", 0) == 0) {
            a.pinyin = arg.substr(9);
            if (a.pinyin != "stored" && a.pinyin != "marks" && a.pinyin != "zhuyin")
                return "--pinyin takes stored, marks or zhuyin, not \"" + a.pinyin + "\"";
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

// The form the lookup prints: the page, JSON or plain text, written out through `sink`.
std::unique_ptr<SearchWriter> MakeWriter(const LookupArgs& a, const PageFonts& fonts,
                                         const PageSink& sink) {
    if (a.html) return std::make_unique<PageWriter>(fonts, sink);
    if (a.json) return std::make_unique<JsonWriter>(sink);
    return std::make_unique<TextWriter>(sink, fonts.Pinyin.Style);
}

// With --dict: the named dictionaries are searched, enabled or not; no other one is. False
// (and the reason on `err`) when one of them is not there.
bool ChooseDicts(Registry& reg, const std::vector<std::string>& names, const std::string& folder,
                 std::ostream& err) {
    if (names.empty()) return true;
    for (const std::string& name : names) {
        const bool known = std::any_of(reg.Dicts.begin(), reg.Dicts.end(),
                                       [&name](const TDic& d) { return d.FileName == name; });
        if (!known) {
            err << "kestrune lookup: no usable dictionary " << name << " in " << folder << '\n'
                << std::flush;
            return false;
        }
    }
    for (TDic& d : reg.Dicts)
        d.Enabled = std::find(names.begin(), names.end(), d.FileName) != names.end();
    return true;
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
    if (a.bestFirst >= 0) options.BestFirst = a.bestFirst == 1;
    if (a.translateAll) options.TranslateAll = true;
    if (a.ucs2) options.ShowUcs2 = true;
    if (a.unihan) options.ShowUnihan = true;
    if (!a.pinyin.empty()) options.Fonts.Pinyin = PagePinyinOf(a.pinyin, settings.ToneColors);
    // What the lookup prints goes out as it is made; a write that fails ends the lookup with
    // its reason.
    const PageSink writeOut = [&out](std::string_view bytes) { WriteOutput(out, bytes); };

    Registry reg;
    RegistryCallbacks cb;
    cb.message = [&err](const std::string& text) { err << text << '\n' << std::flush; };
    DiscoverOptions discover;
    discover.writeDicts = false;
    discover.keepStaleIndexes = true;  // a read-only command changes no file
    DiscoverDictionaries(reg, ctx.programFolder, cb, discover);
    if (!reg.Unihan.Available) options.ShowUnihan = false;

    if (!ChooseDicts(reg, a.dicts, ctx.programFolder, err)) return 2;

    const std::unique_ptr<SearchWriter> writer = MakeWriter(a, options.Fonts, writeOut);
    QueryHistory history;
    SearchResult r = RunSearch(reg, history, Utf8ToUtf16(a.query), 0, false, options, *writer);
    std::string problem = r.Error;
    if (problem.empty()) {
        try {
            FlushOutput(out);
        } catch (const IoError& e) {
            problem = e.what();
        }
    }
    if (!problem.empty()) {
        err << "kestrune lookup: " << problem << '\n' << std::flush;
        return 2;
    }
    const bool found = std::any_of(r.Dicts.begin(), r.Dicts.end(),
                                   [](const DictSearchResult& d) { return !d.Pieces.empty(); });
    if (r.CouldCut) {
        err << "kestrune lookup: nothing found for \"" << Utf16ToUtf8(r.FieldText)
            << "\" as one word; --translate-all cuts it into words\n"
            << std::flush;
    }
    return found ? 0 : 1;
}

}  // namespace kes
