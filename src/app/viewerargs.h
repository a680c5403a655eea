// The command line between the program entry (`kestrune`, which loads no toolkit) and the
// viewer executable (`kestrune-viewer`, which holds the windows). The entry resolves the
// program folder and passes it on; the viewer never works it out itself.
//
//   kestrune-viewer --program-folder DIR [--entry PATH] [--show QUERY|--popup QUERY] [ARG...]
//                                                   the viewer, with a first request to
//                                                   carry out once it runs (as `kestrune show`
//                                                   or `kestrune popup` asks a running one);
//                                                   PATH is the entry's own executable;
//                                                   ARG... go to the toolkit
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

struct ViewerRequest {
    ViewerMode mode = ViewerMode::Invalid;
    std::string programFolder;             // Viewer
    std::string entryPath;                 // Viewer: the entry's executable ("" when not given)
    std::vector<std::string> toolkitArgs;  // Viewer: the entry's arguments, as given
    std::optional<InstanceMessage> start;  // Viewer: the first request, if any
    std::string message;                   // Message
};

// The arguments (without the program name) that start the viewer for `programFolder`, with
// the entry's executable (`entryPath`, left out when empty), its own arguments passed on to
// the toolkit and `start` as the first request.
std::vector<std::string> ViewerArguments(const std::string& programFolder,
                                         const std::string& entryPath,
                                         const std::vector<std::string>& entryArgs,
                                         const std::optional<InstanceMessage>& start = {});

// The arguments (without the program name) that show `text` in a message box.
std::vector<std::string> MessageBoxArguments(const std::string& text);

// Reads arguments made by ViewerArguments or MessageBoxArguments; an empty program folder, a
// missing value or an unknown first word give ViewerMode::Invalid.
ViewerRequest ParseViewerArguments(const std::vector<std::string>& args);

}  // namespace kes
