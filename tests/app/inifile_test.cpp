#include "app/inifile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "support/faults.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::FileSizeLimit;
using test::NamesIn;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(IniFileRead, ValuesTypesAndDefaults) {
    IniFile ini;
    ini.parse(
        "[Setup]\r\n"
        "  Name =  Times New Roman  \r\n"
        "Dec=42\n"
        "Neg=-7\n"
        "Hex=0x1F\n"
        "HexUpper=0XfF\n"
        "HexAll=0xFFFFFFFF\n"
        "Garbage=12abc\n"
        "Empty=\n"
        "Huge=99999999999\n"
        "Float=1.5\n"
        "BoolYes=5\n"
        "BoolNo=0\n"
        "BoolText=yes\n");
    EXPECT_EQ(ini.readString("Setup", "Name", "x"), "Times New Roman");
    EXPECT_EQ(ini.readString("Setup", "Missing", "def"), "def");
    EXPECT_EQ(ini.readString("Nowhere", "Name", "def"), "def");
    EXPECT_EQ(ini.readInteger("Setup", "Dec", 1), 42);
    EXPECT_EQ(ini.readInteger("Setup", "Neg", 1), -7);
    EXPECT_EQ(ini.readInteger("Setup", "Hex", 1), 31);
    EXPECT_EQ(ini.readInteger("Setup", "HexUpper", 1), 255);
    EXPECT_EQ(ini.readInteger("Setup", "HexAll", 1), -1);
    EXPECT_EQ(ini.readInteger("Setup", "Garbage", 3), 3);
    EXPECT_EQ(ini.readInteger("Setup", "Empty", 3), 3);
    EXPECT_EQ(ini.readInteger("Setup", "Huge", 3), 3);
    EXPECT_EQ(ini.readInteger("Setup", "Float", 3), 3);
    EXPECT_EQ(ini.readInteger("Setup", "Name", 3), 3);
    EXPECT_TRUE(ini.readBool("Setup", "BoolYes", false));
    EXPECT_FALSE(ini.readBool("Setup", "BoolNo", true));
    EXPECT_TRUE(ini.readBool("Setup", "BoolText", true));
    EXPECT_FALSE(ini.readBool("Setup", "BoolText", false));
    EXPECT_TRUE(ini.readBool("Setup", "Missing", true));
}

TEST(IniFileRead, SectionNamesIgnoreCaseAndPairsKeepOrder) {
    IniFile ini;
    ini.parse(
        "\xEF\xBB\xBF; leading comment\n"
        "[ dicts ]\n"
        "; comment = not a pair\n"
        "b.idx = 1\n"
        "no pair line\n"
        "A.idx=0\n"
        "a.idx=1\n"
        "\n"
        "[Other]\n"
        "x=1\n");
    auto pairs = ini.readSection("DICTS");
    ASSERT_EQ(pairs.size(), 3u);
    EXPECT_EQ(pairs[0], IniPair("b.idx", "1"));
    EXPECT_EQ(pairs[1], IniPair("A.idx", "0"));
    EXPECT_EQ(pairs[2], IniPair("a.idx", "1"));
    EXPECT_TRUE(ini.hasSection("other"));
    EXPECT_TRUE(ini.readSection("Missing").empty());
}

