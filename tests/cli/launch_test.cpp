// The program entry and the viewer executable: the viewer branch becomes the viewer in the same
// process with the program folder passed on, a missing viewer is named, the commands' message
// boxes come from the viewer executable, and no command loads the toolkit.
#include "cli/launch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/instance.h"
#include "app/viewerargs.h"
#include "base/paths.h"
#include "support/faults.h"
#include "support/program.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::MakeDict;
using test::NamesIn;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
namespace fs = std::filesystem;

TEST(MessageBoxRule, OnlyWithoutATerminalAndWithAVisibleDisplay) {
    // A terminal on stdout never gets a box.
    EXPECT_FALSE(WantsMessageBox(true, ":0", nullptr, nullptr, nullptr));
    EXPECT_TRUE(WantsMessageBox(false, ":0", nullptr, nullptr, nullptr));
    EXPECT_TRUE(WantsMessageBox(false, nullptr, "wayland-0", nullptr, nullptr));
    EXPECT_TRUE(WantsMessageBox(false, nullptr, nullptr, "xcb", nullptr));
    // No display at all, or one that nobody can see.
    EXPECT_FALSE(WantsMessageBox(false, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(WantsMessageBox(false, "", "", "", nullptr));
    EXPECT_FALSE(WantsMessageBox(false, ":0", nullptr, "offscreen", nullptr));
    EXPECT_FALSE(WantsMessageBox(false, ":0", nullptr, "minimal", nullptr));
    // The opt-out wins.
    EXPECT_FALSE(WantsMessageBox(false, ":0", nullptr, "xcb", "1"));
}

TEST(ViewerArgs, RoundTripAndRefusals) {
    ViewerRequest r = ParseViewerArguments(
        ViewerArguments("/a folder/x", "/opt/k/bin/kestrune", {"-platform", "xcb", "--message"}));
    EXPECT_EQ(r.mode, ViewerMode::Viewer);
    EXPECT_EQ(r.programFolder, "/a folder/x");
    EXPECT_EQ(r.entryPath, "/opt/k/bin/kestrune");
    EXPECT_EQ(r.toolkitArgs, (std::vector<std::string>{"-platform", "xcb", "--message"}));
    // Without the entry's path, and with "--entry" as the toolkit's own first argument.
    r = ParseViewerArguments(ViewerArguments("/f", "", {"--entry"}));
    EXPECT_EQ(r.mode, ViewerMode::Viewer);
    EXPECT_EQ(r.entryPath, "");
    EXPECT_EQ(r.toolkitArgs, std::vector<std::string>{"--entry"});

    EXPECT_FALSE(r.start);

    // A first request travels in front of the toolkit's arguments.
    r = ParseViewerArguments(ViewerArguments("/f", "/bin/k", {"--show", "x"},
                                             InstanceMessage{InstanceCommand::Popup, "学习"}));
    EXPECT_EQ(r.mode, ViewerMode::Viewer);
    ASSERT_TRUE(r.start);
    EXPECT_EQ(r.start->command, InstanceCommand::Popup);
    EXPECT_EQ(r.start->query, "学习");
    EXPECT_EQ(r.entryPath, "/bin/k");
    EXPECT_EQ(r.toolkitArgs, (std::vector<std::string>{"--show", "x"}));
    r = ParseViewerArguments(
        ViewerArguments("/f", "", {}, InstanceMessage{InstanceCommand::Show, ""}));
    ASSERT_TRUE(r.start);
    EXPECT_EQ(r.start->command, InstanceCommand::Show);
    EXPECT_EQ(r.start->query, "");
    EXPECT_TRUE(r.toolkitArgs.empty());
    r = ParseViewerArguments(
        ViewerArguments("/f", "", {"-x"}, InstanceMessage{InstanceCommand::Screen, ""}));
    ASSERT_TRUE(r.start);
    EXPECT_EQ(r.start->command, InstanceCommand::Screen);
    EXPECT_EQ(r.toolkitArgs, std::vector<std::string>{"-x"});

    // A viewer started afresh: the session, lock and socket descriptors, then the toolkit's.
    r = ParseViewerArguments(ViewerArguments("/f", "/bin/k", {"--resume", "1", "2", "3"},
                                             std::nullopt, ViewerResume{7, -1, 12}));
    EXPECT_EQ(r.mode, ViewerMode::Viewer);
    ASSERT_TRUE(r.resume);
    EXPECT_EQ(r.resume->sessionFd, 7);
    EXPECT_EQ(r.resume->lockFd, -1);
    EXPECT_EQ(r.resume->listenFd, 12);
    EXPECT_FALSE(r.start);
    EXPECT_EQ(r.toolkitArgs, (std::vector<std::string>{"--resume", "1", "2", "3"}));
    for (const auto& bad : std::vector<std::vector<std::string>>{{"-1", "3", "4"},
                                                                 {"x", "3", "4"},
                                                                 {"5", "3x", "4"},
                                                                 {"5", "3", ""},
                                                                 {"5", "3", "99999999999"}}) {
        std::vector<std::string> args{"--program-folder", "/f", "--resume"};
        args.insert(args.end(), bad.begin(), bad.end());
        EXPECT_EQ(ParseViewerArguments(args).mode, ViewerMode::Invalid)
            << ::testing::PrintToString(args);
    }

    r = ParseViewerArguments(MessageBoxArguments("Converted: 1 terms\nsecond line"));
    EXPECT_EQ(r.mode, ViewerMode::Message);
    EXPECT_EQ(r.message, "Converted: 1 terms\nsecond line");

    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"--program-folder"},
                                                                  {"--program-folder", ""},
                                                                  {"--message"},
                                                                  {"--message", "a", "b"},
                                                                  {"/some/folder"},
                                                                  {"--help", "x"}})
        EXPECT_EQ(ParseViewerArguments(args).mode, ViewerMode::Invalid)
            << ::testing::PrintToString(args);
}

