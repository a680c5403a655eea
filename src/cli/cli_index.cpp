#include "cli/cli_index.h"

#include <unistd.h>

#include <cstdio>
#include <optional>

#include "base/text.h"
#include "dict/builder.h"

namespace kes {

namespace {

constexpr const char* kIndexUsage =
    "Usage: kestrune index FILE.ced [--name TEXT] [--words|--no-words] "
    "[--pinyin|--no-pinyin]\n";

struct IndexArgs {
    std::string dataPath;
    std::optional<std::string> name;
    IndexBuildOptions options;
    bool help = false;
};

// Parses the arguments; returns an error text, or an empty string when they are sound.
std::string ParseIndexArgs(const std::vector<std::string>& args, IndexArgs& out) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            if (a == "--") {
                optionsEnded = true;
            } else if (a == "--help" || a == "-h") {
                out.help = true;
            } else if (a == "--words") {
                out.options.AddDescToIndex = true;
            } else if (a == "--no-words") {
                out.options.AddDescToIndex = false;
            } else if (a == "--pinyin") {
                out.options.AddPinToIndex = true;
            } else if (a == "--no-pinyin") {
                out.options.AddPinToIndex = false;
            } else if (a == "--name") {
                if (i + 1 >= args.size()) return "Option --name needs a text";
                out.name = args[++i];
            } else if (a.rfind("--name=", 0) == 0) {
                out.name = a.substr(7);
            } else {
                return "Unknown option: " + a;
            }
            continue;
        }
        if (!out.dataPath.empty()) return "Only one data file can be indexed at a time: " + a;
        out.dataPath = a;
    }
    if (out.help) return {};
    if (out.dataPath.empty()) return "No data file given";
    return {};
}

}  // namespace

int RunIndexCommand(const std::vector<std::string>& args, const CommandContext& ctx) {
    IndexArgs a;
    std::string error = ParseIndexArgs(args, a);
    if (!error.empty()) {
        PrintLine(error);
        std::fputs(kIndexUsage, stderr);
        return 2;
    }
    if (a.help) {
        std::fputs(kIndexUsage, stdout);
        return 0;
    }

    ProgressLine progress(::isatty(STDERR_FILENO) == 1);
    IndexBuildCallbacks callbacks;
    callbacks.progress = [&progress](int percent) { progress.Show(percent); };
    callbacks.warning = [&progress](const std::u16string& text) {
        progress.Clear();
        PrintLine(Utf16ToUtf8(text));
    };
    callbacks.askName = [&a](const std::u16string& initial) -> std::optional<std::u16string> {
        if (a.name) return Utf8ToUtf16(*a.name);
        return initial;
    };

    const Outcome r = BuildIndex(a.dataPath, a.options, callbacks).outcome;
    progress.Clear();
    const std::string message = MessageWithDetail(r);
    PrintLine(message);
    if (ctx.showMessage) ctx.showMessage(message);
    return r.ok ? 0 : 1;
}

}  // namespace kes
