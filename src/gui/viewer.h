// The viewer branch of the program: the windows, the tray icon and the message loop.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/instance.h"
#include "app/viewerargs.h"
#include "app/viewersession.h"
#include "gui/forms.h"
#include "tools/autostart.h"

namespace kes {

// What the viewer gets from the program entry.
struct ViewerContext {
    std::string programFolder;
    std::function<void(const std::string& text)> showMessage;  // may be empty: stderr then
    // The socket of this user's viewer (InstanceSocketPath); empty: the viewer neither
    // checks for another one nor takes requests.
    std::string instanceSocket;
    // A request to carry out once the windows exist (`kestrune show`/`popup` that found no
    // viewer running).
    std::optional<InstanceMessage> start;
    AutostartPlace autostart;  // "Start with the desktop": the folder and the command to write
    // Set when this viewer was started afresh by a viewer: its lock and socket (taken over
    // instead of taking the socket anew) and the session to show (absent when it could not be
    // read; the viewer then starts as usual).
    std::optional<ViewerResume> resume;
    std::optional<ViewerSession> resumeSession;
    // Starts the viewer afresh in this process, passing on the session, the lock and the
    // socket (-1: none); returns only when that failed (false, the reason on stderr). Empty:
    // the viewer never restarts.
    std::function<bool(const ViewerSession& session, int lockFd, int listenFd)> restart;
};

// Runs the dictionary viewer until "&Quit" or "Exit" (or, without a tray, closing the window).
// With ctx.instanceSocket, the viewer first takes the socket; when another viewer of this user
// owns it already, ctx.start (or "show") is handed to that viewer and RunViewer returns 0 at
// once (1, with the reason on stderr, when that viewer does not take it). While it runs, the
// viewer carries out the requests that arrive on the socket.
// A browser engine, once started, stays in its process with its helper processes. So when
// the hidden window has released its page view (ReleaseViewMinutes) after the engine was
// used, the viewer starts itself afresh through ctx.restart, handing over what the window
// shows, unless something else is open (another window, a dialog, a menu), a build is running,
// or clipboard or selection scanning is on (the popup then opens at once with the engine kept).
// setup.ini is written first; when that fails the viewer keeps running as it is.
// Refuses to start without empty.html in the program folder ("Unable to open file:
// empty.html" through ctx.showMessage or stderr; returns 1). Returns the exit code.
//
// With the environment variable KESTRUNE_EXIT_WHEN_IDLE set, the viewer ends as soon as the
// start-up is complete and the first page is shown (for start-up time measurements); with
// KESTRUNE_PAGE_TIMING set, it prints when the window is shown, when the page is painted after a
// show and when the page view is made or released (for the memory benchmark).
int RunViewer(int argc, char** argv, const ViewerContext& ctx);

// Called by RunViewer once all windows exist, right before the message loop starts (tests and
// diagnostics look at the windows here). Empty by default.
void SetViewerStartedHook(std::function<void(const Forms&)> hook);

// Shows `text` in a message box (the application's caption, one OK button) and returns 0 when it is
// closed; the commands of the program entry show their closing messages this way.
int ShowMessageBox(int argc, char** argv, const std::string& text);

}  // namespace kes