using Outcome = test::ProgramRun;

// Runs `exe` with `args` in a changed environment (a value of nullptr removes the variable),
// its output into files of `io`. Spawn returns at once; Start waits for the end.
pid_t Spawn(const TempDir& io, const std::string& exe, const std::vector<std::string>& args,
            const test::EnvChanges& env) {
    return test::SpawnProgram(io, exe, args, {.env = env});
}
Outcome Start(const TempDir& io, const std::string& exe, const std::vector<std::string>& args,
              const test::EnvChanges& env) {
    return test::RunProgram(io, exe, args, {.env = env});
}

// A copy of the program entry in bin/ of a scratch folder, with a stand-in viewer that
// records its process id and arguments (one per line) in the scratch folder.
class EntryLaunch : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(root.file("bin"));
        fs::copy_file(KESTRUNE_BINARY, entry());
        WriteBytes(home.file("empty.html"), "<html><body></body></html>");
    }
    std::string entry() const { return root.file("bin/kestrune"); }
    void PutViewer(const std::string& path) {
        fs::create_directories(fs::path(path).parent_path());
        WriteBytes(path, "#!/bin/sh\necho $$ >'" + root.file("pid") +
                             "'\nprintf '%s\\n' \"$@\" >>'" + root.file("args") + "'\n");
        fs::permissions(path, fs::perms::owner_all);
    }
    // No display, no opt-out: each test states what it needs.
    std::map<std::string, const char*> Env(const char* display = nullptr,
                                           const char* noBox = nullptr) {
        return {{"KESTRUNE_HOME", home.path().c_str()},
                {"DISPLAY", display},
                {"WAYLAND_DISPLAY", nullptr},
                {"QT_QPA_PLATFORM", nullptr},
                {"KESTRUNE_NO_MESSAGE_BOX", noBox}};
    }
    TempDir root, home, io;
};

TEST_F(EntryLaunch, ViewerBranchBecomesTheViewerInTheSameProcess) {
    PutViewer(root.file("bin/kestrune-viewer"));
    // Also a viewer in the installed place: the one beside the entry comes first.
    PutViewer(ViewerCandidates(root.file("bin"))[1]);
    Outcome r = Start(io, entry(), {"-style", "fusion"}, Env());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadBytes(root.file("pid")), std::to_string(r.pid) + "\n");
    EXPECT_EQ(ReadBytes(root.file("args")),
              "--program-folder\n" + home.path() + "\n--entry\n" + entry() + "\n-style\nfusion\n");
}

