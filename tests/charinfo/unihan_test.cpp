#include "charinfo/unihan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "base/ioerror.h"
#include "support/faults.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::FromHex;
using test::Hex;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

const std::string kSpacer = "<table height=\"10\"><tr><td></td></tr></table>";
const std::string kHeader =
    "<p style=\"font-size:10pt; margin:2; margin-bottom:6; border-bottom: #777777 1px "
    "solid;\"><font color=\"#777777\"><i>Unicode:</i></font></p>";

std::string Big(int code, const std::string& face) {
    return "<p style=\"font-size:14pt; margin:2;\"><font face=\"" + face + "\">&#" +
           std::to_string(code) + ";</font></p>";
}

std::string Row(const std::string& face, const std::string& tag, const std::string& value) {
    return "<tr><td style=\"font-size:10pt;\"><font color=\"999999\" face=\"" + face + "\"><i>" +
           tag +
           "</i></font></td><td width=\"10\">&nbsp;</td><td style=\"font-size:10pt;\">"
           "<font face=\"" +
           face + "\">" + value + "</font></td></tr>";
}

// Byte offsets of the lines below: 0, 10, 11, 47, 68, 103, 127.
const std::string kSource =
    "# Unihan\r\n"                              // 0, 10 bytes
    "\n"                                        // 10
    "U+4E00\tkDefinition\tone; a, an\textra\n"  // 11, 36 bytes
    "U+4E00\tkMandarin\ty\xC4\xAB\n"            // 47, 21 bytes
    "U+4E01\t\tkDefinition\t<male> & adult\n"   // 68, 35 bytes
    "U+4E00\tkTotalStrokes\t1\r\n"              // 103, 24 bytes
    "U+20000\tkDefinition\tsomething\n";

class Unihan : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteBytes(dir.file("unihan.txt"), kSource);
        auto r = BuildUnihanIndex(dir.file("unihan.txt"), dir.file("unihan.idc"));
        ASSERT_TRUE(r.outcome.ok);
        ASSERT_EQ(LoadUnihanIndex(dir.path(), index), std::string(kUnihanFoundLine));
    }
    std::string Block(std::u16string_view q) {
        return UnihanInfoHtml(q, index, true, "Arial Unicode", "Times");
    }
    TempDir dir;
    UnihanIndex index;
};

TEST_F(Unihan, IndexHoldsOneRecordPerRun) {
    // U+4E00 at 11, U+4E01 at 68, U+4E00 again at 103, U+20000 at 127.
    EXPECT_EQ(Hex(ReadBytes(dir.file("unihan.idc"))), Hex(FromHex("00 4E 00 00 0B 00 00 00"
                                                                  "01 4E 00 00 44 00 00 00"
                                                                  "00 4E 00 00 67 00 00 00"
                                                                  "00 00 02 00 7F 00 00 00")));
    ASSERT_EQ(index.Records.size(), 4u);
    EXPECT_EQ(index.Records[3].Code, 0x20000);
    EXPECT_EQ(index.Records[3].Offset, 127);
    EXPECT_TRUE(index.Available);
    EXPECT_FALSE(std::filesystem::exists(dir.file("unihan.idc.tmp")));
}

TEST_F(Unihan, TwoRunsShareOneTable) {
    EXPECT_EQ(Block(u"\u4E00\u4E01"),
              kSpacer + kHeader + Big(0x4E00, "Arial Unicode") + "<table>" +
                  Row("Times", "kDefinition", "one; a, an") + Row("Times", "kMandarin", "y&#299;") +
                  Row("Times", "kTotalStrokes", "1") + "</table>" + kSpacer);
}

TEST_F(Unihan, AsciiMarkupIsEscapedAndReferencesStay) {
    EXPECT_EQ(Block(u"\u4E01"), kSpacer + kHeader + Big(0x4E01, "Arial Unicode") + "<table>" +
                                    Row("Times", "kDefinition", "&lt;male&gt; &amp; adult") +
                                    "</table>" + kSpacer);
}

