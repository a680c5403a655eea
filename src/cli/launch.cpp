#include "cli/launch.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/viewerargs.h"
#include "base/filesystem.h"
#include "base/paths.h"

extern char** environ;

namespace kes {

namespace {

bool Set(const char* v) {
    return v != nullptr && *v != '\0';
}

// A null-terminated argv over `args` (which must outlive it).
std::vector<char*> Argv(std::vector<std::string>& args) {
    std::vector<char*> v;
    for (std::string& a : args)
        v.push_back(a.data());
    v.push_back(nullptr);
    return v;
}

}  // namespace

std::string ExecutablePath() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    buf[n] = '\0';
    return buf;
}

std::string ExecutableFolder() {
    const std::string path = ExecutablePath();
    return path.empty() ? "." : DirName(path);
}

std::vector<std::string> ViewerCandidates(const std::string& executableFolder) {
    namespace fs = std::filesystem;
    const fs::path dir(executableFolder);
    return {(dir / kViewerExecutable).lexically_normal().string(),
            (dir / KESTRUNE_VIEWER_RELDIR / kViewerExecutable).lexically_normal().string()};
}

std::string FindViewer(const std::string& executableFolder) {
    for (const std::string& path : ViewerCandidates(executableFolder))
        if (IsExecutableFile(path)) return path;
    return {};
}

int ExecViewer(const std::string& executableFolder, const char* argv0,
               const std::vector<std::string>& entryArgs, const CommandContext& ctx,
               std::ostream& err, const std::optional<InstanceMessage>& start) {
    const std::string viewer = FindViewer(executableFolder);
    if (viewer.empty()) {
        const std::vector<std::string> tried = ViewerCandidates(executableFolder);
        err << "Cannot start the viewer: " << kViewerExecutable << " not found at " << tried[0]
            << " or " << tried[1] << '\n'
            << std::flush;
        return 1;
    }
    std::vector<std::string> args{argv0 != nullptr ? argv0 : viewer};
    for (std::string& a : ViewerArguments(ctx.programFolder, ExecutablePath(), entryArgs, start))
        args.push_back(std::move(a));
    std::vector<char*> argv = Argv(args);
    ::execv(viewer.c_str(), argv.data());
    err << "Cannot start the viewer: " << viewer << ": " << std::strerror(errno) << '\n'
        << std::flush;
    return 1;
}

bool WantsMessageBox(bool stdoutIsTerminal, const char* display, const char* waylandDisplay,
                     const char* qpaPlatform, const char* noMessageBox) {
    if (Set(noMessageBox) || stdoutIsTerminal) return false;
    if (Set(qpaPlatform)) {
        // Platforms that show nothing: a box there could never be closed.
        const std::string p(qpaPlatform);
        if (p.rfind("offscreen", 0) == 0 || p.rfind("minimal", 0) == 0) return false;
        return true;
    }
    return Set(display) || Set(waylandDisplay);
}

MessageSink ViewerMessageBox(const std::string& viewer) {
    if (viewer.empty()) return {};
    return [viewer](const std::string& text) {
        std::vector<std::string> args{viewer};
        for (std::string& a : MessageBoxArguments(text))
            args.push_back(std::move(a));
        std::vector<char*> argv = Argv(args);
        pid_t pid = 0;
        // The text has gone to stdout or stderr already; a box that cannot be shown is no
        // reason to fail the command.
        if (::posix_spawn(&pid, viewer.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
            return;
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    };
}

MessageSink DesktopMessageSink(const std::string& executableFolder) {
    if (!WantsMessageBox(::isatty(STDOUT_FILENO) != 0, std::getenv("DISPLAY"),
                         std::getenv("WAYLAND_DISPLAY"), std::getenv("QT_QPA_PLATFORM"),
                         std::getenv("KESTRUNE_NO_MESSAGE_BOX")))
        return {};
    return ViewerMessageBox(FindViewer(executableFolder));
}

}  // namespace kes
