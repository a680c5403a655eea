// "Start with the desktop": a desktop entry in the user's autostart folder, which XDG desktops
// run after each log-in. The option is on exactly when that file exists.
#pragma once

#include <string>

#include "base/result.h"

namespace kes {

// The entry's file name in the autostart folder.
inline constexpr char kAutostartFileName[] = "kestrune.desktop";

// Where the option lives, and what the entry starts.
struct AutostartPlace {
    std::string folder;   // the autostart folder; "" when there is none (the option is off then)
    std::string command;  // the Exec value of the entry (AutostartCommand)
};

// The autostart folder: $XDG_CONFIG_HOME/autostart when that variable holds an absolute path,
// else $HOME/.config/autostart; "" when HOME is not an absolute path either. Null pointers
// count as unset variables.
std::string AutostartFolder(const char* xdgConfigHome, const char* home);

// One argument of an Exec value: as it is when it holds no reserved character, else in double
// quotes with '"', '`', '$' and '\' escaped by a backslash; '%' is doubled either way (field
// codes). The string escapes of the file (AutostartEntryText) come on top.
std::string QuoteExecArgument(const std::string& arg);

// The Exec value that starts this program again. `entryPath` is the absolute path of the
// running program entry; when the first "kestrune" found along `pathVariable` (the PATH) is that
// very file, the command is the bare name "kestrune", which survives updates and moves within
// the PATH; otherwise it is the path itself (an empty path also gives "kestrune"). A
// non-empty `kestruneHome` (the KESTRUNE_HOME in force) is passed on through env, so the
// program starts with the same folder.
std::string AutostartCommand(const std::string& entryPath, const char* pathVariable,
                             const char* kestruneHome);

// The whole entry file for the Exec value `command` (written with the string escapes of the
// desktop entry format: '\' as "\\", line feed as "\n", tab as "\t", carriage return as "\r").
std::string AutostartEntryText(const std::string& command);

// The entry's path in `folder`.
std::string AutostartFilePath(const std::string& folder);

// True when the entry file exists (a link to one counts). False for an empty folder.
bool AutostartEnabled(const std::string& folder);

// Turns the option on (writes the entry for place.command by a safe replacement, creating the
// folder and its parents when missing) or off (removes the entry; nothing to do when it is
// absent). On failure: ok false, message "Cannot write the autostart entry " or "Cannot remove
// the autostart entry " followed by the path, detail the system's reason; the file is then as
// it was.
Outcome SetAutostart(const AutostartPlace& place, bool on);

}  // namespace kes
