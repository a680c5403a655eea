// Where the program keeps its files (dictionaries and indexes, setup.ini, empty.html,
// readme.html, unihan.txt, unihan.idc, userdict.txt, convertlog.txt): the program folder.
//
// Contract:
// - KESTRUNE_HOME, when set and not empty, names the folder; a relative one is taken from the
//   working folder at the start and made absolute.
// - Otherwise the executable's folder, when it holds empty.html (the build tree, a portable
//   copy).
// - Otherwise (an installed program) the user folder: $XDG_DATA_HOME/kestrune when
//   XDG_DATA_HOME is an absolute path, else $HOME/.local/share/kestrune. It is created when
//   missing and seeded from the installed data folder, <executable folder>/ + the relative
//   path of the data folder from the binary folder chosen at build time (../share/kestrune
//   with the usual layout), so an install under any prefix or DESTDIR finds its data.
// - Seeding copies empty.html, readme.html, unihan.txt, unihan.idc and every dictionary
//   (NAME.ced with NAME.idx) that the user folder lacks, keeping each file's last-write time so
//   that the indexes stay valid for their data files. Each file is written under a temporary
//   name and renamed into place only when complete, so a start killed while seeding leaves
//   whole files only, and the next start completes the seeding. A file of the user folder is
//   never overwritten: a dictionary is copied only when the user folder has neither of its
//   files, and an index alone only when the user folder's data file is the installed one
//   (same size and time), which is what an interrupted seed leaves. So dictionaries that a
//   newer package adds arrive at the next start, while a shipped dictionary that the user
//   replaced or re-imported stays theirs. Nothing is ever written into the installed folder.
#pragma once

#include <string>

#include "base/result.h"

namespace kes {

enum class ProgramFolderKind {
    Environment,  // KESTRUNE_HOME
    Portable,     // the executable's folder (it holds empty.html)
    User,         // the user folder, seeded from the installed data folder
};

struct ProgramFolderChoice {
    ProgramFolderKind kind = ProgramFolderKind::Portable;
    std::string folder;
    std::string installedData;  // User: the installed data folder it is seeded from
};

// The installed data folder of an executable in `executableFolder`.
std::string InstalledDataFolder(const std::string& executableFolder);

// The rules above, with the environment passed in (null or empty = unset). Decides only;
// nothing is created. `folder` is empty when the user folder cannot be named (neither
// XDG_DATA_HOME nor HOME usable).
ProgramFolderChoice ChooseProgramFolder(const std::string& executableFolder,
                                        const char* kestruneHome, const char* xdgDataHome,
                                        const char* home);

// Creates `userFolder` (and its parents) when missing and copies what it lacks from
// `dataFolder` as described above. ok when the folder exists afterwards and every copy that
// was due succeeded; the message then says what was copied ("" when nothing). On failure the
// message names the file and the reason; files copied before stay (they are whole).
Outcome SeedUserFolder(const std::string& userFolder, const std::string& dataFolder);

}  // namespace kes
