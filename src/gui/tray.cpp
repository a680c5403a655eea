#include "gui/tray.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include "gui/icons.h"

namespace kes {

Tray::Tray(QWidget* window, const QList<QAction*>& items, bool available) : QObject(window) {
    setObjectName(QStringLiteral("tray"));
    menu_ = new QMenu(window);
    menu_->setObjectName(QStringLiteral("trayPopup"));
    QAction* show = menu_->addAction(QStringLiteral("Show"));
    show->setObjectName(QStringLiteral("Show1"));
    QFont bold = show->font();
    bold.setBold(true);
    show->setFont(bold);  // the default item
    menu_->addSeparator();
    for (QAction* a : items) {
        if (a)
            menu_->addAction(a);
        else
            menu_->addSeparator();
    }
    menu_->addSeparator();
    QAction* exit = menu_->addAction(QStringLiteral("Exit"));
    exit->setObjectName(QStringLiteral("Close1"));
    connect(show, &QAction::triggered, this, &Tray::showRequested);
    connect(exit, &QAction::triggered, this, &Tray::quitRequested);

    icon_ = new QSystemTrayIcon(AppIcon(), this);
    icon_->setObjectName(QStringLiteral("trayIcon"));
    icon_->setToolTip(QStringLiteral("Kestrune"));
    icon_->setContextMenu(menu_);
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A single click shows the window as well, as desktops without double clicks
                // on tray icons expect.
                if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
                    Q_EMIT showRequested();
            });
    if (available) icon_->show();
}

void Tray::setAvailable(bool available) {
    icon_->setVisible(available && QSystemTrayIcon::isSystemTrayAvailable());
}

void Tray::hide() {
    icon_->hide();
}

}  // namespace kes
