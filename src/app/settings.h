// The main window's settings kept in setup.ini (sections "Setup" and "Form"), the window
// placement rule applied at start, and the readme text of the About page.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace kes {

// Every key of the sections "Setup" and "Form". Field names are the keys; the defaults, the
// order of writing and the menu actions of the options are declared once, in SettingRows(),
// and a new Settings holds the defaults.
struct Settings {
    Settings();

    // Section "Setup": five fonts (face, size).
    std::string InpFontface;
    int32_t InpFontsize{};
    std::string ChrFontface;
    int32_t ChrFontsize{};
    std::string PinFontface;
    int32_t PinFontsize{};
    std::string DscFontface;
    int32_t DscFontsize{};
    std::string TreFontface;
    int32_t TreFontsize{};
    // Section "Form": width of the tree panel, at least kMinPnlLeft after loading.
    int32_t pnlLeft{};
    // Section "Setup": the six options.
    bool TranslateAll{};
    bool AddDescToIndex{};
    bool AddPinToIndex{};
    bool ShowUcs2{};
    bool ShowUnihan{};
    bool SearchBoth{};
    // Section "Setup": "Best matches first" for English and Russian words.
    bool BestFirst{};
    // Section "Setup": copied (ScanClipboard) or, on X11, selected (ScanSelection) Chinese
    // text pops up.
    bool ScanClipboard{};
    bool ScanSelection{};
    // Section "Setup": minutes the main window stays hidden before its page view (and the
    // browser engine's processes) is released; 0: never. A negative value counts as 0.
    int32_t ReleaseViewMinutes{};
    // Section "Setup": how the page shows pinyin, one of kPinyinChoices (anything else reads
    // as "stored"), and the five tone colours of "colored" (pinyinmarks.h, ParseToneColors).
    std::string Pinyin;
    std::string ToneColors;
    // Section "Form": the window placement (left, top, width, height of the normal window).
    int32_t Maximized{};  // 1: the window is maximized
    int32_t X{};
    int32_t Y{};
    int32_t DX{};
    int32_t DY{};
};

// The choices of setup.ini key "Pinyin", in the order of the "&Pinyin" menu: as stored, tone
// marks, tone marks in colour, zhuyin.
inline constexpr std::string_view kPinyinChoices[] = {"stored", "marks", "colored", "zhuyin"};
inline constexpr const char* kPinyinChoiceCaptions[] = {"As &stored", "Tone &marks",
                                                        "Tone marks in &colour", "&Zhuyin"};

constexpr int32_t kMinPnlLeft = 20;
constexpr int32_t kMinWindowWidth = 418;
constexpr int32_t kMinWindowHeight = 306;

inline constexpr const char* kSetupSection = "Setup";
inline constexpr const char* kFormSection = "Form";
inline const char* const kSetupIniName = "setup.ini";
inline const char* const kReadmeMissingText = "<i>NOTE: readme.html is missing or invalid!</i>";

// One key of setup.ini: its section and name, the field of Settings it is read into and
// written from, and its default. An option also names the menu action that shows it (a
// checkable action of the main window) and that action's caption.
struct SettingRow {
    enum class Kind { Text, Integer, Flag };
    // How the key is written.
    enum class Write {
        Value,            // the field's value
        OneOrZero,        // 1 when the field is non-zero, else 0 (Maximized)
        UnlessMaximized,  // the value, but nothing while Maximized is non-zero (the bounds)
    };
    Kind Type = Kind::Text;
    std::string_view Section;
    std::string_view Key;
    std::string Settings::*TextField = nullptr;
    int32_t Settings::*IntegerField = nullptr;
    bool Settings::*FlagField = nullptr;
    std::string_view DefaultText;
    int32_t DefaultInteger = 0;  // also a flag's default (0 or 1)
    // An integer read below it is raised to it.
    int32_t Minimum = INT32_MIN;
    Write How = Write::Value;
    std::string_view Action;   // an option's menu action (its object name); empty otherwise
    std::string_view Caption;  // that action's caption
};

// Every key of the sections "Setup" and "Form", in the order SaveSettings writes them.
std::span<const SettingRow> SettingRows();
// The rows that are options of the menus (a flag with an action), in the same order.
std::vector<const SettingRow*> OptionRows();

// Reads setup.ini; a missing or unreadable file, a missing key and a value that is no
// integer give the defaults. pnlLeft below 20 is raised to 20, ReleaseViewMinutes below 0
// to 0.
Settings LoadSettings(const std::string& iniPath);

// Writes the sections "Setup" (ten font values, six options,
// ReleaseViewMinutes, the two scan options, Pinyin and ToneColors) and "Form" (pnlLeft, then the
// placement: Maximized=1 alone when Maximized is non-zero, otherwise Maximized=0, X, Y, DX,
// DY) in one atomic write, key by key in the order of SettingRows(); every other section and
// line of the file stays as it was.
// Fails with kSettingsNotSavedMessage (the detail naming the file and the reason) when the
// file could not be written (or exists but could not be read, so that its other sections
// would be lost); the previous file is then untouched.
inline constexpr std::string_view kSettingsNotSavedMessage =
    "ERROR: The settings could not be saved to setup.ini!";
Outcome SaveSettings(const std::string& iniPath, const Settings& settings);

// Where the window goes at start: left/top from X/Y (negative values become 0), width and
// height from DX/DY, limited to end at the screen's right/bottom edge when they reach or
// pass it, then raised to the window's minimum size; maximized when Maximized is 1.
struct WindowPlacement {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    bool Maximized = false;
};
WindowPlacement PlaceWindow(const Settings& settings, int32_t screenWidth, int32_t screenHeight);

// The readme text for the About page: every line of the file (LF ends a line, a CR before
// it is dropped), each preceded by one space, or kReadmeMissingText when the file cannot be
// opened or read.
// The most bytes of readme.html that are read; a larger file counts as missing.
inline constexpr int64_t kMaxReadmeBytes = 4 << 20;
std::string ReadReadmeText(const std::string& readmePath);

}  // namespace kes