TEST(IniFileWrite, RewritingOneSectionKeepsTheOthers) {
    IniFile ini;
    ini.parse(
        "; my settings\n"
        "[Setup]\n"
        "InpFontface=Arial\n"
        "Custom=keep me\n"
        "\n"
        "[Dicts]\n"
        "a.idx=1\n"
        "b.idx=0\n"
        "\n"
        "[Extra]\n"
        "z = 9\n");
    ini.writeString("setup", "inpfontface", "Tahoma");
    ini.writeInteger("Setup", "InpFontsize", 16);
    ini.writeBool("Form", "Maximized", true);
    EXPECT_EQ(ini.text(),
              "; my settings\n"
              "[Setup]\n"
              "InpFontface=Tahoma\n"
              "Custom=keep me\n"
              "InpFontsize=16\n"
              "\n"
              "[Dicts]\n"
              "a.idx=1\n"
              "b.idx=0\n"
              "\n"
              "[Extra]\n"
              "z = 9\n"
              "\n"
              "[Form]\n"
              "Maximized=1\n");

    ini.eraseSection("DICTS");
    ini.appendKey("Dicts", "B.idx", "1");
    ini.appendKey("Dicts", "b.idx", "0");
    EXPECT_EQ(ini.text(),
              "; my settings\n"
              "[Setup]\n"
              "InpFontface=Tahoma\n"
              "Custom=keep me\n"
              "InpFontsize=16\n"
              "\n"
              "[Extra]\n"
              "z = 9\n"
              "\n"
              "[Form]\n"
              "Maximized=1\n"
              "\n"
              "[Dicts]\n"
              "B.idx=1\n"
              "b.idx=0\n");
}

TEST(IniFileWrite, LineBreaksInWrittenTextCannotStartNewLines) {
    IniFile ini;
    ini.writeString("Setup", "Face", "Evil\n[Dicts]\r\nx.idx=1");
    ini.appendKey("Dicts", "a\nb", "1");
    EXPECT_EQ(ini.text(), "[Setup]\nFace=Evil [Dicts]  x.idx=1\n\n[Dicts]\na b=1\n");
    ini.writeString("Setup", "Face", "x\ny");
    EXPECT_EQ(ini.readString("Setup", "Face", ""), "x y");
    EXPECT_EQ(ini.readSection("Dicts").size(), 1u);
}

TEST(IniFileWrite, DuplicateSectionsAreAllErased) {
    IniFile ini;
    ini.parse("[Dicts]\na=1\n[X]\nk=v\n[dicts]\nb=1\n");
    ini.eraseSection("Dicts");
    EXPECT_EQ(ini.text(), "[X]\nk=v\n");
}

TEST(IniFileFiles, MissingFileReadsEmptyAndSaveRoundTrips) {
    TempDir dir;
    IniFile ini;
    EXPECT_TRUE(ini.load(dir.file("setup.ini")));
    EXPECT_EQ(ini.text(), "");
    ini.writeString("Setup", "Face", "Arial");
    ini.save(dir.file("setup.ini"));
    EXPECT_EQ(ReadBytes(dir.file("setup.ini")), "[Setup]\nFace=Arial\n");
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"setup.ini"}));

    IniFile again;
    EXPECT_TRUE(again.load(dir.file("setup.ini")));
    EXPECT_EQ(again.readString("Setup", "Face", ""), "Arial");
}

TEST(IniFileFiles, DirectoryInPlaceOfTheFileIsUnreadable) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("setup.ini"));
    IniFile ini;
    std::string reason;
    EXPECT_FALSE(ini.load(dir.file("setup.ini"), &reason));
    EXPECT_EQ(reason, "Cannot open file (not a regular file): " + dir.file("setup.ini"));
    EXPECT_EQ(ini.readInteger("Setup", "X", 5), 5);
    ini.writeString("Setup", "X", "1");
    EXPECT_THROW(ini.save(dir.file("setup.ini")), IoError);
}

TEST(IniFileFiles, FailedSaveLeavesTheOldFileWhole) {
    TempDir dir;
    const std::string path = dir.file("setup.ini");
    const std::string old = "[Setup]\r\nX=1\r\n[Dicts]\r\na.idx=1\r\n";
    WriteBytes(path, old);
    IniFile ini;
    ASSERT_TRUE(ini.load(path));
    ini.writeInteger("Setup", "X", 2);
    {
        // The disk takes no more than 10 bytes of the new text.
        FileSizeLimit limit(10);
        try {
            ini.save(path);
            ADD_FAILURE() << "saved";
        } catch (const IoError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Write error (" + std::string(std::strerror(EFBIG)) + "): " + path);
        }
    }
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"setup.ini"}));
    // A save into a missing folder fails too, without creating anything.
    EXPECT_THROW(ini.save(dir.file("missing/setup.ini")), IoError);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

}  // namespace
}  // namespace kes
