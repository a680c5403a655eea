#include "base/bytefile.h"

#include <gtest/gtest.h>

#include "base/ioerror.h"
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