// With no viewer running, "show" and "popup" start one with the request as its first.
TEST_F(EntryLaunch, ShowAndPopupStartTheViewerWithTheirRequest) {
    PutViewer(root.file("bin/kestrune-viewer"));
    Outcome r = Start(io, entry(), {"show", "中", "国"}, Env());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadBytes(root.file("pid")), std::to_string(r.pid) + "\n");
    EXPECT_EQ(ReadBytes(root.file("args")),
              "--program-folder\n" + home.path() + "\n--entry\n" + entry() + "\n--show\n中 国\n");
    fs::remove(root.file("args"));
    r = Start(io, entry(), {"popup", "-"}, Env());  // standard input is empty here
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadBytes(root.file("args")),
              "--program-folder\n" + home.path() + "\n--entry\n" + entry() + "\n--popup\n\n");
    fs::remove(root.file("args"));
    r = Start(io, entry(), {"popup", "--screen"}, Env());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadBytes(root.file("args")),
              "--program-folder\n" + home.path() + "\n--entry\n" + entry() + "\n--screen\n\n");
}

TEST_F(EntryLaunch, InstalledViewerIsFoundRelativeToTheEntry) {
    const std::string installed = ViewerCandidates(root.file("bin"))[1];
    EXPECT_EQ(fs::path(installed).filename(), "kestrune-viewer");
    EXPECT_NE(fs::path(installed).parent_path(), fs::path(root.file("bin")));
    PutViewer(installed);
    Outcome r = Start(io, entry(), {}, Env());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadBytes(root.file("args")),
              "--program-folder\n" + home.path() + "\n--entry\n" + entry() + "\n");
}

TEST_F(EntryLaunch, MissingViewerIsNamed) {
    const std::vector<std::string> tried = ViewerCandidates(root.file("bin"));
    const std::string message = "Cannot start the viewer: kestrune-viewer not found at " +
                                tried[0] + " or " + tried[1] + "\n";
    Outcome r = Start(io, entry(), {}, Env());
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, message);

    // A file that cannot be run, or a folder, is no viewer.
    WriteBytes(root.file("bin/kestrune-viewer"), "#!/bin/sh\n");
    fs::permissions(root.file("bin/kestrune-viewer"), fs::perms::owner_read);
    fs::create_directories(tried[1]);
    r = Start(io, entry(), {}, Env());
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, message);

    // Without empty.html the entry refuses before it looks for the viewer.
    fs::remove(home.file("empty.html"));
    r = Start(io, entry(), {}, Env());
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Unable to open file: empty.html\n");
}

TEST_F(EntryLaunch, CommandMessagesGoToTheViewersMessageBox) {
    PutViewer(root.file("bin/kestrune-viewer"));
    // stdout is a file here, not a terminal: with a display the box is shown, and the command
    // waits for it.
    Outcome r = Start(io, entry(), {"dsl", "missing.dsl"}, Env(":0"));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "File not found: missing.dsl\n");
    EXPECT_EQ(ReadBytes(root.file("args")), "--message\nFile not found: missing.dsl\n");
    EXPECT_NE(ReadBytes(root.file("pid")), std::to_string(r.pid) + "\n");

    fs::remove(root.file("args"));
    fs::remove(home.file("empty.html"));
    r = Start(io, entry(), {}, Env(":0"));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(ReadBytes(root.file("args")), "--message\nUnable to open file: empty.html\n");

    // No box with the opt-out or without a display.
    fs::remove(root.file("args"));
    r = Start(io, entry(), {"dsl", "missing.dsl"}, Env(":0", "1"));
    EXPECT_EQ(r.code, 1);
    r = Start(io, entry(), {"dsl", "missing.dsl"}, Env());
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(fs::exists(root.file("args")));
}

TEST_F(EntryLaunch, CommandsWithoutAViewerStillWork) {
    Outcome r = Start(io, entry(), {"dsl", "missing.dsl"}, Env(":0"));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "File not found: missing.dsl\n");
    r = Start(io, entry(), {"--help"}, Env(":0"));
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, UsageText({ProgramFolderKind::Environment, home.path(), ""}));
}

