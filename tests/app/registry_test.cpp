#include "app/registry.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "app/inifile.h"
#include "app/registrytexts.h"
#include "base/filesystem.h"
#include "base/replacefile.h"
#include "base/text.h"
#include "dict/builder.h"
#include "dict/indexformat.h"
#include "support/faults.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::MakeDict;
using test::ReadBytes;
using test::TempDir;
using test::Ucs2File;
using test::WriteBytes;

const std::string kFoundHeading =
    "<p style=\"margin:2;\"><font face=\"Tahoma\" color=\"#102060\">Dictionaries found:</font>"
    "</p>";

std::string StartLine(int i, const std::string& description) {
    return "<p style=\"margin:2;\"><font face=\"Tahoma\"><i><b>" + std::to_string(i) + ".</b> " +
           description + "</i></font></p>";
}

struct Found {
    Registry reg;
    std::vector<std::string> messages;
    int pumps = 0;
};

Found Discover(const TempDir& dir, bool writeDicts = true) {
    Found f;
    RegistryCallbacks cb;
    cb.message = [&f](const std::string& m) { f.messages.push_back(m); };
    cb.processMessages = [&f] { ++f.pumps; };
    DiscoverOptions options;
    options.writeDicts = writeDicts;
    DiscoverDictionaries(f.reg, dir.path(), cb, options);
    return f;
}

std::string Order(const Registry& reg) {
    std::string s;
    for (const TDic& d : reg.Dicts)
        s += d.FileName + "=" + (d.Enabled ? "1" : "0") + "#" + std::to_string(d.Number) + " ";
    return s;
}

TEST(Registry, DictsSectionOrdersAndSwitches) {
    TempDir dir;
    for (const char* n : {"a", "b", "c", "d"})
        MakeDict(dir, n, std::string("Dict ") + n);
    WriteBytes(dir.file("setup.ini"),
               "[Setup]\nX=1\n\n[Dicts]\nc.idx = 1\na.idx=0\n\n[Tail]\nk=v\n");
    Found f = Discover(dir);
    EXPECT_EQ(Order(f.reg), "c.idx=1#1 a.idx=0#2 b.idx=1#3 d.idx=1#4 ");
    EXPECT_TRUE(f.messages.empty());
    EXPECT_EQ(f.pumps, 4);
    EXPECT_EQ(ReadBytes(dir.file("setup.ini")),
              "[Setup]\nX=1\n\n[Tail]\nk=v\n\n[Dicts]\nc.idx=1\na.idx=0\nb.idx=1\nd.idx=1\n");
    // Disabled dictionaries are listed in the start text like the others.
    EXPECT_EQ(f.reg.StartText, kFoundHeading + StartLine(1, "Dict c") + StartLine(2, "Dict a") +
                                   StartLine(3, "Dict b") + StartLine(4, "Dict d"));
    EXPECT_EQ(DictItemText(f.reg.Dicts[0]), u"Dict c");
    EXPECT_EQ(DictItemText(f.reg.Dicts[1]), u"Dict a (disabled)");
}

TEST(Registry, KeysInAnotherCaseNewAndRemovedDictionaries) {
    TempDir dir;
    for (const char* n : {"a", "b", "new"})
        MakeDict(dir, n, n);
    // "B.idx" is not b.idx; "gone.idx" has no files; a key listed twice is applied once.
    WriteBytes(dir.file("setup.ini"), "[dicts]\ngone.idx=1\nB.idx=0\na.idx=0\nb.idx=2\na.idx=1\n");
    Found f = Discover(dir);
    EXPECT_EQ(Order(f.reg), "a.idx=0#1 b.idx=0#2 new.idx=1#3 ");
    EXPECT_EQ(ReadBytes(dir.file("setup.ini")), "[Dicts]\na.idx=0\nb.idx=0\nnew.idx=1\n");

    WriteBytes(dir.file("setup.ini"), "[Dicts]\nB.idx=0\n");
    f = Discover(dir);
    EXPECT_EQ(Order(f.reg), "a.idx=1#1 b.idx=1#2 new.idx=1#3 ");
    EXPECT_EQ(ReadBytes(dir.file("setup.ini")), "[Dicts]\na.idx=1\nb.idx=1\nnew.idx=1\n");
}

