// The viewer branch of the program: the windows, the tray icon and the message loop.
#pragma once

#include <functional>

#include "cli/cli.h"
#include "gui/forms.h"

namespace kes {

// Runs the dictionary viewer until "&Quit" or "Exit" (or, without a tray, closing the window).
// Refuses to start without empty.html in the program folder ("Unable to open file:
// empty.html" through ctx.showMessage or stderr; returns 1). Returns the exit code.
//
// With the environment variable KESTRUNE_EXIT_WHEN_IDLE set, the viewer ends as soon as the
// start-up is complete and the first page is shown (for start-up time measurements).
int RunViewer(int argc, char** argv, const CommandContext& ctx);

// Called by RunViewer once all windows exist, right before the message loop starts (tests and
// diagnostics look at the windows here). Empty by default.
void SetViewerStartedHook(std::function<void(const Forms&)> hook);

// A message sink for the command-line branches: a message box when stdout is not a terminal
// and a display is available (DISPLAY or WAYLAND_DISPLAY set, or QT_QPA_PLATFORM naming a
// visible platform), otherwise an empty function (the text then goes only to stdout/stderr).
// KESTRUNE_NO_MESSAGE_BOX set in the environment always gives the empty function.
MessageSink DesktopMessageSink();

// The rule of DesktopMessageSink as a pure function of its inputs.
bool WantsMessageBox(bool stdoutIsTerminal, const char* display, const char* waylandDisplay,
                     const char* qpaPlatform, const char* noMessageBox);

}  // namespace kes
