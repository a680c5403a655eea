#include "gui/placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace kes {

void PlaceWindowAsSaved(QWidget& window, const Settings& settings) {
    QSize screen(1024, 768);
    if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->geometry().size();
    const WindowPlacement p = PlaceWindow(settings, screen.width(), screen.height());
    window.move(p.Left, p.Top);
    window.resize(p.Width, p.Height);
    if (p.Maximized) window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

void TakePlacement(const QWidget& window, Settings& s) {
    if (window.isMaximized()) {
        s.Maximized = 1;  // the last normal bounds stay in the file
        return;
    }
    s.Maximized = 0;
    s.X = window.x();
    s.Y = window.y();
    s.DX = window.width();
    s.DY = window.height();
}

}  // namespace kes
