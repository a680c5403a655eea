#include "cli/cli.h"

#include <cstdlib>

#include "cli/launch.h"

namespace kes {

std::string ProgramFolder() {
    if (const char* home = std::getenv("KESTRUNE_HOME"); home != nullptr && *home != '\0')
        return home;
    return ExecutableFolder();
}

std::string UsageText() {
    return "Usage:\n"
           "  kestrune                 start the dictionary viewer (or show the one running)\n"
           "  kestrune show [QUERY]    show the running viewer's window (starting the viewer\n"
           "                           when none runs); with QUERY, search it\n"
           "  kestrune popup [QUERY|-] show the popup for QUERY (- reads the text from standard\n"
           "                           input; none: the selection or the clipboard)\n"
           "  kestrune dsl FILE        convert a DSL dictionary source (UTF-16LE) to FILE.ced\n"
           "  kestrune index FILE.ced [--name TEXT] [--words|--no-words] [--pinyin|--no-pinyin]\n"
           "                           build FILE.idx beside the data file\n"
           "  kestrune lookup [--dict NAME.idx]... [--both|--no-both] [--translate-all]\n"
           "                  [--ucs2] [--unihan] [--html|--json] QUERY\n"
           "                           search the dictionaries of the program folder (plain\n"
           "                           text, the page body with --html, or one JSON\n"
           "                           document with --json)\n"
           "  kestrune unihan FILE.txt build unihan.idc in the program folder from the Unihan\n"
           "                           database text (FILE must be the folder's unihan.txt)\n"
           "  kestrune --help          show this text\n"
           "\n"
           "The program folder is the folder of the executable, or KESTRUNE_HOME when set.\n"
           "One viewer runs per user; the commands reach it through the socket kestrune.sock in\n"
           "XDG_RUNTIME_DIR (or in /tmp/kestrune-UID when that is not set).\n";
}

}  // namespace kes
