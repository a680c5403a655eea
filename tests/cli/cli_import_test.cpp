// The "import" command as users run it: exit codes, where the report goes, what is left.
#include "cli/cli_import.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include "support/faults.h"
#include "support/program.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::NamesIn;
using test::ReadBytes;
using test::TempDir;
using test::Utf16Bytes;
using test::WriteBytes;

using CommandRun = test::ProgramRun;

CommandRun Import(const TempDir& home, const std::vector<std::string>& args) {
    std::vector<std::string> all{"import"};
    all.insert(all.end(), args.begin(), args.end());
    return test::RunProgram(KESTRUNE_BINARY, all,
                            {.env = {{"KESTRUNE_HOME", home.path().c_str()}}});
}

TEST(ImportCommand, ExitCodesAndReports) {
    TempDir home, src;
    const std::string text = "# CC-CEDICT\n中國 中国 [Zhong1 guo2] /China/\n";
    gzFile gz = ::gzopen(src.file("cedict_ts.u8.gz").c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    ::gzwrite(gz, text.data(), static_cast<unsigned>(text.size()));
    ::gzclose(gz);

    CommandRun r = Import(home, {src.file("cedict_ts.u8.gz")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Imported 1 entries from cedict_ts.u8.gz into " + home.file("cedict_ts.ced") +
                         "\nIndex file created: " + home.file("cedict_ts.idx") +
                         " (\"CC-CEDICT\", translation words and pinyin)\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadBytes(home.file("cedict_ts.ced")), Utf16Bytes(text));

    // Refused without --replace: exit 1, the files untouched.
    const std::string idx = ReadBytes(home.file("cedict_ts.idx"));
    r = Import(home, {src.file("cedict_ts.u8.gz"), "--name", "Other"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ERROR: cedict_ts.ced already exists in " + home.path() +
                         "! Use --replace to replace the dictionary.\n");
    EXPECT_EQ(ReadBytes(home.file("cedict_ts.idx")), idx);
    r = Import(home, {"--replace", "--name=Other", src.file("cedict_ts.u8.gz")});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Replaced 1 entries", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("(\"Other\", "), std::string::npos) << r.out;

    // Bad input: exit 1, the reason with the file and line, nothing new.
    WriteBytes(src.file("bad.txt"), "中 [zhong1] /middle/\n\xFF\n");
    r = Import(home, {src.file("bad.txt")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "ERROR: bad.txt was not imported\nLine 2 is not UTF-8 (invalid byte at "
              "position 1): " +
                  src.file("bad.txt") + "\n");
    EXPECT_EQ(NamesIn(home.path()), (std::vector<std::string>{"cedict_ts.ced", "cedict_ts.idx"}));

    // Usage errors: exit 2, the reason and the usage.
    const std::string usage = "Usage: kestrune import FILE [--name TEXT] [--replace]\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> usageErrors = {
        {{}, "No file given\n"},
        {{"--name"}, "Option --name needs a text\n"},
        {{"--frob", "x.u8"}, "Unknown option: --frob\n"},
        {{"--words", "x.u8"}, "Unknown option: --words\n"},  // an index option
        {{"a.u8", "b.u8"}, "Only one file can be imported at a time: b.u8\n"},
        {{"--", "a.u8", "--replace"}, "Only one file can be imported at a time: --replace\n"},
    };
    for (const auto& [args, error] : usageErrors) {
        r = Import(home, args);
        EXPECT_EQ(r.code, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.err, error + usage) << ::testing::PrintToString(args);
    }
    r = Import(home, {"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, usage);
}

}  // namespace
}  // namespace kes
