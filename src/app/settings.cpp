#include "app/settings.h"

#include <algorithm>

#include "app/inifile.h"
#include "base/bytefile.h"

namespace kes {

Settings LoadSettings(const std::string& iniPath) {
    IniFile ini;
    ini.load(iniPath);
    Settings d;  // defaults
    Settings s;
    const char* S = kSetupSection;
    s.InpFontface = ini.readString(S, "InpFontface", d.InpFontface);
    s.InpFontsize = ini.readInteger(S, "InpFontsize", d.InpFontsize);
    s.ChrFontface = ini.readString(S, "ChrFontface", d.ChrFontface);
    s.ChrFontsize = ini.readInteger(S, "ChrFontsize", d.ChrFontsize);
    s.PinFontface = ini.readString(S, "PinFontface", d.PinFontface);
    s.PinFontsize = ini.readInteger(S, "PinFontsize", d.PinFontsize);
    s.DscFontface = ini.readString(S, "DscFontface", d.DscFontface);
    s.DscFontsize = ini.readInteger(S, "DscFontsize", d.DscFontsize);
    s.TreFontface = ini.readString(S, "TreFontface", d.TreFontface);
    s.TreFontsize = ini.readInteger(S, "TreFontsize", d.TreFontsize);
    s.pnlLeft = std::max(ini.readInteger(kFormSection, "pnlLeft", d.pnlLeft), kMinPnlLeft);
    s.TranslateAll = ini.readBool(S, "TranslateAll", d.TranslateAll);
    s.AddDescToIndex = ini.readBool(S, "AddDescToIndex", d.AddDescToIndex);
    s.AddPinToIndex = ini.readBool(S, "AddPinToIndex", d.AddPinToIndex);
    s.ShowUcs2 = ini.readBool(S, "ShowUcs2", d.ShowUcs2);
    s.ShowUnihan = ini.readBool(S, "ShowUnihan", d.ShowUnihan);
    s.SearchBoth = ini.readBool(S, "SearchBoth", d.SearchBoth);
    s.ScanClipboard = ini.readBool(S, "ScanClipboard", d.ScanClipboard);
    s.ScanSelection = ini.readBool(S, "ScanSelection", d.ScanSelection);
    s.ReleaseViewMinutes =
        std::max(ini.readInteger(S, "ReleaseViewMinutes", d.ReleaseViewMinutes), 0);
    s.Maximized = ini.readInteger(kFormSection, "Maximized", d.Maximized);
    s.X = ini.readInteger(kFormSection, "X", d.X);
    s.Y = ini.readInteger(kFormSection, "Y", d.Y);
    s.DX = ini.readInteger(kFormSection, "DX", d.DX);
    s.DY = ini.readInteger(kFormSection, "DY", d.DY);
    return s;
}

Outcome SaveSettings(const std::string& iniPath, const Settings& s) {
    return EditIniFile(
        iniPath,
        [&](IniFile& ini) {
            const char* S = kSetupSection;
            ini.writeString(S, "InpFontface", s.InpFontface);
            ini.writeInteger(S, "InpFontsize", s.InpFontsize);
            ini.writeString(S, "ChrFontface", s.ChrFontface);
            ini.writeInteger(S, "ChrFontsize", s.ChrFontsize);
            ini.writeString(S, "PinFontface", s.PinFontface);
            ini.writeInteger(S, "PinFontsize", s.PinFontsize);
            ini.writeString(S, "DscFontface", s.DscFontface);
            ini.writeInteger(S, "DscFontsize", s.DscFontsize);
            ini.writeString(S, "TreFontface", s.TreFontface);
            ini.writeInteger(S, "TreFontsize", s.TreFontsize);
            ini.writeInteger(kFormSection, "pnlLeft", s.pnlLeft);
            ini.writeBool(S, "TranslateAll", s.TranslateAll);
            ini.writeBool(S, "AddDescToIndex", s.AddDescToIndex);
            ini.writeBool(S, "AddPinToIndex", s.AddPinToIndex);
            ini.writeBool(S, "ShowUcs2", s.ShowUcs2);
            ini.writeBool(S, "ShowUnihan", s.ShowUnihan);
            ini.writeBool(S, "SearchBoth", s.SearchBoth);
            ini.writeInteger(S, "ReleaseViewMinutes", s.ReleaseViewMinutes);
            ini.writeBool(S, "ScanClipboard", s.ScanClipboard);
            ini.writeBool(S, "ScanSelection", s.ScanSelection);
            if (s.Maximized != 0) {
                // The last normal bounds stay in the file for the next start.
                ini.writeInteger(kFormSection, "Maximized", 1);
            } else {
                ini.writeInteger(kFormSection, "Maximized", 0);
                ini.writeInteger(kFormSection, "X", s.X);
                ini.writeInteger(kFormSection, "Y", s.Y);
                ini.writeInteger(kFormSection, "DX", s.DX);
                ini.writeInteger(kFormSection, "DY", s.DY);
            }
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
