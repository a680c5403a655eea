#include "cli/entry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "base/bytefile.h"
#include "base/filesystem.h"
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

// A one-card DSL source and the CR LF-ended UTF-16LE line it converts to.
std::string OneCard() {
    return Utf16Bytes("中文\n\t[m1]zhōng wén[/m]\n\t[m2]Chinese[/m]\n");
}
std::string OneCardOutput() {
    return Utf16Bytes("中文 [zhōng wén] /Chinese/\r\n");
}

TEST(EntryDecide, ConverterNeedsDslAndANonEmptyPath) {
    EntryDecision d = DecideEntry({" DSL ", "  my dict.dsl \t"});
    EXPECT_EQ(d.branch, EntryBranch::Convert);
    EXPECT_EQ(d.path, "my dict.dsl");

    d = DecideEntry({"\tDsL\r\n", "Path/To/File.DSL", "ignored", "args"});
    EXPECT_EQ(d.branch, EntryBranch::Convert);
    EXPECT_EQ(d.path, "Path/To/File.DSL");

    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"dsl"},
                                                                  {" DSL "},
                                                                  {"dsl", ""},
                                                                  {"dsl", " \t "},
                                                                  {"", "a.dsl"},
                                                                  {"-platform", "offscreen"},
                                                                  {" --reverse"}}) {
        d = DecideEntry(args);
        EXPECT_EQ(d.branch, EntryBranch::Viewer) << ::testing::PrintToString(args);
        EXPECT_EQ(d.path, "");
    }
    // Any other first word is a command that does not exist, kept as given for the message.
    for (const auto& args : std::vector<std::vector<std::string>>{{"dslx", "a.dsl"},
                                                                  {"d sl", "a.dsl"},
                                                                  {"a.dsl", "dsl"},
                                                                  {"cedict.ced"},
                                                                  {" Lokup ", "中国"}}) {
        d = DecideEntry(args);
        EXPECT_EQ(d.branch, EntryBranch::Unknown) << ::testing::PrintToString(args);
        EXPECT_EQ(d.word, args[0]);
        EXPECT_EQ(d.path, "");
    }
}

TEST(EntryDecide, HeadlessCommandsBesideDsl) {
    EntryDecision d = DecideEntry({" Index ", "a.ced", "--name", "x"});
    EXPECT_EQ(d.branch, EntryBranch::Index);
    EXPECT_EQ(d.args, (std::vector<std::string>{"a.ced", "--name", "x"}));

    d = DecideEntry({"LOOKUP", "--html", " 中文 "});
    EXPECT_EQ(d.branch, EntryBranch::Lookup);
    EXPECT_EQ(d.args, (std::vector<std::string>{"--html", " 中文 "}));

    d = DecideEntry({" OCR", "a.png", "-"});
    EXPECT_EQ(d.branch, EntryBranch::Ocr);
    EXPECT_EQ(d.args, (std::vector<std::string>{"a.png", "-"}));

    d = DecideEntry({"unihan", "u.txt"});
    EXPECT_EQ(d.branch, EntryBranch::Unihan);
    EXPECT_EQ(d.args, (std::vector<std::string>{"u.txt"}));

    d = DecideEntry({"index"});
    EXPECT_EQ(d.branch, EntryBranch::Index);
    EXPECT_TRUE(d.args.empty());

    EXPECT_EQ(DecideEntry({"--help"}).branch, EntryBranch::Help);
    EXPECT_EQ(DecideEntry({" -H "}).branch, EntryBranch::Help);
    EXPECT_EQ(DecideEntry({"-help"}).branch, EntryBranch::Viewer);
}

class EntryRun : public ::testing::Test {
  protected:
    CommandContext context() {
        CommandContext ctx;
        ctx.programFolder = dir.path();
        ctx.showMessage = [this](const std::string& text) { shown.push_back(text); };
        return ctx;
    }
    TempDir dir;
    std::vector<std::string> shown;
    std::ostringstream out, err;
};

