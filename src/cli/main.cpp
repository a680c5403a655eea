// Entry point: the command-line branches ("dsl", "index", "lookup", "unihan", "--help") end here
// without loading the toolkit; "show", "popup" and the start without a command go to the
// viewer of this user that runs already, or else become the viewer executable (same process).
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_index.h"
#include "cli/cli_instance.h"
#include "cli/cli_lookup.h"
#include "cli/cli_unihan.h"
#include "cli/entry.h"
#include "cli/launch.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    kes::EntryDecision decision = kes::DecideEntry(args);

    const std::string executableFolder = kes::ExecutableFolder();
    kes::CommandContext ctx;
    ctx.programFolder = kes::ProgramFolder();
    // A message box as well when stdout is not a terminal and a display is available.
    ctx.showMessage = kes::DesktopMessageSink(executableFolder);

    // Starts the viewer in this process, with a first request.
    auto startViewer = [&](const std::vector<std::string>& toolkitArgs) {
        return [&, toolkitArgs](const std::optional<kes::InstanceMessage>& start) {
            if (!kes::CheckViewerFiles(ctx, std::cerr)) return 1;
            return kes::ExecViewer(executableFolder, argv[0], toolkitArgs, ctx, std::cerr, start);
        };
    };

    switch (decision.branch) {
        case kes::EntryBranch::Convert:
            return kes::RunDslCommand(decision.path, ctx, std::cout, std::cerr);
        case kes::EntryBranch::Index:
            return kes::RunIndexCommand(decision.args, ctx);
        case kes::EntryBranch::Lookup:
            return kes::RunLookupCommand(decision.args, ctx, std::cin, std::cout, std::cerr);
        case kes::EntryBranch::Unihan:
            return kes::RunUnihanCommand(decision.args, ctx, std::cout, std::cerr);
        case kes::EntryBranch::Help:
            std::cout << kes::UsageText();
            return 0;
        case kes::EntryBranch::Show:
        case kes::EntryBranch::Popup: {
            const kes::InstanceMessage request = kes::InstanceRequestOf(
                decision.branch == kes::EntryBranch::Show ? kes::InstanceCommand::Show
                                                          : kes::InstanceCommand::Popup,
                decision.args, std::cin);
            const kes::InstancePath socket = kes::InstanceSocketPathOfThisUser();
            return kes::ReachViewer(socket.path, socket.error, request, request, startViewer({}),
                                    std::cerr);
        }
        case kes::EntryBranch::Viewer:
            break;
    }
    // A running viewer is shown; otherwise this process becomes the viewer.
    const kes::InstancePath socket = kes::InstanceSocketPathOfThisUser();
    return kes::ReachViewer(socket.path, socket.error, kes::InstanceMessage{}, std::nullopt,
                            startViewer(args), std::cerr);
}
