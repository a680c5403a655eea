#include "tools/autostart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/filesystem.h"
#include "support/faults.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::FileSizeLimit;
using test::NamesIn;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

namespace fs = std::filesystem;

std::string Entry(const std::string& exec) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Kestrune\n"
           "GenericName=Chinese Dictionary\n"
           "Comment=Start the Kestrune dictionary in the tray after log-in\n"
           "Exec=" +
           exec +
           "\n"
           "Icon=org.kestrune.Kestrune\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

// An executable file named kestrune in `folder` (created).
std::string Program(const std::string& folder) {
    fs::create_directories(folder);
    const std::string path = folder + "/kestrune";
    WriteBytes(path, "#!/bin/sh\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

TEST(AutostartTest, FolderFollowsXdgConfigHomeThenHome) {
    EXPECT_EQ(AutostartFolder("/cfg", "/home/u"), "/cfg/autostart");
    // Only an absolute XDG_CONFIG_HOME counts; the rest fall back to HOME.
    EXPECT_EQ(AutostartFolder("relative/cfg", "/home/u"), "/home/u/.config/autostart");
    EXPECT_EQ(AutostartFolder("", "/home/u"), "/home/u/.config/autostart");
    EXPECT_EQ(AutostartFolder(nullptr, "/home/u"), "/home/u/.config/autostart");
    EXPECT_EQ(AutostartFolder(nullptr, nullptr), "");
    EXPECT_EQ(AutostartFolder("", "home"), "");
}

TEST(AutostartTest, ExecArgumentsAreQuotedOnlyWhenNeeded) {
    EXPECT_EQ(QuoteExecArgument("/usr/bin/kestrune"), "/usr/bin/kestrune");
    EXPECT_EQ(QuoteExecArgument("/opt/my apps/kestrune"), "\"/opt/my apps/kestrune\"");
    EXPECT_EQ(QuoteExecArgument("/a/$x`y\"z\\w"), "\"/a/\\$x\\`y\\\"z\\\\w\"");
    EXPECT_EQ(QuoteExecArgument("/a/it's"), "\"/a/it's\"");
    EXPECT_EQ(QuoteExecArgument("/a/100%"), "/a/100%%");
    EXPECT_EQ(QuoteExecArgument(""), "\"\"");
}

TEST(AutostartTest, CommandIsTheBareNameOnlyWhenThePathFindsThisVeryProgram) {
    TempDir dir;
    const std::string mine = Program(dir.file("prefix/bin"));
    const std::string other = Program(dir.file("other/bin"));
    const std::string onPath = "relative/bin::" + dir.file("prefix/bin") + ":/nonexistent";
    EXPECT_EQ(AutostartCommand(mine, onPath.c_str(), nullptr), "kestrune");
    // Another kestrune comes first along the PATH: the path itself.
    const std::string shadowed = dir.file("other/bin") + ":" + dir.file("prefix/bin");
    EXPECT_EQ(AutostartCommand(mine, shadowed.c_str(), nullptr), mine);
    EXPECT_EQ(AutostartCommand(other, shadowed.c_str(), nullptr), "kestrune");
    // Not on the PATH at all, or no PATH.
    EXPECT_EQ(AutostartCommand(mine, "/usr/bin:/bin", nullptr), mine);
    EXPECT_EQ(AutostartCommand(mine, nullptr, nullptr), mine);
    // A link on the PATH to this program is this program.
    fs::create_directories(dir.file("links"));
    fs::create_symlink(mine, dir.file("links/kestrune"));
    EXPECT_EQ(AutostartCommand(mine, dir.file("links").c_str(), nullptr), "kestrune");
    // A file that cannot be executed is not a program on the PATH.
    ::chmod(other.c_str(), 0644);
    EXPECT_EQ(AutostartCommand(mine, shadowed.c_str(), nullptr), "kestrune");
    // Unknown path of the running program: the bare name.
    EXPECT_EQ(AutostartCommand("", "/usr/bin", nullptr), "kestrune");
}

TEST(AutostartTest, CommandQuotesItsPathAndKeepsTheProgramFolderSetByTheEnvironment) {
    TempDir dir;
    const std::string mine = Program(dir.file("my apps"));
    EXPECT_EQ(AutostartCommand(mine, "/usr/bin", nullptr), "\"" + mine + "\"");
    EXPECT_EQ(AutostartCommand(mine, "/usr/bin", ""), "\"" + mine + "\"");
    EXPECT_EQ(AutostartCommand(mine, dir.file("my apps").c_str(), "/data/dict"),
              "env KESTRUNE_HOME=/data/dict kestrune");
    EXPECT_EQ(AutostartCommand(mine, "/usr/bin", "/data/my dict"),
              "env \"KESTRUNE_HOME=/data/my dict\" \"" + mine + "\"");
}

TEST(AutostartTest, EntryTextEscapesTheCommandAsTheFileFormatRequires) {
    EXPECT_EQ(AutostartEntryText("kestrune"), Entry("kestrune"));
    // A backslash escaped inside quotes becomes four in the file; a line feed is \n.
    EXPECT_EQ(AutostartEntryText(QuoteExecArgument("/a\\b/c\nd")), Entry("\"/a\\\\\\\\b/c\\nd\""));
}

TEST(AutostartTest, TurningOnWritesTheEntryAndOffRemovesIt) {
    TempDir dir;
    const AutostartPlace place{dir.file("config/autostart"), "kestrune"};
    const std::string path = dir.file("config/autostart/kestrune.desktop");
    EXPECT_EQ(AutostartFilePath(place.folder), path);
    EXPECT_FALSE(AutostartEnabled(place.folder));

    // The folder and its parents are created.
    Outcome r = SetAutostart(place, true);
    ASSERT_TRUE(r.ok) << r.message << " " << r.detail;
    EXPECT_EQ(ReadBytes(path), Entry("kestrune"));
    EXPECT_TRUE(AutostartEnabled(place.folder));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0077, (0666 &
                                  ~[] {
                                      mode_t m = ::umask(0);
                                      ::umask(m);
                                      return m;
                                  }()) &
                                     0077)
        << "a new entry gets the mode the umask allows";

    // On again replaces an old or foreign entry whole; no temporary file is left.
    WriteBytes(path, "[Desktop Entry]\nExec=/old/kestrune --something-long-and-old\n");
    r = SetAutostart({place.folder, "/new/kestrune"}, true);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(ReadBytes(path), Entry("/new/kestrune"));
    EXPECT_EQ(NamesIn(place.folder), std::vector<std::string>{"kestrune.desktop"});

    r = SetAutostart(place, false);
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(AutostartEnabled(place.folder));
    // Off when it is off already.
    EXPECT_TRUE(SetAutostart(place, false).ok);
}

TEST(AutostartTest, AnEntryThatIsALinkIsReplacedAtItsTarget) {
    TempDir dir;
    fs::create_directories(dir.file("autostart"));
    fs::create_directories(dir.file("dotfiles"));
    WriteBytes(dir.file("dotfiles/kestrune.desktop"), "old");
    fs::create_symlink(dir.file("dotfiles/kestrune.desktop"),
                       dir.file("autostart/kestrune.desktop"));
    ASSERT_TRUE(SetAutostart({dir.file("autostart"), "kestrune"}, true).ok);
    EXPECT_TRUE(fs::is_symlink(dir.file("autostart/kestrune.desktop")));
    EXPECT_EQ(ReadBytes(dir.file("dotfiles/kestrune.desktop")), Entry("kestrune"));
}

TEST(AutostartTest, FailuresNameTheFileAndLeaveItAsItWas) {
    TempDir dir;
    // The autostart folder's place is taken by a file.
    WriteBytes(dir.file("autostart"), "x");
    Outcome r = SetAutostart({dir.file("autostart"), "kestrune"}, true);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message,
              "Cannot write the autostart entry " + dir.file("autostart/kestrune.desktop"));
    EXPECT_NE(r.detail.find(dir.file("autostart")), std::string::npos) << r.detail;
    EXPECT_EQ(ReadBytes(dir.file("autostart")), "x");

    // A full disk: the old entry stays whole, no temporary file remains.
    fs::create_directories(dir.file("cfg"));
    const std::string old = "[Desktop Entry]\nExec=old\n";
    WriteBytes(dir.file("cfg/kestrune.desktop"), old);
    {
        FileSizeLimit limit(8);
        r = SetAutostart({dir.file("cfg"), "kestrune"}, true);
    }
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "Cannot write the autostart entry " + dir.file("cfg/kestrune.desktop"));
    EXPECT_EQ(ReadBytes(dir.file("cfg/kestrune.desktop")), old);
    EXPECT_EQ(NamesIn(dir.file("cfg")), std::vector<std::string>{"kestrune.desktop"});

    // Something that cannot be removed as a file has the entry's name.
    fs::create_directories(dir.file("busy/kestrune.desktop"));
    r = SetAutostart({dir.file("busy"), "kestrune"}, false);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "Cannot remove the autostart entry " + dir.file("busy/kestrune.desktop"));
    EXPECT_TRUE(fs::is_directory(dir.file("busy/kestrune.desktop")));

    // No folder at all (no HOME).
    r = SetAutostart({"", "kestrune"}, true);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "Cannot write the autostart entry: no autostart folder (HOME is not set)");
    EXPECT_FALSE(AutostartEnabled(""));
}

TEST(AutostartTest, TheEntryPassesTheDesktopEntryValidator) {
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "desktop-file-validate is not installed (desktop-file-utils)";
    TempDir dir;
    const std::string command =
        AutostartCommand(dir.file("my apps/kestrune"), "/usr/bin", "/data/my dict");
    ASSERT_TRUE(SetAutostart({dir.path(), command}, true).ok);
    const std::string run = "desktop-file-validate '" + dir.file("kestrune.desktop") + "' > '" +
                            dir.file("report.txt") + "' 2>&1";
    EXPECT_EQ(std::system(run.c_str()), 0) << ReadBytes(dir.file("report.txt"));
    EXPECT_EQ(ReadBytes(dir.file("report.txt")), "");
}

}  // namespace
}  // namespace kes
