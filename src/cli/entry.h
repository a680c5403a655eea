// The argument rules of the program entry and its command-line branches (Qt-free).
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace kes {

enum class EntryBranch {
    Viewer,   // no arguments, an empty first word, or toolkit options ("-platform", ...)
    Convert,  // "dsl" + a non-empty source path
    Index,    // "index" + its arguments
    Lookup,   // "lookup" + its arguments
    Unihan,   // "unihan" + its arguments
    Show,     // "show" + the query words (to the running viewer)
    Popup,    // "popup" + the query words or "-" (to the running viewer)
    Import,   // "import" + its arguments
    Write,    // "write" + its arguments
    Ocr,      // "ocr" + its arguments
    Say,      // "say" + its arguments
    Words,    // "words" + its arguments
    Help,     // "--help" or "-h"
    Unknown,  // a first word that is neither a command nor a toolkit option ("-..." or "")
};

struct EntryDecision {
    EntryBranch branch = EntryBranch::Viewer;
    std::string path;  // Convert: the source path, trimmed, letter case kept
    std::string word;  // Unknown: the first argument as given
    // Index, Lookup, Unihan, Import, Write, Ocr, Say, Words, Show, Popup: the arguments after the command word
    std::vector<std::string> args;
};

// The command word is the first argument trimmed (code units up to U+0020) and lowercased.
// "dsl" converts only with a non-empty second argument; "dsl" alone, an empty path, no
// argument, an empty first word and a first word that begins with "-" (the toolkit's own
// options, which the viewer takes) start the viewer. Arguments after the path are ignored.
// Any other first word is an unknown command.
EntryDecision DecideEntry(const std::vector<std::string>& args);

// The answer to an unknown command word: "Unknown command: " + word, then the usage
// (`usage`), on `err`. Returns the exit code of a usage error, 2.
int RunUnknownCommand(const std::string& word, const std::string& usage, std::ostream& err);

// The "dsl" branch: "File not found: " + path when the file does not exist, else the
// conversion. The closing text goes to `out`, failures to `err`, and both also to
// ctx.showMessage when set. Returns the exit code: 0 on success, 1 on any failure.
int RunDslCommand(const std::string& path, const CommandContext& ctx, std::ostream& out,
                  std::ostream& err);

// Runs a command and gives its exit code. Anything it throws (memory exhausted, a file error
// it did not expect) ends it with "ERROR: " + action + " failed: " + the reason on `err`
// (and on ctx.showMessage) and exit code 2, never with an abort.
int RunCommandGuarded(const std::string& action, const CommandContext& ctx, std::ostream& err,
                      const std::function<int()>& run);

// The viewer's precondition: empty.html in the program folder. On failure writes
// "Unable to open file: empty.html" to `err` (and to ctx.showMessage) and returns false.
bool CheckViewerFiles(const CommandContext& ctx, std::ostream& err);

}  // namespace kes
