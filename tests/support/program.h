// Test support: running a program as a user would from a shell, and a stand-in for a running
// viewer on the viewer's socket.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/instance.h"
#include "support/tempdir.h"

namespace kes::test {

// Changes to the environment of the test process: a value of nullptr removes the variable.
using EnvChanges = std::map<std::string, const char*>;

struct ProgramOptions {
    EnvChanges env{};
    std::string cwd{};         // the folder it runs in; empty: the test's own
    std::string input{};       // the bytes of its standard input
    std::string outputPath{};  // standard output goes there instead of being kept in `out`
    int timeoutSeconds = 60;   // then it is killed, and the run counts as a crash
};

// One run: the exit code, or -1 when the program did not exit by itself (a signal, a kill at
// the time-out); what it wrote to standard output and standard error.
struct ProgramRun {
    pid_t pid = -1;
    int code = -1;
    std::string out, err;
};

// Starts `exe` with `args` (argv[0] is `exe`), standard input, output and error through the
// files "stdin", "stdout" and "stderr" of `io`. The viewer's socket is looked for in `io`
// unless XDG_RUNTIME_DIR is among the changes: a viewer that the user (or another test) runs
// never takes the requests of a test. Returns at once; throws when no process starts.
pid_t SpawnProgram(const TempDir& io, const std::string& exe, const std::vector<std::string>& args,
                   const ProgramOptions& options = {});
// Waits for a program of SpawnProgram and collects its outcome from `io`.
ProgramRun WaitProgram(pid_t pid, const TempDir& io, int timeoutSeconds = 60);
// SpawnProgram, then WaitProgram.
ProgramRun RunProgram(const TempDir& io, const std::string& exe,
                      const std::vector<std::string>& args, const ProgramOptions& options = {});
// The same with a scratch `io` of its own.
ProgramRun RunProgram(const std::string& exe, const std::vector<std::string>& args,
                      const ProgramOptions& options = {});

// A server thread standing in for a running viewer on `listenFd` (the listening socket of an
// InstanceListener): each request is read whole, kept when it decodes, and answered with
// `reply`, until the object is destroyed.
class StandInViewer {
  public:
    StandInViewer(int listenFd, InstanceReply reply);
    ~StandInViewer();
    StandInViewer(const StandInViewer&) = delete;
    StandInViewer& operator=(const StandInViewer&) = delete;
    // The requests that decoded, in the order they came.
    std::vector<InstanceMessage> received() const;
    // The connections answered (also those whose request did not decode).
    int served() const { return served_; }

  private:
    void Serve(int listenFd, InstanceReply reply);
    std::atomic<bool> stop_{false};
    std::atomic<int> served_{0};
    mutable std::mutex mutex_;
    std::vector<InstanceMessage> received_;
    std::thread thread_;
};

}  // namespace kes::test
