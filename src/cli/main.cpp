// Entry point: the command-line branches ("dsl", "index", "import", "lookup", "ocr", "say",
// "unihan", "words", "write", "--help", an unknown command word) end here without loading the
// toolkit; "show", "popup" and the start without a command go to the viewer of this user that
// runs already, or else become the viewer executable (same process).
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "base/ioerror.h"
#include "cli/cli.h"
#include "cli/cli_import.h"
#include "cli/cli_index.h"
#include "cli/cli_instance.h"
#include "cli/cli_lookup.h"
#include "cli/cli_ocr.h"
#include "cli/cli_say.h"
#include "cli/cli_unihan.h"
#include "cli/cli_words.h"
#include "cli/cli_write.h"
#include "cli/entry.h"
#include "cli/launch.h"

namespace {

int WriteHelp(const kes::ProgramFolderChoice& folder) {
    try {
        kes::WriteOutput(std::cout, kes::UsageText(folder));
        kes::FlushOutput(std::cout);
        return 0;
    } catch (const kes::IoError& e) {
        std::cerr << "kestrune: " << e.what() << '\n' << std::flush;
        return 2;
    }
}

// The context of every command; false when the program has no folder to keep its files in.
bool PrepareContext(const kes::ProgramFolderChoice& folder, const std::string& executableFolder,
                    kes::CommandContext& ctx) {
    ctx.programFolder = folder.folder;
    // A message box as well when stdout is not a terminal and a display is available.
    ctx.showMessage = kes::DesktopMessageSink(executableFolder);
    if (folder.kind == kes::ProgramFolderKind::User) {
        // An installed program: its files live in the user folder, filled at the first start.
        const kes::Outcome seeded = kes::SeedUserFolder(folder.folder, folder.installedData);
        if (!seeded.ok) {
            std::cerr << kes::MessageWithDetail(seeded) << '\n' << std::flush;
            if (folder.folder.empty()) return false;
        }
    }
    return true;
}

// The exit code of a command branch; nothing for the viewer branch.
std::optional<int> RunBranch(const kes::EntryDecision& decision, kes::CommandContext& ctx,
                             const std::string& executableFolder,
                             const kes::ViewerStarter& startViewer) {
    switch (decision.branch) {
        case kes::EntryBranch::Convert:
            return kes::RunCommandGuarded("The conversion", ctx, std::cerr, [&] {
                return kes::RunDslCommand(decision.path, ctx, std::cout, std::cerr);
            });
        case kes::EntryBranch::Index:
            return kes::RunCommandGuarded("The index build", ctx, std::cerr,
                                          [&] { return kes::RunIndexCommand(decision.args, ctx); });
        case kes::EntryBranch::Lookup:
            return kes::RunCommandGuarded("The lookup", ctx, std::cerr, [&] {
                return kes::RunLookupCommand(decision.args, ctx, std::cin, std::cout, std::cerr);
            });
        case kes::EntryBranch::Import:
            return kes::RunCommandGuarded("The import", ctx, std::cerr, [&] {
                return kes::RunImportCommand(decision.args, ctx, std::cout, std::cerr);
            });
        case kes::EntryBranch::Ocr:
            // Its output goes into pipes ("| kestrune popup -"): never a message box.
            return kes::RunCommandGuarded(
                "The text recognition", kes::CommandContext{ctx.programFolder, {}}, std::cerr, [&] {
                    return kes::RunOcrCommand(decision.args, ctx, executableFolder, std::cin,
                                              std::cout, std::cerr);
                });
        case kes::EntryBranch::Unihan:
            return kes::RunCommandGuarded("The Unihan index build", ctx, std::cerr, [&] {
                return kes::RunUnihanCommand(decision.args, ctx, std::cout, std::cerr);
            });
        case kes::EntryBranch::Write:
            return kes::RunCommandGuarded("The recognition", ctx, std::cerr, [&] {
                return kes::RunWriteCommand(decision.args, ctx, std::cin, std::cout, std::cerr);
            });
        case kes::EntryBranch::Say:
            return kes::RunCommandGuarded("Speaking", ctx, std::cerr, [&] {
                return kes::RunSayCommand(decision.args, ctx, std::cout, std::cerr);
            });
        case kes::EntryBranch::Words:
            return kes::RunCommandGuarded("The word list", ctx, std::cerr, [&] {
                return kes::RunWordsCommand(decision.args, ctx, std::cout, std::cerr);
            });
        case kes::EntryBranch::Help:
            return 0;  // answered before
        case kes::EntryBranch::Unknown:
            return 2;  // answered before
        case kes::EntryBranch::Show:
        case kes::EntryBranch::Popup:
            return kes::RunCommandGuarded("The request to the viewer", ctx, std::cerr, [&] {
                const kes::InstanceMessage request = kes::InstanceRequestOf(
                    decision.branch == kes::EntryBranch::Show ? kes::InstanceCommand::Show
                                                              : kes::InstanceCommand::Popup,
                    decision.args, std::cin);
                const kes::InstancePath socket = kes::InstanceSocketPathOfThisUser();
                return kes::ReachViewer(socket.path, socket.error, request, request, startViewer,
                                        std::cerr);
            });
        case kes::EntryBranch::Viewer:
            break;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    kes::EntryDecision decision = kes::DecideEntry(args);

    const std::string executableFolder = kes::ExecutableFolder();
    const kes::ProgramFolderChoice folder = kes::ChooseThisProgramFolder(executableFolder);
    if (decision.branch == kes::EntryBranch::Help) return WriteHelp(folder);
    // A mistyped command is a usage error: nothing is started or filled in.
    if (decision.branch == kes::EntryBranch::Unknown)
        return kes::RunUnknownCommand(decision.word, kes::UsageText(folder), std::cerr);
    kes::CommandContext ctx;
    if (!PrepareContext(folder, executableFolder, ctx)) return 1;

    // Starts the viewer in this process, with a first request.
    auto startViewer = [&](const std::vector<std::string>& toolkitArgs) -> kes::ViewerStarter {
        return [&, toolkitArgs](const std::optional<kes::InstanceMessage>& start) {
            if (!kes::CheckViewerFiles(ctx, std::cerr)) return 1;
            return kes::ExecViewer(executableFolder, argv[0], toolkitArgs, ctx, std::cerr, start);
        };
    };
    if (std::optional<int> code = RunBranch(decision, ctx, executableFolder, startViewer({}))) return *code;
    // A running viewer is shown; otherwise this process becomes the viewer.
    return kes::RunCommandGuarded("The viewer start", ctx, std::cerr, [&] {
        const kes::InstancePath socket = kes::InstanceSocketPathOfThisUser();
        return kes::ReachViewer(socket.path, socket.error, kes::InstanceMessage{}, std::nullopt,
                                startViewer(args), std::cerr);
    });
}
