#include "dsl/converter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/filesystem.h"
#include "base/text.h"
#include "support/faults.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::FileSizeLimit;
using test::FromHex;
using test::Hex;
using test::NamesIn;
using test::ReadBytes;
using test::TempDir;
using test::Ucs2File;
using test::Utf16Bytes;
using test::W;
using test::WriteBytes;

// UTF-16LE bytes of a DSL source; lines end with LF only, as many editors write them.
std::string DslSource(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines)
        out += Utf16Bytes(l + "\n");
    return out;
}

const std::vector<std::string> kWorkedExample = {
    "中文",
    "\t[m1]zhōng wén[/m]",
    "\t[m2][b]Chinese[/b] language[/m]",
    "\t[m4][*][ex]example one[/ex][/*][/m]",
    "\t[m4][*][ex]example two[/ex][/*][/m]",
    "\t[m2]written Chinese[/m]",
};
const char* const kWorkedLine =
    "中文 [zhōng wén] /[bs]Chinese[be] language|example one[br]example two/written Chinese/";

class DslConvert : public ::testing::Test {
  protected:
    // Converts the lines (LF-ended) in a file "dict.dsl" of the temp folder, which is also
    // the program folder.
    DslResult convert(const std::vector<std::string>& lines) {
        return convertBytes(DslSource(lines));
    }
    DslResult convertBytes(const std::string& bytes) {
        WriteBytes(input(), bytes);
        return ConvertDsl(input(), dir.path());
    }
    std::string input() const { return dir.file("dict.dsl"); }
    std::string output() const { return dir.file("dict.ced"); }
    std::string log() const { return dir.file("convertlog.txt"); }
    // The expected log: the fixed lines around the missed-card lines.
    std::string expectedLog(const std::vector<std::string>& missed, int count) const {
        std::vector<std::string> lines = {"--- conversion started ---", "input file: " + input(),
                                          "output file: " + output()};
        for (const auto& m : missed)
            lines.push_back("PY or TRANS missed for: " + m);
        lines.push_back("words/terms count:" + std::to_string(count));
        lines.push_back("--- end of conversion ---");
        lines.push_back("");
        return Ucs2File(lines);
    }
    void expectOutput(const std::vector<std::string>& lines) {
        EXPECT_EQ(Hex(ReadBytes(output())), Hex(Ucs2File(lines)));
    }

    TempDir dir;
};

TEST_F(DslConvert, WorkedExampleByteForByte) {
    std::vector<std::string> lines = {"#NAME \"Test\"", "#INDEX_LANGUAGE \"Chinese\"", ""};
    lines.insert(lines.end(), kWorkedExample.begin(), kWorkedExample.end());
    DslResult r = convert(lines);
    ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(r.outcome.message, "Converted: 1 terms");
    EXPECT_EQ(r.outcome.detail, "");
    EXPECT_EQ(r.outputPath, output());
    expectOutput({kWorkedLine});
    // UTF-16 little-endian, no byte-order mark, CR LF at the end.
    std::string out = ReadBytes(output());
    EXPECT_EQ(Hex(out.substr(0, 10)), "2D 4E 87 65 20 00 5B 00 7A 00");
    EXPECT_EQ(Hex(out.substr(out.size() - 6)), "2F 00 0D 00 0A 00");
    EXPECT_EQ(Hex(ReadBytes(log())), Hex(expectedLog({}, 1)));
    EXPECT_EQ(Hex(ReadBytes(log()).substr(0, 8)), Hex(FromHex("2D 00 2D 00 2D 00 20 00")));
}

TEST_F(DslConvert, CardEndsAtNextHeadwordOrAtEnd) {
    std::vector<std::string> lines = kWorkedExample;
    lines.push_back("国语");
    lines.push_back("[m1]guó yǔ");
    lines.push_back("[m2]Mandarin");
    lines.insert(lines.end(), kWorkedExample.begin(), kWorkedExample.end());
    DslResult r = convert(lines);
    ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    EXPECT_EQ(r.count, 3);
    expectOutput({kWorkedLine, "国语 [guó yǔ] /Mandarin/", kWorkedLine});
    EXPECT_EQ(ReadBytes(log()), expectedLog({}, 3));
}