TEST_F(Unihan, CharactersWithoutLinesGiveTheSpacerOnly) {
    EXPECT_EQ(Block(u"a"), kSpacer);
    // U+20000 is indexed but never shown: the query is looked up by one code unit.
    EXPECT_EQ(Block(u"\U00020000"), kSpacer);
    EXPECT_EQ(Block(u""), "");
}

TEST_F(Unihan, OffWhenTheOptionIsOffOrTheTextIsGone) {
    EXPECT_EQ(UnihanInfoHtml(u"\u4E00", index, false, "A", "B"), "");
    std::filesystem::remove(dir.file("unihan.txt"));
    EXPECT_EQ(Block(u"\u4E00"), "");
    UnihanIndex notLoaded;
    EXPECT_EQ(UnihanInfoHtml(u"\u4E00", notLoaded, true, "A", "B"), "");
}

TEST_F(Unihan, LinesAsTextForTheCommandLine) {
    auto lines = UnihanLinesOf(u"\u4E00", index, true);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].Tag, "kDefinition");
    EXPECT_EQ(lines[0].Value, "one; a, an");
    EXPECT_EQ(lines[1].Value, "y\xC4\xAB");
    EXPECT_EQ(lines[2].Tag, "kTotalStrokes");
    EXPECT_EQ(UnihanLinesOf(u"\u4E01", index, true)[0].Value, "<male> & adult");
    EXPECT_TRUE(UnihanLinesOf(u"\u4E00", index, false).empty());
    EXPECT_TRUE(UnihanLinesOf(u"\U00020000", index, true).empty());
}

TEST_F(Unihan, ReadErrorOfTheTextPropagates) {
    index.Records.push_back(UnihanRecord{'x', -5});
    EXPECT_THROW(Block(u"x"), IoError);
}

TEST(UnihanLoad, NeedsBothFilesAndIgnoresAShortTail) {
    TempDir dir;
    UnihanIndex index;
    WriteBytes(dir.file("unihan.idc"), FromHex("00 4E 00 00 05 00 00 00 01 02 03"));
    EXPECT_EQ(LoadUnihanIndex(dir.path(), index), "");
    EXPECT_FALSE(index.Available);
    WriteBytes(dir.file("unihan.txt"), "");
    EXPECT_EQ(LoadUnihanIndex(dir.path(), index),
              "<p style=\"margin:2;\"><font face=\"Tahoma\">#. <i>Unihan index found</i>"
              "</font></p>");
    ASSERT_EQ(index.Records.size(), 1u);
    EXPECT_EQ(index.Records[0].Code, 0x4E00);
    EXPECT_EQ(index.Records[0].Offset, 5);
    std::filesystem::remove(dir.file("unihan.txt"));
    EXPECT_EQ(LoadUnihanIndex(dir.path(), index), "");
    EXPECT_FALSE(index.Available);
    EXPECT_TRUE(index.Records.empty());
    // A directory in place of the index counts as missing.
    WriteBytes(dir.file("unihan.txt"), "");
    std::filesystem::remove(dir.file("unihan.idc"));
    std::filesystem::create_directory(dir.file("unihan.idc"));
    EXPECT_EQ(LoadUnihanIndex(dir.path(), index), "");
}

TEST(UnihanBuild, ProgressStartsAtZeroAndNeverReaches100) {
    TempDir dir;
    WriteBytes(dir.file("src.txt"), "U+4E00\ta\tb\nU+4E01\ta\tb\nU+4E02\ta\tb\nU+4E03\ta\tb\n");
    std::vector<int> seen;
    int pumps = 0;
    UnihanBuildCallbacks cb;
    cb.progress = [&](int p) { seen.push_back(p); };
    cb.processMessages = [&] { ++pumps; };
    auto r = BuildUnihanIndex(dir.file("src.txt"), dir.file("unihan.idc"), cb);
    EXPECT_TRUE(r.outcome.ok);
    EXPECT_EQ(r.outcome.message, "Index file unihan.idc created");
    EXPECT_EQ(r.records, 4);
    EXPECT_EQ(seen, (std::vector<int>{0, 25, 50, 75}));
    EXPECT_EQ(pumps, 8);
}

