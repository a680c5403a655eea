// The "ocr" command as users run it: what goes to stdout and stderr, and the exit codes.
#include "cli/cli_ocr.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/tempdir.h"

namespace kes {
namespace {

using test::ReadBytes;
using test::ShellQuote;
using test::TempDir;
using test::WriteBytes;

struct CommandRun {
    int code = -1;
    std::string out, err;
};

const char* const kUsage =
    "usage: kestrune ocr FILE...   (PNG or JPEG images; - reads one from standard input)\n";

class OcrCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"normal.png", "blank.png", "traditional.png"})
            std::filesystem::copy_file(
                std::string(KESTRUNE_SOURCE_DIR) + "/tests/ocr/images/" + name, work.file(name));
        WriteBytes(work.file("notes.txt"), "not an image\n");
        test::MakeDict(home, "d", "Test",
                       {"天氣 天气 [tian1 qi4] /weather/", "中文 [zhong1 wen2] /Chinese/"});
    }

    // Runs "kestrune ocr ARGS" in the work folder, standard input from `stdinFile` (or empty).
    CommandRun Ocr(const std::vector<std::string>& args, const std::string& stdinFile = "",
                   const std::string& env = "") {
        std::string cmd = "cd " + ShellQuote(work.path()) + " && " + env +
                          " KESTRUNE_HOME=" + ShellQuote(home.path()) + " " +
                          ShellQuote(KESTRUNE_BINARY) + " ocr";
        for (const std::string& a : args)
            cmd += " " + ShellQuote(a);
        cmd += " <" + (stdinFile.empty() ? std::string("/dev/null") : ShellQuote(stdinFile)) +
               " >" + ShellQuote(io.file("out")) + " 2>" + ShellQuote(io.file("err"));
        const int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(io.file("out")),
                ReadBytes(io.file("err"))};
    }

    TempDir work, home, io;
};

TEST_F(OcrCommandTest, ExitCodesAndOutput) {
    const struct {
        std::vector<std::string> args;
        int code;
        std::string out, err;
    } cases[] = {
        {{"traditional.png"}, 0, "繁體中文\n", ""},
        {{"normal.png"}, 0, "今天天气很好\n", ""},
        {{"blank.png"}, 1, "", "kestrune ocr: blank.png: No Chinese text found\n"},
        {{"traditional.png", "blank.png"}, 0, "traditional.png\t繁體中文\nblank.png\t\n",
         "kestrune ocr: blank.png: No Chinese text found\n"},
        {{"blank.png", "--", "blank.png"}, 1, "blank.png\t\nblank.png\t\n",
         "kestrune ocr: blank.png: No Chinese text found\n"
         "kestrune ocr: blank.png: No Chinese text found\n"},
        {{"notes.txt"}, 2, "", "kestrune ocr: notes.txt: not a PNG or JPEG image\n"},
        {{}, 2, "", std::string("kestrune ocr: no image given\n") + kUsage},
        {{"--fast", "normal.png"}, 2, "", std::string("kestrune ocr: unknown option --fast\n") + kUsage},
        {{"-", "-"}, 2, "", "kestrune ocr: standard input can hold one image only\n"},
        {{"--help"}, 0, kUsage, ""},
    };
    for (const auto& c : cases) {
        std::string name;
        for (const std::string& a : c.args)
            name += a + " ";
        const CommandRun r = Ocr(c.args);
        EXPECT_EQ(r.code, c.code) << name;
        EXPECT_EQ(r.out, c.out) << name;
        EXPECT_EQ(r.err, c.err) << name;
    }
}

TEST_F(OcrCommandTest, AFileThatCannotBeReadDoesNotStopTheOthers) {
    const CommandRun r = Ocr({"none.png", "traditional.png"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "traditional.png\t繁體中文\n");
    EXPECT_EQ(r.err, "kestrune ocr: none.png: Cannot open file (No such file or directory)\n");
}

TEST_F(OcrCommandTest, WordsAreCountedInTheDictionariesOfTheProgramFolder) {
    const OcrWordCounter count = DictionaryWordCounterOf(home.path());
    // Both forms match the one form an index holds; single characters count nothing.
    EXPECT_EQ(count(u"今天天气很好"), 2);
    EXPECT_EQ(count(u"今天天氣很好"), 2);
    EXPECT_EQ(count(u"中文天气"), 4);
    EXPECT_EQ(count(u"天今气"), 0);
    TempDir none;
    EXPECT_EQ(DictionaryWordCounterOf(none.path())(u"中文"), 0);
}

TEST_F(OcrCommandTest, StandardInputAndMissingModels) {
    CommandRun r = Ocr({"-"}, work.file("traditional.png"));
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "繁體中文\n");
    r = Ocr({"-"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "kestrune ocr: standard input: the file is empty\n");

    TempDir models;
    r = Ocr({"normal.png", "blank.png"}, "", "TESSDATA_PREFIX=" + ShellQuote(models.path()));
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kestrune ocr: the Chinese text models are missing from " + models.path() +
                         " (chi_sim.traineddata, chi_tra.traineddata): install the Debian "
                         "packages tesseract-ocr-chi-sim tesseract-ocr-chi-tra\n");
}

}  // namespace
}  // namespace kes
