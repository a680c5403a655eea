// The program's own icons, drawn at run time: the image list of the main window (toolbar and
// tree) and the tray icon.
#pragma once

#include <QIcon>

namespace kes {

// Image indexes of the main window's image list.
enum MainImage {
    kImageRefresh = 0,
    kImageDictionary = 2,
    kImageWord = 3,
    kImageBack = 4,
    kImageFwd = 5,
};

// The icon of an image index (an empty icon for an index the list does not use).
QIcon MainIcon(int index);

// The icon of the tray and of the main window: the application icon, drawn as the installed
// SVG is.
QIcon AppIcon();

}  // namespace kes
