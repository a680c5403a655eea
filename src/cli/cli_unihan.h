// The "unihan" command: builds unihan.idc in the program folder from the Unihan database text.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace kes {

// kestrune unihan FILE.txt
// `args` are the words after "unihan". The index is written to the program folder; the viewer
// reads FILE's lines from program folder + "unihan.txt", so FILE must be that file or a copy.
// Returns 0 when the index was created, 1 when the build failed, 2 for a usage error.
int RunUnihanCommand(const std::vector<std::string>& args, const CommandContext& ctx,
                     std::ostream& out, std::ostream& err);

}  // namespace kes
