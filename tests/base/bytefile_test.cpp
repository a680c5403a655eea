#include "base/bytefile.h"

#include <gtest/gtest.h>

#include <ctime>

#include "support/tempdir.h"

namespace kes {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(ByteFile, ReadsExactlyAndKeepsPositionAfterLastConsumedByte) {
    TempDir dir;
    std::string data;
    for (int i = 0; i < 200000; ++i)
        data.push_back(static_cast<char>(i % 251));
    WriteBytes(dir.file("a.bin"), data);
    ByteFile f(dir.file("a.bin"), OpenMode::Read);
    EXPECT_EQ(f.size(), 200000);
    EXPECT_EQ(f.readU8(), 0);
    EXPECT_EQ(f.position(), 1);
    EXPECT_EQ(f.readU16(), 1 | (2 << 8));
    EXPECT_EQ(f.position(), 3);
    f.seek(70000);
    EXPECT_EQ(f.readU8(), static_cast<uint8_t>(70000 % 251));
    EXPECT_EQ(f.position(), 70001);
    std::string big(100000, '\0');
    f.seek(5);
    f.read(big.data(), big.size());
    EXPECT_EQ(big, data.substr(5, 100000));
    EXPECT_EQ(f.position(), 100005);
    f.seek(199999);
    EXPECT_FALSE(f.eof());
    f.readU8();
    EXPECT_TRUE(f.eof());
}

TEST(ByteFile, ShortReadThrowsIoErrorNamingTheFile) {
    TempDir dir;
    WriteBytes(dir.file("odd.bin"), std::string("\x01\x02\x03", 3));
    ByteFile f(dir.file("odd.bin"), OpenMode::Read);
    f.readU16();
    try {
        f.readU16();
        FAIL() << "expected IoError";
    } catch (const IoError& e) {
        EXPECT_EQ(e.fileName(), dir.file("odd.bin"));
        EXPECT_NE(std::string(e.what()).find(dir.file("odd.bin")), std::string::npos);
    }
}

TEST(ByteFile, OpenFailuresThrow) {
    TempDir dir;
    EXPECT_THROW(ByteFile(dir.file("missing"), OpenMode::Read), IoError);
    EXPECT_THROW(ByteFile(dir.file("no/such/folder/x"), OpenMode::Create), IoError);
    EXPECT_THROW(ByteFile(dir.path(), OpenMode::Read), IoError);
}

TEST(ByteFile, WriteSeekReadAndTruncate) {
    TempDir dir;
    {
        ByteFile f(dir.file("w.bin"), OpenMode::Create);
        f.write("hello world", 11);
        EXPECT_EQ(f.position(), 11);
        EXPECT_EQ(f.size(), 11);
        f.seek(6);
        f.write("WORLD", 5);
        f.seek(0);
        uint8_t b[11];
        f.read(b, 11);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(b), 11), "hello WORLD");
        f.seek(5);
        f.truncate();
        EXPECT_EQ(f.size(), 5);
        f.writeU16(0x0A0D);
        f.writeI32(-2);
        f.close();
    }
    EXPECT_EQ(ReadBytes(dir.file("w.bin")), std::string("hello\x0D\x0A\xFE\xFF\xFF\xFF", 11));
    ByteFile f(dir.file("w.bin"), OpenMode::ReadWrite);
    f.seek(7);
    EXPECT_EQ(f.readI32(), -2);
}

TEST(ByteFile, InterleavedReadsAndWritesSeeTheirOwnData) {
    TempDir dir;
    WriteBytes(dir.file("rw.bin"), "abcdefgh");
    ByteFile f(dir.file("rw.bin"), OpenMode::ReadWrite);
    EXPECT_EQ(f.readU8(), 'a');
    f.write("XY", 2);  // at 1
    EXPECT_EQ(f.readU8(), 'd');
    f.seek(0);
    std::string all(8, '\0');
    f.read(all.data(), 8);
    EXPECT_EQ(all, "aXYdefgh");
    f.write("!", 1);
    EXPECT_EQ(f.size(), 9);
}

