// The commands that talk to the running viewer: "show" and "popup", and the start without a
// command, which shows a running viewer instead of starting a second one.
#pragma once

#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/instance.h"

namespace kes {

// The request of "show" or "popup" with the words after the command: the query is the words
// joined by single spaces; "popup -" reads it from `in` instead (at most
// kMaxInstanceQueryBytes; a longer text is cut at a character boundary); "popup --screen" is
// the request to look up text on screen.
InstanceMessage InstanceRequestOf(InstanceCommand command, const std::vector<std::string>& words,
                                  std::istream& in);

// Starts the viewer with a first request (normally replaces this process); returns the exit
// code when it returns at all.
using ViewerStarter = std::function<int(const std::optional<InstanceMessage>& start)>;

// Hands `request` to the viewer of this user at `socketPath`: 0 when it took it; when no viewer
// runs (or the socket's place is unusable: `pathError`, written to `err` as a warning), what
// `startViewer` returns for the request; 1 after writing why to `err` when a viewer was reached
// but did not take it. `startWith` is the request passed to a started viewer.
int ReachViewer(const std::string& socketPath, const std::string& pathError,
                const InstanceMessage& request, const std::optional<InstanceMessage>& startWith,
                const ViewerStarter& startViewer, std::ostream& err);

}  // namespace kes
