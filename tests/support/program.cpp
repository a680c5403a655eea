#include "support/program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

extern char** environ;

namespace kes::test {

pid_t SpawnProgram(const TempDir& io, const std::string& exe, const std::vector<std::string>& args,
                   const ProgramOptions& options) {
    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        if (options.env.count(entry.substr(0, entry.find('='))) == 0) envStrings.push_back(entry);
    }
    for (const auto& [name, value] : options.env)
        if (value != nullptr) envStrings.push_back(name + "=" + value);
    if (options.env.count("XDG_RUNTIME_DIR") == 0)
        envStrings.push_back("XDG_RUNTIME_DIR=" + io.path());
    std::vector<std::string> argStrings{exe};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (std::string& a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : envStrings)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    const std::string inPath = io.file("stdin");
    WriteBytes(inPath, options.input);
    const std::string outPath = options.outputPath.empty() ? io.file("stdout") : options.outputPath;
    const std::string errPath = io.file("stderr");
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed for " + exe);
    if (pid == 0) {
        // Only calls that are safe between fork and exec.
        const int in = ::open(inPath.c_str(), O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
            ::dup2(err, 2) < 0)
            ::_exit(126);
        if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
        ::execve(exe.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

ProgramRun WaitProgram(pid_t pid, const TempDir& io, int timeoutSeconds) {
    ProgramRun r;
    r.pid = pid;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int status = 0;
    pid_t ended = 0;
    while ((ended = ::waitpid(pid, &status, WNOHANG)) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ended = ::waitpid(pid, &status, 0);
            break;
        }
        ::usleep(2000);
    }
    if (ended == pid && WIFEXITED(status)) r.code = WEXITSTATUS(status);
    r.out = ReadBytes(io.file("stdout"));
    r.err = ReadBytes(io.file("stderr"));
    return r;
}

ProgramRun RunProgram(const TempDir& io, const std::string& exe,
                      const std::vector<std::string>& args, const ProgramOptions& options) {
    return WaitProgram(SpawnProgram(io, exe, args, options), io, options.timeoutSeconds);
}

ProgramRun RunProgram(const std::string& exe, const std::vector<std::string>& args,
                      const ProgramOptions& options) {
    TempDir io;
    return RunProgram(io, exe, args, options);
}

StandInViewer::StandInViewer(int listenFd, InstanceReply reply)
    : thread_([this, listenFd, reply] { Serve(listenFd, reply); }) {}

StandInViewer::~StandInViewer() {
    stop_ = true;
    thread_.join();
}

std::vector<InstanceMessage> StandInViewer::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

void StandInViewer::Serve(int listenFd, InstanceReply reply) {
    while (!stop_) {
        // The listening socket does not block: poll it until stopped.
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            ::usleep(5000);
            continue;
        }
        InstanceFrameReader reader;
        char buf[4096];
        while (reader.state() == InstanceFrameReader::State::NeedMore) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            reader.feed(buf, static_cast<std::size_t>(n));
        }
        std::string error;
        if (reader.state() == InstanceFrameReader::State::Complete) {
            if (auto m = DecodeInstanceMessage(reader.payload(), error)) {
                std::lock_guard<std::mutex> lock(mutex_);
                received_.push_back(*m);
            }
        }
        WriteInstanceReply(fd, reply);
        ::close(fd);
        ++served_;
    }
}

}  // namespace kes::test