TEST(ByteFile, DosTimeOfAKnownLocalTime) {
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

// 1700000000 is 2023-11-14 22:13:20 UTC. An index records its data file's time as a DOS
// date-time on the clock of the zone it was built in; any zone's clock is accepted, nothing else.
TEST(ByteFile, DosTimeMatchesTheClockOfAnyZone) {
    const int64_t unix = 1700000000;
    struct Row {
        const char* clock;
        int32_t dos;
        bool matches;
    };
    const Row rows[] = {
        {"UTC 2023-11-14 22:13:20", 0x576eb1aa, true},
        {"-12:00 2023-11-14 10:13:20", 0x576e51aa, true},
        {"+05:45 2023-11-15 03:58:20", 0x576f1f4a, true},
        {"+14:00 2023-11-15 12:13:20", 0x576f61aa, true},
        {"+05:50 is no zone's offset", 0x576f206a, false},
        {"+14:15 is beyond every zone", 0x576f638a, false},
        {"UTC two seconds later", 0x576eb1ab, false},
    };
    for (const Row& r : rows) EXPECT_EQ(DosTimeMatches(r.dos, unix), r.matches) << r.clock;
    EXPECT_EQ(UnixToDosTimeAt(unix, 5 * 3600 + 45 * 60), 0x576f1f4a);
    EXPECT_EQ(UnixToDosTimeAt(unix, -12 * 3600), 0x576e51aa);
}

TEST(ByteFile, PathHelpers) {
    EXPECT_EQ(ChangeExtension("/a/b/dict.ced", ".idx"), "/a/b/dict.idx");
    EXPECT_EQ(ChangeExtension("/a.b/dict", ".ced"), "/a.b/dict.ced");
    EXPECT_EQ(ChangeExtension("x.tar.dsl", ".ced"), "x.tar.ced");
    EXPECT_EQ(BaseName("/a/b/c.ced"), "c.ced");
    EXPECT_EQ(DirName("/a/b/c.ced"), "/a/b");
    EXPECT_EQ(DirName("c.ced"), ".");
    EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
}

TEST(ByteFile, ListFilesMatchesSuffixIgnoringCase) {
    TempDir dir;
    WriteBytes(dir.file("b.ced"), "");
    WriteBytes(dir.file("a.CED"), "");
    WriteBytes(dir.file("c.idx"), "");
    EXPECT_EQ(ListFiles(dir.path(), ".ced"), (std::vector<std::string>{"a.CED", "b.ced"}));
}

TEST(ByteFile, SmallReadAheadReadsTheSameBytes) {
    TempDir dir;
    std::string content;
    for (int i = 0; i < 200; ++i)
        content += static_cast<char>(i * 7 + 3);
    WriteBytes(dir.file("r"), content);
    ByteFile f(dir.file("r"), OpenMode::Read);
    f.setReadAhead(16);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(f.readU8(), static_cast<uint8_t>(content[i]));
    f.seek(15);  // a 16-bit value across a buffer boundary
    EXPECT_EQ(f.readU16(), static_cast<uint16_t>(static_cast<uint8_t>(content[15]) |
                                                 (static_cast<uint8_t>(content[16]) << 8)));
    f.seek(30);
    std::string block(100, '\0');  // longer than the read-ahead
    f.read(block.data(), block.size());
    EXPECT_EQ(block, content.substr(30, 100));
    EXPECT_EQ(f.position(), 130);
    f.seek(195);
    char rest[5];
    f.read(rest, 5);
    EXPECT_EQ(std::string(rest, 5), content.substr(195));
    EXPECT_TRUE(f.eof());
    EXPECT_THROW(f.readU8(), IoError);
}

}  // namespace
}  // namespace kes
