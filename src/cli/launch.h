// How the program entry reaches the viewer executable: the viewer branch replaces this process
// with it, and the commands start it for a message box. The decision and the search stay here,
// so that the entry itself never loads the toolkit.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/instance.h"
#include "cli/cli.h"

namespace kes {

// The absolute path of this executable (from /proc/self/exe; "" when unknown).
std::string ExecutablePath();
// The folder of this executable ("." when unknown).
std::string ExecutableFolder();

// Where the viewer executable may be, in the order they are tried: beside the entry (the build
// tree), then in the installed layout's library folder relative to it.
std::vector<std::string> ViewerCandidates(const std::string& executableFolder);

// The first candidate that is an executable file; "" when there is none.
std::string FindViewer(const std::string& executableFolder);

// Replaces this process (same process id) with the viewer for ctx.programFolder, passing this
// executable's path (for "Start with the desktop") and the entry's arguments on, with `start` as
// the viewer's first request. Returns only on failure, after writing why to `err`: "Cannot start
// the viewer: " and the paths tried when no viewer is found; the return value is then 1.
int ExecViewer(const std::string& executableFolder, const char* argv0,
               const std::vector<std::string>& entryArgs, const CommandContext& ctx,
               std::ostream& err, const std::optional<InstanceMessage>& start = {});

// The rule for message boxes of the commands: only when stdout is not a terminal and a display
// is available (DISPLAY or WAYLAND_DISPLAY set, or QT_QPA_PLATFORM naming a visible platform);
// never when KESTRUNE_NO_MESSAGE_BOX is set.
bool WantsMessageBox(bool stdoutIsTerminal, const char* display, const char* waylandDisplay,
                     const char* qpaPlatform, const char* noMessageBox);

// A sink that shows each text in a message box of the viewer executable `viewer` and waits
// until the box is closed. An empty `viewer` gives an empty function.
MessageSink ViewerMessageBox(const std::string& viewer);

// The sink of the commands in this process: ViewerMessageBox when WantsMessageBox holds for
// this process's stdout and environment and a viewer is found, else an empty function.
MessageSink DesktopMessageSink(const std::string& executableFolder);

}  // namespace kes
