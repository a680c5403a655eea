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

namespace {

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

void ActionSet::AddOptions(Settings& settings) {
    for (const SettingRow* row : OptionRows()) {
        // Its handler only inverts the checked state, which QAction does itself.
        QAction* a = Add(Q(row->Action), Q(row->Caption), true);
        QObject::connect(a, &QAction::toggled, a,
                         [&settings, field = row->FlagField](bool on) { settings.*field = on; });
    }
}

void ActionSet::ShowOptions(const Settings& settings) const {
    for (const SettingRow* row : OptionRows()) {
        QAction* a = (*this)[Q(row->Action)];
        if (a->isEnabled()) a->setChecked(settings.*row->FlagField);
    }
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