TEST_F(DslConvert, ConsecutiveHeadwordLinesAreFormsOfOneCard) {
    DslResult r = convert({"國語", "国语", "\t[m1]guó yǔ[/m]", "\t[m2]national language[/m]"});
    ASSERT_TRUE(r.outcome.ok);
    expectOutput({"國語 国语 [guó yǔ] /national language/"});
    // Comment lines between them do not break the card.
    r = convert({"國語", "# note", "{{comment}}", "", "国语", "[m1]guo", "[m2]x y z"});
    expectOutput({"國語 国语 [guo] /x y z/"});
}

TEST_F(DslConvert, CardsWithoutPinyinOrSenseAreLogged) {
    DslResult r = convert({
        "甲", "乙", "[m2]sense without pinyin",                            // no pinyin line
        "丙", "[m1]bing", "[m3]not a sense", "[m4]example without sense",  // no sense
        "丁 戊",  // a space makes this a body line of 丙's card
        "中文", "[m1]zhong", "[m2]ok", "己",
        "己己",  // joined headwords, missed at the end of the input
    });
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(r.count, 1);
    expectOutput({"中文 [zhong] /ok/"});
    EXPECT_EQ(ReadBytes(log()), expectedLog({"甲 乙", "丙", "己 己己"}, 1));
}

TEST_F(DslConvert, ExamplesNeedASenseBeforeThem) {
    DslResult r = convert({"中", "[m1]zhong", "[m4][*][ex]dropped[/ex][/*]", "[m2]first", "[m4]one",
                           "[m4]two", "[m2]second", "[m4]three", "[m4]   ", "[m4]four"});
    ASSERT_TRUE(r.outcome.ok);
    expectOutput({"中 [zhong] /first|one[br]two/second|three[br]four/"});
}

TEST_F(DslConvert, SlashesAreRemovedAndEscapedBracketsBecomeParentheses) {
    DslResult r =
        convert({"中", "[m1]zhong", "[m2]either/or \\[lit.\\] a\\b", "[m4][ex]and/or[/ex]"});
    ASSERT_TRUE(r.outcome.ok);
    expectOutput({"中 [zhong] /eitheror (lit.) a\\b|andor/"});
}

TEST_F(DslConvert, PinyinLineRules) {
    DslResult r = convert({
        "一",
        "[m1]yi \\[1\\][/m]",
        "[m1][c red]yi[/c][/m]",
        "[m1]x",
        "[m1]yī[/m]",
        "[m2]one",
        "二",
        "[m1] èr[/m]",
        "[m2]two",  // the blank after the tag stays
        "三",
        "[M1][B]sān[/B][/M]",
        "[m2]three",  // tags in any letter case
        "四",
        "sì",
        "!sì",
        "[m2]four",  // "!" is the tag's mark itself
        "五",
        "[m1]wǔ]",
        "[m2]five",  // a "]" refuses the line: missed
        "六",
        "[m2]six",
        "[m1]liù",
        "[m2]six",  // senses before the pinyin are dropped
        "七",
        "[m1]?",
        "[m1][/m]",
        "[m1]qī?",
        "[m2]seven",  // too short, or "?": missed
        "八",
        "[m1]!",
        "[m2]eight",  // "!!": the second "!" is the pinyin
    });
    ASSERT_TRUE(r.outcome.ok);
    expectOutput({"一 [x] /one/", "二 [ èr] /two/", "三 [sān] /three/", "四 [sì] /four/",
                  "六 [liù] /six/", "八 [!] /eight/"});
    EXPECT_EQ(ReadBytes(log()), expectedLog({"五", "七"}, 6));
}

TEST_F(DslConvert, EscapedBracketRefusesTheOnlyPinyinLine) {
    DslResult r = convert({"中", "[m1]zhong \\[1\\]", "[m2]middle"});
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(ReadBytes(output()), "");
    EXPECT_EQ(ReadBytes(log()), expectedLog({"中"}, 0));
}