TEST(Registry, ApplyPairsFollowsTheSwapRule) {
    std::vector<TDic> dicts(4);
    const char* names[] = {"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i)
        dicts[static_cast<std::size_t>(i)].FileName = names[i];
    ApplyDictsPairs(dicts, {{"d", "1"}, {"zz", "1"}, {"b", "0"}, {"d", "0"}, {"c", "x"}});
    // Pairs kept: d, b, d, c. d swaps 1<->4: d b c a; b stays at 2; the second d is not
    // found from position 3 on; c (pair 4) is not found from position 4 on either, so its
    // flag is not applied.
    std::string s;
    for (const TDic& d : dicts)
        s += d.FileName + (d.Enabled ? "1" : "0");
    EXPECT_EQ(s, "d1b0c1a1");
}

TEST(Registry, NothingFoundAndTheUnihanLine) {
    TempDir dir;
    WriteBytes(dir.file("lonely.ced"), Ucs2File({"x [x] /x/"}));  // no index: silent
    WriteBytes(dir.file("orphan.idx"), std::string(300, '\0'));   // no data file: silent
    Found f = Discover(dir);
    EXPECT_TRUE(f.reg.Dicts.empty());
    EXPECT_TRUE(f.messages.empty());
    EXPECT_EQ(f.reg.StartText, kFoundHeading);
    EXPECT_FALSE(f.reg.Unihan.Available);
    EXPECT_EQ(ReadBytes(dir.file("setup.ini")), "");

    WriteBytes(dir.file("unihan.txt"), "U+4E00\ta\tb\n");
    WriteBytes(dir.file("unihan.idc"), std::string("\x00\x4E\x00\x00\x00\x00\x00\x00", 8));
    f = Discover(dir);
    EXPECT_TRUE(f.reg.Unihan.Available);
    EXPECT_EQ(f.reg.StartText, kFoundHeading + std::string(kUnihanFoundLine));
}

TEST(Registry, StaleIndexIsDeletedWithTheMessage) {
    TempDir dir;
    MakeDict(dir, "old", "Old");
    MakeDict(dir, "ok", "Fine");
    // The data file changes size after its index was built.
    WriteBytes(dir.file("old.ced"), Ucs2File({"中 [zhong1] /middle/", "国 [guo2] /country/"}));
    Found f = Discover(dir);
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0],
              "Index file old.idx was deleted because of changes in old.ced datafile!");
    EXPECT_FALSE(std::filesystem::exists(dir.file("old.idx")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("old.ced")));
    EXPECT_EQ(Order(f.reg), "ok.idx=1#1 ");

    // Same size, other time.
    MakeDict(dir, "t", "T");
    SetFileUnixTime(dir.file("t.ced"), 1000000000);
    f = Discover(dir);
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0], "Index file t.idx was deleted because of changes in t.ced datafile!");
}

// Sets the local zone for one scope (a POSIX zone string, so no zone database is needed).
class LocalZone {
public:
    explicit LocalZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~LocalZone() {
        if (old_) ::setenv("TZ", old_->c_str(), 1);
        else ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> old_;
};

// An index built in one zone stays valid in every other; an edit of the same size that moves
// the data file's time by other than whole quarter hours is still caught.
TEST(Registry, IndexBuiltInOneZoneIsValidInEvery) {
    TempDir dir;
    {
        LocalZone built("UTC0");
        MakeDict(dir, "d", "D");
    }
    const std::string index = ReadBytes(dir.file("d.idx"));
    for (const char* zone : {"<-12>12", "<+0545>-5:45", "<+14>-14", "EST5EDT,M3.2.0,M11.1.0"}) {
        LocalZone here(zone);
        Found f = Discover(dir);
        EXPECT_TRUE(f.messages.empty()) << zone << ": " << (f.messages.empty() ? "" : f.messages[0]);
        EXPECT_EQ(Order(f.reg), "d.idx=1#1 ") << zone;
        EXPECT_EQ(ReadBytes(dir.file("d.idx")), index) << zone;
    }

    // Rewritten with the same size 37 minutes later: stale in every zone.
    const int64_t built = FileUnixTime(dir.file("d.ced"));
    SetFileUnixTime(dir.file("d.ced"), built + 37 * 60);
    LocalZone here("<+0545>-5:45");
    Found f = Discover(dir);
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0], "Index file d.idx was deleted because of changes in d.ced datafile!");
    EXPECT_FALSE(std::filesystem::exists(dir.file("d.idx")));
}

