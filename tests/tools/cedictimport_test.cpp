#include "tools/cedictimport.h"

#include <sys/stat.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/registry.h"
#include "base/filesystem.h"
#include "base/paths.h"
#include "dict/indexformat.h"
#include "support/faults.h"
#include "support/reference.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::NamesIn;
using test::ReadBytes;
using test::TempDir;
using test::Utf16Bytes;
using test::W;
using test::WriteBytes;

const std::string kSmall =
    "# my words\n"
    "中國 中国 [Zhong1 guo2] /China/Middle Kingdom/\r\n"
    "\n"
    "書 书 [shu1] /book/letter/\n";

void WriteGzip(const std::string& path, const std::string& bytes) {
    gzFile f = ::gzopen(path.c_str(), "wb9");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(::gzwrite(f, bytes.data(), static_cast<unsigned>(bytes.size())),
              static_cast<int>(bytes.size()));
    ASSERT_EQ(::gzclose(f), Z_OK);
}

// The keys of an index that carry entries.
std::vector<std::u16string> KeysOf(const std::string& indexPath) {
    TDic dic;
    dic.FileName = BaseName(indexPath);
    return test::ReferenceListWords(dic, DirName(indexPath), u"", false);
}

bool HasKey(const std::vector<std::u16string>& keys, const std::u16string& key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

struct ImportTest : ::testing::Test {
    TempDir src, home;
    ImportResult Run(const std::string& file, bool replace = false,
                     std::optional<std::string> name = std::nullopt) {
        ImportRequest r;
        r.sourcePath = src.file(file);
        r.folder = home.path();
        r.replace = replace;
        r.name = std::move(name);
        return ImportCedict(r, {});
    }
    // The registry of the folder takes the dictionary (its index matches its data file).
    std::vector<TDic> Registered() {
        Registry reg;
        RegistryCallbacks cb;
        cb.message = [](const std::string& m) { ADD_FAILURE() << m; };
        DiscoverOptions o;
        o.writeDicts = false;
        DiscoverDictionaries(reg, home.path(), cb, o);
        return reg.Dicts;
    }
};

TEST_F(ImportTest, SmallFileBecomesDataFileAndIndex) {
    WriteBytes(src.file("words.u8"), kSmall);
    const ImportResult r = Run("words.u8");
    ASSERT_TRUE(r.outcome.ok) << MessageWithDetail(r.outcome);
    EXPECT_EQ(r.outcome.message, "Imported 2 entries from words.u8 into " + home.file("words.ced") +
                                     "\nIndex file created: " + home.file("words.idx") +
                                     " (\"CEDICT file words.ced\", translation words and pinyin)");
    EXPECT_EQ(r.entries, 2);
    EXPECT_EQ(r.comments, 1);
    // Character for character, line ends and comments included.
    EXPECT_EQ(ReadBytes(home.file("words.ced")), Utf16Bytes(kSmall));
    EXPECT_EQ(NamesIn(home.path()), (std::vector<std::string>{"words.ced", "words.idx"}));
    const auto keys = KeysOf(home.file("words.idx"));
    for (const char* k : {"中國", "書", "china", "kingdom", "book", "zhong guo", "shu"})
        EXPECT_TRUE(HasKey(keys, W(k))) << k;
    const std::vector<TDic> dicts = Registered();
    ASSERT_EQ(dicts.size(), 1u);
    EXPECT_EQ(dicts[0].Description, u"CEDICT file words.ced");
}

TEST_F(ImportTest, ASourceWithoutLeadingCommentGetsTheImportHeader) {
    struct Case {
        std::string source, written;
    };
    const Case cases[] = {
        {"書 书 [shu1] /book/\n", "# CEDICT file imported by kestrune import\n書 书 [shu1] /book/\n"},
        {"\r\n書 书 [shu1] /book/", "# CEDICT file imported by kestrune import\n\r\n書 书 [shu1] /book/"},
        {"\xEF\xBB\xBF  # mine\n書 书 [shu1] /book/\n", "  # mine\n書 书 [shu1] /book/\n"},
    };
    for (const Case& c : cases) {
        WriteBytes(src.file("h.u8"), c.source);
        const ImportResult r = Run("h.u8", true);
        ASSERT_TRUE(r.outcome.ok) << MessageWithDetail(r.outcome);
        EXPECT_EQ(r.comments, c.source.find('#') == std::string::npos ? 0 : 1);
        EXPECT_EQ(ReadBytes(home.file("h.ced")), Utf16Bytes(c.written)) << c.source;
        EXPECT_TRUE(HasKey(KeysOf(home.file("h.idx")), W("書")));
    }
}

TEST_F(ImportTest, GzipIsKnownByItsMagicAndCcCedictByItsHeader) {
    const std::string text = "# CC-CEDICT\n# Community maintained\n" + kSmall;
    WriteGzip(src.file("cedict_ts.u8.gz"), text);
    ImportResult r = Run("cedict_ts.u8.gz");
    ASSERT_TRUE(r.outcome.ok) << MessageWithDetail(r.outcome);
    EXPECT_EQ(r.name, "CC-CEDICT");
    EXPECT_EQ(ReadBytes(home.file("cedict_ts.ced")), Utf16Bytes(text));
    EXPECT_EQ(Registered().at(0).Description, u"CC-CEDICT");

    // A gzip file named like plain text, with a name given: the name wins.
    WriteGzip(src.file("other.txt"), text);
    r = Run("other.txt", false, "Mine");
    ASSERT_TRUE(r.outcome.ok) << MessageWithDetail(r.outcome);
    EXPECT_EQ(ReadBytes(home.file("other.ced")), Utf16Bytes(text));
    EXPECT_EQ(DescriptionText(ReadIndexHeaderOf(home.file("other.idx")).Description), u"Mine");

    // A plain file called .gz is read as it is; a byte-order mark is dropped.
    WriteBytes(src.file("plain.gz"), "\xEF\xBB\xBF" + kSmall);
    r = Run("plain.gz");
    ASSERT_TRUE(r.outcome.ok) << MessageWithDetail(r.outcome);
    EXPECT_EQ(ReadBytes(home.file("plain.ced")), Utf16Bytes(kSmall));
}

TEST_F(ImportTest, ExistingDictionaryIsLeftAloneWithoutReplace) {
    WriteBytes(src.file("d.u8"), kSmall);
    WriteBytes(home.file("d.ced"), "old data");
    SetFileUnixTime(home.file("d.ced"), 1000000000);
    ImportResult r = Run("d.u8");
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.outcome.message, "ERROR: d.ced already exists in " + home.path() +
                                     "! Use --replace to replace the dictionary.");
    EXPECT_EQ(ReadBytes(home.file("d.ced")), "old data");
    struct stat st;
    ASSERT_EQ(::stat(home.file("d.ced").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1000000000);
    EXPECT_EQ(NamesIn(home.path()), (std::vector<std::string>{"d.ced"}));

    // An index alone (or a link in its place) is not overwritten either.
    std::filesystem::remove(home.file("d.ced"));
    std::filesystem::create_symlink(src.file("elsewhere"), home.file("d.idx"));
    r = Run("d.u8");
    EXPECT_EQ(r.outcome.message, "ERROR: d.idx already exists in " + home.path() +
                                     "! Use --replace to replace the dictionary.");
    EXPECT_EQ(NamesIn(home.path()), (std::vector<std::string>{"d.idx"}));
    EXPECT_FALSE(std::filesystem::exists(src.file("elsewhere")));
}

TEST_F(ImportTest, ReplaceSwapsThePairAndKeepsItValid) {
    WriteBytes(src.file("d.u8"), kSmall);
    ASSERT_TRUE(Run("d.u8", false, "First").outcome.ok);
    const std::string newer = kSmall + "人 人 [ren2] /person/\n";
    WriteBytes(src.file("d.u8"), newer);
    const ImportResult r = Run("d.u8", true, "Second");
    ASSERT_TRUE(r.outcome.ok) << MessageWithDetail(r.outcome);
    EXPECT_TRUE(r.replaced);
    EXPECT_EQ(r.outcome.message.rfind("Replaced 3 entries from d.u8 into ", 0), 0u);
    EXPECT_EQ(ReadBytes(home.file("d.ced")), Utf16Bytes(newer));
    EXPECT_EQ(NamesIn(home.path()), (std::vector<std::string>{"d.ced", "d.idx"}));
    EXPECT_TRUE(HasKey(KeysOf(home.file("d.idx")), u"person"));
    const std::vector<TDic> dicts = Registered();
    ASSERT_EQ(dicts.size(), 1u);
    EXPECT_EQ(dicts[0].Description, u"Second");
}

TEST_F(ImportTest, FailedReplaceKeepsTheOldPair) {
    // The data file cannot be replaced (a folder has its name): the old index goes back.
    WriteBytes(src.file("d.u8"), kSmall);
    std::filesystem::create_directory(home.file("d.ced"));
    WriteBytes(home.file("d.ced/inside"), "x");
    WriteBytes(home.file("d.idx"), "old index");
    const ImportResult r = Run("d.u8", true);
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.outcome.message, "ERROR: d.u8 was not imported");
    EXPECT_NE(r.outcome.detail.find("d.ced"), std::string::npos) << r.outcome.detail;
    EXPECT_EQ(ReadBytes(home.file("d.idx")), "old index");
    EXPECT_EQ(NamesIn(home.path()), (std::vector<std::string>{"d.ced", "d.idx"}));
}

