// The tray icon trayIcon (hint "Kestrune") and its menu trayPopup: "Show" (the default item),
// a separator, the actions the window hands over, a separator, "Exit".
#pragma once

#include <QList>
#include <QObject>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace kes {

class Tray : public QObject {
    Q_OBJECT
  public:
    // `items` go between the two separators, in order (a null pointer: one more separator).
    // The icon is shown when `available`.
    Tray(QWidget* window, const QList<QAction*>& items, bool available);

    // Shows or hides the icon (never shown where the desktop has no tray).
    void setAvailable(bool available);
    // Hides the icon for good (the program ends).
    void hide();

  Q_SIGNALS:
    // "Show", a double click on the icon (trayIconDblClick) or a single one.
    void showRequested();
    // "Exit".
    void quitRequested();

  private:
    QMenu* menu_ = nullptr;
    QSystemTrayIcon* icon_ = nullptr;
};

}  // namespace kes
