// The "write" command: recognizes a handwritten character given as strokes.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace kes {

// kestrune write [--model FILE] FILE|-
// FILE (or standard input for "-") holds the strokes as JSON, [[[x,y],...],...], y pointing
// down, in any unit (the drawing is scaled by its own bounding box). Prints the candidates
// one per line, best first: the character, then a tab and its traditional forms (separated by
// spaces) when it has any. Candidates that no enabled dictionary of the program folder holds come last.
// --model reads another zinnia model instead of the one Debian installs. Returns 0 when
// candidates were printed, 1 when the model recognised nothing, 2 on an error (message on
// `err`: a usage error, an unreadable or malformed file, an empty drawing, too many strokes
// or points, a missing model with the package that installs it).
int RunWriteCommand(const std::vector<std::string>& args, const CommandContext& ctx,
                    std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace kes
