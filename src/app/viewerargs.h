// The command line between the program entry (`kestrune`, which loads no toolkit) and the
// viewer executable (`kestrune-viewer`, which holds the windows). The entry resolves the
// program folder and passes it on; the viewer never works it out itself.
//
//   kestrune-viewer --program-folder DIR [--entry PATH] [--show QUERY|--popup QUERY|--screen ""]
//                   [ARG...]
//                                                   the viewer, with a first request to
//                                                   carry out once it runs (as `kestrune show`
//                                                   or `kestrune popup` asks a running one);
//                                                   PATH is the entry's own executable;
//                                                   ARG... go to the toolkit
//   kestrune-viewer --program-folder DIR [--entry PATH] --resume FD LOCK LISTEN [ARG...]
//                                                   the viewer starting itself afresh: FD
//                                                   holds the session to take over (see
//                                                   app/viewersession.h), LOCK and LISTEN are
//                                                   its viewer lock and socket (-1: none)
//   kestrune-viewer --message TEXT                  one message box with TEXT, then the end
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/instance.h"

namespace kes {

// The file name of the viewer executable.
inline constexpr char kViewerExecutable[] = "kestrune-viewer";

enum class ViewerMode {
    Viewer,   // run the viewer for ViewerRequest::programFolder
    Message,  // show ViewerRequest::message in a message box
    Invalid,  // anything else (for example the viewer started by hand)
};

// The open files a viewer passes on when it starts itself afresh.
struct ViewerResume {
    int sessionFd = -1;
    int lockFd = -1;    // the viewer's lock (app/instance.h), -1 when it had none
    int listenFd = -1;  // its listening socket, -1 when it had none
};

struct ViewerRequest {
    ViewerMode mode = ViewerMode::Invalid;
    std::string programFolder;             // Viewer
    std::string entryPath;                 // Viewer: the entry's executable ("" when not given)
    std::vector<std::string> toolkitArgs;  // Viewer: the entry's arguments, as given
    std::optional<InstanceMessage> start;  // Viewer: the first request, if any
    std::optional<ViewerResume> resume;    // Viewer: started afresh by a viewer
    std::string message;                   // Message
    std::string programName;               // argv[0], set by the caller (not parsed)
};

// The arguments (without the program name) that start the viewer for `programFolder`, with
// the entry's executable (`entryPath`, left out when empty), its own arguments passed on to
// the toolkit and `start` as the first request.
std::vector<std::string> ViewerArguments(const std::string& programFolder,
                                         const std::string& entryPath,
                                         const std::vector<std::string>& entryArgs,
                                         const std::optional<InstanceMessage>& start = {},
                                         const std::optional<ViewerResume>& resume = {});

// The arguments (without the program name) that show `text` in a message box.
std::vector<std::string> MessageBoxArguments(const std::string& text);

// Reads arguments made by ViewerArguments or MessageBoxArguments; an empty program folder, a
// missing value or an unknown first word give ViewerMode::Invalid.
ViewerRequest ParseViewerArguments(const std::vector<std::string>& args);

}  // namespace kes
