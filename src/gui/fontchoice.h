// The font actions of the main window: each opens the font dialog (fntDlg) with the font it
// keeps in the settings and stores the choice there; fonts are written to setup.ini at exit.
#pragma once

#include <QFont>
#include <cstdint>
#include <string>

#include "app/settings.h"

class QWidget;

namespace kes {

// The readable sizes: a font is never set, nor chosen, smaller or larger (a 999-point field
// would push the toolbar out of the window).
constexpr int kMinFontSize = 6;
constexpr int kMaxFontSize = 72;

// The face at `size` points, limited to kMinFontSize..kMaxFontSize (a size of 0 or less keeps
// the toolkit's size).
QFont MakeFont(const std::string& face, int size);

// The dialog over `window`, starting with `face` and `size`; false when it was cancelled
// (nothing changes then). A size outside kMinFontSize..kMaxFontSize is brought to the
// nearest limit, and a message says so. "&Word output font", "&Pinyin output font" and "&Translation output
// font" are this alone: the next page uses the font.
bool PickFont(QWidget* window, std::string& face, int32_t& size);

// "&Input field font": after OK, the field gets the input font and the tree its face (not
// its size) until the tree font is chosen again; the saved tree font stays TreFontface.
void ChooseInputFont(QWidget* window, Settings& settings, QWidget* field, QWidget* tree);

// "Tree font": after OK or Cancel, the tree gets the tree font (face and size).
void ChooseTreeFont(QWidget* window, Settings& settings, QWidget* tree);

}  // namespace kes
