#include "gui/actionset.h"

#include <QAction>
#include <QWidget>
#include <cstring>

namespace kes {

QAction* ActionSet::Add(const QString& name, const QString& caption, bool checkable) {
    auto* a = new QAction(caption, owner_);
    a->setObjectName(name);
    a->setCheckable(checkable);
    actions_.insert(name, a);
    return a;
}

QAction* ActionSet::operator[](const QString& name) const {
    QAction* a = actions_.value(name);
    if (!a) qFatal("No action named %s", qPrintable(name));
    return a;
}

void ActionSet::Fill(QWidget* widget, std::initializer_list<const char*> names) const {
    for (const char* name : names) {
        if (std::strcmp(name, "-") == 0) {
            auto* separator = new QAction(widget);
            separator->setSeparator(true);
            widget->addAction(separator);
        } else {
            widget->addAction((*this)[QString::fromLatin1(name)]);
        }
    }
}

}  // namespace kes