// A replacement whose rename fails, at each rename (the last one, which puts the new index in
// place, included): the old pair stays byte for byte, with its times, and is still used.
TEST_F(ImportTest, FailedRenameOfAReplacementKeepsTheOldPair) {
    WriteBytes(src.file("d.u8"), kSmall);
    ASSERT_TRUE(Run("d.u8", false, "First").outcome.ok);
    const std::string oldData = ReadBytes(home.file("d.ced"));
    const std::string oldIndex = ReadBytes(home.file("d.idx"));
    struct stat before;
    ASSERT_EQ(::stat(home.file("d.ced").c_str(), &before), 0);
    WriteBytes(src.file("d.u8"), kSmall + "人 人 [ren2] /person/\n");
    std::vector<std::string> details;
    const int64_t runs = test::WalkFileFaults(
        EIO, [&] { details.push_back(MessageWithDetail(Run("d.u8", true, "Second").outcome)); },
        [&](int64_t n) {
            const std::string where = "rename " + std::to_string(n) + ": " + details.back();
            EXPECT_EQ(details.back().rfind("ERROR: d.u8 was not imported\n", 0), 0u) << where;
            EXPECT_EQ(ReadBytes(home.file("d.ced")), oldData) << where;
            EXPECT_EQ(ReadBytes(home.file("d.idx")), oldIndex) << where;
            struct stat after;
            ASSERT_EQ(::stat(home.file("d.ced").c_str(), &after), 0);
            EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec) << where;
            EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << where;
            EXPECT_EQ(NamesIn(home.path()), (std::vector<std::string>{"d.ced", "d.idx"})) << where;
            const std::vector<TDic> dicts = Registered();
            ASSERT_EQ(dicts.size(), 1u) << where;
            EXPECT_EQ(dicts[0].Description, u"First") << where;
        },
        static_cast<unsigned>(FileOp::Rename));
    // Both files to their pending names, both old files aside, both new files into place.
    ASSERT_EQ(runs, 7);
    EXPECT_EQ(details[5], "ERROR: d.u8 was not imported\nCannot replace file (" +
                              std::string(std::strerror(EIO)) + "): " + home.file("d.idx"));
    EXPECT_EQ(Registered().at(0).Description, u"Second");
}

