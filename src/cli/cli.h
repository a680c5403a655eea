// The command line: the program folder, the argument rules of the entry point, and the
// headless commands. Qt-free; the viewer branch hands over to the viewer executable.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kes {

// The folder of the executable, or the folder named by KESTRUNE_HOME when that is set.
std::string ProgramFolder();

// How a command's closing message reaches the user besides stdout/stderr (a message box of
// the viewer executable when stdout is not a terminal and a display exists).
using MessageSink = std::function<void(const std::string& text)>;

struct CommandContext {
    std::string programFolder;
    MessageSink showMessage;  // may be empty
};

// "--help" text listing the commands.
std::string UsageText();

}  // namespace kes