// An installed layout (bin/kestrune, share/kestrune/) started with an empty home and no
// KESTRUNE_HOME: the user folder is created and seeded at the first command, its dictionary is
// found, nothing is written under the install prefix, and the next start reuses the folder.
TEST_F(EntryLaunch, InstalledEntryUsesTheSeededUserFolder) {
    const std::string data = root.file("share/kestrune");
    fs::create_directories(data);
    WriteBytes(JoinPath(data, "empty.html"), "<html><body></body></html>");
    WriteBytes(JoinPath(data, "readme.html"), "<p>About</p>");
    MakeDict(data, "cedict", "CC-CEDICT", {"中國 中国 [Zhong1 guo2] /China/"},
             IndexBuildOptions{true, true});
    fs::permissions(data, fs::perms::owner_read | fs::perms::owner_exec);
    const auto installed = NamesIn(root.path());
    const std::map<std::string, const char*> env{{"KESTRUNE_HOME", nullptr},
                                                 {"XDG_DATA_HOME", nullptr},
                                                 {"HOME", io.path().c_str()},
                                                 {"DISPLAY", nullptr},
                                                 {"WAYLAND_DISPLAY", nullptr}};
    const std::string user = io.file(".local/share/kestrune");

    // --help names the folder without creating it.
    Outcome r = Start(io, entry(), {"--help"}, env);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, UsageText({ProgramFolderKind::User, user, data}));
    EXPECT_NE(
        r.out.find("Program folder: " + user + " (the user folder, seeded from " + data + ")\n"),
        std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(user));

    for (int run = 0; run < 2; ++run) {
        r = Start(io, entry(), {"lookup", "中国"}, env);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_NE(r.out.find("中國 [中国]"), std::string::npos) << r.out;
        EXPECT_EQ(NamesIn(user), (std::vector<std::string>{"cedict.ced", "cedict.idx", "empty.html",
                                                           "readme.html"}));
    }
    fs::permissions(data, fs::perms::owner_all);
    EXPECT_EQ(NamesIn(root.path()), installed);
    EXPECT_EQ(NamesIn(data),
              (std::vector<std::string>{"cedict.ced", "cedict.idx", "empty.html", "readme.html"}));
}

// Every command and argument error of the shipped entry, with the dynamic loader listing what
// it loads: no toolkit library. (A message box is another process, the viewer's.)
TEST(EntryLibraries, CommandsLoadNoToolkit) {
    TempDir home, io;
    WriteBytes(home.file("u.txt"), "");
    WriteBytes(home.file("unihan.txt"), "U+4E00\tkDefinition\tone\n");
    // Each run with the exit code it must end with.
    const std::vector<std::pair<std::vector<std::string>, int>> runs{
        {{"--help"}, 0},
        {{"lookup", "中国"}, 1},  // nothing found: no dictionary here
        {{"lookup", "--no-such-flag"}, 2},
        {{"index"}, 2},
        {{"index", home.file("x.ced")}, 1},
        {{"dsl", home.file("x.dsl")}, 1},
        {{"unihan"}, 2},
        {{"unihan", home.file("u.txt")}, 1},  // no Unihan line: refused
        {{"unihan", home.file("unihan.txt")}, 0},
        {{"write", home.file("u.txt")}, 2},  // not strokes
        {{"write", std::string(KESTRUNE_SOURCE_DIR) + "/tests/data/hand/xue.json"}, 0},
        // "show", "popup" and the start without a command talk to a running viewer (here a
        // stand-in that takes every request).
        {{"show", "中国"}, 0},
        {{"popup", "学习"}, 0},
        {{}, 0}};
    InstanceListener viewer(io.file("kestrune.sock"));
    ASSERT_EQ(viewer.status(), InstanceListener::Status::Listening);
    test::StandInViewer server(viewer.listenFd(), {true, ""});
    for (const auto& [args, code] : runs) {
        Outcome r = Start(io, KESTRUNE_BINARY, args,
                          {{"KESTRUNE_HOME", home.path().c_str()},
                           {"LD_DEBUG", "libs"},
                           {"KESTRUNE_NO_MESSAGE_BOX", "1"}});
        const std::string what = ::testing::PrintToString(args);
        // The loader did report (the check below would pass vacuously otherwise).
        EXPECT_NE(r.err.find("libc.so"), std::string::npos) << what;
        EXPECT_EQ(r.err.find("libQt"), std::string::npos) << what << "\n" << r.err;
        EXPECT_EQ(r.code, code) << what;
    }
    EXPECT_EQ(server.served(), 3);
}

