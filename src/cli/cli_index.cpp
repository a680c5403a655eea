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
    "[--pinyin|--no-pinyin] [--min-word=3|4]\n";

struct IndexArgs {
    FileCommandArgs file;
    IndexBuildOptions options;
};

// Parses the arguments; returns an error text, or an empty string when they are sound.
std::string ParseIndexArgs(const std::vector<std::string>& args, IndexArgs& out) {
    std::string badMinWord;
    std::string error = ParseFileCommandArgs(
        args,
        [&out, &badMinWord](const std::string& option) {
            if (option == "--words" || option == "--no-words")
                out.options.AddDescToIndex = option == "--words";
            else if (option == "--pinyin" || option == "--no-pinyin")
                out.options.AddPinToIndex = option == "--pinyin";
            else if (option == "--min-word=3" || option == "--min-word=4")
                out.options.MinWordLength = option.back() - '0';
            else if (option.rfind("--min-word", 0) == 0 && badMinWord.empty())
                badMinWord = "Option --min-word takes 3 or 4: " + option;
            else
                return false;
            return true;
        },
        "Only one data file can be indexed at a time: ", "No data file given", out.file);
    return badMinWord.empty() ? error : badMinWord;
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
    if (a.file.help) {
        std::fputs(kIndexUsage, stdout);
        return 0;
    }

    if (const std::string refusal = NotUtf16LeRefusal(a.file.file); !refusal.empty()) {
        PrintLine(refusal);
        if (ctx.showMessage) ctx.showMessage(refusal);
        return 1;
    }

    ProgressLine progress(::isatty(STDERR_FILENO) == 1);
    IndexBuildCallbacks callbacks;
    callbacks.progress = [&progress](int percent) { progress.Show(percent); };
    callbacks.warning = [&progress](const std::u16string& text) {
        progress.Clear();
        PrintLine(Utf16ToUtf8(text));
    };
    callbacks.askName = [&a](const std::u16string& initial) -> std::optional<std::u16string> {
        if (a.file.name) return Utf8ToUtf16(*a.file.name);
        return initial;
    };

    const Outcome r = BuildIndex(a.file.file, a.options, callbacks).outcome;
    progress.Clear();
    const std::string message = MessageWithDetail(r);
    PrintLine(message);
    if (ctx.showMessage) ctx.showMessage(message);
    return r.ok ? 0 : 1;
}

}  // namespace kes