// A kill at each rename of a replacement (the one that puts the new data file beside the old
// index included): the next start finds the old or the new pair complete, says nothing about
// a stale index, and uses it. Also when both names are links to files elsewhere.
TEST_F(ImportTest, KilledReplacementLeavesOneCompletePair) {
    const std::string newer = kSmall + "人 人 [ren2] /person/\n";
    TempDir elsewhere;
    for (const bool linked : {false, true}) {
        const std::string folder = linked ? elsewhere.path() : home.path();
        int64_t k = 1;
        for (; k < 100; ++k) {
            for (const TempDir* d : {&home, &elsewhere}) {
                std::filesystem::remove_all(d->path());
                std::filesystem::create_directory(d->path());
            }
            WriteBytes(src.file("d.u8"), kSmall);
            ASSERT_TRUE(Run("d.u8", false, "First").outcome.ok);
            if (linked) {
                for (const char* name : {"d.ced", "d.idx"}) {
                    std::filesystem::rename(home.file(name), elsewhere.file(name));
                    std::filesystem::create_symlink(elsewhere.file(name), home.file(name));
                }
            }
            const std::string oldIndex = ReadBytes(home.file("d.idx"));
            WriteBytes(src.file("d.u8"), newer);
            const bool killed = test::RunKilledAt(
                k, [&] { Run("d.u8", true, "Second"); }, static_cast<unsigned>(FileOp::Rename));
            const std::string where =
                std::string(linked ? "linked, " : "") + "killed at rename " + std::to_string(k);
            const std::vector<TDic> dicts = Registered();  // fails on any message
            ASSERT_EQ(dicts.size(), 1u) << where;
            if (dicts[0].Description == u"First") {
                EXPECT_EQ(ReadBytes(home.file("d.ced")), Utf16Bytes(kSmall)) << where;
                EXPECT_EQ(ReadBytes(home.file("d.idx")), oldIndex) << where;
            } else {
                EXPECT_EQ(dicts[0].Description, u"Second") << where;
                EXPECT_EQ(ReadBytes(home.file("d.ced")), Utf16Bytes(newer)) << where;
                EXPECT_TRUE(HasKey(KeysOf(home.file("d.idx")), u"person")) << where;
            }
            EXPECT_EQ(std::filesystem::is_symlink(home.file("d.ced")), linked) << where;
            for (const std::string& name : NamesIn(folder)) {
                EXPECT_TRUE(name == "d.ced" || name == "d.idx" ||
                            name.compare(name.size() - 4, 4, ".tmp") == 0)
                    << where << ": " << name;
            }
            if (!killed) break;
        }
        EXPECT_EQ(k, 7) << linked;
    }
}