TEST(UnihanBuild, SkipsLinesThatAreNoDataLines) {
    TempDir dir;
    WriteBytes(dir.file("src.txt"),
               "U+0000\tzero\n"   // 0: equals the start value, no record
               "  # comment\n"    // 12
               "U+4E0 \tshort\n"  // 24: 3 digits after trimming
               "U+4EZZ\tbad\n"    // 37: not hexadecimal
               "u+4E00\tlower\n"  // 48: not "U+"
               "U+4E0\n"          // 61: only 5 characters
               "  U+4E05\tok\n"   // 67: leading blanks are trimmed away
               "U+4E05\tagain\n"  // 79: same run
               "U+4E06\tx\n");    // 92
    ASSERT_TRUE(BuildUnihanIndex(dir.file("src.txt"), dir.file("unihan.idc")).outcome.ok);
    EXPECT_EQ(Hex(ReadBytes(dir.file("unihan.idc"))), Hex(FromHex("05 4E 00 00 43 00 00 00"
                                                                  "06 4E 00 00 5C 00 00 00")));
}

// A file that is no Unihan database is refused with its reason; the previous index stays and
// no temporary file is left.
TEST(UnihanBuild, SourceWithoutUnihanLinesIsRefused) {
    using std::string_literals::operator""s;
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", "", "it holds no Unihan lines"},
        {"one byte", "U", "it holds no Unihan lines"},
        {"comments", "# Unihan\n\n#U+4E00\tkDefinition\tone\n", "it holds no Unihan lines"},
        {"codes without a tag", "U+4E00\nU+4E01 kDefinition one\nU+4E0G\tkDefinition\tx\n",
         "it holds no Unihan lines"},
        {"CEDICT in UTF-8", "中國 中国 [Zhong1 guo2] /China/\nU+4E00 [x] /y/\n",
         "it holds no Unihan lines"},
        {"a .ced", test::Ucs2File({"U+4E00\tkDefinition\tone"}), "it reads as UTF-16LE"},
        {"UTF-16BE", "\xFE\xFF\x00U\x00+\x00" "4\x00" "E\x00" "0\x00" "0\x00\t\x00k"s,
         "it reads as UTF-16 big-endian"},
        {"binary", "\x7F" "ELF\x02\x01\x01\x00\x00\x00U+4E00\tk\tv\n\x01\x02"s,
         "it holds binary data"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteBytes(dir.file("unihan.idc"), FromHex("00 4E 00 00 00 00 00 00"));
        WriteBytes(dir.file("src.txt"), c.bytes);
        auto r = BuildUnihanIndex(dir.file("src.txt"), dir.file("unihan.idc"));
        EXPECT_FALSE(r.outcome.ok) << c.name;
        EXPECT_EQ(r.outcome.message, "Refused: " + dir.file("src.txt") +
                                         " is no Unihan database file (" + c.reason +
                                         "); nothing was written.")
            << c.name;
        EXPECT_EQ(r.outcome.detail, "") << c.name;
        EXPECT_EQ(r.records, 0) << c.name;
        EXPECT_EQ(ReadBytes(dir.file("unihan.idc")), FromHex("00 4E 00 00 00 00 00 00")) << c.name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << c.name;
    }
    // Without a previous index none is made.
    TempDir dir;
    WriteBytes(dir.file("src.txt"), "# nothing\n");
    EXPECT_FALSE(BuildUnihanIndex(dir.file("src.txt"), dir.file("unihan.idc")).outcome.ok);
    EXPECT_FALSE(std::filesystem::exists(dir.file("unihan.idc")));
    // One Unihan line is enough, even among lines that are none; every line with a code is
    // indexed as before.
    WriteBytes(dir.file("src.txt"), "junk\nU+4E00 x\n\nU+4E2D\tkDefinition\tmiddle\n");
    auto r = BuildUnihanIndex(dir.file("src.txt"), dir.file("unihan.idc"));
    EXPECT_TRUE(r.outcome.ok) << r.outcome.message;
    EXPECT_EQ(Hex(ReadBytes(dir.file("unihan.idc"))), Hex(FromHex("00 4E 00 00 05 00 00 00"
                                                                  "2D 4E 00 00 0F 00 00 00")));
}

