#include "base/mappedfile.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <fcntl.h>

#include "base/bytefile.h"
#include "base/ioerror.h"
#include "base/lines.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::TempDir;
using test::WriteBytes;

std::string Pattern(std::size_t n) {
    std::string data;
    for (std::size_t i = 0; i < n; ++i)
        data.push_back(static_cast<char>((i * 7 + i / 251) % 256));
    return data;
}

TEST(MappedFile, ReadsTheSameBytesAsTheFile) {
    TempDir dir;
    const std::string path = dir.file("a.bin");
    WriteBytes(path, Pattern(300000));
    ByteFile plain(path, OpenMode::Read);
    ByteFile viewed;
    viewed.openView(std::make_shared<const MappedFile>(path));
    EXPECT_EQ(viewed.name(), path);
    EXPECT_EQ(viewed.size(), plain.size());
    for (ByteFile* f : {&plain, &viewed})
        f->setReadAhead(1024);
    for (int64_t pos : {0, 1, 1023, 1024, 70000, 299990, 5}) {
        plain.seek(pos);
        viewed.seek(pos);
        EXPECT_EQ(viewed.readU8(), plain.readU8()) << pos;
        EXPECT_EQ(viewed.readU16(), plain.readU16()) << pos;
        EXPECT_EQ(viewed.readI32(), plain.readI32()) << pos;
        EXPECT_EQ(viewed.position(), plain.position());
    }
    // A block larger than the read-ahead goes straight into the caller's memory.
    std::string a(100000, '\0'), b(100000, '\0');
    plain.seek(12345);
    viewed.seek(12345);
    plain.read(a.data(), a.size());
    viewed.read(b.data(), b.size());
    EXPECT_EQ(a, b);
    viewed.seek(299999);
    viewed.readU8();
    EXPECT_TRUE(viewed.eof());
    try {
        viewed.readU8();
        FAIL() << "read past the end";
    } catch (const IoError& e) {
        EXPECT_EQ(e.fileName(), path);
        EXPECT_EQ(e.reason(), "Read beyond end of file");
    }
    viewed.close();
    EXPECT_FALSE(viewed.isOpen());
}

TEST(MappedFile, LinesReadThroughAViewMatchTheFile) {
    TempDir dir;
    const std::string path = dir.file("d.ced");
    std::u16string text = u"\uFEFF# comment\r\n中國 中国 [zhong1 guo2] /China/\r\n\r\nlast line";
    std::string bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    WriteBytes(path, bytes);
    ByteFile plain(path, OpenMode::Read);
    ByteFile viewed;
    viewed.openView(std::make_shared<const MappedFile>(path));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ReadUcs2Line(viewed), ReadUcs2Line(plain)) << i;
        EXPECT_EQ(viewed.position(), plain.position());
    }
    EXPECT_TRUE(viewed.eof());
}

TEST(MappedFile, AnEmptyFileGivesAnEmptyView) {
    TempDir dir;
    WriteBytes(dir.file("e"), "");
    MappedFile view(dir.file("e"));
    char c = 'x';
    EXPECT_EQ(view.size(), 0);
    EXPECT_EQ(view.copy(0, &c, 1), 0u);
    EXPECT_EQ(c, 'x');
}

TEST(MappedFile, MissingFileAndFolderAreRefusedWithTheirName) {
    TempDir dir;
    for (const std::string& path : {dir.file("missing"), dir.path()}) {
        try {
            MappedFile view(path);
            FAIL() << path;
        } catch (const IoError& e) {
            EXPECT_EQ(e.fileName(), path);
            EXPECT_NE(e.reason().find("Cannot open file"), std::string::npos) << e.reason();
        }
    }
}

// Another program cuts the file short while it is viewed (an editor saving in place): reads
// of the lost bytes fail with the file's name, every time, and the process goes on.
TEST(MappedFile, AFileCutShortUnderTheViewIsAnErrorNotACrash) {
    TempDir dir;
    const std::string path = dir.file("cut.bin");
    WriteBytes(path, Pattern(200000));
    auto view = std::make_shared<const MappedFile>(path);
    ASSERT_EQ(::truncate(path.c_str(), 4096), 0);
    char buf[64];
    EXPECT_EQ(view->copy(100, buf, sizeof buf), sizeof buf);  // still there
    for (int round = 0; round < 3; ++round) {
        try {
            view->copy(150000, buf, sizeof buf);
            FAIL() << "copied lost bytes";
        } catch (const IoError& e) {
            EXPECT_EQ(e.fileName(), path);
            EXPECT_EQ(e.reason(), "Read error (the file was cut short while it was read)");
        }
    }
    ByteFile f;
    f.openView(view);
    f.seek(199000);
    EXPECT_THROW(f.readU8(), IoError);
    EXPECT_FALSE(view->matchesDisk());
}

// Faults that are not a copy out of a view still end the process as before.
TEST(MappedFileDeathTest, OtherBusErrorsAreNotSwallowed) {
    TempDir dir;
    const std::string path = dir.file("other.bin");
    WriteBytes(path, Pattern(100000));
    MappedFile installs(path);  // the handler is in place from here on
    EXPECT_DEATH(
        {
            const int fd = ::open(path.c_str(), O_RDONLY);
            auto* p = static_cast<volatile const char*>(
                ::mmap(nullptr, 100000, PROT_READ, MAP_PRIVATE, fd, 0));
            if (::truncate(path.c_str(), 0) != 0) _exit(0);
            char c = p[80000];
            (void)c;
            _exit(0);
        },
        "");
}

TEST(FileViews, KeepsAViewUntilTheFileChanges) {
    TempDir dir;
    const std::string path = dir.file("d.idx");
    WriteBytes(path, "first version");
    FileViews views;
    auto first = views.get(path);
    EXPECT_EQ(views.get(path), first);
    // Replaced by a new file (a rebuilt index or an imported data file).
    WriteBytes(dir.file("new"), "second, longer version");
    ASSERT_EQ(::rename(dir.file("new").c_str(), path.c_str()), 0);
    auto second = views.get(path);
    ASSERT_NE(second, first);
    std::string bytes(second->size(), '\0');
    second->copy(0, bytes.data(), bytes.size());
    EXPECT_EQ(bytes, "second, longer version");
    // The old view still reads what it saw.
    std::string old(first->size(), '\0');
    first->copy(0, old.data(), old.size());
    EXPECT_EQ(old, "first version");
    // Gone: refused, and not served from the old view.
    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_THROW(views.get(path), IoError);
    EXPECT_THROW(views.get(path), IoError);
}

}  // namespace
}  // namespace kes
