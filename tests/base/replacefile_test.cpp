#include "base/replacefile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/ioerror.h"
#include "support/faults.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using namespace kes::test;

void WriteText(ByteFile& f, const std::string& text) {
    f.write(text.data(), text.size());
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

TEST(FileReplacement, NewAndExistingFilesGetTheWholeNewContents) {
    TempDir dir;
    const std::string path = dir.file("setup.ini");
    ReplaceFileContents(path, [](ByteFile& f) { WriteText(f, "first"); });
    EXPECT_EQ(ReadBytes(path), "first");
    ReplaceFileContents(path, [](ByteFile& f) { WriteText(f, "2nd"); });
    EXPECT_EQ(ReadBytes(path), "2nd");
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"setup.ini"}));
    // A new file gets the mode the umask allows.
    mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(StatOf(path).st_mode & 07777, 0666 & ~mask);
}

TEST(FileReplacement, SymbolicLinkStaysALinkAndTheRealFileGetsTheBytes) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("real"));
    WriteBytes(dir.file("real/userdict.txt"), "old");
    // A relative link to a relative link.
    std::filesystem::create_symlink("real/userdict.txt", dir.file("middle.txt"));
    std::filesystem::create_symlink("middle.txt", dir.file("userdict.txt"));
    ReplaceFileContents(dir.file("userdict.txt"), [](ByteFile& f) { WriteText(f, "new"); });
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("userdict.txt")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("middle.txt")));
    EXPECT_EQ(ReadBytes(dir.file("real/userdict.txt")), "new");
    EXPECT_EQ(NamesIn(dir.file("real")), (std::vector<std::string>{"userdict.txt"}));
    EXPECT_EQ(NamesIn(dir.path()),
              (std::vector<std::string>{"middle.txt", "real", "userdict.txt"}));

    // A dangling link gets its file created where it points.
    std::filesystem::create_symlink("real/new.ini", dir.file("setup.ini"));
    ReplaceFileContents(dir.file("setup.ini"), [](ByteFile& f) { WriteText(f, "x"); });
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("setup.ini")));
    EXPECT_EQ(ReadBytes(dir.file("real/new.ini")), "x");

    // A loop of links is refused with the name and the reason.
    std::filesystem::create_symlink("loop2", dir.file("loop1"));
    std::filesystem::create_symlink("loop1", dir.file("loop2"));
    try {
        ReplaceFileContents(dir.file("loop1"), [](ByteFile& f) { WriteText(f, "x"); });
        FAIL() << "a loop of links was followed";
    } catch (const IoError& e) {
        EXPECT_EQ(e.fileName(), dir.file("loop1"));
        EXPECT_NE(e.reason().find("symbolic link"), std::string::npos) << e.reason();
    }
}

TEST(FileReplacement, ModeAndOwnerAreKept) {
    TempDir dir;
    const std::string path = dir.file("userdict.txt");
    WriteBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    const struct stat before = StatOf(path);
    ReplaceFileContents(path, [](ByteFile& f) { WriteText(f, "new"); });
    const struct stat after = StatOf(path);
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_NE(after.st_ino, before.st_ino);  // replaced, not rewritten in place

    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ReplaceFileContents(path, [](ByteFile& f) { WriteText(f, "newer"); });
    EXPECT_EQ(StatOf(path).st_mode & 07777, 0640u);

    // Where the process may give files away (root), a file of another owner stays theirs.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), 4321, 8765), 0);
        ReplaceFileContents(path, [](ByteFile& f) { WriteText(f, "theirs"); });
        EXPECT_EQ(StatOf(path).st_uid, 4321u);
        EXPECT_EQ(StatOf(path).st_gid, 8765u);
        EXPECT_EQ(ReadBytes(path), "theirs");
    }
}

TEST(FileReplacement, HardLinkedFileIsReplacedAtItsNameOnly) {
    // Replacing is one rename, so the other name of a hard-linked file keeps the old bytes:
    // writing in place would keep the link but could lose both versions in a crash.
    TempDir dir;
    WriteBytes(dir.file("a.txt"), "old");
    ASSERT_EQ(::link(dir.file("a.txt").c_str(), dir.file("b.txt").c_str()), 0);
    ReplaceFileContents(dir.file("a.txt"), [](ByteFile& f) { WriteText(f, "new"); });
    EXPECT_EQ(ReadBytes(dir.file("a.txt")), "new");
    EXPECT_EQ(ReadBytes(dir.file("b.txt")), "old");
    EXPECT_EQ(StatOf(dir.file("b.txt")).st_nlink, 1u);
}

