#include "gui/duplicateswindow.h"

#include <QCheckBox>
#include <QCollator>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <numeric>

#include "base/text.h"
#include "gui/editstringwindow.h"
#include "gui/guarded.h"
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

// Rows handled between two looks at the user's input while the list is filled.
constexpr std::size_t kFillBatch = 4096;

// Sets `state` back to idle and the window's controls with it when the scope ends, however.
class RunningScope {
  public:
    explicit RunningScope(std::function<void()> end) : end_(std::move(end)) {}
    ~RunningScope() { end_(); }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;

  private:
    std::function<void()> end_;
};

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
    // Every row is one line of text: the list's layout then measures one row, not each of
    // hundreds of thousands.
    gridMain->setUniformItemSizes(true);
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

    Arrange();

    connect(btnOpen, &QPushButton::clicked, this, [this] { btnOpenClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(gridMain, &QListWidget::itemDoubleClicked, this, [this] {
        RunGuardedAction(this, "Editing the entry", [this] { gridMainDblClick(); });
    });
}

// The controls in their panels: the scan's row, the list, the save row.
void TfmDuplicates::Arrange() {
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
    std::string failure;
    {
        // Whatever happens below, the window ends idle with its controls enabled.
        RunningScope running([this] {
            gridMain->setUpdatesEnabled(true);
            pbMain->setRange(0, 1);
            pbMain->setValue(0);
            ScanState = 0;
            SetRunning(false);
        });
        try {
            ScanCallbacks cb;
            cb.comparePinyin = [this] { return cbPinyinAlso->isChecked(); };
            cb.progress = [this](int64_t position, int64_t size) { SetProgress(position, size); };
            cb.processEvents = [] { ui::ProcessPendingMessagesThrottled(); };
            cb.cancelRequested = [this] { return ScanState == 2; };
            const ScanResult result = kes::ScanFile(path, cb);
            if (!result.outcome.ok && !result.outcome.cancelled) failure = result.outcome.message;
            // The rows found before a cancelled scan are listed (a new Cancel stops that too).
            ScanState = 1;
            FillList(result.Rows);
            ScannedFile = path;
        } catch (...) {
            gridMain->clear();
            failure =
                "ERROR: The duplicate entries could not be listed!\n" + CurrentExceptionDetail();
        }
    }
    if (!failure.empty()) ui::ShowMessage(QString::fromStdString(failure), QString(), this);
}

void TfmDuplicates::FillList(const std::vector<DuplicateRow>& rows) {
    // The list is kept sorted by text in the user's locale; an edited row stays where it is.
    // Each row's collation key is made once, so the sort costs no locale compare per pair;
    // rows are then added in batches, with the user's input (Cancel) looked at in between.
    const std::size_t n = rows.size();
    pbMain->setRange(0, static_cast<int>(std::min<std::size_t>(2 * n, INT_MAX)));
    std::vector<QString> texts;
    std::vector<QCollatorSortKey> keys;
    texts.reserve(n);
    keys.reserve(n);
    QCollator collator;
    for (std::size_t i = 0; i < n; ++i) {
        if (i % kFillBatch == 0) {
            pbMain->setValue(static_cast<int>(i));
            ui::ProcessPendingMessages();
            if (ScanState == 2) return;
        }
        texts.push_back(FromU16(rows[i].Text));
        keys.push_back(collator.sortKey(texts.back()));
    }
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&keys](std::size_t a, std::size_t b) {
        return keys[a].compare(keys[b]) < 0;
    });
    keys.clear();
    keys.shrink_to_fit();

    for (std::size_t k = 0; k < n; ++k) {
        if (k % kFillBatch == 0) {
            // The list is painted once it is complete (or stopped); the rest of the window
            // stays live meanwhile.
            gridMain->setUpdatesEnabled(false);
            pbMain->setValue(static_cast<int>(std::min<std::size_t>(n + k, INT_MAX)));
            ui::ProcessPendingMessages();
            if (ScanState == 2) return;
        }
        const std::size_t i = order[k];
        auto* item = new QListWidgetItem(texts[i]);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        item->setData(kPositionRole, QVariant::fromValue<qint64>(rows[i].Position));
        gridMain->addItem(item);
    }
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
    SaveResult result;
    {
        RunningScope running([this] {
            ScanState = 0;
            SetRunning(false);
        });
        try {
            SaveCallbacks cb;
            cb.processEvents = [] { ui::ProcessPendingMessagesThrottled(); };
            cb.cancelRequested = [this] { return ScanState == 2; };
            result = SaveDuplicates(ScannedFile, Rows(), cb);
        } catch (...) {
            result.outcome.ok = false;
            result.outcome.message =
                "ERROR: Can't save changes to file: " + DuplicatesOutputPath(ScannedFile) + " (" +
                CurrentExceptionDetail() + ")";
        }
    }
    ui::ShowMessage(QString::fromStdString(result.outcome.message), QString(), this);
    // A failed save keeps the window and the list, so the user can try again.
    if (result.outcome.ok) accept();
}

}  // namespace kes