TEST_F(DslConvert, ReplacementsIgnoreCaseButLineTestsDoNot) {
    DslResult r =
        convert({"中", "[m1]zhong", "[M2]dropped: upper-case tag", "[m2][B]bold[/B] [C]c[/c]",
                 "[m2][I]it[/i][EX]ex[/Ex][/M]", "[M4]dropped too", "[m4]kept"});
    ASSERT_TRUE(r.outcome.ok);
    expectOutput({"中 [zhong] /[bs]bold[be] [cs]c[ce]/itex|kept/"});
}

TEST_F(DslConvert, HeadwordLineWithLatinSpaceOrDigitIsABodyLine) {
    DslResult r = convert({"中", "[m1]zhong", "[m2]first", "中A", "[m2]second", "中 文", "中1",
                           "[m2]third", "{中}", "[m2]fourth"});
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(r.count, 1);
    expectOutput({"中 [zhong] /first/second/third/fourth/"});
}

TEST_F(DslConvert, HeadwordTestStartsAtU3400) {
    // U+33FF is below the limit (body line), U+3400 and surrogates are headword characters.
    DslResult r = convert({"\xE3\x90\x80", "[m1]a", "[m2]b", "\xE3\x8F\xBF", "[m2]c",
                           "\xF0\xA0\x80\x80", "[m1]d", "[m2]e"});
    ASSERT_TRUE(r.outcome.ok);
    expectOutput({"\xE3\x90\x80 [a] /b/c/", "\xF0\xA0\x80\x80 [d] /e/"});
}

TEST_F(DslConvert, EmptyInputAndInputWithoutCards) {
    DslResult r = convertBytes("");
    ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(r.outcome.message, "Converted: 0 terms");
    EXPECT_TRUE(FileExists(output()));
    EXPECT_EQ(ReadBytes(output()), "");
    EXPECT_EQ(ReadBytes(log()), expectedLog({}, 0));
    EXPECT_NE(ReadBytes(log()).find(Utf16Bytes("words/terms count:0\r\n")), std::string::npos);

    r = convert({"#NAME \"x\"", "  ", "{{only a comment}}", "\t[m2]body without card"});
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(r.outcome.message, "Converted: 0 terms");
    EXPECT_EQ(ReadBytes(output()), "");
    EXPECT_EQ(ReadBytes(log()), expectedLog({}, 0));
}

TEST_F(DslConvert, BodyLinesBeforeTheFirstHeadwordAreDroppedSilently) {
    DslResult r = convert({"[m1]stray", "[m2]stray sense", "中", "[m1]zhong", "[m2]middle"});
    ASSERT_TRUE(r.outcome.ok);
    expectOutput({"中 [zhong] /middle/"});
    EXPECT_EQ(ReadBytes(log()), expectedLog({}, 1));
}

TEST_F(DslConvert, ByteOrderMarksAreDroppedAnywhere) {
    std::string bom = "\xEF\xBB\xBF";
    DslResult r = convert({bom + "#NAME \"x\"", "中", "[m1]zhong", "[m2]mid" + bom + "dle",
                           bom + "文", "[m1]" + bom + "wen", bom, "[m2]text"});
    ASSERT_TRUE(r.outcome.ok);
    expectOutput({"中 [zhong] /middle/", "文 [wen] /text/"});
}

TEST_F(DslConvert, EmptySenseAddsNothing) {
    DslResult r = convert({"中", "[m1]zhong", "[m2][/m]", "[m2]  [i][/i] [/m]", "[m4]example", "文",
                           "[m1]wen", "[m2]", "[m2][b][/b]", "[m2]x"});
    ASSERT_TRUE(r.outcome.ok);
    // [m2][b][/b] gives the sense "[bs][be]"; "[m2]x" is exactly five characters.
    expectOutput({"文 [wen] /[bs][be]/x/"});
    EXPECT_EQ(ReadBytes(log()), expectedLog({"中"}, 1));
}

