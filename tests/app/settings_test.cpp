#include "app/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/inifile.h"
#include "support/faults.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::FileSizeLimit;
using test::MakeSparseFile;
using test::NamesIn;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

void ExpectDefaults(const Settings& s) {
    EXPECT_EQ(s.InpFontface, "Arial");
    EXPECT_EQ(s.InpFontsize, 14);
    EXPECT_EQ(s.ChrFontface, "Arial");
    EXPECT_EQ(s.ChrFontsize, 12);
    EXPECT_EQ(s.PinFontface, "Times");
    EXPECT_EQ(s.PinFontsize, 12);
    EXPECT_EQ(s.DscFontface, "Times");
    EXPECT_EQ(s.DscFontsize, 12);
    EXPECT_EQ(s.TreFontface, "Times");
    EXPECT_EQ(s.TreFontsize, 12);
    EXPECT_EQ(s.pnlLeft, 60);
    EXPECT_FALSE(s.TranslateAll);
    EXPECT_TRUE(s.AddDescToIndex);
    EXPECT_FALSE(s.AddPinToIndex);
    EXPECT_FALSE(s.ShowUcs2);
    EXPECT_FALSE(s.ShowUnihan);
    EXPECT_TRUE(s.SearchBoth);
    EXPECT_TRUE(s.BestFirst);
    EXPECT_EQ(s.ReleaseViewMinutes, 10);
    EXPECT_FALSE(s.ScanClipboard);
    EXPECT_FALSE(s.ScanSelection);
    EXPECT_EQ(s.Pinyin, "stored");
    EXPECT_EQ(s.ToneColors, "#d0021b,#16801a,#1f4fd8,#8e24aa,#6b6b6b");
    EXPECT_EQ(s.Maximized, 0);
    EXPECT_EQ(s.X, 10);
    EXPECT_EQ(s.Y, 10);
    EXPECT_EQ(s.DX, 710);
    EXPECT_EQ(s.DY, 400);
}

TEST(SettingsLoad, MissingOrUnreadableFileGivesDefaults) {
    TempDir dir;
    ExpectDefaults(LoadSettings(dir.file("setup.ini")));
    std::filesystem::create_directory(dir.file("dir.ini"));
    ExpectDefaults(LoadSettings(dir.file("dir.ini")));
}

TEST(SettingsLoad, GarbageValuesGiveDefaults) {
    TempDir dir;
    WriteBytes(dir.file("setup.ini"),
               "[Setup]\nInpFontsize=big\nSearchBoth=\nShowUcs2=on\nAddDescToIndex=1x\n"
               "ReleaseViewMinutes=ten\n"
               "[Form]\nX=ten\nDX=0x\nMaximized=--1\n");
    ExpectDefaults(LoadSettings(dir.file("setup.ini")));
}

TEST(SettingsLoad, ValuesHexAndTheNarrowPanel) {
    TempDir dir;
    WriteBytes(dir.file("setup.ini"),
               "[setup]\r\nInpFontface=Noto Sans CJK SC\r\nInpFontsize=0x10\r\n"
               "ChrFontsize=20\r\nTranslateAll=2\r\nSearchBoth=0\r\nShowUnihan=0X1\r\n"
               "[FORM]\r\npnlLeft=5\r\nMaximized=1\r\nX=-50\r\nY=0x20\r\nDX=800\r\nDY=600\r\n");
    Settings s = LoadSettings(dir.file("setup.ini"));
    EXPECT_EQ(s.InpFontface, "Noto Sans CJK SC");
    EXPECT_EQ(s.InpFontsize, 16);
    EXPECT_EQ(s.ChrFontsize, 20);
    EXPECT_TRUE(s.TranslateAll);
    EXPECT_FALSE(s.SearchBoth);
    EXPECT_TRUE(s.ShowUnihan);
    EXPECT_EQ(s.pnlLeft, 20);
    EXPECT_EQ(s.Maximized, 1);
    EXPECT_EQ(s.X, -50);
    EXPECT_EQ(s.Y, 32);
    EXPECT_EQ(s.DX, 800);
    EXPECT_EQ(s.DY, 600);
}

