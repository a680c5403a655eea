// The "ocr" command as users run it: what goes to stdout and stderr, and the exit codes.
#include "cli/cli_ocr.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "base/bytefile.h"
#include "base/paths.h"
#include "ocr/ocrprotocol.h"
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

namespace kes {
namespace {

TEST(OcrProtocol, FramesAndReplies) {
    EXPECT_EQ(test::Hex(FrameOcrPayload("abc")), "00 00 00 03 61 62 63");
    const struct {
        OcrResult result;
        std::string payload;
    } replies[] = {
        {{OcrStatus::Text, "中文", ""}, "T中文"},
        {{OcrStatus::NoText, "", ""}, "N"},
        {{OcrStatus::BadImage, "", "not a PNG or JPEG image"}, "Bnot a PNG or JPEG image"},
        {{OcrStatus::NoModels, "", "install"}, "Minstall"},
    };
    for (const auto& r : replies) {
        EXPECT_EQ(EncodeOcrReply(r.result), r.payload);
        const std::optional<OcrReply> back = DecodeOcrReply(r.payload);
        ASSERT_TRUE(back) << r.payload;
        EXPECT_TRUE(back->usable);
        EXPECT_EQ(back->result.status, r.result.status) << r.payload;
        EXPECT_EQ(back->result.text, r.result.text) << r.payload;
        EXPECT_EQ(back->result.reason, r.result.reason) << r.payload;
    }
    const std::optional<OcrReply> failed = DecodeOcrReply(EncodeOcrFailure("no module"));
    ASSERT_TRUE(failed);
    EXPECT_FALSE(failed->usable);
    EXPECT_EQ(failed->result.reason, "no module");
    EXPECT_FALSE(DecodeOcrReply(""));
    EXPECT_FALSE(DecodeOcrReply("Xabc"));

    // Frames split anywhere, and several in one read.
    OcrFrameReader reader;
    const std::string two = FrameOcrPayload("first") + FrameOcrPayload("2");
    std::size_t used = reader.feed(two.data(), 3);
    EXPECT_EQ(used, 3u);
    EXPECT_EQ(reader.state(), OcrFrameReader::State::NeedMore);
    used = reader.feed(two.data() + 3, two.size() - 3);
    EXPECT_EQ(used, 6u);
    EXPECT_EQ(reader.state(), OcrFrameReader::State::Complete);
    EXPECT_EQ(reader.payload(), "first");
    reader.reset();
    EXPECT_EQ(reader.feed(two.data() + 9, two.size() - 9), 5u);
    EXPECT_EQ(reader.payload(), "2");
    reader.reset();
    EXPECT_EQ(reader.feed("\0\0\0\0", 4), 4u);
    EXPECT_EQ(reader.state(), OcrFrameReader::State::Invalid);
    reader.reset();
    EXPECT_EQ(reader.feed("\x7f\0\0\0", 4), 4u);  // 2 GB: no image
    EXPECT_EQ(reader.state(), OcrFrameReader::State::Invalid);
}

// The viewer's recognizer process: requests answered in order, the end of the input ends it.
TEST(OcrServe, AnswersEachRequestInOrder) {
    int in[2], out[2];
    ASSERT_EQ(::pipe(in), 0);
    ASSERT_EQ(::pipe(out), 0);
    const std::string images = std::string(KESTRUNE_SOURCE_DIR) + "/tests/ocr/images/";
    const std::string requests = FrameOcrPayload(ReadBytes(images + "traditional.png")) +
                                 FrameOcrPayload(ReadBytes(images + "blank.png")) +
                                 FrameOcrPayload("GIF89a");
    ASSERT_EQ(::write(in[1], requests.data(), requests.size()),
              static_cast<ssize_t>(requests.size()));
    ::close(in[1]);
    TempDir home;
    CommandContext ctx;
    ctx.programFolder = home.path();
    EXPECT_EQ(RunOcrServe(ctx, DirName(KESTRUNE_BINARY), in[0], out[1], 30), 0);
    ::close(in[0]);
    ::close(out[1]);
    std::string replies;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0)
        replies.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    EXPECT_EQ(replies, FrameOcrPayload("T繁體中文") + FrameOcrPayload("N") +
                           FrameOcrPayload("Bnot a PNG or JPEG image"));

    // A request cut off in the middle ends the process with 2 and no reply.
    ASSERT_EQ(::pipe(in), 0);
    ASSERT_EQ(::pipe(out), 0);
    ASSERT_EQ(::write(in[1], "\0\0\1\0abc", 7), 7);
    ::close(in[1]);
    EXPECT_EQ(RunOcrServe(ctx, DirName(KESTRUNE_BINARY), in[0], out[1], 30), 2);
    ::close(in[0]);
    ::close(out[1]);
    EXPECT_EQ(::read(out[0], buf, sizeof buf), 0);
    ::close(out[0]);
}

}  // namespace
}  // namespace kes
