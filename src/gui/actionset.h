// The named actions of a window, and menus and toolbars filled with them by name: a menu is
// a list of action names, so adding an item to a menu, the tray menu or the toolbar beside the
// input field is one name in a list.
#pragma once

#include <QHash>
#include <QString>
#include <initializer_list>

#include "app/settings.h"

class QAction;
class QWidget;

namespace kes {

class ActionSet {
  public:
    // The actions are children of `owner` (found there by their object names).
    explicit ActionSet(QWidget* owner) : owner_(owner) {}

    // Makes the action `name` (its object name) with `caption`.
    QAction* Add(const QString& name, const QString& caption, bool checkable = false);
    // The action `name`; a name never added is a programming error (the program ends).
    QAction* operator[](const QString& name) const;
    // One checkable action per option of setup.ini (OptionRows()), named and captioned by its
    // row; checking or unchecking it sets its field of `settings`, which must outlive it.
    void AddOptions(Settings& settings);
    // Checks each option action as `settings` says. An action that is disabled (an option the
    // desktop cannot offer) is left alone, so its field keeps the value of the file.
    void ShowOptions(const Settings& settings) const;
    // Adds the named actions to `widget` (a menu or a toolbar) in order; "-" is a separator.
    void Fill(QWidget* widget, std::initializer_list<const char*> names) const;

  private:
    QWidget* owner_;
    QHash<QString, QAction*> actions_;
};

}  // namespace kes
