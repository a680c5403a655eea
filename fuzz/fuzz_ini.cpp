// setup.ini as anyone may leave it: whatever bytes are read, the settings read back after a
// save are the settings that were read, and the dictionary list and other sections keep
// their pairs.
#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>

#include "app/inifile.h"
#include "app/settings.h"
#include "base/bytefile.h"
#include "fuzz_support.h"

using namespace kes;

namespace {

// Maximized is saved as 1 or 0 (a value other than 0 means maximized).
auto Fields(const Settings& s) {
    return std::make_tuple(s.Maximized != 0, s.InpFontface, s.InpFontsize, s.ChrFontface,
                           s.ChrFontsize, s.PinFontface, s.PinFontsize, s.DscFontface,
                           s.DscFontsize, s.TreFontface, s.TreFontsize, s.pnlLeft, s.TranslateAll,
                           s.AddDescToIndex, s.AddPinToIndex, s.ShowUcs2, s.ShowUnihan,
                           s.SearchBoth, s.X, s.Y, s.DX, s.DY);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string path = fuzz::ScratchFile("setup.ini");
    fuzz::WriteFile(path, data, size);
    IniFile before;
    if (!before.load(path)) return 0;
    const Settings read = LoadSettings(path);
    if (!SaveSettings(path, read).ok) return 0;
    const Settings again = LoadSettings(path);
    if (Fields(read) != Fields(again)) __builtin_trap();
    IniFile after;
    if (!after.load(path)) __builtin_trap();
    // The other sections keep their pairs.
    if (before.readSection("Dicts") != after.readSection("Dicts")) __builtin_trap();
    if (before.readSection("Other") != after.readSection("Other")) __builtin_trap();
    return 0;
}
