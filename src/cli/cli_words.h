// The "words" command: the user's word list (userdict.txt of the program folder) for scripts
// and for flashcards (tools/mywords.h).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace kes {

// kestrune words list [--json]
// kestrune words export FILE [--format anki|csv]
// "list" prints the records as stored, one per line, or one JSON array. "export" writes FILE
// (Anki's plain-text import by default, or CSV), whole or not at all; userdict.txt is only read.
// Damaged lines are listed and exported as they stand, each named on `err` with a count.
// Returns 0 on success, 1 when userdict.txt does not exist or cannot be read or FILE cannot be
// written, 2 for a usage error.
int RunWordsCommand(const std::vector<std::string>& args, const CommandContext& ctx,
                    std::ostream& out, std::ostream& err);

}  // namespace kes