// A negative release time means never, like 0; 0 stays 0.
TEST(SettingsLoad, ReleaseViewMinutesNeverBelowZero) {
    TempDir dir;
    WriteBytes(dir.file("setup.ini"), "[Setup]\nReleaseViewMinutes=-5\n");
    EXPECT_EQ(LoadSettings(dir.file("setup.ini")).ReleaseViewMinutes, 0);
    WriteBytes(dir.file("setup.ini"), "[Setup]\nReleaseViewMinutes=0\n");
    EXPECT_EQ(LoadSettings(dir.file("setup.ini")).ReleaseViewMinutes, 0);
    WriteBytes(dir.file("setup.ini"), "[Setup]\nReleaseViewMinutes=1\n");
    EXPECT_EQ(LoadSettings(dir.file("setup.ini")).ReleaseViewMinutes, 1);
}

TEST(SettingsSave, WritesBothSectionsAndKeepsDicts) {
    TempDir dir;
    const std::string path = dir.file("setup.ini");
    WriteBytes(path, "[Dicts]\nb.idx=1\na.idx=0\n\n[Mine]\nk=v\n");
    Settings s;
    s.InpFontface = "Tahoma";
    s.pnlLeft = 150;
    s.ShowUcs2 = true;
    s.SearchBoth = false;
    s.BestFirst = false;
    s.ReleaseViewMinutes = 3;
    s.ScanClipboard = true;
    s.Pinyin = "colored";
    s.ToneColors = "#111111,#222222,#333333,#444444,#555555";
    s.X = 1;
    s.Y = 2;
    s.DX = 640;
    s.DY = 480;
    ASSERT_TRUE(SaveSettings(path, s).ok);
    EXPECT_EQ(ReadBytes(path),
              "[Dicts]\nb.idx=1\na.idx=0\n\n[Mine]\nk=v\n\n"
              "[Setup]\n"
              "InpFontface=Tahoma\nInpFontsize=14\nChrFontface=Arial\nChrFontsize=12\n"
              "PinFontface=Times\nPinFontsize=12\nDscFontface=Times\nDscFontsize=12\n"
              "TreFontface=Times\nTreFontsize=12\n"
              "TranslateAll=0\nAddDescToIndex=1\nAddPinToIndex=0\nShowUcs2=1\nShowUnihan=0\n"
              "SearchBoth=0\nBestFirst=0\nReleaseViewMinutes=3\nScanClipboard=1\nScanSelection=0\n"
              "Pinyin=colored\nToneColors=#111111,#222222,#333333,#444444,#555555\n"
              "\n"
              "[Form]\npnlLeft=150\nMaximized=0\nX=1\nY=2\nDX=640\nDY=480\n");
    Settings back = LoadSettings(path);
    EXPECT_EQ(back.InpFontface, "Tahoma");
    EXPECT_EQ(back.pnlLeft, 150);
    EXPECT_TRUE(back.ShowUcs2);
    EXPECT_FALSE(back.SearchBoth);
    EXPECT_FALSE(back.BestFirst);
    EXPECT_EQ(back.ReleaseViewMinutes, 3);
    EXPECT_TRUE(back.ScanClipboard);
    EXPECT_FALSE(back.ScanSelection);
    EXPECT_EQ(back.Pinyin, "colored");
    EXPECT_EQ(back.ToneColors, "#111111,#222222,#333333,#444444,#555555");
    EXPECT_EQ(back.DY, 480);
}

// Every key of the table, changed alone from its default, is written under its section and
// read back into its own field; every other field keeps its default.
TEST(SettingsTable, EveryKeyRoundTripsAlone) {
    TempDir dir;
    const std::string path = dir.file("setup.ini");
    for (const SettingRow& row : SettingRows()) {
        SCOPED_TRACE(std::string(row.Key));
        std::filesystem::remove(path);
        Settings s;
        std::string line;
        switch (row.Type) {
            case SettingRow::Kind::Text:
                s.*row.TextField = "Noto Serif CJK TC";
                line = "Noto Serif CJK TC";
                break;
            case SettingRow::Kind::Integer:
                s.*row.IntegerField = row.Key == "Maximized" ? 1 : 77;
                line = row.Key == "Maximized" ? "1" : "77";
                break;
            case SettingRow::Kind::Flag:
                s.*row.FlagField = !(s.*row.FlagField);
                line = s.*row.FlagField ? "1" : "0";
                break;
        }
        ASSERT_TRUE(SaveSettings(path, s).ok);
        IniFile ini;
        ASSERT_TRUE(ini.load(path));
        EXPECT_EQ(ini.readString(row.Section, row.Key, "?"), line);
        const Settings back = LoadSettings(path);
        Settings expected;  // the defaults, but for this key (the bounds stay while maximized)
        switch (row.Type) {
            case SettingRow::Kind::Text:
                expected.*row.TextField = s.*row.TextField;
                break;
            case SettingRow::Kind::Integer:
                expected.*row.IntegerField = s.*row.IntegerField;
                break;
            case SettingRow::Kind::Flag:
                expected.*row.FlagField = s.*row.FlagField;
                break;
        }
        for (const SettingRow& other : SettingRows()) {
            SCOPED_TRACE(std::string(other.Key));
            if (other.Type == SettingRow::Kind::Text)
                EXPECT_EQ(back.*other.TextField, expected.*other.TextField);
            if (other.Type == SettingRow::Kind::Integer)
                EXPECT_EQ(back.*other.IntegerField, expected.*other.IntegerField);
            if (other.Type == SettingRow::Kind::Flag)
                EXPECT_EQ(back.*other.FlagField, expected.*other.FlagField);
        }
    }
}

