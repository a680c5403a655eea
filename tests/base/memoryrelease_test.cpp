#include "base/memoryrelease.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "base/mappedfile.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::TempDir;
using test::WriteBytes;

// The kilobytes of `path` resident in this process (the Rss of its mappings in smaps).
long ResidentKb(const std::string& path) {
    std::ifstream in("/proc/self/smaps");
    std::string line;
    bool inside = false;
    long kb = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) &&
            line.find('-') < line.find(' ')) {
            inside = line.size() >= path.size() &&
                     line.compare(line.size() - path.size(), path.size(), path) == 0;
        } else if (inside && line.rfind("Rss:", 0) == 0) {
            kb += std::stol(line.substr(4));
        }
    }
    return kb;
}

std::string Pattern(std::size_t n) {
    std::string data;
    for (std::size_t i = 0; i < n; ++i) data.push_back(static_cast<char>((i * 13 + i / 509) % 256));
    return data;
}

// Two files of the same 1 MiB in a scratch folder.
struct TwoFiles {
    TwoFiles(const char* nameA, const char* nameB)
        : a(dir.file(nameA)), b(dir.file(nameB)), bytes(Pattern(1 << 20)) {
        WriteBytes(a, bytes);
        WriteBytes(b, bytes);
    }
    TempDir dir;
    std::string a, b, bytes;
};

// A whole-file read-only private mapping, as the font library makes it.
struct Mapping {
    explicit Mapping(const std::string& path, std::size_t n) : size(n) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        data = static_cast<const char*>(::mmap(nullptr, n, PROT_READ, MAP_PRIVATE, fd, 0));
        ::close(fd);
    }
    ~Mapping() { ::munmap(const_cast<char*>(data), size); }
    std::string bytes() const { return std::string(data, size); }
    std::size_t size;
    const char* data;
};

TEST(ReadOnlyFileMappings, TakesReadOnlyMappingsOfFilesOnly) {
    const std::string maps =
        "7f7876000000-7f7877320000 r--p 00000000 fe:00 1065033                    "
        "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc\n"
        "7f78cec5a000-7f78cec67000 r--s 00000000 fe:00 12369927   /var/cache/a b.cache-8\n"
        "7f78d1fbc000-7f78d1fe5000 r-xp 00007000 fe:00 332963     /usr/lib/libfontconfig.so.1\n"
        "7f78d1fff000-7f78d2000000 rw-p 0004a000 fe:00 332963     /usr/lib/libfontconfig.so.1\n"
        "7f78d2000000-7f78d2100000 rw-s 00000000 00:01 44         /dev/shm/x.ttf\n"
        "55d0c0a00000-55d0c0b00000 r--p 00000000 00:00 0          [heap]\n"
        "7f78d2100000-7f78d2200000 r--p 00000000 00:00 0 \n"
        "7f78d2200000-7f78d2300000 r--p 00000000 fe:00 17         /tmp/old.ttf (deleted)\n"
        "7f78d2400000-7f78d2300000 r--p 00000000 fe:00 18         /tmp/backwards.ttf\n"
        "zz-7f78d2500000 r--p 00000000 fe:00 19                   /tmp/bad.ttf\n"
        "7f78d2600000-7f78d2700000 r--p 00000000 fe:00 20         /tmp/last.otf";
    const std::vector<ReadOnlyFileMapping> expected = {
        {0x7f7876000000, 0x7f7877320000, "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc"},
        {0x7f78cec5a000, 0x7f78cec67000, "/var/cache/a b.cache-8"},
        {0x7f78d2600000, 0x7f78d2700000, "/tmp/last.otf"},
    };
    EXPECT_EQ(ReadOnlyFileMappings(maps), expected);
    EXPECT_TRUE(ReadOnlyFileMappings("").empty());
}

TEST(IsFontFile, KnowsTheFontFilesByTheirEnding) {
    const struct {
        const char* path;
        bool font;
    } rows[] = {
        {"/usr/share/fonts/truetype/arphic/uming.ttc", true},
        {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", true},
        {"/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.OTF", true},
        {"/usr/share/fonts/X11/misc/6x13.pcf.gz", true},
        {"/usr/share/fonts/type1/a.pfb", true},
        {"/usr/share/fonts/x.otc", true},
        {"/var/cache/fontconfig/d589a48862398ed80a3d6066f4f56f4c-le64.cache-8", false},
        {"/usr/lib/x86_64-linux-gnu/libfreetype.so.6", false},
        {"/home/u/.kestrune/cedict.ced", false},
        {"/tmp/ttf", false},
        {"", false},
    };
    for (const auto& row : rows) EXPECT_EQ(IsFontFile(row.path), row.font) << row.path;
}

// The pages read leave the process and come back unchanged at the next read; a mapping of
// another file keeps its pages.
TEST(ReleaseFontPages, DropsTheReadPagesOfFontFilesOnly) {
    const TwoFiles files("Font.TTC", "cedict.ced");
    const std::string &font = files.a, &other = files.b, &bytes = files.bytes;
    Mapping f(font, bytes.size()), o(other, bytes.size());
    ASSERT_NE(f.data, MAP_FAILED);
    ASSERT_NE(o.data, MAP_FAILED);
    ASSERT_EQ(f.bytes(), bytes);
    ASSERT_EQ(o.bytes(), bytes);
    ASSERT_GE(ResidentKb(font), 1024);
    ASSERT_GE(ResidentKb(other), 1024);

    EXPECT_GE(ReleaseFontPages(), 1u);
    EXPECT_EQ(ResidentKb(font), 0);
    EXPECT_GE(ResidentKb(other), 1024);
    EXPECT_EQ(f.bytes(), bytes);
    EXPECT_GE(ResidentKb(font), 1024);
}

TEST(MappedFile, ReleasedPagesLeaveTheProcessAndTheViewReadsOn) {
    const TwoFiles files("a.idx", "b.ced");
    const std::string &a = files.a, &b = files.b, &bytes = files.bytes;
    FileViews views;
    std::string out(bytes.size(), '\0');
    for (const std::string& path : {a, b}) {
        ASSERT_EQ(views.get(path)->copy(0, out.data(), out.size()), bytes.size());
        ASSERT_GE(ResidentKb(path), 1024) << path;
    }
    views.get(a)->releasePages();
    EXPECT_EQ(ResidentKb(a), 0);
    EXPECT_GE(ResidentKb(b), 1024);
    views.releasePages();
    EXPECT_EQ(ResidentKb(b), 0);
    for (const std::string& path : {a, b}) {
        std::fill(out.begin(), out.end(), '\0');
        ASSERT_EQ(views.get(path)->copy(0, out.data(), out.size()), bytes.size());
        EXPECT_EQ(out, bytes) << path;
    }
}

}  // namespace
}  // namespace kes