TEST_F(DslConvert, CrLfAndBlankIndentation) {
    std::string bytes;
    for (const char* l : {"  中文  ", " \t [m1]zhōng wén[/m] ", "\t\t[m2] Chinese \t"})
        bytes += Utf16Bytes(std::string(l) + "\r\n");
    DslResult r = convertBytes(bytes);
    ASSERT_TRUE(r.outcome.ok);
    expectOutput({"中文 [zhōng wén] /Chinese/"});
}

TEST_F(DslConvert, LongLinesArriveInPieces) {
    // A line longer than 9999 code units is read in pieces, each piece classified alone.
    std::string sense = "[m2]" + std::string(9995, 'a') + "[m2]tail";
    DslResult r = convert({"中", "[m1]zhong", sense});
    ASSERT_TRUE(r.outcome.ok);
    expectOutput({"中 [zhong] /" + std::string(9995, 'a') + "/tail/"});
}

TEST_F(DslConvert, OutputNameAndPathsInTheLog) {
    std::string in = dir.file("src.v2.DSL");
    WriteBytes(in, DslSource(kWorkedExample));
    DslResult r = ConvertDsl(in, dir.path());
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(r.outputPath, dir.file("src.v2.ced"));
    EXPECT_EQ(ReadBytes(dir.file("src.v2.ced")), Ucs2File({kWorkedLine}));

    std::string bare = dir.file("noext");
    WriteBytes(bare, DslSource(kWorkedExample));
    r = ConvertDsl(bare, dir.path() + "/");
    ASSERT_TRUE(r.outcome.ok);
    EXPECT_EQ(r.outputPath, bare + ".ced");
    EXPECT_EQ(r.logPath, dir.file("convertlog.txt"));
    EXPECT_EQ(ReadBytes(r.logPath),
              Ucs2File({"--- conversion started ---", "input file: " + bare,
                        "output file: " + bare + ".ced", "words/terms count:1",
                        "--- end of conversion ---", ""}));
}

TEST_F(DslConvert, OutputIsTruncatedAndLogRewritten) {
    WriteBytes(output(), std::string(1000, 'x'));
    WriteBytes(log(), std::string(1000, 'y'));
    DslResult r = convert({"中", "[m1]zhong", "[m2]middle"});
    ASSERT_TRUE(r.outcome.ok);
    expectOutput({"中 [zhong] /middle/"});
    EXPECT_EQ(ReadBytes(log()), expectedLog({}, 1));
}

// A card much longer than what the converter keeps in memory comes out the same.
TEST_F(DslConvert, VeryLongCard) {
    std::vector<std::string> lines = {"#NAME \"x\"", "長", "[m1]cháng"};
    std::string senses;
    for (int i = 0; i < 6000; ++i) {
        lines.push_back("[m2]sense " + std::to_string(i) + " / long");
        senses += "/sense " + std::to_string(i) + "  long";
        if (i % 3 == 0) {
            lines.push_back("[m4][*][ex]ex " + std::to_string(i) + "[/ex][/*]");
            senses += "|ex " + std::to_string(i);
        }
    }
    std::vector<std::string> tail = {"短", "[m1]duǎn", "[m2]short"};
    std::vector<std::string> all = lines;
    all.insert(all.end(), tail.begin(), tail.end());
    DslResult r = convert(all);
    ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    EXPECT_EQ(r.count, 2);
    std::string expected = Ucs2File({"長 [cháng] " + senses + "/", "短 [duǎn] /short/"});
    ASSERT_GT(expected.size(), 200000u);
    EXPECT_TRUE(ReadBytes(output()) == expected);

    // The same card at the end of the input, and behind body lines without a headword.
    r = convert(lines);
    EXPECT_EQ(ReadBytes(output()), Ucs2File({"長 [cháng] " + senses + "/"}));
    lines.erase(lines.begin() + 1);
    r = convert(lines);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(ReadBytes(output()), "");
    EXPECT_EQ(ReadBytes(log()), expectedLog({}, 0));
}

