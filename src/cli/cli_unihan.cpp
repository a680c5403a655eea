#include "cli/cli_unihan.h"

#include <unistd.h>

#include "base/filesystem.h"
#include "base/paths.h"
#include "charinfo/unihan.h"

namespace kes {

int RunUnihanCommand(const std::vector<std::string>& args, const CommandContext& ctx,
                     std::ostream& out, std::ostream& err) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        err << "Usage: kestrune unihan FILE.txt\n";
        return 2;
    }
    const std::string& source = args[0];
    if (!FileExists(source)) {
        err << "File not found: " << source << "\n";
        return 1;
    }
    UnihanBuildCallbacks callbacks;
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    int shown = -1;
    if (terminal) {
        callbacks.progress = [&](int percent) {
            if (percent == shown) return;
            shown = percent;
            err << "\r Creating index file... " << percent << "%" << std::flush;
        };
    }
    const Outcome result =
        BuildUnihanIndex(source, JoinPath(ctx.programFolder, kUnihanIndexName), callbacks).outcome;
    if (terminal) err << "\r\033[K";
    (result.ok ? out : err) << MessageWithDetail(result) << "\n";
    return result.ok ? 0 : 1;
}

}  // namespace kes