TEST(UnihanBuild, FailureKeepsThePreviousIndex) {
    TempDir dir;
    WriteBytes(dir.file("unihan.idc"), FromHex("00 4E 00 00 00 00 00 00"));
    auto r = BuildUnihanIndex(dir.file("missing.txt"), dir.file("unihan.idc"));
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.outcome.message, "ERROR: Unknown error when creating index file!");
    EXPECT_NE(r.outcome.detail.find(dir.file("missing.txt")), std::string::npos)
        << r.outcome.detail;
    EXPECT_EQ(ReadBytes(dir.file("unihan.idc")), FromHex("00 4E 00 00 00 00 00 00"));
    // A source that is a directory fails while reading; nothing half-written is left.
    std::filesystem::create_directory(dir.file("dir.txt"));
    r = BuildUnihanIndex(dir.file("dir.txt"), dir.file("unihan.idc"));
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(ReadBytes(dir.file("unihan.idc")), FromHex("00 4E 00 00 00 00 00 00"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("unihan.idc.tmp")));
    // The index cannot be written into a missing folder.
    WriteBytes(dir.file("src.txt"), "U+4E00\ta\tb\n");
    EXPECT_FALSE(BuildUnihanIndex(dir.file("src.txt"), dir.file("none/unihan.idc")).outcome.ok);
    // Any failure of a callback counts the same, not only input/output errors.
    UnihanBuildCallbacks cb;
    cb.progress = [](int) { throw std::runtime_error("window gone"); };
    r = BuildUnihanIndex(dir.file("src.txt"), dir.file("unihan.idc"), cb);
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(r.outcome.detail, "window gone");
    EXPECT_EQ(ReadBytes(dir.file("unihan.idc")), FromHex("00 4E 00 00 00 00 00 00"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("unihan.idc.tmp")));
}

TEST(UnihanBuild, CancelledBuildKeepsThePreviousIndex) {
    TempDir dir;
    WriteBytes(dir.file("unihan.idc"), FromHex("00 4E 00 00 00 00 00 00"));
    WriteBytes(dir.file("src.txt"), "U+4E00\ta\tb\nU+4E01\ta\tb\nU+4E02\ta\tb\n");
    int polls = 0;
    UnihanBuildCallbacks cb;
    cb.cancelRequested = [&] { return ++polls == 2; };
    auto r = BuildUnihanIndex(dir.file("src.txt"), dir.file("unihan.idc"), cb);
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_TRUE(r.outcome.cancelled);
    EXPECT_EQ(r.outcome.message, "Index file unihan.idc was not created: the build was cancelled");
    EXPECT_EQ(r.records, 0);
    EXPECT_EQ(polls, 2);
    EXPECT_EQ(ReadBytes(dir.file("unihan.idc")), FromHex("00 4E 00 00 00 00 00 00"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("unihan.idc.tmp")));
}

}  // namespace
}  // namespace kes

namespace kes {
namespace {

TEST(UnihanLoad, HugeIndexCountsAsMissing) {
    test::TempDir dir;
    test::WriteBytes(dir.file("unihan.txt"), "U+4E00\ta\tb\n");
    if (!test::MakeSparseFile(dir.file("unihan.idc"), int64_t{64} << 30))
        GTEST_SKIP() << "no sparse files here";
    UnihanIndex index;
    EXPECT_EQ(LoadUnihanIndex(dir.path(), index), "");
    EXPECT_FALSE(index.Available);
    EXPECT_TRUE(index.Records.empty());
}

}  // namespace
}  // namespace kes