TEST_F(DslConvert, FailureInsideAVeryLongCardKeepsTheEarlierOutput) {
    const std::string earlier = Ucs2File({"舊 [jiù] /the dictionary of last year/"});
    WriteBytes(output(), earlier);
    ASSERT_EQ(::chmod(output().c_str(), 0600), 0);
    std::vector<std::string> lines = {"短", "[m1]duǎn", "[m2]short", "長", "[m1]cháng"};
    for (int i = 0; i < 6000; ++i)
        lines.push_back("[m2]sense " + std::to_string(i));
    DslResult r = convertBytes(DslSource(lines) + "x");
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(r.outcome.message, "Converted: 1 terms");
    EXPECT_EQ(ReadBytes(output()), earlier);
    EXPECT_EQ(NamesIn(dir.path()),
              (std::vector<std::string>{"convertlog.txt", "dict.ced", "dict.dsl"}));

    // Converted again in one piece, it replaces the earlier output and keeps its mode.
    r = convert(lines);
    ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    EXPECT_EQ(r.count, 2);
    struct stat st;
    ASSERT_EQ(::stat(output().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(NamesIn(dir.path()),
              (std::vector<std::string>{"convertlog.txt", "dict.ced", "dict.dsl"}));
}

TEST_F(DslConvert, CancelledOrFailedWriteKeepsTheEarlierOutput) {
    const std::string earlier = Ucs2File({"舊 [jiù] /old/"});
    WriteBytes(output(), earlier);
    WriteBytes(input(), DslSource(kWorkedExample));
    DslResult r = ConvertDsl(input(), dir.path(), [] { return true; });
    EXPECT_TRUE(r.outcome.cancelled);
    EXPECT_EQ(ReadBytes(output()), earlier);
    {
        // The disk refuses the output's bytes.
        FileSizeLimit limit(40);
        r = ConvertDsl(input(), dir.path());
    }
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.outcome.detail.rfind("Conversion failed: output file " + output() + ": ", 0), 0u)
        << r.outcome.detail;
    EXPECT_EQ(ReadBytes(output()), earlier);
    EXPECT_EQ(NamesIn(dir.path()),
              (std::vector<std::string>{"convertlog.txt", "dict.ced", "dict.dsl"}));
}

// --- refusals and failures -------------------------------------------------------------

TEST_F(DslConvert, RefusesACedInputWithoutTouchingIt) {
    for (const char* name : {"dict.ced", "dict.CED", "dict.Ced"}) {
        std::string in = dir.file(name);
        std::string bytes = DslSource(kWorkedExample);
        WriteBytes(in, bytes);
        DslResult r = ConvertDsl(in, dir.path());
        EXPECT_FALSE(r.outcome.ok);
        EXPECT_EQ(r.count, 0);
        EXPECT_EQ(r.outcome.message, "Converted: 0 terms");
        EXPECT_EQ(r.outcome.detail, "Refused: the output file " + dir.file("dict.ced") +
                                        " would overwrite the input file " + in);
        EXPECT_EQ(ReadBytes(in), bytes) << name;
        EXPECT_FALSE(FileExists(log()));
        RemoveFile(in);
    }
}

TEST_F(DslConvert, RefusesAnOutputThatLinksToTheInput) {
    std::string bytes = DslSource(kWorkedExample);
    WriteBytes(input(), bytes);
    std::filesystem::create_symlink(input(), output());
    DslResult r = ConvertDsl(input(), dir.path());
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.outcome.detail, "Refused: the output file " + output() +
                                    " would overwrite the input file " + input());
    EXPECT_EQ(ReadBytes(input()), bytes);

    // A hard link, reached through a path with "..".
    std::filesystem::remove(output());
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_hard_link(input(), dir.file("sub/copy.ced"));
    std::string viaDots = dir.file("sub/../sub/copy.dsl");
    std::filesystem::create_symlink(input(), dir.file("sub/copy.dsl"));
    r = ConvertDsl(viaDots, dir.path());
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(ReadBytes(input()), bytes);
}

