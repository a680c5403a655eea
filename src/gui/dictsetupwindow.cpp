#include "gui/dictsetupwindow.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/bytefile.h"
#include "gui/guarded.h"
#include "gui/memolines.h"
#include "ui/dialogs.h"

namespace kes {

TfmDictSetup::TfmDictSetup(std::vector<TDic>& dicts, std::string iniPath, QWidget* parent)
    : QDialog(parent), dicts_(dicts), iniPath_(std::move(iniPath)) {
    setObjectName(QStringLiteral("fmDictSetup"));
    setWindowTitle(QStringLiteral("Dictionaries"));
    setModal(true);
    resize(420, 300);

    gridMain = new QListWidget(this);
    gridMain->setObjectName(QStringLiteral("gridMain"));
    gridMain->setSelectionMode(QAbstractItemView::SingleSelection);
    btnUp = new QToolButton(this);
    btnUp->setObjectName(QStringLiteral("btnUp"));
    btnUp->setArrowType(Qt::UpArrow);
    btnDown = new QToolButton(this);
    btnDown->setObjectName(QStringLiteral("btnDown"));
    btnDown->setArrowType(Qt::DownArrow);
    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);

    auto* arrows = new QVBoxLayout;
    arrows->addStretch(1);
    arrows->addWidget(btnUp);
    arrows->addWidget(btnDown);
    arrows->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(gridMain, 1);
    top->addLayout(arrows);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    connect(btnUp, &QToolButton::clicked, this, [this] { btnUpClick(); });
    connect(btnDown, &QToolButton::clicked, this, [this] { btnDownClick(); });
    connect(btnOk, &QPushButton::clicked, this, [this] {
        RunGuardedAction(this, "Saving the list of dictionaries", [this] { btnOkClick(); });
    });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
}

int TfmDictSetup::showModal() {
    return exec();
}

void TfmDictSetup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

DictSetupList TfmDictSetup::ReadList() const {
    DictSetupList list;
    for (int i = 0; i < gridMain->count(); ++i) {
        const QListWidgetItem* item = gridMain->item(i);
        list.Rows.push_back({ToU16(item->text()), item->checkState() == Qt::Checked,
                             item->data(Qt::UserRole).toInt()});
    }
    list.Selected = gridMain->currentItem() != nullptr && gridMain->currentItem()->isSelected()
                        ? gridMain->currentRow()
                        : -1;
    return list;
}

void TfmDictSetup::WriteList(const DictSetupList& list) {
    gridMain->clear();
    for (const auto& row : list.Rows) {
        auto* item = new QListWidgetItem(FromU16(row.Text), gridMain);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(row.Checked ? Qt::Checked : Qt::Unchecked);
        item->setData(Qt::UserRole, row.Data);
    }
    if (list.Selected >= 0)
        gridMain->setCurrentRow(list.Selected);
    else
        gridMain->setCurrentRow(-1);
}

void TfmDictSetup::FormShow() {
    DictSetupList list;
    list.FormShow(dicts_);
    WriteList(list);
}

void TfmDictSetup::btnUpClick() {
    DictSetupList list = ReadList();
    const int before = list.Selected;
    list.MoveUp();
    if (list.Selected != before) WriteList(list);
}

void TfmDictSetup::btnDownClick() {
    DictSetupList list = ReadList();
    const int before = list.Selected;
    list.MoveDown();
    if (list.Selected != before) WriteList(list);
}

void TfmDictSetup::btnOkClick() {
    const std::string error = AcceptDictSetup(ReadList(), dicts_, iniPath_);
    if (!error.empty()) ui::ShowMessage(QString::fromStdString(error), QString(), this);
    accept();
}

void TfmDictSetup::btnCancelClick() {
    reject();
}

}  // namespace kes