TEST_F(EntryRun, ConvertsAnExistingFile) {
    WriteBytes(dir.file("a.dsl"), OneCard());
    EXPECT_EQ(RunDslCommand(dir.file("a.dsl"), context(), out, err), 0);
    EXPECT_EQ(out.str(), "Converted: 1 terms\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(shown, std::vector<std::string>{"Converted: 1 terms"});
    EXPECT_EQ(ReadBytes(dir.file("a.ced")), OneCardOutput());
    EXPECT_TRUE(FileExists(dir.file("convertlog.txt")));
}

TEST_F(EntryRun, MissingFileIsReportedAndNothingIsCreated) {
    std::string path = dir.file("missing.dsl");
    EXPECT_EQ(RunDslCommand(path, context(), out, err), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "File not found: " + path + "\n");
    EXPECT_EQ(shown, std::vector<std::string>{"File not found: " + path});
    EXPECT_FALSE(FileExists(dir.file("missing.ced")));
    EXPECT_FALSE(FileExists(dir.file("convertlog.txt")));

    // A folder is not a file.
    std::filesystem::create_directory(dir.file("folder.dsl"));
    shown.clear();
    EXPECT_EQ(RunDslCommand(dir.file("folder.dsl"), context(), out, err), 1);
    EXPECT_EQ(shown, std::vector<std::string>{"File not found: " + dir.file("folder.dsl")});
}

TEST_F(EntryRun, FailedConversionGivesCountAndError) {
    WriteBytes(dir.file("a.dsl"), OneCard());
    CommandContext ctx = context();
    ctx.programFolder = dir.file("no-such-folder");
    EXPECT_EQ(RunDslCommand(dir.file("a.dsl"), ctx, out, err), 1);
    std::string error = "Conversion failed: log file " + dir.file("no-such-folder") +
                        "/convertlog.txt: Cannot create file (No such file or directory)";
    EXPECT_EQ(out.str(), "Converted: 0 terms\n");
    EXPECT_EQ(err.str(), error + "\n");
    EXPECT_EQ(shown, std::vector<std::string>{"Converted: 0 terms\n" + error});
}

TEST_F(EntryRun, WorksWithoutAMessageSink) {
    WriteBytes(dir.file("a.dsl"), OneCard());
    CommandContext ctx;
    ctx.programFolder = dir.path();
    EXPECT_EQ(RunDslCommand(dir.file("a.dsl"), ctx, out, err), 0);
    EXPECT_EQ(RunDslCommand(dir.file("b.dsl"), ctx, out, err), 1);
    EXPECT_FALSE(CheckViewerFiles(ctx, err));
}

TEST_F(EntryRun, ViewerNeedsEmptyHtml) {
    EXPECT_FALSE(CheckViewerFiles(context(), err));
    EXPECT_EQ(err.str(), "Unable to open file: empty.html\n");
    EXPECT_EQ(shown, std::vector<std::string>{"Unable to open file: empty.html"});
    std::filesystem::create_directory(dir.file("empty.html"));
    EXPECT_FALSE(CheckViewerFiles(context(), err));
    std::filesystem::remove(dir.file("empty.html"));
    WriteBytes(dir.file("empty.html"), "<html></html>");
    shown.clear();
    EXPECT_TRUE(CheckViewerFiles(context(), err));
    EXPECT_TRUE(shown.empty());
}

// Whatever a command throws ends it with a message naming the action and the reason and
// exit code 2, on the error stream and in the message box.
TEST(EntryGuard, ThrownFailuresEndTheCommandWithItsNameAndReason) {
    std::vector<std::string> shown;
    CommandContext ctx;
    ctx.showMessage = [&](const std::string& t) { shown.push_back(t); };
    std::ostringstream err;
    EXPECT_EQ(RunCommandGuarded("The lookup", ctx, err, [] { return 7; }), 7);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(RunCommandGuarded("The lookup", ctx, err, []() -> int { throw std::bad_alloc(); }),
              2);
    EXPECT_EQ(RunCommandGuarded("The index build", ctx, err,
                                []() -> int { throw IoError("/x/a.ced", "Read error (EIO)"); }),
              2);
    EXPECT_EQ(err.str(),
              "\nERROR: The lookup failed: Not enough memory\n"
              "\nERROR: The index build failed: Read error (EIO): /x/a.ced\n");
    EXPECT_EQ(shown, (std::vector<std::string>{"ERROR: The lookup failed: Not enough memory",
                                               "ERROR: The index build failed: Read error "
                                               "(EIO): /x/a.ced"}));
}

// --- the program itself --------------------------------------------------------------------

using RunResult = test::ProgramRun;

// Runs the program with KESTRUNE_HOME = home in the folder `cwd`.
RunResult RunProgram(const TempDir& scratch, const std::string& home, const std::string& cwd,
                     const std::vector<std::string>& args) {
    // No display of any kind: the command-line branches must not open a message box here.
    // The viewer's socket is looked for in `scratch`: a viewer of the same user is not asked.
    return test::RunProgram(scratch, KESTRUNE_BINARY, args,
                            {.env = {{"KESTRUNE_HOME", home.c_str()},
                                     {"DISPLAY", nullptr},
                                     {"WAYLAND_DISPLAY", nullptr},
                                     {"QT_QPA_PLATFORM", nullptr}},
                             .cwd = cwd});
}

class EntryProgram : public ::testing::Test {
  protected:
    TempDir home, work, scratch;
};

TEST_F(EntryProgram, PaddedUpperCaseDslConvertsWithoutEmptyHtml) {
    ASSERT_FALSE(FileExists(home.file("empty.html")));
    WriteBytes(work.file("Dict.dsl"), OneCard());
    RunResult r = RunProgram(scratch, home.path(), work.path(), {" DSL ", " Dict.dsl ", "extra"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Converted: 1 terms\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadBytes(work.file("Dict.ced")), OneCardOutput());
    // The log goes into the program folder and names the paths as given.
    EXPECT_EQ(ReadBytes(home.file("convertlog.txt")),
              Utf16Bytes("--- conversion started ---\r\ninput file: Dict.dsl\r\n"
                         "output file: Dict.ced\r\nwords/terms count:1\r\n"
                         "--- end of conversion ---\r\n\r\n"));
}

TEST_F(EntryProgram, DslAloneStartsTheViewerBranch) {
    RunResult r = RunProgram(scratch, home.path(), work.path(), {"dsl"});
    EXPECT_NE(r.code, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Unable to open file: empty.html\n");
    EXPECT_FALSE(FileExists(home.file("convertlog.txt")));

    r = RunProgram(scratch, home.path(), work.path(), {});
    EXPECT_NE(r.code, 0);
    EXPECT_EQ(r.err, "Unable to open file: empty.html\n");
}

TEST_F(EntryProgram, UnknownCommandGivesTheUsageAndStartsNothing) {
    // Without empty.html a start of the viewer would say so.
    RunResult r = RunProgram(scratch, home.path(), work.path(), {"lokup", "中国"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    const std::string begins =
        "Unknown command: lokup\n"
        "Usage:\n"
        "  kestrune                 start the dictionary viewer (or show the one running)\n";
    EXPECT_EQ(r.err.substr(0, begins.size()), begins);
    EXPECT_NE(r.err.find("\nProgram folder: " + home.path() + " (from KESTRUNE_HOME)\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("Unable to open file"), std::string::npos) << r.err;
    EXPECT_TRUE(test::NamesIn(home.path()).empty());
}

TEST_F(EntryProgram, MissingFileFailsWithItsPath) {
    RunResult r = RunProgram(scratch, home.path(), work.path(), {"dsl", "  nothing here.dsl "});
    EXPECT_NE(r.code, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "File not found: nothing here.dsl\n");
    EXPECT_FALSE(FileExists(home.file("convertlog.txt")));
}

TEST_F(EntryProgram, CedInputIsRefusedAndKept) {
    WriteBytes(work.file("dict.CED"), OneCard());
    RunResult r = RunProgram(scratch, home.path(), work.path(), {"dsl", "dict.CED"});
    EXPECT_NE(r.code, 0);
    EXPECT_EQ(r.out, "Converted: 0 terms\n");
    EXPECT_EQ(r.err, "Refused: the output file dict.ced would overwrite the input file dict.CED\n");
    EXPECT_EQ(ReadBytes(work.file("dict.CED")), OneCard());
    EXPECT_FALSE(FileExists(work.file("dict.ced")));
    EXPECT_FALSE(FileExists(home.file("convertlog.txt")));
}

TEST_F(EntryProgram, LogFolderMissingIsAFailure) {
    WriteBytes(work.file("a.dsl"), OneCard());
    std::string missing = home.file("gone");
    RunResult r = RunProgram(scratch, missing, work.path(), {"dsl", "a.dsl"});
    EXPECT_NE(r.code, 0);
    EXPECT_EQ(r.out, "Converted: 0 terms\n");
    EXPECT_EQ(r.err, "Conversion failed: log file " + missing +
                         "/convertlog.txt: Cannot create file (No such file or directory)\n");
}

TEST_F(EntryProgram, OutputThatCannotBeCreatedIsAFailure) {
    WriteBytes(work.file("a.dsl"), OneCard());
    std::filesystem::create_directory(work.file("a.ced"));
    RunResult r = RunProgram(scratch, home.path(), work.path(), {"dsl", "a.dsl"});
    EXPECT_NE(r.code, 0);
    // The card is converted, but the finished output cannot take the folder's place.
    EXPECT_EQ(r.out, "Converted: 1 terms\n");
    EXPECT_EQ(r.err,
              "Conversion failed: output file a.ced: Cannot replace file (Is a directory)\n");
    EXPECT_EQ(ReadBytes(work.file("a.dsl")), OneCard());
    EXPECT_TRUE(std::filesystem::is_directory(work.file("a.ced")));
    EXPECT_EQ(NamesIn(work.path()), (std::vector<std::string>{"a.ced", "a.dsl"}));
}

// The help names every command, in this order, each at the start of its own line; each is one
// the entry runs; and the help names the program folder in use.
TEST_F(EntryProgram, HelpListsTheCommands) {
    RunResult r = RunProgram(scratch, home.path(), work.path(), {"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "");
    // The word right after "  kestrune " on the lines naming a command ("" for the bare start).
    std::vector<std::string> commands;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  kestrune ", 0) != 0) continue;
        const std::string rest = line.substr(11);
        commands.push_back(rest[0] == ' ' ? "" : rest.substr(0, rest.find(' ')));
    }
    EXPECT_EQ(commands, (std::vector<std::string>{"", "show", "popup", "popup", "dsl", "import",
                                                  "index", "lookup", "ocr", "say", "unihan",
                                                  "words", "words", "write", "--help"}))
        << r.out;
    for (std::size_t i = 1; i < commands.size(); ++i)
        EXPECT_NE(DecideEntry({commands[i], "x"}).branch, EntryBranch::Viewer) << commands[i];
    EXPECT_EQ(r.out.rfind("Usage:\n  kestrune                 start the dictionary viewer (or show "
                          "the one running)\n",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("\nProgram folder: " + home.path() + " (from KESTRUNE_HOME)\n"),
              std::string::npos)
        << r.out;
}

TEST_F(EntryProgram, HelpThatCannotBeWrittenIsAnError) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const RunResult r = test::RunProgram(
        scratch, KESTRUNE_BINARY, {"--help"},
        {.env = {{"KESTRUNE_HOME", home.path().c_str()}}, .outputPath = "/dev/full"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(ReadBytes(scratch.file("stderr")),
              "kestrune: No space left on device: standard output\n");
}

}  // namespace
}  // namespace kes