// A fresh file gets every key, in this order and with these values, byte for byte.
TEST(SettingsTable, FreshFileBytesForFixedSettings) {
    TempDir dir;
    const std::string path = dir.file("setup.ini");
    Settings s;
    s.InpFontface = "Noto Sans CJK SC";
    s.InpFontsize = 16;
    s.ChrFontsize = 20;
    s.TreFontface = "DejaVu Sans";
    s.pnlLeft = 210;
    s.TranslateAll = true;
    s.AddDescToIndex = false;
    s.AddPinToIndex = true;
    s.ShowUnihan = true;
    s.ReleaseViewMinutes = 0;
    s.ScanSelection = true;
    s.X = -3;
    s.DY = 512;
    ASSERT_TRUE(SaveSettings(path, s).ok);
    const std::string normal =
        "[Setup]\nInpFontface=Noto Sans CJK SC\nInpFontsize=16\nChrFontface=Arial\n"
        "ChrFontsize=20\nPinFontface=Times\nPinFontsize=12\nDscFontface=Times\nDscFontsize=12\n"
        "TreFontface=DejaVu Sans\nTreFontsize=12\nTranslateAll=1\nAddDescToIndex=0\n"
        "AddPinToIndex=1\nShowUcs2=0\nShowUnihan=1\nSearchBoth=1\nBestFirst=1\nReleaseViewMinutes=0\n"
        "ScanClipboard=0\nScanSelection=1\nPinyin=stored\n"
        "ToneColors=#d0021b,#16801a,#1f4fd8,#8e24aa,#6b6b6b\n\n"
        "[Form]\npnlLeft=210\nMaximized=0\nX=-3\nY=10\nDX=710\nDY=512\n";
    EXPECT_EQ(ReadBytes(path), normal);
    // Maximized (any value but 0) into a fresh file: the flag alone, no bounds.
    std::filesystem::remove(path);
    s.Maximized = 5;
    ASSERT_TRUE(SaveSettings(path, s).ok);
    EXPECT_EQ(ReadBytes(path), normal.substr(0, normal.find("Maximized=")) + "Maximized=1\n");
}

TEST(SettingsTable, KeysAreUniqueAndOptionsNameTheirActions) {
    std::vector<std::string> keys;
    for (const SettingRow& row : SettingRows())
        keys.push_back(std::string(row.Section) + "/" + std::string(row.Key));
    EXPECT_EQ(keys.size(), 28u);
    std::vector<std::string> sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    std::vector<std::string> options;
    for (const SettingRow* row : OptionRows())
        options.push_back(std::string(row->Key) + ":" + std::string(row->Action));
    EXPECT_EQ(options,
              (std::vector<std::string>{
                  "TranslateAll:acTranslateAllWords", "AddDescToIndex:acAddDescIndex",
                  "AddPinToIndex:acAddPinIndex", "ShowUcs2:acShowUcs2", "ShowUnihan:acShowUnihan",
                  "SearchBoth:acSearchBoth", "BestFirst:acBestFirst",
                  "ScanClipboard:acScanClipboard", "ScanSelection:acScanSelection"}));
}