// The options of an index, read from its keys, for each combination the builder offers.
TEST(StaleIndex, OptionsAreReadFromTheKeys) {
    const std::vector<std::string> lines{"# c", "cos cos [c o s] /cosplay/",
                                         "中國 中国 [Zhong1 guo2] /China/",
                                         "長 长 [zhang3] /chief/"};
    for (bool words : {false, true}) {
        for (bool pinyin : {false, true}) {
            TempDir dir;
            MakeDict(dir, "d", "D", lines, IndexBuildOptions{words, pinyin});
            const IndexBuildOptions o = IndexOptionsOf(dir.file("d.idx"));
            EXPECT_EQ(o.AddDescToIndex, words) << words << pinyin;
            EXPECT_EQ(o.AddPinToIndex, pinyin) << words << pinyin;
        }
    }
    // Cyrillic words; one-syllable pinyin of a character dictionary.
    TempDir dir;
    MakeDict(dir, "r", "R", {"中 [zhong1] /середина/"}, IndexBuildOptions{true, false});
    EXPECT_TRUE(IndexOptionsOf(dir.file("r.idx")).AddDescToIndex);
    MakeDict(dir, "p", "P", {"马 [ma3] /horse/", "中 [zhong1] /middle/"},
             IndexBuildOptions{false, true});
    const IndexBuildOptions p = IndexOptionsOf(dir.file("p.idx"));
    EXPECT_FALSE(p.AddDescToIndex);
    EXPECT_TRUE(p.AddPinToIndex);
    EXPECT_EQ(p.MinWordLength, 4);
    // Words of three letters: a Latin one that is no syllable ("dog"), a Cyrillic one; "xin"
    // and "ren" are pinyin. A headword of three lowercase letters ("cos") looks like a word:
    // a rebuild then files more words, never fewer.
    struct Case {
        std::vector<std::string> lines;
        int minWord;
        int expected;
    };
    const Case cases[] = {
        {{"狗 [gou3] /dog/canine/"}, 3, 3},    {{"狗 [gou3] /dog/canine/"}, 4, 4},
        {{"猫 [mao1] /кот/"}, 3, 3},           {{"心 [xin1] /heart/", "人 [ren2] /person/"}, 3, 4},
        {{"cos cos [c o s] /cosplay/"}, 4, 3},
    };
    for (const Case& c : cases) {
        TempDir d;
        IndexBuildOptions o{true, true};
        o.MinWordLength = c.minWord;
        MakeDict(d, "m", "M", c.lines, o);
        EXPECT_EQ(IndexOptionsOf(d.file("m.idx")).MinWordLength, c.expected) << c.lines[0];
    }
}

struct StaleFixture {
    TempDir dir;
    std::vector<std::string> asked;
    std::vector<int> progress;
    Found Run(bool answer, bool keep = false) {
        Found f;
        RegistryCallbacks cb;
        cb.message = [&f](const std::string& m) { f.messages.push_back(m); };
        cb.ask = [this, answer](const std::string& q) {
            asked.push_back(q);
            return answer;
        };
        cb.progress = [this](int p) { progress.push_back(p); };
        DiscoverOptions options;
        options.keepStaleIndexes = keep;
        DiscoverDictionaries(f.reg, dir.path(), cb, options);
        return f;
    }
    // "s" built with `options`, then its data file changed.
    void MakeStale(const IndexBuildOptions& options) {
        MakeDict(dir, "s", "My dictionary", {"中國 中国 [zhong1 guo2] /China/"}, options);
        WriteBytes(dir.file("s.ced"),
                   Ucs2File({"中國 中国 [zhong1 guo2] /China/", "書 书 [shu1] /book/letter/"}));
    }
};

