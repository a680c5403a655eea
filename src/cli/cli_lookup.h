// The "lookup" command: searches the dictionaries of the program folder as the viewer
// would (registry order, section "Dicts", options of setup.ini) and prints the result.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace kes {

// kestrune lookup [--dict NAME.idx]... [--both|--no-both] [--translate-all] [--ucs2]
//                 [--unihan] [--html|--json] QUERY
// QUERY "-" reads the query from `in` (UTF-8); "--" ends the options. Flags override the
// settings for this run only; setup.ini is never written. Stale indexes found on the way
// are deleted and reported on `err`. With --html the page body is written exactly;
// otherwise plain text: per dictionary its description, then every entry as its headword
// and pinyin, one sense per line (indented by two spaces), notes and examples indented by
// four. With --json one JSON document (UTF-8) holding the same search: the query, the keys
// searched, and per dictionary with entries its name, file and pieces with their entries
// (see the README). Returns 0 when an entry was found, 1 when none was, 2 on an error (message on
// `err`).
int RunLookupCommand(const std::vector<std::string>& args, const CommandContext& ctx,
                     std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace kes
