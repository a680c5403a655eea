// The "import" command: a CEDICT file as downloaded (UTF-8, optionally gzip) becomes a
// dictionary of the program folder, data file and index.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace kes {

// kestrune import FILE [--name TEXT] [--replace]
// `args` are the words after "import". Writes <stem>.ced and <stem>.idx into
// ctx.programFolder (see ImportCedict); the report goes to `out`, failures and the builder's
// warnings to `err` (the progress too, when stderr is a terminal), and the closing text also
// to ctx.showMessage. Returns 0 when the dictionary was imported, 1 when not, 2 for a usage
// error.
int RunImportCommand(const std::vector<std::string>& args, const CommandContext& ctx,
                     std::ostream& out, std::ostream& err);

}  // namespace kes
