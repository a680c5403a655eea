#include "cli/cli_index.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "base/filesystem.h"
#include "base/paths.h"
#include "dict/indexformat.h"
#include "support/faults.h"
#include "support/program.h"
#include "support/reference.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::ReadBytes;
using test::ShellQuote;
using test::TempDir;
using test::Ucs2File;
using test::WriteBytes;

using RunResult = test::ProgramRun;

// Runs the program with the arguments in `folder`, stdin empty.
RunResult RunProgram(const TempDir& folder, const std::vector<std::string>& args) {
    return test::RunProgram(KESTRUNE_BINARY, args, {.cwd = folder.path()});
}

// The keys of an index that carry entries (each as stored: both forms off).
std::set<std::u16string> KeysOf(const std::string& indexPath) {
    TDic dic;
    dic.FileName = BaseName(indexPath);
    const std::vector<std::u16string> words =
        test::ReferenceListWords(dic, DirName(indexPath), u"", false);
    return std::set<std::u16string>(words.begin(), words.end());
}

class IndexCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteBytes(dir.file("d.ced"), Ucs2File({"# comment", "你好 你好 [ni3 hao3] /hello/hi/"}));
    }
    TempDir dir;
};

TEST_F(IndexCommandTest, DefaultsBuildHeadwordsAndWords) {
    RunResult r = RunProgram(dir, {"index", "d.ced"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "Index file created: d.idx\n");
    EXPECT_EQ(r.out, "");
    ASSERT_TRUE(FileExists(dir.file("d.idx")));
    EXPECT_EQ(DescriptionText(ReadIndexHeaderOf(dir.file("d.idx")).Description),
              u"CEDICT file d.ced");
    EXPECT_EQ(KeysOf(dir.file("d.idx")), (std::set<std::u16string>{u"你好", u"hello"}));
}

TEST_F(IndexCommandTest, OptionsAndName) {
    RunResult r = RunProgram(dir, {" Index ", dir.file("d.ced"), "--name", "Mein Wörterbuch 词典",
                                   "--pinyin", "--no-words"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(DescriptionText(ReadIndexHeaderOf(dir.file("d.idx")).Description),
              u"Mein Wörterbuch 词典");
    EXPECT_EQ(KeysOf(dir.file("d.idx")), (std::set<std::u16string>{u"你好", u"ni hao"}));

    std::filesystem::remove(dir.file("d.idx"));
    r = RunProgram(dir, {"index", "--pinyin", "--no-pinyin", "--words", "--name=", "d.ced"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(DescriptionText(ReadIndexHeaderOf(dir.file("d.idx")).Description), u"");
    EXPECT_EQ(KeysOf(dir.file("d.idx")), (std::set<std::u16string>{u"你好", u"hello"}));
}

TEST_F(IndexCommandTest, ShortWordsOnlyWhenAsked) {
    WriteBytes(dir.file("d.ced"), Ucs2File({"# comment", "狗 [gou3] /dog/the dog's tail/"}));
    ASSERT_EQ(RunProgram(dir, {"index", "d.ced"}).code, 0);
    EXPECT_EQ(KeysOf(dir.file("d.idx")), (std::set<std::u16string>{u"狗", u"tail"}));
    std::filesystem::remove(dir.file("d.idx"));
    ASSERT_EQ(RunProgram(dir, {"index", "d.ced", "--min-word=3"}).code, 0);
    EXPECT_EQ(KeysOf(dir.file("d.idx")), (std::set<std::u16string>{u"狗", u"dog", u"tail"}));
}

TEST_F(IndexCommandTest, ExistingIndexIsRefused) {
    WriteBytes(dir.file("d.idx"), "keep me");
    RunResult r = RunProgram(dir, {"index", "d.ced"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Index file d.idx already exists! Delete it before creating a new one!\n");
    EXPECT_EQ(ReadBytes(dir.file("d.idx")), "keep me");
}

TEST_F(IndexCommandTest, FailuresExitNonZeroWithAMessage) {
    RunResult missing = RunProgram(dir, {"index", "none.ced"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err.rfind("ERROR: Unknown error when creating index file!\n", 0), 0u)
        << missing.err;
    EXPECT_NE(missing.err.find("none.ced"), std::string::npos) << missing.err;
    EXPECT_FALSE(FileExists(dir.file("none.idx")));

    WriteBytes(dir.file("odd.ced"), std::string("a\0b", 3));
    RunResult odd = RunProgram(dir, {"index", "odd.ced"});
    EXPECT_EQ(odd.code, 1);
    EXPECT_NE(odd.err.find("odd byte size"), std::string::npos) << odd.err;
    EXPECT_FALSE(FileExists(dir.file("odd.idx")));
}

TEST_F(IndexCommandTest, WhatIsNotUtf16LeTextIsRefusedAndNothingWritten) {
    using std::string_literals::operator""s;
    struct Case {
        std::string file, bytes, reason;
    };
    const Case cases[] = {
        {"passwd", "root:x:0:0:root:/root:/bin/bash\n", "it reads as UTF-8"},
        {"cedict_ts.u8", "# CC-CEDICT\n中國 中国 [Zhong1 guo2] /China/\n", "it reads as UTF-8"},
        {"odd.txt", "abc", "it reads as UTF-8"},
        {"bom.ced", "\xEF\xBB\xBF" + Ucs2File({"a [b] /c/"}), "it reads as UTF-8"},
        {"be.ced", "\xFE\xFF\x4E\x2D\x00\x20\x00\x5B"s, "it reads as UTF-16 big-endian"},
        {"a.out", "\x7F" "ELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00"s,
         "it holds binary data"},
    };
    for (const Case& c : cases) {
        WriteBytes(dir.file(c.file), c.bytes);
        RunResult r = RunProgram(dir, {"index", c.file});
        EXPECT_EQ(r.code, 1) << c.file;
        EXPECT_EQ(r.err, "Refused: " + c.file + " is not UTF-16LE text (" + c.reason +
                             "); nothing was written.\nA CEDICT file in UTF-8 is added with: "
                             "kestrune import " +
                             c.file + "\n");
        EXPECT_EQ(r.out, "");
    }
    // An existing index beside a refused file stays as it was.
    WriteBytes(dir.file("passwd.idx"), "keep me");
    EXPECT_EQ(RunProgram(dir, {"index", "passwd"}).code, 1);
    EXPECT_EQ(ReadBytes(dir.file("passwd.idx")), "keep me");
    std::filesystem::remove(dir.file("passwd.idx"));
    for (const Case& c : cases) std::filesystem::remove(dir.file(c.file));
    std::filesystem::remove(dir.file("d.ced"));
    EXPECT_TRUE(test::NamesIn(dir.path()).empty());
}

TEST_F(IndexCommandTest, UsageErrors) {
    struct Case {
        std::vector<std::string> args;
        std::string firstLine;
    };
    const Case cases[] = {
        {{"index"}, "No data file given\n"},
        {{"index", "d.ced", "--bogus"}, "Unknown option: --bogus\n"},
        {{"index", "d.ced", "--name"}, "Option --name needs a text\n"},
        {{"index", "d.ced", "e.ced"}, "Only one data file can be indexed at a time: e.ced\n"},
        {{"index", "d.ced", "--min-word=2"}, "Option --min-word takes 3 or 4: --min-word=2\n"},
        {{"index", "d.ced", "--min-word"}, "Option --min-word takes 3 or 4: --min-word\n"},
    };
    for (const Case& c : cases) {
        RunResult r = RunProgram(dir, c.args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err, c.firstLine +
                             "Usage: kestrune index FILE.ced [--name TEXT] [--words|--no-words] "
                             "[--pinyin|--no-pinyin] [--min-word=3|4]\n");
    }
    EXPECT_FALSE(FileExists(dir.file("d.idx")));
}

TEST_F(IndexCommandTest, WarningsGoToStderrWithoutProgressWhenNotATerminal) {
    std::string form(31, 'x');
    WriteBytes(dir.file("w.ced"), Ucs2File({form + " [x] /y/", "ok [x] /y/"}));
    RunResult r = RunProgram(dir, {"index", "w.ced"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "WARNING: A string with word [" + form +
                         " ] can't be added to index because of size limitations (word <= 30, "
                         "pinyin <=90, translation <=10000 chars)\n"
                         "Index file created: w.idx\n");
}

TEST_F(IndexCommandTest, ProgressIsShownOnATerminal) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
    // script(1) runs the command with a terminal as its stdout and stderr.
    std::string inner =
        "cd " + ShellQuote(dir.path()) + " && " + ShellQuote(KESTRUNE_BINARY) + " index d.ced";
    std::string cmd = "script -qec " + ShellQuote(inner) + " /dev/null </dev/null >" +
                      ShellQuote(dir.file("tty.txt")) + " 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::string tty = ReadBytes(dir.file("tty.txt"));
    EXPECT_EQ(tty.rfind("\r Creating index file... 0%", 0), 0u) << tty;
    EXPECT_NE(tty.find("\r Creating index file... 27%"), std::string::npos) << tty;
    const std::string last = "\rIndex file created: d.idx\r\n";
    ASSERT_GE(tty.size(), last.size());
    EXPECT_EQ(tty.substr(tty.size() - last.size()), last);
    EXPECT_TRUE(FileExists(dir.file("d.idx")));
}

}  // namespace
}  // namespace kes