TEST(StaleIndex, YesRebuildsWithTheOldNameAndOptions) {
    for (bool words : {false, true}) {
        StaleFixture t;
        t.MakeStale(IndexBuildOptions{words, true});
        Found f = t.Run(true);
        ASSERT_EQ(f.messages.size(), 1u);
        EXPECT_EQ(f.messages[0],
                  "Index file s.idx was deleted because of changes in s.ced datafile!");
        ASSERT_EQ(t.asked.size(), 1u);
        EXPECT_EQ(t.asked[0],
                  "Rebuild index file s.idx now with the same name and options?\n\n"
                  "Name: My dictionary\nTranslation words: " +
                      std::string(words ? "yes" : "no") + "\nPinyin: yes");
        ASSERT_EQ(f.reg.Dicts.size(), 1u);
        EXPECT_EQ(f.reg.Dicts[0].FileName, "s.idx");
        EXPECT_EQ(f.reg.Dicts[0].Description, u"My dictionary");
        EXPECT_TRUE(f.reg.Dicts[0].Enabled);
        EXPECT_FALSE(t.progress.empty());
        // The new index belongs to the new data file and has the same kinds of keys.
        const IndexHeader h = ReadIndexHeaderOf(t.dir.file("s.idx"));
        EXPECT_EQ(DescriptionText(h.Description), u"My dictionary");
        EXPECT_EQ(h.DataSize, FileSizeOf(t.dir.file("s.ced")));
        EXPECT_EQ(h.DataAge, FileDosTime(t.dir.file("s.ced")));
        const IndexBuildOptions o = IndexOptionsOf(t.dir.file("s.idx"));
        EXPECT_EQ(o.AddDescToIndex, words);
        EXPECT_TRUE(o.AddPinToIndex);
        // Valid from now on: the next start asks nothing.
        t.asked.clear();
        f = t.Run(true);
        EXPECT_TRUE(f.messages.empty());
        EXPECT_TRUE(t.asked.empty());
        EXPECT_EQ(f.reg.Dicts.size(), 1u);
    }
}

TEST(StaleIndex, WordsOfThreeLettersAreKeptByTheRebuild) {
    StaleFixture t;
    IndexBuildOptions three{true, false};
    three.MinWordLength = 3;
    MakeDict(t.dir, "s", "My dictionary", {"狗 [gou3] /dog/canine/"}, three);
    WriteBytes(t.dir.file("s.ced"), Ucs2File({"狗 [gou3] /dog/canine/", "貓 猫 [mao1] /cat/"}));
    Found f = t.Run(true);
    ASSERT_EQ(t.asked.size(), 1u);
    EXPECT_EQ(t.asked[0],
              "Rebuild index file s.idx now with the same name and options?\n\n"
              "Name: My dictionary\nTranslation words: yes (3 letters and more)\nPinyin: no");
    ASSERT_EQ(f.reg.Dicts.size(), 1u);
    EXPECT_EQ(IndexOptionsOf(t.dir.file("s.idx")).MinWordLength, 3);
}

TEST(StaleIndex, NoLeavesTheIndexDeleted) {
    StaleFixture t;
    t.MakeStale(IndexBuildOptions{true, false});
    Found f = t.Run(false);
    ASSERT_EQ(t.asked.size(), 1u);
    EXPECT_EQ(t.asked[0],
              "Rebuild index file s.idx now with the same name and options?\n\n"
              "Name: My dictionary\nTranslation words: yes\nPinyin: no");
    EXPECT_TRUE(f.reg.Dicts.empty());
    EXPECT_FALSE(std::filesystem::exists(t.dir.file("s.idx")));
    EXPECT_TRUE(t.progress.empty());
}

