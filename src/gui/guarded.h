// The boundary of every user action in the windows: whatever an action throws (memory
// exhausted, an error nobody expected) ends that action, never the program.
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace kes {

// Runs `run`. When it throws, runs `cleanup` (clearing a status panel, a busy state), then
// shows the error box "ERROR: " + action + " failed!" with the reason on the next line.
// Throws nothing.
void RunGuardedAction(QWidget* window, const std::string& action, const std::function<void()>& run,
                      const std::function<void()>& cleanup = {});

}  // namespace kes