TEST_F(DslConvert, RefusesTheLogFileAsInput) {
    std::string bytes = DslSource(kWorkedExample);
    WriteBytes(log(), bytes);
    DslResult r = ConvertDsl(log(), dir.path() + "/./");
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.outcome.detail, "Refused: the log file " + dir.path() + "/./convertlog.txt" +
                                    " would overwrite the input file " + log());
    EXPECT_EQ(ReadBytes(log()), bytes);
    EXPECT_FALSE(FileExists(dir.file("convertlog.ced")));
}

TEST_F(DslConvert, LogThatCannotBeCreatedIsAFailure) {
    WriteBytes(input(), DslSource(kWorkedExample));
    std::string folder = dir.file("missing-folder");
    DslResult r = ConvertDsl(input(), folder);
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(r.outcome.message, "Converted: 0 terms");
    EXPECT_EQ(r.outcome.detail,
              "Conversion failed: log file " + folder +
                  "/convertlog.txt: Cannot create file (No such file or directory)");
}

TEST_F(DslConvert, OutputThatCannotBeCreatedIsAFailure) {
    std::string bytes = DslSource(kWorkedExample);
    WriteBytes(input(), bytes);
    std::filesystem::create_directory(output());
    DslResult r = ConvertDsl(input(), dir.path());
    EXPECT_FALSE(r.outcome.ok);
    // The card is converted, but the finished output cannot take the folder's place.
    EXPECT_EQ(r.outcome.message, "Converted: 1 terms");
    EXPECT_EQ(r.outcome.detail, "Conversion failed: output file " + output() +
                                    ": Cannot replace file (Is a directory)");
    EXPECT_EQ(ReadBytes(input()), bytes);
    EXPECT_TRUE(std::filesystem::is_directory(output()));
    EXPECT_EQ(NamesIn(dir.path()),
              (std::vector<std::string>{"convertlog.txt", "dict.ced", "dict.dsl"}));
}

TEST_F(DslConvert, MissingOrUnreadableInputCreatesNothing) {
    DslResult r = ConvertDsl(input(), dir.path());
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.outcome.detail, "Conversion failed: input file " + input() +
                                    ": Cannot open file (No such file or directory)");
    EXPECT_FALSE(FileExists(output()));
    EXPECT_FALSE(FileExists(log()));

    std::filesystem::create_directory(input());
    r = ConvertDsl(input(), dir.path());
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.outcome.detail, "Conversion failed: input file " + input() +
                                    ": Cannot open file (not a regular file)");
    EXPECT_FALSE(FileExists(output()));
}

TEST_F(DslConvert, OddSizedInputFailsWithTheCountReached) {
    std::vector<std::string> lines = kWorkedExample;
    lines.push_back("国语");  // ends the first card, which is written
    lines.push_back("[m1]guó yǔ");
    lines.push_back("[m2]Mandarin");
    DslResult r = convertBytes(DslSource(lines) + "x");
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(r.outcome.message, "Converted: 1 terms");
    EXPECT_EQ(r.outcome.detail,
              "Conversion failed: input file " + input() +
                  ": Read beyond end of file (odd byte count: the file is not UTF-16)");
    // No output is published; the log has no count or end lines.
    EXPECT_FALSE(FileExists(output()));
    EXPECT_EQ(ReadBytes(log()), Ucs2File({"--- conversion started ---", "input file: " + input(),
                                          "output file: " + output()}));
}

TEST_F(DslConvert, CancelStopsBeforeTheNextLine) {
    std::vector<std::string> lines = kWorkedExample;
    lines.push_back("国语");
    lines.push_back("[m1]guó yǔ");
    lines.push_back("[m2]Mandarin");
    WriteBytes(input(), DslSource(lines));
    int polls = 0;
    DslResult r = ConvertDsl(input(), dir.path(), [&] { return ++polls == 8; });
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_TRUE(r.outcome.cancelled);
    EXPECT_EQ(polls, 8);
    EXPECT_EQ(r.count, 1);  // the seventh line ("国语") ended the first card
    EXPECT_EQ(r.outcome.message, "Converted: 1 terms");
    EXPECT_EQ(r.outcome.detail, "Conversion cancelled");
}

