#include "cli/entry.h"

#include "base/filesystem.h"
#include "base/paths.h"
#include "base/text.h"
#include "dsl/converter.h"

namespace kes {

namespace {

std::string CommandWord(const std::string& arg) {
    std::string w = TrimA(arg);
    for (char& c : w)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return w;
}

void Show(const CommandContext& ctx, const std::string& text) {
    if (ctx.showMessage) ctx.showMessage(text);
}

}  // namespace

EntryDecision DecideEntry(const std::vector<std::string>& args) {
    EntryDecision d;
    if (args.empty()) return d;
    std::string word = CommandWord(args[0]);
    if (word == "dsl") {
        if (args.size() >= 2) {
            std::string path = TrimA(args[1]);
            if (!path.empty()) {
                d.branch = EntryBranch::Convert;
                d.path = path;
            }
        }
        return d;
    }
    if (word == "index" || word == "lookup" || word == "unihan" || word == "import" ||
        word == "write" || word == "ocr" || word == "say" || word == "words") {
        d.branch = word == "index"    ? EntryBranch::Index
                   : word == "lookup" ? EntryBranch::Lookup
                   : word == "import" ? EntryBranch::Import
                   : word == "write"  ? EntryBranch::Write
                   : word == "ocr"    ? EntryBranch::Ocr
                   : word == "say"    ? EntryBranch::Say
                   : word == "words"  ? EntryBranch::Words
                                      : EntryBranch::Unihan;
        d.args.assign(args.begin() + 1, args.end());
        return d;
    }
    if (word == "show" || word == "popup") {
        d.branch = word == "show" ? EntryBranch::Show : EntryBranch::Popup;
        d.args.assign(args.begin() + 1, args.end());
        return d;
    }
    if (word == "--help" || word == "-h") {
        d.branch = EntryBranch::Help;
    } else if (!word.empty() && word[0] != '-') {
        d.branch = EntryBranch::Unknown;
        d.word = args[0];
    }
    return d;
}

int RunUnknownCommand(const std::string& word, const std::string& usage, std::ostream& err) {
    err << "Unknown command: " << word << '\n' << usage << std::flush;
    return 2;
}

int RunDslCommand(const std::string& path, const CommandContext& ctx, std::ostream& out,
                  std::ostream& err) {
    if (!FileExists(path)) {
        std::string text = "File not found: " + path;
        err << text << '\n' << std::flush;
        Show(ctx, text);
        return 1;
    }
    const Outcome r = ConvertDsl(path, ctx.programFolder).outcome;
    out << r.message << '\n' << std::flush;
    if (r.ok) {
        Show(ctx, r.message);
        return 0;
    }
    err << r.detail << '\n' << std::flush;
    Show(ctx, MessageWithDetail(r));
    return 1;
}

int RunCommandGuarded(const std::string& action, const CommandContext& ctx, std::ostream& err,
                      const std::function<int()>& run) {
    try {
        return run();
    } catch (...) {
        const std::string text = "ERROR: " + action + " failed: " + CurrentExceptionDetail();
        try {
            err << '\n' << text << '\n' << std::flush;
            Show(ctx, text);
        } catch (...) {
        }
        return 2;
    }
}

bool CheckViewerFiles(const CommandContext& ctx, std::ostream& err) {
    if (FileExists(JoinPath(ctx.programFolder, "empty.html"))) return true;
    std::string text = "Unable to open file: empty.html";
    err << text << '\n' << std::flush;
    Show(ctx, text);
    return false;
}

}  // namespace kes
