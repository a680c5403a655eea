#include "gui/inputrow.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>
#include <QToolButton>

namespace kes {

InputRow::InputRow(QWidget* parent, const QList<QAction*>& buttons, QAction* withCaption)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    auto* label = new QLabel(QStringLiteral("Input "), this);
    label->setObjectName(QStringLiteral("lblInput"));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setFixedWidth(37);
    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("edtInp"));
    field_->installEventFilter(this);
    connect(field_, &QLineEdit::returnPressed, this, &InputRow::confirmed);
    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("ActionToolBar1"));
    toolbar->setIconSize(QSize(16, 16));
    toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar->addActions(buttons);
    if (auto* b = qobject_cast<QToolButton*>(toolbar->widgetForAction(withCaption)))
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    row->addWidget(label);
    row->addWidget(field_, 1);
    row->addWidget(toolbar);
}

bool InputRow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_ && event->type() == QEvent::MouseButtonDblClick) {
        field_->selectAll();  // edtInpDblClick
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kes
