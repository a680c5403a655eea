#include "app/settings.h"

#include <algorithm>

#include "app/inifile.h"
#include "charinfo/pinyinmarks.h"
#include "base/bytefile.h"

namespace kes {

namespace {

using Row = SettingRow;

constexpr Row Base(Row::Kind kind, std::string_view section, std::string_view key) {
    Row r;
    r.Type = kind;
    r.Section = section;
    r.Key = key;
    return r;
}

constexpr Row Text(std::string_view key, std::string Settings::*field, std::string_view def) {
    Row r = Base(Row::Kind::Text, kSetupSection, key);
    r.TextField = field;
    r.DefaultText = def;
    return r;
}

constexpr Row Integer(std::string_view section, std::string_view key, int32_t Settings::*field,
                      int32_t def, int32_t minimum = INT32_MIN,
                      Row::Write how = Row::Write::Value) {
    Row r = Base(Row::Kind::Integer, section, key);
    r.IntegerField = field;
    r.DefaultInteger = def;
    r.Minimum = minimum;
    r.How = how;
    return r;
}

// An option of section "Setup" shown by the checkable menu action `action`.
constexpr Row Option(std::string_view key, bool Settings::*field, bool def, std::string_view action,
                     std::string_view caption) {
    Row r = Base(Row::Kind::Flag, kSetupSection, key);
    r.FlagField = field;
    r.DefaultInteger = def ? 1 : 0;
    r.Action = action;
    r.Caption = caption;
    return r;
}

constexpr Row Bound(std::string_view key, int32_t Settings::*field, int32_t def) {
    return Integer(kFormSection, key, field, def, INT32_MIN, Row::Write::UnlessMaximized);
}

using S = Settings;
constexpr std::string_view kSetup = kSetupSection;

// The order of this table is the order of writing, kept from the first versions of the file.
constexpr Row kRows[] = {
    Text("InpFontface", &S::InpFontface, "Arial"),
    Integer(kSetup, "InpFontsize", &S::InpFontsize, 14),
    Text("ChrFontface", &S::ChrFontface, "Arial"),
    Integer(kSetup, "ChrFontsize", &S::ChrFontsize, 12),
    Text("PinFontface", &S::PinFontface, "Times"),
    Integer(kSetup, "PinFontsize", &S::PinFontsize, 12),
    Text("DscFontface", &S::DscFontface, "Times"),
    Integer(kSetup, "DscFontsize", &S::DscFontsize, 12),
    Text("TreFontface", &S::TreFontface, "Times"),
    Integer(kSetup, "TreFontsize", &S::TreFontsize, 12),
    Integer(kFormSection, "pnlLeft", &S::pnlLeft, 60, kMinPnlLeft),
    Option("TranslateAll", &S::TranslateAll, false, "acTranslateAllWords",
           "&Translate text (instead of word)"),
    Option("AddDescToIndex", &S::AddDescToIndex, true, "acAddDescIndex",
           "&Also add english/russian words to index"),
    Option("AddPinToIndex", &S::AddPinToIndex, false, "acAddPinIndex", "A&lso add pinyin to index"),
    Option("ShowUcs2", &S::ShowUcs2, false, "acShowUcs2", "&Show UCS-2"),
    Option("ShowUnihan", &S::ShowUnihan, false, "acShowUnihan", "S&how Unihan info"),
    Option("SearchBoth", &S::SearchBoth, true, "acSearchBoth", "&Search both chinese forms"),
    Option("BestFirst", &S::BestFirst, true, "acBestFirst", "&Best matches first"),
    Integer(kSetup, "ReleaseViewMinutes", &S::ReleaseViewMinutes, 10, 0),
    Option("ScanClipboard", &S::ScanClipboard, false, "acScanClipboard", "Scan &clipboard"),
    Option("ScanSelection", &S::ScanSelection, false, "acScanSelection", "Scan s&election"),
    Text("Pinyin", &S::Pinyin, "stored"),
    Text("ToneColors", &S::ToneColors, kDefaultToneColors),
    Integer(kFormSection, "Maximized", &S::Maximized, 0, INT32_MIN, Row::Write::OneOrZero),
    Bound("X", &S::X, 10),
    Bound("Y", &S::Y, 10),
    Bound("DX", &S::DX, 710),
    Bound("DY", &S::DY, 400),
};

void SetDefault(const Row& r, Settings& s) {
    switch (r.Type) {
        case Row::Kind::Text:
            s.*r.TextField = std::string(r.DefaultText);
            break;
        case Row::Kind::Integer:
            s.*r.IntegerField = r.DefaultInteger;
            break;
        case Row::Kind::Flag:
            s.*r.FlagField = r.DefaultInteger != 0;
            break;
    }
}

// Reads the key of `r` into `s`, whose field holds the default.
void Read(const IniFile& ini, const Row& r, Settings& s) {
    switch (r.Type) {
        case Row::Kind::Text:
            s.*r.TextField = ini.readString(r.Section, r.Key, s.*r.TextField);
            break;
        case Row::Kind::Integer:
            s.*r.IntegerField =
                std::max(ini.readInteger(r.Section, r.Key, s.*r.IntegerField), r.Minimum);
            break;
        case Row::Kind::Flag:
            s.*r.FlagField = ini.readBool(r.Section, r.Key, s.*r.FlagField);
            break;
    }
}

void Write(IniFile& ini, const Row& r, const Settings& s) {
    switch (r.Type) {
        case Row::Kind::Text:
            ini.writeString(r.Section, r.Key, s.*r.TextField);
            break;
        case Row::Kind::Flag:
            ini.writeBool(r.Section, r.Key, s.*r.FlagField);
            break;
        case Row::Kind::Integer:
            if (r.How == Row::Write::OneOrZero) {
                ini.writeInteger(r.Section, r.Key, s.*r.IntegerField != 0 ? 1 : 0);
            } else if (r.How == Row::Write::Value || s.Maximized == 0) {
                // The last normal bounds stay in the file while the window is maximized.
                ini.writeInteger(r.Section, r.Key, s.*r.IntegerField);
            }
            break;
    }
}

}  // namespace

Settings::Settings() {
    for (const Row& r : kRows)
        SetDefault(r, *this);
}

std::span<const SettingRow> SettingRows() {
    return kRows;
}

std::vector<const SettingRow*> OptionRows() {
    std::vector<const SettingRow*> out;
    for (const Row& r : kRows)
        if (r.Type == Row::Kind::Flag && !r.Action.empty()) out.push_back(&r);
    return out;
}

Settings LoadSettings(const std::string& iniPath) {
    IniFile ini;
    ini.load(iniPath);
    Settings s;  // the defaults
    for (const Row& r : kRows)
        Read(ini, r, s);
    return s;
}

Outcome SaveSettings(const std::string& iniPath, const Settings& s) {
    return EditIniFile(
        iniPath,
        [&](IniFile& ini) {
            for (const Row& r : kRows)
                Write(ini, r, s);
        },
        kSettingsNotSavedMessage);
}

WindowPlacement PlaceWindow(const Settings& s, int32_t screenWidth, int32_t screenHeight) {
    int64_t left = std::max<int64_t>(s.X, 0);
    int64_t top = std::max<int64_t>(s.Y, 0);
    int64_t width = s.DX;
    int64_t height = s.DY;
    if (left + width >= screenWidth) width = screenWidth - left;
    if (top + height >= screenHeight) height = screenHeight - top;
    WindowPlacement p;
    p.Left = static_cast<int32_t>(left);
    p.Top = static_cast<int32_t>(top);
    p.Width = static_cast<int32_t>(std::max<int64_t>(width, kMinWindowWidth));
    p.Height = static_cast<int32_t>(std::max<int64_t>(height, kMinWindowHeight));
    p.Maximized = s.Maximized == 1;
    return p;
}

std::string ReadReadmeText(const std::string& readmePath) {
    try {
        const std::string bytes = ReadSmallFile(readmePath, kMaxReadmeBytes);
        std::string text;
        std::size_t start = 0;
        while (start < bytes.size()) {
            std::size_t end = bytes.find('\n', start);
            if (end == std::string::npos) end = bytes.size();
            std::size_t len = end - start;
            if (len > 0 && bytes[end - 1] == '\r') --len;
            text += ' ';
            text.append(bytes, start, len);
            start = end + 1;
        }
        return text;
    } catch (const IoError&) {
        return kReadmeMissingText;
    }
}

}  // namespace kes
