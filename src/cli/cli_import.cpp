#include "cli/cli_import.h"

#include <unistd.h>

#include "base/text.h"
#include "tools/cedictimport.h"

namespace kes {

namespace {

constexpr const char* kImportUsage = "Usage: kestrune import FILE [--name TEXT] [--replace]\n";

// Parses the arguments; returns an error text, or an empty string when they are sound.
std::string ParseImportArgs(const std::vector<std::string>& args, ImportRequest& out, bool& help) {
    FileCommandArgs a;
    const std::string error = ParseFileCommandArgs(
        args,
        [&out](const std::string& option) {
            if (option != "--replace") return false;
            out.replace = true;
            return true;
        },
        "Only one file can be imported at a time: ", "No file given", a);
    out.sourcePath = a.file;
    out.name = a.name;
    help = a.help;
    return error;
}

}  // namespace

int RunImportCommand(const std::vector<std::string>& args, const CommandContext& ctx,
                     std::ostream& out, std::ostream& err) {
    ImportRequest request;
    bool help = false;
    const std::string error = ParseImportArgs(args, request, help);
    if (!error.empty()) {
        err << error << '\n' << kImportUsage << std::flush;
        return 2;
    }
    if (help) {
        out << kImportUsage << std::flush;
        return 0;
    }
    request.folder = ctx.programFolder;

    ProgressLine progress(::isatty(STDERR_FILENO) == 1);
    IndexBuildCallbacks callbacks;
    callbacks.progress = [&progress](int percent) { progress.Show(percent); };
    callbacks.warning = [&progress](const std::u16string& text) {
        progress.Clear();
        PrintLine(Utf16ToUtf8(text));
    };
    const ImportResult r = ImportCedict(request, callbacks);
    progress.Clear();
    const std::string message = MessageWithDetail(r.outcome);
    (r.outcome.ok ? out : err) << message << '\n' << std::flush;
    if (ctx.showMessage) ctx.showMessage(message);
    return r.outcome.ok ? 0 : 1;
}

}  // namespace kes
