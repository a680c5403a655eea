#include "gui/duplicateswindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <climits>

#include "base/text.h"
#include "gui/editstringwindow.h"
#include "gui/memolines.h"
#include "ui/dialogs.h"

namespace kes {

namespace {

const QString kIntro = QStringLiteral(
    "    With this function you can check CEDICT files for duplicate entries they can contain. "
    "Also you can edit or delete them and save results to a new CEDICT file. \r\n"
    "    WARNING: This module was not tested much and can contain some bugs! Although it can "
    "not damage your existing CEDICT files, but can produce errors in a saved ones!");

constexpr int kPositionRole = Qt::UserRole;

}  // namespace

TfmDuplicates::TfmDuplicates(EntryLineEditor editEntryLine, QWidget* parent)
    : QDialog(parent), editEntryLine_(std::move(editEntryLine)) {
    setObjectName(QStringLiteral("fmDuplicates"));
    setWindowTitle(QStringLiteral("Duplicate entries"));
    setModal(true);
    setSizeGripEnabled(true);
    setMinimumSize(250, 150);
    resize(600, 420);

    Panel1 = new QWidget(this);
    Panel2 = new QWidget(this);
    Panel3 = new QWidget(this);
    btnOpen = new QPushButton(QStringLiteral("Open file"), Panel1);
    btnOpen->setObjectName(QStringLiteral("btnOpen"));
    pbMain = new QProgressBar(Panel1);
    pbMain->setObjectName(QStringLiteral("pbMain"));
    pbMain->setTextVisible(false);
    pbMain->setRange(0, 1);
    pbMain->setValue(0);
    gridMain = new QListWidget(Panel2);
    gridMain->setObjectName(QStringLiteral("gridMain"));
    gridMain->setSelectionMode(QAbstractItemView::SingleSelection);
    btnSave = new QPushButton(QStringLiteral("Save changes"), Panel3);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), Panel1);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setEnabled(false);
    Label1 = new QLabel(QStringLiteral("To edit entry - double-click it. Checked entries will be "
                                       "removed from CEDICT file."),
                        Panel3);
    Label1->setWordWrap(true);
    cbPinyinAlso = new QCheckBox(QStringLiteral("Also compare pinyin"), Panel1);
    cbPinyinAlso->setObjectName(QStringLiteral("cbPinyinAlso"));
    for (QPushButton* b : {btnOpen, btnSave, btnCancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    auto* top = new QHBoxLayout(Panel1);
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(btnOpen);
    top->addWidget(cbPinyinAlso);
    top->addWidget(pbMain, 1);
    top->addWidget(btnCancel);
    auto* middle = new QVBoxLayout(Panel2);
    middle->setContentsMargins(0, 0, 0, 0);
    middle->addWidget(gridMain);
    auto* bottom = new QHBoxLayout(Panel3);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addWidget(Label1, 1);
    bottom->addWidget(btnSave);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Panel1);
    layout->addWidget(Panel2, 1);
    layout->addWidget(Panel3);

    connect(btnOpen, &QPushButton::clicked, this, [this] { btnOpenClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(gridMain, &QListWidget::itemDoubleClicked, this, [this] { gridMainDblClick(); });
}

int TfmDuplicates::showModal() {
    return exec();
}

void TfmDuplicates::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TfmDuplicates::reject() {
    // Closing the window while a scan or save runs asks it to stop first.
    if (ScanState != 0) {
        if (ScanState == 1) ScanState = 2;
        return;
    }
    QDialog::reject();
}

void TfmDuplicates::FormShow() {
    ui::ShowMessage(kIntro, QString(), this);
    gridMain->clear();
    ScanState = 0;
    btnCancel->setEnabled(false);
}

void TfmDuplicates::SetRunning(bool running) {
    btnCancel->setEnabled(running);
    btnOpen->setEnabled(!running);
    btnSave->setEnabled(!running);
    gridMain->setEnabled(!running);
}

void TfmDuplicates::SetProgress(int64_t position, int64_t size) {
    // The bar counts in bytes; very large files are counted in larger steps.
    int shift = 0;
    while ((size >> shift) > INT_MAX)
        ++shift;
    const int max = static_cast<int>(size >> shift);
    if (pbMain->maximum() != max) pbMain->setRange(0, max);
    pbMain->setValue(static_cast<int>(position >> shift));
}

void TfmDuplicates::btnOpenClick() {
    const QString path = ui::AskOpenFileInLastDir(QStringLiteral("CEDICT files (UCS-2), *.ced"),
                                                  QStringLiteral("*.ced"), this);
    if (!path.isEmpty()) ScanFile(path.toStdString());
}

void TfmDuplicates::ScanFile(const std::string& path) {
    if (ScanState != 0) return;
    ScanState = 1;
    SetRunning(true);
    ScannedFile.clear();
    gridMain->clear();
    pbMain->setRange(0, 1);
    pbMain->setValue(0);

    ScanCallbacks cb;
    cb.comparePinyin = [this] { return cbPinyinAlso->isChecked(); };
    cb.progress = [this](int64_t position, int64_t size) { SetProgress(position, size); };
    cb.processEvents = [] { ui::ProcessPendingMessagesThrottled(); };
    cb.cancelRequested = [this] { return ScanState == 2; };
    const ScanResult result = kes::ScanFile(path, cb);

    // The list is kept in text order; an edited row stays where it is.
    gridMain->setUpdatesEnabled(false);
    for (const DuplicateRow& row : result.Rows) {
        auto* item = new QListWidgetItem(FromU16(row.Text), gridMain);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        item->setData(kPositionRole, QVariant::fromValue<qint64>(row.Position));
    }
    gridMain->sortItems(Qt::AscendingOrder);
    gridMain->setUpdatesEnabled(true);

    pbMain->setValue(0);
    ScannedFile = path;
    ScanState = 0;
    SetRunning(false);
    if (result.Status == ScanStatus::Failed)
        ui::ShowMessage(QStringLiteral("ERROR: The file could not be read to its end: ") +
                            QString::fromStdString(result.Error),
                        QString(), this);
}

void TfmDuplicates::btnCancelClick() {
    if (ScanState == 1) ScanState = 2;
}

void TfmDuplicates::gridMainDblClick() {
    if (ScanState != 0) return;
    QListWidgetItem* item = gridMain->currentItem();
    if (item == nullptr || !item->isSelected()) return;
    const std::u16string text = Trim(ToU16(item->text()));
    if (text.empty()) return;
    if (!editEntryLine_) {
        auto* editor = new TfmEditString(this);  // made on first use, kept with the window
        editEntryLine_ = [editor](const std::u16string& heading, const std::u16string& line) {
            return editor->EditEntryLine(heading, line);
        };
    }
    const std::u16string edited = Trim(editEntryLine_(u"Edit CEDICT entry", text));
    if (!edited.empty()) item->setText(FromU16(edited));
}

std::vector<DuplicateRow> TfmDuplicates::Rows() const {
    std::vector<DuplicateRow> rows;
    rows.reserve(static_cast<std::size_t>(gridMain->count()));
    for (int i = 0; i < gridMain->count(); ++i) {
        const QListWidgetItem* item = gridMain->item(i);
        rows.push_back({ToU16(item->text()), item->data(kPositionRole).toLongLong(),
                        item->checkState() == Qt::Checked});
    }
    return rows;
}

void TfmDuplicates::btnSaveClick() {
    if (ScanState != 0) return;
    if (ScannedFile.empty()) {
        ui::ShowMessage(QStringLiteral("CEDICT file wasn't fully readed or has errors!"), QString(),
                        this);
        return;
    }
    ScanState = 1;
    SetRunning(true);
    SaveCallbacks cb;
    cb.processEvents = [] { ui::ProcessPendingMessagesThrottled(); };
    cb.cancelRequested = [this] { return ScanState == 2; };
    const SaveResult result = SaveDuplicates(ScannedFile, Rows(), cb);
    ScanState = 0;
    SetRunning(false);
    ui::ShowMessage(QString::fromStdString(result.Message), QString(), this);
    // A failed save keeps the window and the list, so the user can try again.
    if (result.Ok) accept();
}

}  // namespace kes
