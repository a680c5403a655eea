#include "cli/cli_index.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "base/filesystem.h"
#include "base/paths.h"
#include "dict/indexformat.h"
#include "support/reference.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::Ucs2File;
using test::WriteBytes;

struct RunResult {
    int exitCode;
    std::string err;
    std::string out;
};

// Runs the program with the arguments in `folder`, stdin empty, stdout and stderr to files.
RunResult RunProgram(const TempDir& folder, const std::vector<std::string>& args) {
    std::string cmd =
        "cd " + test::ShellQuote(folder.path()) + " && " + test::ShellQuote(KESTRUNE_BINARY);
    for (const auto& a : args)
        cmd += " " + test::ShellQuote(a);
    cmd += " </dev/null >" + test::ShellQuote(folder.file("stdout.txt")) + " 2>" +
           test::ShellQuote(folder.file("stderr.txt"));
    int status = std::system(cmd.c_str());
    RunResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = ReadBytes(folder.file("stderr.txt"));
    r.out = ReadBytes(folder.file("stdout.txt"));
    std::filesystem::remove(folder.file("stderr.txt"));
    std::filesystem::remove(folder.file("stdout.txt"));
    return r;
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
    EXPECT_EQ(r.exitCode, 0);
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
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(DescriptionText(ReadIndexHeaderOf(dir.file("d.idx")).Description),
              u"Mein Wörterbuch 词典");
    EXPECT_EQ(KeysOf(dir.file("d.idx")), (std::set<std::u16string>{u"你好", u"ni hao"}));

    std::filesystem::remove(dir.file("d.idx"));
    r = RunProgram(dir, {"index", "--pinyin", "--no-pinyin", "--words", "--name=", "d.ced"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(DescriptionText(ReadIndexHeaderOf(dir.file("d.idx")).Description), u"");
    EXPECT_EQ(KeysOf(dir.file("d.idx")), (std::set<std::u16string>{u"你好", u"hello"}));
}

TEST_F(IndexCommandTest, ExistingIndexIsRefused) {
    WriteBytes(dir.file("d.idx"), "keep me");
    RunResult r = RunProgram(dir, {"index", "d.ced"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Index file d.idx already exists! Delete it before creating a new one!\n");
    EXPECT_EQ(ReadBytes(dir.file("d.idx")), "keep me");
}

TEST_F(IndexCommandTest, FailuresExitNonZeroWithAMessage) {
    RunResult missing = RunProgram(dir, {"index", "none.ced"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.rfind("ERROR: Unknown error when creating index file!\n", 0), 0u)
        << missing.err;
    EXPECT_NE(missing.err.find("none.ced"), std::string::npos) << missing.err;
    EXPECT_FALSE(FileExists(dir.file("none.idx")));

    WriteBytes(dir.file("odd.ced"), "abc");
    RunResult odd = RunProgram(dir, {"index", "odd.ced"});
    EXPECT_EQ(odd.exitCode, 1);
    EXPECT_NE(odd.err.find("odd byte size"), std::string::npos) << odd.err;
    EXPECT_FALSE(FileExists(dir.file("odd.idx")));
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
    };
    for (const Case& c : cases) {
        RunResult r = RunProgram(dir, c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err, c.firstLine +
                             "Usage: kestrune index FILE.ced [--name TEXT] [--words|--no-words] "
                             "[--pinyin|--no-pinyin]\n");
    }
    EXPECT_FALSE(FileExists(dir.file("d.idx")));
}

TEST_F(IndexCommandTest, WarningsGoToStderrWithoutProgressWhenNotATerminal) {
    std::string form(31, 'x');
    WriteBytes(dir.file("w.ced"), Ucs2File({form + " [x] /y/", "ok [x] /y/"}));
    RunResult r = RunProgram(dir, {"index", "w.ced"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "WARNING: A string with word [" + form +
                         " ] can't be added to index because of size limitations (word <= 30, "
                         "pinyin <=90, translation <=10000 chars)\n"
                         "Index file created: w.idx\n");
}

TEST_F(IndexCommandTest, ProgressIsShownOnATerminal) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
    // script(1) runs the command with a terminal as its stdout and stderr.
    std::string inner = "cd " + test::ShellQuote(dir.path()) + " && " +
                        test::ShellQuote(KESTRUNE_BINARY) + " index d.ced";
    std::string cmd = "script -qec " + test::ShellQuote(inner) + " /dev/null </dev/null >" +
                      test::ShellQuote(dir.file("tty.txt")) + " 2>&1";
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
