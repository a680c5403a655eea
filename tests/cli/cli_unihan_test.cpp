#include "cli/cli_unihan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "support/tempdir.h"

namespace kes {
namespace {

using test::FromHex;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

struct CommandRun {
    int code;
    std::string out, err;
};

CommandRun RunUnihan(const std::vector<std::string>& args, const std::string& folder) {
    CommandContext ctx;
    ctx.programFolder = folder;
    std::ostringstream out, err;
    int code = RunUnihanCommand(args, ctx, out, err);
    return {code, out.str(), err.str()};
}

TEST(UnihanCommand, BuildsTheIndexInTheProgramFolder) {
    TempDir dir;
    std::string text =
        "# comment\n"
        "U+4E00\tkDefinition\tone\n"   // offset 10
        "U+4E00\tkMandarin\tyi1\n"     // offset 33
        "U+4E01\tkMandarin\tding1\n"   // offset 54
        "U+20000\tkRSUnicode\t1.2\n";  // offset 77
    WriteBytes(dir.file("unihan.txt"), text);
    CommandRun r = RunUnihan({dir.file("unihan.txt")}, dir.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Index file unihan.idc created\n");
    EXPECT_EQ(test::Hex(ReadBytes(dir.file("unihan.idc"))),
              test::Hex(FromHex("00 4E 00 00 0A 00 00 00  01 4E 00 00 36 00 00 00"
                                "00 00 02 00 4D 00 00 00")));
}

TEST(UnihanCommand, UsageAndMissingFile) {
    TempDir dir;
    CommandRun none = RunUnihan({}, dir.path());
    EXPECT_EQ(none.code, 2);
    EXPECT_EQ(none.err, "Usage: kestrune unihan FILE.txt\n");
    CommandRun missing = RunUnihan({dir.file("nope.txt")}, dir.path());
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err, "File not found: " + dir.file("nope.txt") + "\n");
    EXPECT_FALSE(test::ReadBytes(dir.file("unihan.idc")).size() > 0);
}

TEST(UnihanCommand, FailureIsReportedAndExitsNonZero) {
    TempDir dir;
    WriteBytes(dir.file("unihan.txt"), "U+4E00\tkDefinition\tone\n");
    // The program folder does not exist, so the index cannot be written.
    CommandRun r = RunUnihan({dir.file("unihan.txt")}, dir.file("missing-folder"));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "ERROR: Unknown error when creating index file!\nCannot create file (" +
                         std::string(std::strerror(ENOENT)) +
                         "): " + dir.file("missing-folder/unihan.idc") + "\n");
}

}  // namespace
}  // namespace kes
