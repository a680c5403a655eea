#include "base/filesystem.h"

#include <gtest/gtest.h>

#include <ctime>

#include "base/dostime.h"
#include "base/ioerror.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::TempDir;
using test::WriteBytes;

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