TEST(StaleIndex, KeptAndExplainedWhenFilesMustNotChange) {
    StaleFixture t;
    t.MakeStale(IndexBuildOptions{true, true});
    const std::string before = ReadBytes(t.dir.file("s.idx"));
    Found f = t.Run(true, /*keep=*/true);
    EXPECT_TRUE(t.asked.empty());
    EXPECT_TRUE(f.reg.Dicts.empty());
    EXPECT_EQ(ReadBytes(t.dir.file("s.idx")), before);
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0],
              "Index file s.idx is out of date: s.ced changed after it was built. "
              "It was not used; rebuild it with:\n  rm " +
                  t.dir.file("s.idx") + " && kestrune index " + t.dir.file("s.ced") +
                  " --name 'My dictionary' --words --pinyin");
}

// A killed index build leaves its temporary file: discovery removes it once stale and says
// why the dictionary is missing while one is fresh (a build may be writing it).
TEST(Registry, UnfinishedIndexIsNamedAndAStaleOneRemoved) {
    TempDir dir;
    MakeDict(dir, "ok", "Fine");
    WriteBytes(dir.file("new.ced"), Ucs2File({"中 [zhong1] /middle/"}));
    WriteBytes(dir.file("new.idx.0123456789ab.tmp"), "partial");
    Found f = Discover(dir);
    EXPECT_EQ(f.messages, (std::vector<std::string>{
                              "Index file new.idx is still being created (or its build was "
                              "stopped less than a minute ago)! File new.ced wasn't used!"}));
    EXPECT_EQ(Order(f.reg), "ok.idx=1#1 ");
    test::AgeFile(dir.file("new.idx.0123456789ab.tmp"), kStaleTemporaryAge + 5);
    f = Discover(dir);
    EXPECT_TRUE(f.messages.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("new.idx.0123456789ab.tmp")));
}

TEST(Registry, DamagedHeaderSkipsOnlyThatDictionary) {
    TempDir dir;
    MakeDict(dir, "a", "A");
    MakeDict(dir, "b", "B");
    MakeDict(dir, "c", "C");
    std::string idx = ReadBytes(dir.file("b.idx"));
    WriteBytes(dir.file("b.idx"), idx.substr(0, 271));
    std::filesystem::remove(dir.file("c.idx"));
    std::filesystem::create_directory(dir.file("c.idx"));  // a folder in place of the index
    Found f = Discover(dir);
    EXPECT_EQ(Order(f.reg), "a.idx=1#1 ");
    // The folder is no index file: silently not a dictionary. The short index is reported.
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0].rfind("Index file b.idx could not be read (", 0), 0u) << f.messages[0];
    const std::string tail = ")! File b.ced wasn't used!";
    ASSERT_GT(f.messages[0].size(), tail.size());
    EXPECT_EQ(f.messages[0].substr(f.messages[0].size() - tail.size()), tail);
    EXPECT_TRUE(std::filesystem::exists(dir.file("b.idx")));  // not deleted
    EXPECT_EQ(f.reg.StartText, kFoundHeading + StartLine(1, "A"));
}

TEST(Registry, DescriptionOf128UnitsWithoutTerminator) {
    TempDir dir;
    MakeDict(dir, "long", "x");
    std::string idx = ReadBytes(dir.file("long.idx"));
    for (int i = 0; i < 128; ++i) {
        idx[static_cast<std::size_t>(2 * i)] = static_cast<char>('a' + i % 26);
        idx[static_cast<std::size_t>(2 * i + 1)] = 0;
    }
    WriteBytes(dir.file("long.idx"), idx);
    Found f = Discover(dir);
    ASSERT_EQ(f.reg.Dicts.size(), 1u);
    ASSERT_EQ(f.reg.Dicts[0].Description.size(), 128u);
    EXPECT_EQ(f.reg.Dicts[0].Description.substr(0, 3), u"abc");
    EXPECT_EQ(f.reg.Dicts[0].Description[127], u'a' + 127 % 26);
}

