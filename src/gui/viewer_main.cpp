// The viewer executable. The program entry (kestrune) starts it in its own place for the
// viewer, with the program folder it has resolved, or for one message box of a command.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "app/viewerargs.h"
#include "gui/viewer.h"
#include "tools/autostart.h"

namespace {

// The session passed on in `fd` (read whole, then closed); nothing when it cannot be read.
std::optional<kes::ViewerSession> ReadSession(int fd) {
    std::string bytes;
    char buf[65536];
    ::lseek(fd, 0, SEEK_SET);
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            bytes.append(buf, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(fd);
    std::string error;
    std::optional<kes::ViewerSession> session = kes::DecodeViewerSession(bytes, error);
    if (!session) std::cerr << "Kestrune: the window's state was not taken over: " << error << "\n";
    return session;
}

// Every descriptor from 3 up is closed when the process image is replaced, except `keep`.
void CloseOnExecExcept(const std::vector<int>& keep) {
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        const int own = ::dirfd(dir);
        while (const dirent* e = ::readdir(dir)) {
            const int fd = std::atoi(e->d_name);
            if (fd >= 3 && fd != own) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
        ::closedir(dir);
    }
    for (int fd : keep)
        if (fd >= 0) ::fcntl(fd, F_SETFD, 0);
}

// Replaces this process with a fresh viewer for the same program folder and entry that takes
// over `session`, the lock and the socket. Returns only on failure.
bool RestartViewer(const kes::ViewerRequest& request, const kes::ViewerSession& session, int lockFd,
                   int listenFd) {
    const int fd = ::memfd_create("kestrune-session", 0);
    if (fd < 0) {
        std::cerr << "Kestrune: cannot pass the window's state on: " << std::strerror(errno)
                  << "\n";
        return false;
    }
    const std::string bytes = kes::EncodeViewerSession(session);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            std::cerr << "Kestrune: cannot pass the window's state on: " << std::strerror(errno)
                      << "\n";
            ::close(fd);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    const std::vector<std::string> args =
        kes::ViewerArguments(request.programFolder, request.entryPath, request.toolkitArgs,
                             std::nullopt, kes::ViewerResume{fd, lockFd, listenFd});
    // The same program name as at the start (ps and the desktop see the same process).
    std::vector<char*> argv{const_cast<char*>(request.programName.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    CloseOnExecExcept({fd, lockFd, listenFd});
    std::cout.flush();
    std::cerr.flush();
    ::execv("/proc/self/exe", argv.data());
    std::cerr << "Kestrune: cannot start the viewer afresh: " << std::strerror(errno) << "\n";
    ::close(fd);
    return false;
}

// A viewer started afresh inherits the helper processes of the engine it ended; they end as
// soon as they notice, and are waited for here so that none stays behind as a zombie.
void WaitForInheritedChildren() {
    std::ifstream in("/proc/self/task/" + std::to_string(::getpid()) + "/children");
    std::vector<pid_t> children;
    for (long pid = 0; in >> pid;)
        children.push_back(static_cast<pid_t>(pid));
    if (children.empty()) return;
    std::thread([children] {
        for (pid_t pid : children)
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
    }).detach();
}

}  // namespace

int main(int argc, char** argv) {
    kes::ViewerRequest request =
        kes::ParseViewerArguments(std::vector<std::string>(argv + 1, argv + argc));
    request.programName = argv[0] ? argv[0] : kes::kViewerExecutable;
    // The toolkit sees the program name and the arguments meant for it, nothing of ours.
    std::vector<char*> toolkitArgv{argv[0]};
    std::vector<std::string> toolkitArgs = request.toolkitArgs;
    for (std::string& a : toolkitArgs)
        toolkitArgv.push_back(a.data());
    toolkitArgv.push_back(nullptr);
    int toolkitArgc = static_cast<int>(toolkitArgv.size()) - 1;

    switch (request.mode) {
        case kes::ViewerMode::Viewer: {
            kes::ViewerContext ctx;
            ctx.programFolder = request.programFolder;
            ctx.start = request.start;
            const kes::InstancePath socket = kes::InstanceSocketPathOfThisUser();
            if (socket.path.empty())
                std::cerr << "Kestrune: " << socket.error
                          << "; this viewer takes no requests of kestrune show/popup.\n";
            ctx.instanceSocket = socket.path;
            if (request.resume) {
                WaitForInheritedChildren();
                ctx.resume = request.resume;
                ctx.resumeSession = ReadSession(request.resume->sessionFd);
            }
            ctx.restart = [&request](const kes::ViewerSession& session, int lockFd, int listenFd) {
                return RestartViewer(request, session, lockFd, listenFd);
            };
            // "Start with the desktop" starts the same entry with the same program folder.
            ctx.autostart.folder =
                kes::AutostartFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
            ctx.autostart.command = kes::AutostartCommand(request.entryPath, std::getenv("PATH"),
                                                          std::getenv("KESTRUNE_HOME"));
            return kes::RunViewer(toolkitArgc, toolkitArgv.data(), ctx);
        }
        case kes::ViewerMode::Message:
            return kes::ShowMessageBox(toolkitArgc, toolkitArgv.data(), request.message);
        case kes::ViewerMode::Invalid:
            break;
    }
    std::cerr << kes::kViewerExecutable
              << " is started by kestrune; run kestrune to start the viewer.\n";
    return 2;
}