// Files an editor or another program may leave: several byte-order marks, CR CR LF line
// ends, a lone CR inside a line. What is read is what a save writes back, once.
TEST(SettingsSave, OddLineEndsAndMarksReadBackAsWritten) {
    TempDir dir;
    const std::string path = dir.file("setup.ini");
    const std::string body =
        "[Setup]\nInpFontface=Tahoma\nChrFontsize=40\n[Form]\nX=7\n[Dicts]\na.idx=0\n";
    auto with = [&](const std::string& head, const std::string& end) {
        std::string text = head;
        for (char c : body)
            text += c == '\n' ? end : std::string(1, c);
        return text;
    };
    for (const std::string& text : {with("\xEF\xBB\xBF\xEF\xBB\xBF", "\n"), with("", "\r\r\n"),
                                    with("\xEF\xBB\xBF", "\r\r\n"), with("", "\r")}) {
        WriteBytes(path, text);
        const Settings read = LoadSettings(path);
        EXPECT_EQ(read.InpFontface, "Tahoma");
        EXPECT_EQ(read.ChrFontsize, 40);
        EXPECT_EQ(read.X, 7);
        ASSERT_TRUE(SaveSettings(path, read).ok);
        const std::string saved = ReadBytes(path);
        // One section of each name: the keys were rewritten in place.
        EXPECT_EQ(saved.find("[Setup]"), saved.rfind("[Setup]")) << saved;
        EXPECT_EQ(saved.find("[Form]"), saved.rfind("[Form]")) << saved;
        const Settings again = LoadSettings(path);
        EXPECT_EQ(again.InpFontface, "Tahoma");
        EXPECT_EQ(again.ChrFontsize, 40);
        EXPECT_EQ(again.X, 7);
        IniFile ini;
        ASSERT_TRUE(ini.load(path));
        EXPECT_EQ(ini.readSection("Dicts"), (std::vector<IniPair>{{"a.idx", "0"}}));
    }
    // A lone CR ends a line: the text after it is a line of its own, not part of the value.
    WriteBytes(path, "[Setup]\nInpFontface=Arial\rChrFontsize=30\n");
    EXPECT_EQ(LoadSettings(path).InpFontface, "Arial");
    EXPECT_EQ(LoadSettings(path).ChrFontsize, 30);
}

TEST(SettingsSave, MaximizedWritesOnlyTheFlagAndKeepsTheNormalBounds) {
    TempDir dir;
    const std::string path = dir.file("setup.ini");
    WriteBytes(path, "[Form]\nMaximized=0\nX=30\nY=40\nDX=500\nDY=350\n");
    Settings s;
    s.Maximized = 1;
    s.X = 0;
    s.Y = 0;
    s.DX = 1920;
    s.DY = 1080;
    ASSERT_TRUE(SaveSettings(path, s).ok);
    IniFile ini;
    ASSERT_TRUE(ini.load(path));
    EXPECT_EQ(ini.readInteger("Form", "Maximized", -1), 1);
    EXPECT_EQ(ini.readInteger("Form", "X", -1), 30);
    EXPECT_EQ(ini.readInteger("Form", "Y", -1), 40);
    EXPECT_EQ(ini.readInteger("Form", "DX", -1), 500);
    EXPECT_EQ(ini.readInteger("Form", "DY", -1), 350);
    WindowPlacement p = PlaceWindow(LoadSettings(path), 1920, 1080);
    EXPECT_EQ(p.Left, 30);
    EXPECT_EQ(p.Width, 500);
    EXPECT_TRUE(p.Maximized);
}

TEST(SettingsSave, FailuresLeaveTheOldFile) {
    TempDir dir;
    const std::string path = dir.file("setup.ini");
    const std::string old = "[Setup]\nInpFontsize=20\n[Dicts]\na.idx=1\n";
    WriteBytes(path, old);
    {
        FileSizeLimit limit(old.size());  // the new text is longer
        const Outcome saved = SaveSettings(path, Settings{});
        EXPECT_FALSE(saved.ok);
        EXPECT_EQ(MessageWithDetail(saved),
                  "ERROR: The settings could not be saved to setup.ini!\nWrite error (" +
                      std::string(std::strerror(EFBIG)) + "): " + path);
    }
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"setup.ini"}));
    // An unreadable file is not replaced by one that would lose its other sections.
    std::filesystem::create_directory(dir.file("dir.ini"));
    EXPECT_EQ(SaveSettings(dir.file("dir.ini"), Settings{}).detail,
              "Cannot open file (not a regular file): " + dir.file("dir.ini"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("dir.ini")));
    EXPECT_EQ(SaveSettings(dir.file("missing/setup.ini"), Settings{}).detail,
              "Cannot create file (" + std::string(std::strerror(ENOENT)) +
                  "): " + dir.file("missing/setup.ini"));
}