#ifdef KESTRUNE_VIEWER_BINARY
// The shipped pair: the entry starts the real viewer, which uses the folder it was given.
TEST(EntryLibraries, ViewerRunsThroughTheEntry) {
    TempDir home, io;
    WriteBytes(home.file("empty.html"), ReadBytes(KESTRUNE_SOURCE_DIR "/data/empty.html"));
    Outcome r = Start(io, KESTRUNE_BINARY, {},
                      {{"KESTRUNE_HOME", home.path().c_str()},
                       {"KESTRUNE_EXIT_WHEN_IDLE", "1"},
                       {"QT_QPA_PLATFORM", "offscreen"},
                       {"QTWEBENGINE_DISABLE_SANDBOX", "1"},
                       {"QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu"}});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("Kestrune: first page shown"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(home.file("setup.ini")));

    // Started by hand, the viewer says how it is meant to be started.
    r = Start(io, KESTRUNE_VIEWER_BINARY, {}, {});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "kestrune-viewer is started by kestrune; run kestrune to start the viewer.\n");
}

// Two starts at once end with one viewer: one takes the socket, the other hands "show" to it
// and ends; later commands reach the one that runs, and after it is killed the socket file it
// left behind is taken over by the next viewer.
TEST(EntryLibraries, TwoStartsAtOnceLeaveOneViewer) {
    TempDir home, io1, io2, io3, run;
    WriteBytes(home.file("empty.html"), ReadBytes(KESTRUNE_SOURCE_DIR "/data/empty.html"));
    std::map<std::string, const char*> env{{"KESTRUNE_HOME", home.path().c_str()},
                                           {"XDG_RUNTIME_DIR", run.path().c_str()},
                                           {"QT_QPA_PLATFORM", "offscreen"},
                                           {"QTWEBENGINE_DISABLE_SANDBOX", "1"},
                                           {"QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu"}};
    const pid_t first = Spawn(io1, KESTRUNE_BINARY, {}, env);
    const pid_t second = Spawn(io2, KESTRUNE_BINARY, {}, env);
    // One of them hands over and ends with 0; the other stays.
    pid_t ended = -1;
    int status = 0;
    for (int i = 0; i < 600 && ended <= 0; ++i) {
        ended = ::waitpid(-1, &status, WNOHANG);
        if (ended == 0) ::usleep(50 * 1000);
    }
    ASSERT_TRUE(ended == first || ended == second) << ended;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << ReadBytes((ended == first ? io1 : io2).file("stderr"));
    const pid_t viewer = ended == first ? second : first;
    // The one that stays takes the next command.
    Outcome show = Start(io3, KESTRUNE_BINARY, {"show", "中国"}, env);
    EXPECT_EQ(show.code, 0) << show.err;
    EXPECT_EQ(::waitpid(viewer, &status, WNOHANG), 0);  // still running

    ::kill(viewer, SIGKILL);
    ASSERT_EQ(::waitpid(viewer, &status, 0), viewer);
    EXPECT_TRUE(fs::exists(run.file("kestrune.sock")));
    env["KESTRUNE_EXIT_WHEN_IDLE"] = "1";
    Outcome next = Start(io3, KESTRUNE_BINARY, {}, env);
    EXPECT_EQ(next.code, 0) << next.err;
    EXPECT_NE(next.err.find("Kestrune: first page shown"), std::string::npos) << next.err;
    EXPECT_FALSE(fs::exists(run.file("kestrune.sock")));  // removed at its end
}
#endif

}  // namespace
}  // namespace kes
