// The "index" command: builds the index of a dictionary data file from the command line.
#pragma once

#include <string>
#include <vector>

#include "cli/cli.h"

namespace kes {

// kestrune index FILE.ced [--name TEXT] [--words|--no-words] [--pinyin|--no-pinyin]
// `args` are the words after "index". Builds FILE.idx beside the data file; the builder's
// messages go to stderr (UTF-8), the progress too when stderr is a terminal. Returns 0 when
// the index was created, 1 when the build did not create it, 2 for a usage error.
int RunIndexCommand(const std::vector<std::string>& args, const CommandContext& ctx);

}  // namespace kes
