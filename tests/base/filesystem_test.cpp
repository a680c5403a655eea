#include "base/filesystem.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>
#include <filesystem>

#include "base/dostime.h"
#include "base/ioerror.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::TempDir;
using test::WriteBytes;

TEST(FindOnPath, TakesTheFirstExecutableFileInAnAbsoluteFolder) {
    TempDir a, b, c;
    WriteBytes(a.file("espeak-ng"), "#!/bin/sh\n");  // not executable
    ::mkdir(b.file("espeak-ng").c_str(), 0755);      // a folder
    WriteBytes(c.file("espeak-ng"), "#!/bin/sh\n");
    ::chmod(c.file("espeak-ng").c_str(), 0755);
    const std::string path = a.path() + "::" + b.path() + ":" + c.path();
    EXPECT_EQ(FindOnPath("espeak-ng", path.c_str()), c.file("espeak-ng"));
    EXPECT_EQ(FindOnPath("espeak-ng", a.path().c_str()), "");
    EXPECT_EQ(FindOnPath("espeak-ng", nullptr), "");
    EXPECT_EQ(FindOnPath("", c.path().c_str()), "");
    EXPECT_TRUE(IsExecutableFile(c.file("espeak-ng")));
    EXPECT_FALSE(IsExecutableFile(a.file("espeak-ng")));
    EXPECT_FALSE(IsExecutableFile(b.file("espeak-ng")));
    // A relative folder (or an empty one, the current folder) is never searched.
    const std::string relative = std::filesystem::relative(c.path()).string() + "::" + a.path();
    EXPECT_EQ(FindOnPath("espeak-ng", relative.c_str()), "");
}

TEST(FileSystem, DosTimeOfAKnownLocalTime) {
    struct tm t = {};
    t.tm_year = 2021 - 1900;
    t.tm_mon = 2;  // March
    t.tm_mday = 4;
    t.tm_hour = 13;
    t.tm_min = 45;
    t.tm_sec = 31;
    t.tm_isdst = -1;
    time_t unix = mktime(&t);
    int32_t expected = static_cast<int32_t>((41u << 25) | (3u << 21) | (4u << 16) | (13u << 11) |
                                            (45u << 5) | 15u);
    EXPECT_EQ(UnixToDosTime(unix), expected);
    TempDir dir;
    WriteBytes(dir.file("t"), "x");
    SetFileUnixTime(dir.file("t"), unix);
    EXPECT_EQ(FileDosTime(dir.file("t")), expected);
    EXPECT_EQ(FileSizeOf(dir.file("t")), 1);
    EXPECT_THROW(FileDosTime(dir.file("none")), IoError);
}

TEST(FileSystem, ListFilesMatchesSuffixIgnoringCase) {
    TempDir dir;
    WriteBytes(dir.file("b.ced"), "");
    WriteBytes(dir.file("a.CED"), "");
    WriteBytes(dir.file("c.idx"), "");
    EXPECT_EQ(ListFiles(dir.path(), ".ced"), (std::vector<std::string>{"a.CED", "b.ced"}));
}

}  // namespace
}  // namespace kes