// --- the tag rewrites --------------------------------------------------------------------

TEST(DslRewrite, ReplacementsApplyOneAfterTheOther) {
    // Removing "[i]" forms "[b]", which a later replacement turns into "[bs]".
    EXPECT_EQ(RewriteSenseLine(W("[[i]b]x[/[/i]b]")), W("[bs]x[be]"));
    // "[/m]" removed forms "[m1]" for the pinyin rewrite.
    EXPECT_EQ(RewritePinyinLine(W("[m[/m]1]pin")), W("!pin"));
    // Inserted text is not searched again: "\[" gives "(" and the "[b]" after it stays whole.
    EXPECT_EQ(RewriteSenseLine(W("\\[b]")), W("(b]"));
    EXPECT_EQ(RewriteSenseLine(W("a/b//c[/EX]")), W("abc"));
    // "/" goes last: the tags that contain one are whole until then.
    EXPECT_EQ(RewriteSenseLine(W("[/m[*]]x")), W("x"));
    EXPECT_EQ(RewriteSenseLine(W("[/[i]b]x[/lang]")), W("[be]x[lang]"));
    EXPECT_EQ(RewritePinyinLine(W("[C]pin[/C] \\]")), W("pin ?"));
    EXPECT_EQ(RewritePinyinLine(W("no tags at all")), W("no tags at all"));
}

// The rewrites behave exactly as the plain sequence of replace-all operations.
TEST(DslRewrite, SameAsSequentialReplaceAll) {
    const std::vector<std::pair<std::string, std::string>> pinyin = {
        {"\\[", "?"}, {"\\]", "?"}, {"[b]", ""}, {"[/b]", ""}, {"[i]", ""},
        {"[/i]", ""}, {"[/m]", ""}, {"[c]", ""}, {"[/c]", ""}, {"[m1]", "!"}};
    const std::vector<std::pair<std::string, std::string>> sense = {
        {"\\[", "("},     {"\\]", ")"},    {"[*]", ""},      {"[ex]", ""}, {"[/ex]", ""},
        {"[/*]", ""},     {"[/m]", ""},    {"[i]", ""},      {"[/i]", ""}, {"[b]", "[bs]"},
        {"[/b]", "[be]"}, {"[c]", "[cs]"}, {"[/c]", "[ce]"}, {"/", ""}};
    auto reference = [](std::u16string s, const auto& reps) {
        for (const auto& [from, to] : reps)
            s = ReplaceAllNoCase(s, W(from), W(to));
        return s;
    };
    // Random texts dense in pattern pieces, so that removals often join text into new
    // matches, patterns overlap and tags appear in both letter cases.
    const std::vector<std::string> pieces = {
        "[",    "]",     "\\",  "/",    "*",   "!",    "?",    "m",    "M",    "b",    "B",
        "i",    "I",     "c",   "C",    "e",   "E",    "x",    "X",    "1",    "2",    "4",
        " ",    "a",     "[b]", "[/B]", "[i]", "[/i]", "[c]",  "[/c]", "[/m]", "[m1]", "[M1]",
        "[ex]", "[/ex]", "[*]", "[/*]", "\\[", "\\]",  "[m2]", "[m4]", "中"};
    std::mt19937 rng(12345);
    for (int n = 0; n < 100000; ++n) {
        std::string s;
        int len = static_cast<int>(rng() % 16);
        for (int k = 0; k < len; ++k)
            s += pieces[rng() % pieces.size()];
        ASSERT_EQ(RewritePinyinLine(W(s)), reference(W(s), pinyin)) << s;
        ASSERT_EQ(RewriteSenseLine(W(s)), reference(W(s), sense)) << s;
    }
}

}  // namespace
}  // namespace kes
