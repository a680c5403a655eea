// The main window's settings kept in setup.ini (sections "Setup" and "Form"), the window
// placement rule applied at start, and the readme text of the About page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/result.h"

namespace kes {

// Every key of the sections "Setup" and "Form" with its default. Field names are the keys.
struct Settings {
    // Section "Setup": five fonts (face, size).
    std::string InpFontface = "Arial";
    int32_t InpFontsize = 14;
    std::string ChrFontface = "Arial";
    int32_t ChrFontsize = 12;
    std::string PinFontface = "Times";
    int32_t PinFontsize = 12;
    std::string DscFontface = "Times";
    int32_t DscFontsize = 12;
    std::string TreFontface = "Times";
    int32_t TreFontsize = 12;
    // Section "Form": width of the tree panel, at least kMinPnlLeft after loading.
    int32_t pnlLeft = 60;
    // Section "Setup": the six options.
    bool TranslateAll = false;
    bool AddDescToIndex = true;
    bool AddPinToIndex = false;
    bool ShowUcs2 = false;
    bool ShowUnihan = false;
    bool SearchBoth = true;
    // Section "Setup": copied (ScanClipboard) or, on X11, selected (ScanSelection) Chinese
    // text pops up.
    bool ScanClipboard = false;
    bool ScanSelection = false;
    // Section "Setup": minutes the main window stays hidden before its page view (and the
    // browser engine's processes) is released; 0: never. A negative value counts as 0.
    int32_t ReleaseViewMinutes = 10;
    // Section "Form": the window placement (left, top, width, height of the normal window).
    int32_t Maximized = 0;  // 1: the window is maximized
    int32_t X = 10;
    int32_t Y = 10;
    int32_t DX = 710;
    int32_t DY = 400;
};

constexpr int32_t kMinPnlLeft = 20;
constexpr int32_t kMinWindowWidth = 418;
constexpr int32_t kMinWindowHeight = 306;

inline const char* const kSetupSection = "Setup";
inline const char* const kFormSection = "Form";
inline const char* const kSetupIniName = "setup.ini";
inline const char* const kReadmeMissingText = "<i>NOTE: readme.html is missing or invalid!</i>";

// Reads setup.ini; a missing or unreadable file, a missing key and a value that is no
// integer give the defaults. pnlLeft below 20 is raised to 20.
Settings LoadSettings(const std::string& iniPath);

// Writes the sections "Setup" (ten font values, six options,
// ReleaseViewMinutes, the two scan options) and "Form" (pnlLeft, then the
// placement: Maximized=1 alone when Maximized is non-zero, otherwise Maximized=0, X, Y, DX,
// DY) in one atomic write; every other section and line of the file stays as it was.
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
