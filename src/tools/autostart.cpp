#include "tools/autostart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/ioerror.h"
#include "base/paths.h"
#include "base/replacefile.h"

namespace kes {

namespace {

constexpr char kProgramName[] = "kestrune";

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

std::string EscapeString(const std::string& value) {
    std::string out;
    for (char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

std::string AutostartFolder(const char* xdgConfigHome, const char* home) {
    if (IsAbsolute(xdgConfigHome)) return JoinPath(xdgConfigHome, "autostart");
    if (IsAbsolute(home)) return JoinPath(JoinPath(home, ".config"), "autostart");
    return {};
}

std::string QuoteExecArgument(const std::string& arg) {
    static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    const bool quote = arg.empty() || arg.find_first_of(kReserved) != std::string::npos;
    std::string out;
    if (quote) out += '"';
    for (char c : arg) {
        if (c == '%') {
            out += "%%";
            continue;
        }
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
        out += c;
    }
    if (quote) out += '"';
    return out;
}

std::string AutostartCommand(const std::string& entryPath, const char* pathVariable,
                             const char* kestruneHome) {
    std::string program = kProgramName;
    if (!entryPath.empty()) {
        const std::string onPath = FindOnPath(kProgramName, pathVariable);
        if (onPath.empty() || !SameFileAs(onPath, entryPath))
            program = QuoteExecArgument(entryPath);
    }
    if (kestruneHome == nullptr || *kestruneHome == '\0') return program;
    return "env " + QuoteExecArgument(std::string("KESTRUNE_HOME=") + kestruneHome) + " " + program;
}

std::string AutostartEntryText(const std::string& command) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Kestrune\n"
           "GenericName=Chinese Dictionary\n"
           "Comment=Start the Kestrune dictionary in the tray after log-in\n"
           "Exec=" +
           EscapeString(command) +
           "\n"
           "Icon=org.kestrune.Kestrune\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::string AutostartFilePath(const std::string& folder) {
    return JoinPath(folder, kAutostartFileName);
}

bool AutostartEnabled(const std::string& folder) {
    return !folder.empty() && FileExists(AutostartFilePath(folder));
}

Outcome SetAutostart(const AutostartPlace& place, bool on) {
    Outcome r;
    const std::string path = AutostartFilePath(place.folder);
    if (place.folder.empty()) {
        r.message = std::string(on ? "Cannot write" : "Cannot remove") +
                    " the autostart entry: no autostart folder (HOME is not set)";
        return r;
    }
    if (!on) {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            r.message = "Cannot remove the autostart entry " + path;
            r.detail = path + ": " + std::strerror(errno);
            return r;
        }
        r.ok = true;
        return r;
    }
    try {
        std::error_code ec;
        std::filesystem::create_directories(place.folder, ec);
        if (ec) throw IoError(place.folder, ec.message());
        const std::string text = AutostartEntryText(place.command);
        ReplaceFileContents(path, [&text](ByteFile& f) { f.write(text.data(), text.size()); });
        r.ok = true;
    } catch (...) {
        r.message = "Cannot write the autostart entry " + path;
        r.detail = CurrentExceptionDetail();
    }
    return r;
}

}  // namespace kes