TEST(FileReplacement, FailedWriteLeavesTheOldBytesAndNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir.file("setup.ini");
    WriteBytes(path, "old bytes");
    // The writer fails half-way.
    EXPECT_THROW(ReplaceFileContents(path,
                                     [](ByteFile& f) {
                                         WriteText(f, "half");
                                         throw IoError("x", "stopped");
                                     }),
                 IoError);
    EXPECT_EQ(ReadBytes(path), "old bytes");
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"setup.ini"}));

    // The file system refuses the bytes (file size limit: EFBIG).
    try {
        FileSizeLimit limit(1000);
        ReplaceFileContents(path, [](ByteFile& f) { WriteText(f, std::string(5000, 'x')); });
        FAIL() << "the write past the limit succeeded";
    } catch (const IoError& e) {
        EXPECT_EQ(e.fileName(), path);
        EXPECT_NE(e.reason().find(std::strerror(EFBIG)), std::string::npos) << e.reason();
    }
    EXPECT_EQ(ReadBytes(path), "old bytes");
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"setup.ini"}));

    // The folder is missing: reported with the name and the reason.
    try {
        ReplaceFileContents(dir.file("none/setup.ini"), [](ByteFile& f) { WriteText(f, "x"); });
        FAIL();
    } catch (const IoError& e) {
        EXPECT_EQ(e.fileName(), dir.file("none/setup.ini"));
        EXPECT_NE(e.reason().find(std::strerror(ENOENT)), std::string::npos) << e.reason();
    }
}

TEST(FileReplacement, FailedRenameLeavesTheOldFileAndNoTemporaryFile) {
    TempDir dir;
    // The name is taken by a folder with a file in it: the rename fails.
    std::filesystem::create_directory(dir.file("setup.ini"));
    WriteBytes(dir.file("setup.ini/keep"), "kept");
    try {
        ReplaceFileContents(dir.file("setup.ini"), [](ByteFile& f) { WriteText(f, "x"); });
        FAIL() << "a folder was replaced";
    } catch (const IoError& e) {
        EXPECT_EQ(e.fileName(), dir.file("setup.ini"));
        EXPECT_EQ(e.reason().rfind("Cannot replace file (", 0), 0u) << e.reason();
    }
    EXPECT_EQ(ReadBytes(dir.file("setup.ini/keep")), "kept");
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"setup.ini"}));
}

TEST(FileReplacement, TwoWritersDoNotCollide) {
    TempDir dir;
    const std::string path = dir.file("userdict.txt");
    WriteBytes(path, "old");
    FileReplacement first(path);
    FileReplacement second(path);
    EXPECT_NE(first.tempPath(), second.tempPath());
    WriteText(first.file(), "first");
    WriteText(second.file(), "second");
    first.commit();
    EXPECT_EQ(ReadBytes(path), "first");
    second.commit();
    EXPECT_EQ(ReadBytes(path), "second");
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"userdict.txt"}));
}

TEST(FileReplacement, CommitNewNeverReplaces) {
    TempDir dir;
    FileReplacement a(dir.file("x.idx"));
    WriteText(a.file(), "a");
    EXPECT_TRUE(a.commitNew());
    FileReplacement b(dir.file("x.idx"));
    WriteText(b.file(), "b");
    EXPECT_FALSE(b.commitNew());
    EXPECT_EQ(ReadBytes(dir.file("x.idx")), "a");
    // A dangling link counts as a taken name.
    std::filesystem::create_symlink("nowhere", dir.file("y.idx"));
    FileReplacement c(dir.file("y.idx"));
    EXPECT_FALSE(c.commitNew());
    EXPECT_FALSE(std::filesystem::exists(dir.file("nowhere")));
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"x.idx", "y.idx"}));
    // Dropped without a commit: nothing is left.
    { FileReplacement d(dir.file("z.idx")); }
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"x.idx", "y.idx"}));
}

// --- two files replaced as one ---------------------------------------------------------

// A sealed replacement of `target` holding `text`.
std::unique_ptr<FileReplacement> Sealed(const std::string& target, const std::string& text) {
    auto r = std::make_unique<FileReplacement>(target);
    WriteText(r->file(), text);
    r->seal();
    return r;
}