TEST(Registry, LimitOfOneHundredDictionaries) {
    TempDir dir;
    for (int i = 0; i < 101; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "d%03d", i);
        MakeDict(dir, name, name);
    }
    WriteBytes(dir.file("zzz.ced"), Ucs2File({"x [x] /x/"}));  // no index, still refused
    Found f = Discover(dir);
    EXPECT_EQ(f.reg.Dicts.size(), 100u);
    EXPECT_EQ(f.reg.Dicts.back().FileName, "d099.idx");
    EXPECT_EQ(f.messages,
              (std::vector<std::string>{
                  "Limit of dictionaries count (100) was exceeded! File d100.ced wasn't used!",
                  "Limit of dictionaries count (100) was exceeded! File zzz.ced wasn't used!"}));
}

TEST(Registry, CommandLineDiscoveryLeavesSetupIniAlone) {
    TempDir dir;
    MakeDict(dir, "a", "A");
    MakeDict(dir, "b", "B");
    const std::string ini = "[Dicts]\r\nb.idx=0\r\nzz.idx=1\r\n";
    WriteBytes(dir.file("setup.ini"), ini);
    Found f = Discover(dir, false);
    EXPECT_EQ(Order(f.reg), "b.idx=0#1 a.idx=1#2 ");
    EXPECT_EQ(ReadBytes(dir.file("setup.ini")), ini);
    // Without a setup.ini, none is created.
    std::filesystem::remove(dir.file("setup.ini"));
    Discover(dir, false);
    EXPECT_FALSE(std::filesystem::exists(dir.file("setup.ini")));
}

TEST(Registry, UnreadableSetupIniKeepsTheFoundOrder) {
    TempDir dir;
    MakeDict(dir, "a", "A");
    MakeDict(dir, "b", "B");
    std::filesystem::create_directory(dir.file("setup.ini"));
    Found f = Discover(dir);
    EXPECT_EQ(Order(f.reg), "a.idx=1#1 b.idx=1#2 ");
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("setup.ini")));
}

TEST(Registry, WriteDictsSectionKeepsOtherSections) {
    TempDir dir;
    WriteBytes(dir.file("setup.ini"), "[Dicts]\nold.idx=1\n[Setup]\nX=1\n");
    std::vector<TDic> dicts(2);
    dicts[0].FileName = "B.idx";
    dicts[0].Enabled = false;
    dicts[1].FileName = "b.idx";
    ASSERT_TRUE(WriteDictsSection(dir.file("setup.ini"), dicts).ok);
    EXPECT_EQ(ReadBytes(dir.file("setup.ini")), "[Setup]\nX=1\n\n[Dicts]\nB.idx=0\nb.idx=1\n");
    const Outcome failed = WriteDictsSection(dir.file("none/setup.ini"), dicts);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(MessageWithDetail(failed),
              "ERROR: The list of dictionaries could not be saved to setup.ini!\nCannot create "
              "file (" +
                  std::string(std::strerror(ENOENT)) + "): " + dir.file("none/setup.ini"));
}

TEST(Registry, StartTextShowsDescriptionsAsWritten) {
    std::vector<TDic> dicts(1);
    dicts[0].Description = Utf8ToUtf16("<b>粗</b> & Co");
    EXPECT_EQ(StartTextOf(dicts), kFoundHeading + StartLine(1, "&lt;b&gt;粗&lt;/b&gt; &amp; Co"));
}

TEST(Registry, AboutPageAndItemNumbers) {
    EXPECT_EQ(AboutPageHtml("S", " readme"), "S<br /> readme");
    std::vector<TDic> dicts(3);
    NumberDictionaries(dicts);
    EXPECT_EQ(dicts[2].Number, 3);
}

}  // namespace
}  // namespace kes