TEST_F(ImportTest, BadInputIsRefusedAndLeavesNothing) {
    struct Case {
        std::string bytes;
        std::string detail;
    };
    const std::vector<Case> cases{
        {"", "The file is empty"},
        {"# only\n# comments\n\n", "The file holds no CEDICT entries"},
        {"中 [zhong1] /middle/\n\xE4\xB8 [x] /broken/\n",
         "Line 2 is not UTF-8 (invalid byte at position 1)"},
        {"中 [zhong1] /middle/\n\xC0\xAF [x] /overlong/\n",
         "Line 2 is not UTF-8 (invalid byte at position 1)"},
        {"中 [zhong1] /middle/\nhello world\n", "Line 2 is not a CEDICT entry"},
        {"中 [zhong1] middle\n", "Line 1 is not a CEDICT entry"},
        {"[zhong1] /middle/\n", "Line 1 is not a CEDICT entry"},
        {std::string("中 [zhong1] /mid\0dle/\n", 24), "Line 1 holds a NUL character"},
        {"中 [zhong1] /" + std::string(20000, 'a') + "/\n", "Line 1 is longer than 9999"},
    };
    for (const Case& c : cases) {
        WriteBytes(src.file("bad.u8"), c.bytes);
        const ImportResult r = Run("bad.u8");
        EXPECT_FALSE(r.outcome.ok);
        EXPECT_EQ(r.outcome.message, "ERROR: bad.u8 was not imported");
        EXPECT_NE(r.outcome.detail.find(src.file("bad.u8")), std::string::npos) << r.outcome.detail;
        EXPECT_NE(r.outcome.detail.find(c.detail), std::string::npos) << r.outcome.detail;
        EXPECT_TRUE(NamesIn(home.path()).empty()) << c.detail;
    }
    // Damaged gzip: cut short.
    WriteGzip(src.file("full.gz"), kSmall + std::string(5000, '#') + "\n");
    const std::string gz = ReadBytes(src.file("full.gz"));
    WriteBytes(src.file("cut.gz"), gz.substr(0, gz.size() / 2));
    ImportResult r = Run("cut.gz");
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_NE(r.outcome.detail.find("Damaged gzip data"), std::string::npos) << r.outcome.detail;
    EXPECT_TRUE(NamesIn(home.path()).empty());
    // A missing file, a folder.
    r = Run("missing.u8");
    EXPECT_FALSE(r.outcome.ok);
    std::filesystem::create_directory(src.file("dir.u8"));
    r = Run("dir.u8");
    EXPECT_NE(r.outcome.detail.find("Not a regular file"), std::string::npos) << r.outcome.detail;
    EXPECT_TRUE(NamesIn(home.path()).empty());
}

TEST_F(ImportTest, FullDiskLeavesNothing) {
    std::string big;
    for (int i = 0; i < 3000; ++i)
        big += "中國 中国 [Zhong1 guo2] /China/entry " + std::to_string(i) + "/\n";
    WriteBytes(src.file("big.u8"), big);
    {
        test::FileSizeLimit limit(50000);  // the data file cannot be written whole
        const ImportResult r = Run("big.u8");
        EXPECT_FALSE(r.outcome.ok);
    }
    EXPECT_TRUE(NamesIn(home.path()).empty());
}

TEST(ImportNames, StemAndName) {
    EXPECT_EQ(ImportStem("/x/cedict_ts.u8.gz"), "cedict_ts");
    EXPECT_EQ(ImportStem("a/b/words.TXT"), "words");
    EXPECT_EQ(ImportStem("cedict_ts.u8.GZ"), "cedict_ts");
    EXPECT_EQ(ImportStem("plain"), "plain");
    EXPECT_EQ(ImportStem(".u8"), "");
    EXPECT_EQ(ImportName(std::string("N"), true, "s"), "N");
    EXPECT_EQ(ImportName(std::nullopt, true, "s"), "CC-CEDICT");
    EXPECT_EQ(ImportName(std::nullopt, false, "s"), "CEDICT file s.ced");
}

}  // namespace
}  // namespace kes