TEST(WindowPlacementRule, DefaultsAndLimits) {
    Settings s;
    WindowPlacement p = PlaceWindow(s, 1920, 1080);
    EXPECT_EQ(p.Left, 10);
    EXPECT_EQ(p.Top, 10);
    EXPECT_EQ(p.Width, 710);
    EXPECT_EQ(p.Height, 400);
    EXPECT_FALSE(p.Maximized);

    // A small screen limits the default size so the window ends at its edges.
    p = PlaceWindow(s, 700, 400);
    EXPECT_EQ(p.Width, 690);
    EXPECT_EQ(p.Height, 390);

    s.X = -50;
    s.Y = -1;
    s.DX = 5000;
    s.DY = 300 + 10;
    p = PlaceWindow(s, 1024, 768);
    EXPECT_EQ(p.Left, 0);
    EXPECT_EQ(p.Top, 0);
    EXPECT_EQ(p.Width, 1024);
    EXPECT_EQ(p.Height, 310);

    // Exactly reaching the edge counts as reaching it.
    s.X = 24;
    s.DX = 1000;
    EXPECT_EQ(PlaceWindow(s, 1024, 768).Width, 1000);
    s.DX = 999;
    EXPECT_EQ(PlaceWindow(s, 1024, 768).Width, 999);

    // The minimum size still applies, also to a limited width.
    s.X = 900;
    s.DX = 800;
    s.DY = 100;
    p = PlaceWindow(s, 1024, 768);
    EXPECT_EQ(p.Width, 418);
    EXPECT_EQ(p.Height, 306);

    // Only the value 1 maximizes; huge values do not overflow.
    s.Maximized = 2;
    EXPECT_FALSE(PlaceWindow(s, 1024, 768).Maximized);
    s.X = 2147483647;
    s.DX = 2147483647;
    EXPECT_EQ(PlaceWindow(s, 1024, 768).Width, 418);
}

TEST(ReadmeText, LinesJoinedWithLeadingSpaces) {
    TempDir dir;
    WriteBytes(dir.file("readme.html"), "<b>Kestrune</b>\r\nline two\n\nlast");
    EXPECT_EQ(ReadReadmeText(dir.file("readme.html")), " <b>Kestrune</b> line two  last");
    WriteBytes(dir.file("one.html"), "only\n");
    EXPECT_EQ(ReadReadmeText(dir.file("one.html")), " only");
    WriteBytes(dir.file("empty.html"), "");
    EXPECT_EQ(ReadReadmeText(dir.file("empty.html")), "");
}

TEST(ReadmeText, MissingOrUnreadableGivesTheNote) {
    TempDir dir;
    EXPECT_EQ(ReadReadmeText(dir.file("readme.html")),
              "<i>NOTE: readme.html is missing or invalid!</i>");
    std::filesystem::create_directory(dir.file("dir.html"));
    EXPECT_EQ(ReadReadmeText(dir.file("dir.html")),
              "<i>NOTE: readme.html is missing or invalid!</i>");
}

}  // namespace
}  // namespace kes

namespace kes {
namespace {

TEST(HugeFiles, SetupIniAndReadmeAboveTheirBoundAreRefusedNotRead) {
    test::TempDir dir;
    const std::string ini = dir.file("setup.ini");
    if (!test::MakeSparseFile(ini, int64_t{64} << 30)) GTEST_SKIP() << "no sparse files here";
    IniFile file;
    EXPECT_FALSE(file.load(ini));
    Settings s = LoadSettings(ini);
    EXPECT_EQ(s.InpFontsize, Settings{}.InpFontsize);
    // Not replaced by a file that would lose whatever it held.
    EXPECT_EQ(SaveSettings(ini, Settings{}).detail,
              "File too large (68719476736 bytes, at most 4194304 expected): " + ini);
    EXPECT_EQ(std::filesystem::file_size(ini), uint64_t{64} << 30);

    const std::string readme = dir.file("readme.html");
    ASSERT_TRUE(test::MakeSparseFile(readme, kMaxReadmeBytes + 1));
    EXPECT_EQ(ReadReadmeText(readme), kReadmeMissingText);
    test::WriteBytes(readme, "<b>x</b>\r\ny");
    EXPECT_EQ(ReadReadmeText(readme), " <b>x</b> y");
}

}  // namespace
}  // namespace kes