TEST(PairReplacement, ReplacesBothKeepingLinksAndModesOrNeitherWithoutReplace) {
    TempDir dir, elsewhere;
    WriteBytes(elsewhere.file("real.ced"), "old data");
    ASSERT_EQ(::chmod(elsewhere.file("real.ced").c_str(), 0600), 0);
    std::filesystem::create_symlink(elsewhere.file("real.ced"), dir.file("d.ced"));
    WriteBytes(dir.file("d.idx"), "old index");
    {
        auto data = Sealed(dir.file("d.ced"), "new data");
        auto index = Sealed(dir.file("d.idx"), "new index");
        // Without `replace` nothing changes, and the temporary files go.
        EXPECT_FALSE(CommitPair(*data, *index, false));
    }
    EXPECT_EQ(ReadBytes(dir.file("d.ced")), "old data");
    EXPECT_EQ(ReadBytes(dir.file("d.idx")), "old index");
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"d.ced", "d.idx"}));
    EXPECT_EQ(NamesIn(elsewhere.path()), (std::vector<std::string>{"real.ced"}));
    {
        auto data = Sealed(dir.file("d.ced"), "new data");
        auto index = Sealed(dir.file("d.idx"), "new index");
        EXPECT_TRUE(CommitPair(*data, *index, true));
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("d.ced")));
    EXPECT_EQ(ReadBytes(elsewhere.file("real.ced")), "new data");
    EXPECT_EQ(StatOf(elsewhere.file("real.ced")).st_mode & 07777, 0600u);
    EXPECT_EQ(ReadBytes(dir.file("d.idx")), "new index");
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"d.ced", "d.idx"}));
    EXPECT_EQ(NamesIn(elsewhere.path()), (std::vector<std::string>{"real.ced"}));
}

TEST(PairReplacement, SomethingOtherThanAFileIsNotReplaced) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("d.ced"));
    WriteBytes(dir.file("d.idx"), "old index");
    auto data = Sealed(dir.file("d.ced"), "new data");
    auto index = Sealed(dir.file("d.idx"), "new index");
    try {
        CommitPair(*data, *index, true);
        ADD_FAILURE() << "a folder was replaced";
    } catch (const IoError& e) {
        EXPECT_EQ(std::string(e.what()), "Not a regular file: " + dir.file("d.ced"));
    }
    data.reset();
    index.reset();
    EXPECT_EQ(ReadBytes(dir.file("d.idx")), "old index");
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"d.ced", "d.idx"}));
}

TEST(PairReplacement, LeftoversAreFinishedByTheirNamesAndLiveOnesLeftAlone) {
    TempDir dir;
    const std::string data = dir.file("d.ced"), index = dir.file("d.idx");
    WriteBytes(data, "old data");
    WriteBytes(index, "old index");
    // Committed (the second file's pending name) and half-way: completed.
    WriteBytes(dir.file("d.ced.0123456789ab.new"), "new data");
    WriteBytes(dir.file("d.idx.0123456789ab.new"), "new index");
    EXPECT_EQ(PairLeftoverTargets(dir.path()), (std::vector<std::string>{"d.ced", "d.idx"}));
    EXPECT_EQ(FinishInterruptedPairs(data, index), 1);
    EXPECT_EQ(ReadBytes(data), "new data");
    EXPECT_EQ(ReadBytes(index), "new index");
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"d.ced", "d.idx"}));

    // Marked as undone, with the new data file in place already: the old pair comes back.
    std::filesystem::rename(data, dir.file("d.ced.0123456789ab.old"));
    std::filesystem::rename(index, dir.file("d.idx.0123456789ab.old"));
    WriteBytes(data, "newer data");
    WriteBytes(dir.file("d.idx.0123456789ab.drop"), "newer index");
    EXPECT_EQ(FinishInterruptedPairs(data, index), 1);
    EXPECT_EQ(ReadBytes(data), "new data");
    EXPECT_EQ(ReadBytes(index), "new index");
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"d.ced", "d.idx"}));

    // Not committed: the pending data file goes; an old file whose name is free goes back.
    std::filesystem::rename(index, dir.file("d.idx.abcdefabcdef.old"));
    WriteBytes(dir.file("d.ced.abcdefabcdef.new"), "partial");
    // Names of other files, or not of this naming, are not touched.
    for (const char* other : {"d.ced.0123456789AB.new", "d.ced.0123456789a.new",
                              "e.ced.0123456789ab.new", "d.ced.0123456789ab.tmp"})
        WriteBytes(dir.file(other), "other");
    EXPECT_EQ(FinishInterruptedPairs(data, index), 1);
    EXPECT_EQ(ReadBytes(index), "new index");
    EXPECT_EQ(
        NamesIn(dir.path()),
        (std::vector<std::string>{"d.ced", "d.ced.0123456789AB.new", "d.ced.0123456789a.new",
                                  "d.ced.0123456789ab.tmp", "d.idx", "e.ced.0123456789ab.new"}));

    // A replacement still running holds its files locked: left alone until it ends.
    auto live = Sealed(data, "live data");
    live->commitAs(dir.file("d.ced.111111111111.new"));
    EXPECT_EQ(FinishInterruptedPairs(data, index), 0);
    EXPECT_TRUE(FileExists(dir.file("d.ced.111111111111.new")));
    live.reset();
    EXPECT_EQ(FinishInterruptedPairs(data, index), 1);
    EXPECT_FALSE(FileExists(dir.file("d.ced.111111111111.new")));
    EXPECT_EQ(ReadBytes(data), "new data");
}

}  // namespace
}  // namespace kes
