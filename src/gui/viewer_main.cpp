// The viewer executable. The program entry (kestrune) starts it in its own place for the
// viewer, with the program folder it has resolved, or for one message box of a command.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/viewerargs.h"
#include "gui/viewer.h"
#include "tools/autostart.h"

int main(int argc, char** argv) {
    const kes::ViewerRequest request =
        kes::ParseViewerArguments(std::vector<std::string>(argv + 1, argv + argc));
    // The toolkit sees the program name and the arguments meant for it, nothing of ours.
    std::vector<char*> toolkitArgv{argv[0]};
    std::vector<std::string> toolkitArgs = request.toolkitArgs;
    for (std::string& a : toolkitArgs)
        toolkitArgv.push_back(a.data());
    toolkitArgv.push_back(nullptr);
    int toolkitArgc = static_cast<int>(toolkitArgv.size()) - 1;

    switch (request.mode) {
        case kes::ViewerMode::Viewer: {
            kes::ViewerContext ctx;
            ctx.programFolder = request.programFolder;
            ctx.start = request.start;
            const kes::InstancePath socket = kes::InstanceSocketPathOfThisUser();
            if (socket.path.empty())
                std::cerr << "Kestrune: " << socket.error
                          << "; this viewer takes no requests of kestrune show/popup.\n";
            ctx.instanceSocket = socket.path;
            // "Start with the desktop" starts the same entry with the same program folder.
            ctx.autostart.folder =
                kes::AutostartFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
            ctx.autostart.command = kes::AutostartCommand(request.entryPath, std::getenv("PATH"),
                                                          std::getenv("KESTRUNE_HOME"));
            return kes::RunViewer(toolkitArgc, toolkitArgv.data(), ctx);
        }
        case kes::ViewerMode::Message:
            return kes::ShowMessageBox(toolkitArgc, toolkitArgv.data(), request.message);
        case kes::ViewerMode::Invalid:
            break;
    }
    std::cerr << kes::kViewerExecutable
              << " is started by kestrune; run kestrune to start the viewer.\n";
    return 2;
}
