// The command line: the program folder, the argument rules of the entry point, and the
// headless commands. Qt-free; the viewer branch hands over to the viewer executable.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/programfolder.h"

namespace kes {

// The program folder of this process (see app/programfolder.h) from KESTRUNE_HOME,
// XDG_DATA_HOME and HOME (the account's home folder when HOME is unset). Decides only.
ProgramFolderChoice ChooseThisProgramFolder(const std::string& executableFolder);

// How a command's closing message reaches the user besides stdout/stderr (a message box of
// the viewer executable when stdout is not a terminal and a display exists).
using MessageSink = std::function<void(const std::string& text)>;

struct CommandContext {
    std::string programFolder;
    MessageSink showMessage;  // may be empty
};

// The progress line of a long command on stderr, when `enabled` (stderr is a terminal):
// " Creating index file... N%", cleared before other output.
class ProgressLine {
  public:
    explicit ProgressLine(bool enabled) : enabled_(enabled) {}
    void Show(int percent);
    void Clear();

  private:
    bool enabled_;
    bool shown_ = false;
    int last_ = -1;
};

// The arguments of a command that takes one file and options. "--" ends the options, "--help"
// or "-h" asks for the usage, "--name TEXT" or "--name=TEXT" gives the name; every other option
// goes to `flag`, which returns false for one it does not know.
struct FileCommandArgs {
    std::string file;
    std::optional<std::string> name;
    bool help = false;
};
// Returns an error text, empty when the arguments are sound. `tooMany` begins the error for a
// second file (the file follows it); `missing` is the error when no file is given (and no
// help asked for).
std::string ParseFileCommandArgs(const std::vector<std::string>& args,
                                 const std::function<bool(const std::string& option)>& flag,
                                 const std::string& tooMany, const std::string& missing,
                                 FileCommandArgs& out);

// Writes `bytes` to a command's standard output `out`, or flushes it; a write that fails (a
// full disk behind a redirect, a closed pipe) throws IoError naming "standard output" with
// the system's reason.
void WriteOutput(std::ostream& out, std::string_view bytes);
void FlushOutput(std::ostream& out);

// Writes `text` and a line feed to stderr and flushes it.
void PrintLine(const std::string& text);

// "--help" text listing the commands, and the program folder in use.
std::string UsageText(const ProgramFolderChoice& folder);

}  // namespace kes
