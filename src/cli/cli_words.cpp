#include "cli/cli_words.h"

#include "base/filesystem.h"
#include "base/paths.h"
#include "tools/mywords.h"
#include "tools/userdict.h"

namespace kes {

namespace {

const char* const kWordsUsage =
    "usage: kestrune words list [--json]\n"
    "       kestrune words export FILE [--format anki|csv]\n";

int Usage(std::ostream& err, const std::string& problem) {
    err << "kestrune words: " << problem << '\n' << kWordsUsage << std::flush;
    return 2;
}

// The records of userdict.txt, or the reason on `err` (false).
bool ReadList(const std::string& path, MyWordList& list, std::ostream& err) {
    if (!NameExists(path)) {
        err << "kestrune words: there is no word list yet: " << path
            << " does not exist (\"Add to my words\" on the page creates it)\n"
            << std::flush;
        return false;
    }
    try {
        list = ReadMyWords(path);
    } catch (const IoError& e) {
        err << "kestrune words: " << e.what() << '\n' << std::flush;
        return false;
    }
    return true;
}

int List(const std::vector<std::string>& args, const std::string& path, std::ostream& out,
         std::ostream& err) {
    bool json = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else {
            return Usage(err, "unknown argument " + args[i]);
        }
    }
    MyWordList list;
    if (!ReadList(path, list, err)) return 1;
    err << DamageReport(path, list, "listed as it stands") << std::flush;
    try {
        WriteOutput(out, json ? MyWordsJson(list) : MyWordsText(list));
        FlushOutput(out);
    } catch (const IoError& e) {
        err << "kestrune words: " << e.what() << '\n' << std::flush;
        return 1;
    }
    return 0;
}

int Export(const std::vector<std::string>& args, const std::string& path, std::ostream& out,
           std::ostream& err) {
    std::string target;
    FlashcardFormat format = FlashcardFormat::Anki;
    bool options = true;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        if (options && a == "--") {
            options = false;
            continue;
        }
        if (options && a == "--format") {
            if (i + 1 >= args.size()) return Usage(err, "--format needs anki or csv");
            value = args[++i];
        } else if (options && a.rfind("--format=", 0) == 0) {
            value = a.substr(9);
        } else if (options && a.size() > 1 && a[0] == '-') {
            return Usage(err, "unknown option " + a);
        } else {
            if (!target.empty()) return Usage(err, "more than one file given: " + a);
            target = a;
            continue;
        }
        if (value == "anki") {
            format = FlashcardFormat::Anki;
        } else if (value == "csv") {
            format = FlashcardFormat::Csv;
        } else {
            return Usage(err, "unknown format " + value + " (anki or csv)");
        }
    }
    if (target.empty()) return Usage(err, "no file given");
    MyWordList list;
    if (!NameExists(path)) return ReadList(path, list, err) ? 0 : 1;
    const Outcome done = ExportFlashcards(path, target, format, list);
    err << DamageReport(path, list, "exported as it stands") << std::flush;
    if (!done.ok) {
        err << "kestrune words: " << MessageWithDetail(done) << '\n' << std::flush;
        return 1;
    }
    out << done.message << '\n' << std::flush;
    return 0;
}

}  // namespace

int RunWordsCommand(const std::vector<std::string>& args, const CommandContext& ctx,
                    std::ostream& out, std::ostream& err) {
    if (args.empty()) return Usage(err, "list or export?");
    if (args[0] == "--help" || args[0] == "-h") {
        out << kWordsUsage << std::flush;
        return 0;
    }
    const std::string path = JoinPath(ctx.programFolder, kUserdictName);
    if (args[0] == "list") return List(args, path, out, err);
    if (args[0] == "export") return Export(args, path, out, err);
    return Usage(err, "unknown subcommand " + args[0]);
}

}  // namespace kes
