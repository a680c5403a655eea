#include "cli/cli_write.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "hand/strokes.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::TempDir;
using test::WriteBytes;

const std::string kXue = std::string(KESTRUNE_SOURCE_DIR) + "/tests/data/hand/xue.json";

struct CommandRun {
    int code;
    std::string out, err;
};

CommandRun RunWrite(const std::vector<std::string>& args, const std::string& folder,
                    const std::string& input = "") {
    CommandContext ctx;
    ctx.programFolder = folder;
    std::istringstream in(input);
    std::ostringstream out, err;
    const int code = RunWriteCommand(args, ctx, in, out, err);
    return {code, out.str(), err.str()};
}

std::string FirstLines(const std::string& text, int n) {
    std::size_t end = 0;
    for (int i = 0; i < n && end != std::string::npos; ++i)
        end = text.find('\n', end == 0 ? 0 : end + 1);
    return text.substr(0, end == std::string::npos ? text.size() : end + 1);
}

TEST(WriteCommand, PrintsTheCandidatesBestFirstWithTheirTraditionalForms) {
    TempDir home;
    const CommandRun file = RunWrite({kXue}, home.path());
    EXPECT_EQ(file.code, 0) << file.err;
    EXPECT_EQ(file.err, "");
    EXPECT_EQ(FirstLines(file.out, 4), "学\t學\n孥\n使\n构\t構\n");
    EXPECT_EQ(std::count(file.out.begin(), file.out.end(), '\n'), 10);
    // The same from standard input.
    const CommandRun piped = RunWrite({"-"}, home.path(), test::ReadBytes(kXue));
    EXPECT_EQ(piped.code, 0) << piped.err;
    EXPECT_EQ(piped.out, file.out);
}

TEST(WriteCommand, CharactersTheDictionariesLackComeLast) {
    TempDir home;
    // The only dictionary knows 孥 and 构 (and a word beginning with 使, which does not count).
    test::MakeDict(home, "small", "Small",
                   {"孥 孥 [nu2] /child/", "構 构 [gou4] /to construct/", "使用 使用 [shi3 yong4] /to use/"});
    const CommandRun r = RunWrite({kXue}, home.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(FirstLines(r.out, 4), "孥\n构\t構\n学\t學\n使\n");
}

TEST(WriteCommand, BadInputIsRefusedWithItsReason) {
    TempDir home;
    WriteBytes(home.file("empty.json"), "[]");
    WriteBytes(home.file("blank.json"), "[[],[]]");
    WriteBytes(home.file("broken.json"), "[[[1,2]],");
    WriteBytes(home.file("nothing.json"), "");
    std::string many = "[";
    for (int i = 0; i < 3000; ++i)
        many += std::string(i ? "," : "") + "[[1,2],[3,4]]";
    WriteBytes(home.file("many.json"), many + "]");
    WriteBytes(home.file("huge.json"), std::string(kMaxHandFileBytes + 1, ' '));
    const std::string usage = "Usage: kestrune write [--model FILE] FILE|-\n";
    const struct {
        std::vector<std::string> args;
        std::string input;
        int code;
        std::string err;
    } rows[] = {
        {{}, "", 2, "kestrune write: No file given\n" + usage},
        {{"a.json", "b.json"}, "", 2, "kestrune write: One stroke file only: b.json\n" + usage},
        {{"--fast", kXue}, "", 2, "kestrune write: Unknown option: --fast\n" + usage},
        {{"--name", "x", kXue}, "", 2, "kestrune write: Unknown option: --name\n" + usage},
        {{home.file("none.json")}, "", 2,
         "kestrune write: file not found: " + home.file("none.json") + "\n"},
        {{home.file("empty.json")}, "", 2,
         "kestrune write: " + home.file("empty.json") +
             ": the drawing is empty (no stroke has a point)\n"},
        {{home.file("blank.json")}, "", 2,
         "kestrune write: " + home.file("blank.json") +
             ": the drawing is empty (no stroke has a point)\n"},
        {{home.file("broken.json")}, "", 2,
         "kestrune write: " + home.file("broken.json") +
             ": not valid JSON (at byte 10) (expected [[[x,y],...],...])\n"},
        {{home.file("nothing.json")}, "", 2,
         "kestrune write: " + home.file("nothing.json") +
             ": not valid JSON (at byte 1) (expected [[[x,y],...],...])\n"},
        {{home.file("many.json")}, "", 2,
         "kestrune write: " + home.file("many.json") +
             ": too many strokes (at most 64) (expected [[[x,y],...],...])\n"},
        {{home.file("huge.json")}, "", 2,
         "kestrune write: File too large (8388609 bytes, at most 8388608 expected): " +
             home.file("huge.json") + "\n"},
        {{"-"}, "{\"strokes\":[]}", 2,
         "kestrune write: standard input: the strokes must be arrays ([[[x,y],...],...]), not "
         "an object (expected [[[x,y],...],...])\n"},
        {{"-"}, std::string(kMaxHandFileBytes + 1, ' '), 2,
         "kestrune write: standard input: too large (at most 8388608 bytes)\n"},
        {{"--model", home.file("no.model"), kXue}, "", 2,
         "kestrune write: The handwriting model is not installed: " + home.file("no.model") +
             " (install the package tegaki-zinnia-simplified-chinese)\n"},
    };
    for (const auto& r : rows) {
        const CommandRun run = RunWrite(r.args, home.path(), r.input);
        const std::string what = ::testing::PrintToString(r.args);
        EXPECT_EQ(run.code, r.code) << what;
        EXPECT_EQ(run.err, r.err) << what;
        EXPECT_EQ(run.out, "") << what;
    }
}

}  // namespace
}  // namespace kes
