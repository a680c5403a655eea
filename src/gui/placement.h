// The main window's placement, kept in section "Form" of setup.ini.
#pragma once

#include "app/settings.h"

class QWidget;

namespace kes {

// LoadWindowPlacement: places `window` by X, Y, DX and DY as PlaceWindow limits them to the
// primary screen, then maximizes it when Maximized is 1.
void PlaceWindowAsSaved(QWidget& window, const Settings& settings);

// SaveWindowPlacement's values: a maximized window sets Maximized = 1 alone (the last normal
// bounds stay as they were); otherwise Maximized = 0 and the window's bounds.
void TakePlacement(const QWidget& window, Settings& settings);

}  // namespace kes
