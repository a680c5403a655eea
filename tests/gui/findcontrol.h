// The main window's controls and actions as the tests reach them: by their object names (the
// names of the window design). A name the window does not hold ends the test program.
#pragma once

#include <QAction>
#include <QLineEdit>
#include <QObject>
#include <QTreeWidget>
#include <QtGlobal>

#include "gui/indexjobs.h"

namespace kes::test {

template <class T>
T* Find(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("%s has no %s named %s", qPrintable(window.objectName()),
               T::staticMetaObject.className(), name);
    return found;
}

inline QAction* Act(const QObject& window, const char* name) {
    return Find<QAction>(window, name);
}
inline QLineEdit* Inp(const QObject& window) {
    return Find<QLineEdit>(window, "edtInp");
}
inline QTreeWidget* Tree(const QObject& window) {
    return Find<QTreeWidget>(window, "tvMain");
}

}  // namespace kes::test
