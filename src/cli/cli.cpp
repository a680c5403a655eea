#include "cli/cli.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/ioerror.h"

namespace kes {

ProgramFolderChoice ChooseThisProgramFolder(const std::string& executableFolder) {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        if (const struct passwd* pw = ::getpwuid(::getuid()); pw != nullptr) home = pw->pw_dir;
    }
    return ChooseProgramFolder(executableFolder, std::getenv("KESTRUNE_HOME"),
                               std::getenv("XDG_DATA_HOME"), home);
}

void ProgressLine::Show(int percent) {
    if (!enabled_ || percent == last_) return;
    last_ = percent;
    std::fprintf(stderr, "\r Creating index file... %d%%", percent);
    std::fflush(stderr);
    shown_ = true;
}

void ProgressLine::Clear() {
    if (!shown_) return;
    std::fputs("\r                                \r", stderr);
    std::fflush(stderr);
    shown_ = false;
    last_ = -1;
}

void PrintLine(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

std::string UsageText(const ProgramFolderChoice& folder) {
    std::string where;
    switch (folder.kind) {
        case ProgramFolderKind::Environment:
            where = " (from KESTRUNE_HOME)";
            break;
        case ProgramFolderKind::Portable:
            where = " (the program's own folder: it holds empty.html)";
            break;
        case ProgramFolderKind::User:
            where = " (the user folder, seeded from " + folder.installedData + ")";
            break;
    }
    return "Usage:\n"
           "  kestrune                 start the dictionary viewer (or show the one running)\n"
           "  kestrune show [QUERY]    show the running viewer's window (starting the viewer\n"
           "                           when none runs); with QUERY, search it\n"
           "  kestrune popup [QUERY|-] show the popup for QUERY (- reads the text from standard\n"
           "                           input; none: the selection or the clipboard)\n"
           "  kestrune popup --screen  look up text on screen: pick a region; the popup shows\n"
           "                           the Chinese text read in it\n"
           "  kestrune dsl FILE        convert a DSL dictionary source (UTF-16LE) to FILE.ced\n"
           "  kestrune import FILE [--name TEXT] [--replace]\n"
           "                           add a CEDICT file (UTF-8, .u8 or .txt, may be gzip-\n"
           "                           compressed) to the program folder and index it\n"
           "  kestrune index FILE.ced [--name TEXT] [--words|--no-words] [--pinyin|--no-pinyin]\n"
           "                  [--min-word=3|4]\n"
           "                           build FILE.idx beside the data file\n"
           "  kestrune lookup [--dict NAME.idx]... [--both|--no-both] [--translate-all]\n"
           "                  [--best-first|--no-best-first] [--ucs2] [--unihan]\n"
           "                  [--pinyin=stored|marks|zhuyin]\n"
           "                  [--html|--json] QUERY\n"
           "                           search the dictionaries of the program folder (plain\n"
           "                           text, the page body with --html, or one JSON\n"
           "                           document with --json)\n"
           "  kestrune ocr FILE...     print the Chinese text found in each PNG or JPEG image (-\n"
           "                           reads one from standard input; several: FILE, TAB, text)\n"
           "  kestrune say [--wav FILE] TEXT\n"
           "                           speak pinyin (zhong1 guo2) or a headword through espeak-ng;\n"
           "                           --wav writes the audio to FILE instead\n"
           "  kestrune unihan FILE.txt build unihan.idc in the program folder from the Unihan\n"
           "                           database text (FILE must be the folder's unihan.txt)\n"
           "  kestrune words list [--json]\n"
           "                           print my words (userdict.txt): as stored, or as JSON\n"
           "  kestrune words export FILE [--format anki|csv]\n"
           "                           write my words as flashcards: Anki's text import or CSV\n"
           "  kestrune write FILE|-    recognize a handwritten character drawn as strokes (JSON\n"
           "                           [[[x,y],...],...]; - reads standard input): the\n"
           "                           candidates, best first, with their traditional forms\n"
           "  kestrune --help          show this text\n"
           "\n"
           "Program folder: " +
           (folder.folder.empty() ? std::string("none (set HOME or KESTRUNE_HOME)")
                                  : folder.folder + where) +
           "\n"
           "It is KESTRUNE_HOME when set; else the program's own folder when it holds\n"
           "empty.html; else $XDG_DATA_HOME/kestrune (~/.local/share/kestrune).\n"
           "One viewer runs per user; the commands reach it through the socket kestrune.sock in\n"
           "XDG_RUNTIME_DIR (or in /tmp/kestrune-UID when that is not set).\n";
}

std::string ParseFileCommandArgs(const std::vector<std::string>& args,
                                 const std::function<bool(const std::string& option)>& flag,
                                 const std::string& tooMany, const std::string& missing,
                                 FileCommandArgs& out) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            if (a == "--") {
                optionsEnded = true;
            } else if (a == "--help" || a == "-h") {
                out.help = true;
            } else if (a == "--name") {
                if (i + 1 >= args.size()) return "Option --name needs a text";
                out.name = args[++i];
            } else if (a.rfind("--name=", 0) == 0) {
                out.name = a.substr(7);
            } else if (!flag(a)) {
                return "Unknown option: " + a;
            }
            continue;
        }
        if (!out.file.empty()) return tooMany + a;
        out.file = a;
    }
    if (out.help || !out.file.empty()) return {};
    return missing;
}

namespace {

[[noreturn]] void OutputFailed() {
    throw IoError("standard output", errno != 0 ? std::strerror(errno) : "write failed");
}

}  // namespace

void WriteOutput(std::ostream& out, std::string_view bytes) {
    errno = 0;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) OutputFailed();
}

void FlushOutput(std::ostream& out) {
    errno = 0;
    out.flush();
    if (!out) OutputFailed();
}

}  // namespace kes
