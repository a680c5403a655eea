#include "gui/userdictwindow.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/guarded.h"
#include "gui/memolines.h"
#include "tools/mywords.h"
#include "ui/dialogs.h"

namespace kes {

TfmUserdict::TfmUserdict(const std::string& userdictPath, QWidget* parent)
    : QDialog(parent), dict_(userdictPath) {
    setObjectName(QStringLiteral("fmUserdict"));
    setWindowTitle(QStringLiteral("User dictionary file"));
    setModal(true);
    // System menu and maximise box, no minimise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    resize(460, 340);

    auto* wordLabel = new QLabel(QStringLiteral("Word"), this);
    edtNewWord = new QLineEdit(this);
    edtNewWord->setObjectName(QStringLiteral("edtNewWord"));
    edtNewWord->setFont(QFont(QStringLiteral("SimSun"), edtNewWord->font().pointSize()));
    edtNewWord->setAttribute(Qt::WA_InputMethodEnabled, true);
    btnQuery = new QPushButton(QStringLiteral("Query"), this);
    btnQuery->setObjectName(QStringLiteral("btnQuery"));
    // The arrow buttons have no action; nothing enables them.
    btnPrevWord = new QToolButton(this);
    btnPrevWord->setObjectName(QStringLiteral("btnPrevWord"));
    btnPrevWord->setArrowType(Qt::LeftArrow);
    btnPrevWord->setEnabled(false);
    btnNextWord = new QToolButton(this);
    btnNextWord->setObjectName(QStringLiteral("btnNextWord"));
    btnNextWord->setArrowType(Qt::RightArrow);
    btnNextWord->setEnabled(false);
    auto* pinLabel = new QLabel(QStringLiteral("Transcription"), this);
    edtNewPin = new QLineEdit(this);
    edtNewPin->setObjectName(QStringLiteral("edtNewPin"));
    auto* descLabel = new QLabel(QStringLiteral("Translation"), this);
    memNewDesc = new QPlainTextEdit(this);
    memNewDesc->setObjectName(QStringLiteral("memNewDesc"));
    memNewDesc->setTabChangesFocus(true);
    btnAddWord = new QPushButton(QStringLiteral("Add/Change"), this);
    btnAddWord->setObjectName(QStringLiteral("btnAddWord"));
    btnExport = new QPushButton(QStringLiteral("Export for flashcards\u2026"), this);
    btnExport->setObjectName(QStringLiteral("btnExport"));
    stbarMain = new QStatusBar(this);
    stbarMain->setObjectName(QStringLiteral("stbarMain"));
    stbarMain->setSizeGripEnabled(false);
    // Enter in the fields must not press a button of the dialog.
    for (QPushButton* b : {btnQuery, btnAddWord, btnExport}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    Arrange(wordLabel, pinLabel, descLabel);

    connect(btnQuery, &QPushButton::clicked, this,
            [this] { Guarded("The query", &TfmUserdict::btnQueryClick); });
    connect(btnAddWord, &QPushButton::clicked, this,
            [this] { Guarded("Adding the word", &TfmUserdict::btnAddWordClick); });
    connect(btnExport, &QPushButton::clicked, this,
            [this] { Guarded("The export", &TfmUserdict::btnExportClick); });
    connect(edtNewWord, &QLineEdit::returnPressed, this,
            [this] { Guarded("The query", &TfmUserdict::btnQueryClick); });
    connect(edtNewPin, &QLineEdit::returnPressed, this, [this] { memNewDesc->setFocus(); });
}

// The controls in their rows: word, transcription and translation beside their labels, then
// the button and the status bar.
void TfmUserdict::Arrange(QLabel* wordLabel, QLabel* pinLabel, QLabel* descLabel) {
    auto* wordRow = new QHBoxLayout;
    wordRow->addWidget(edtNewWord, 1);
    wordRow->addWidget(btnQuery);
    wordRow->addWidget(btnPrevWord);
    wordRow->addWidget(btnNextWord);
    auto* grid = new QGridLayout;
    grid->addWidget(wordLabel, 0, 0);
    grid->addLayout(wordRow, 0, 1);
    grid->addWidget(pinLabel, 1, 0);
    grid->addWidget(edtNewPin, 1, 1);
    grid->addWidget(descLabel, 2, 0, Qt::AlignTop);
    grid->addWidget(memNewDesc, 2, 1);
    grid->setRowStretch(2, 1);
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(btnExport);
    addRow->addStretch(1);
    addRow->addWidget(btnAddWord);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->addLayout(grid, 1);
    layout->addLayout(addRow);
    layout->addWidget(stbarMain);
}

int TfmUserdict::showModal() {
    return exec();
}

void TfmUserdict::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TfmUserdict::FormShow() {
    Guarded("Reading the user dictionary", &TfmUserdict::LoadUserdict);
}

void TfmUserdict::Guarded(const char* action, void (TfmUserdict::*handler)()) {
    RunGuardedAction(
        this, action, [this, handler] { (this->*handler)(); },
        [this] { stbarMain->clearMessage(); });
}

UserdictCallbacks TfmUserdict::Callbacks() {
    UserdictCallbacks cb;
    cb.showMessage = [this](const std::string& text) {
        ui::ShowMessage(QString::fromStdString(text), QString(), this);
    };
    cb.askYesNo = [this](const std::string& text) {
        return ui::AskYesNo(QString::fromStdString(text), QString(), this);
    };
    cb.setStatus = [this](const std::string& text) {
        stbarMain->showMessage(QString::fromStdString(text));
    };
    cb.processEvents = [] { ui::ProcessPendingMessagesThrottled(); };
    cb.showError = [this](const std::string& text) {
        ui::ShowError(QString::fromStdString(text), QString(), this);
    };
    cb.showFields = [this](const EntryForm& form) { WriteForm(form); };
    return cb;
}

void TfmUserdict::LoadUserdict() {
    dict_.LoadUserdict(Callbacks());
}

EntryForm TfmUserdict::ReadForm() const {
    return EntryForm{
        ToU16(edtNewWord->text()), ToU16(edtNewPin->text()), MemoLines(memNewDesc), {}};
}

void TfmUserdict::WriteForm(const EntryForm& form) {
    if (edtNewWord->text() != FromU16(form.Word)) edtNewWord->setText(FromU16(form.Word));
    if (edtNewPin->text() != FromU16(form.Pin)) edtNewPin->setText(FromU16(form.Pin));
    if (MemoLines(memNewDesc) != form.Memo) SetMemoLines(memNewDesc, form.Memo);
}

void TfmUserdict::btnQueryClick() {
    EntryForm form = ReadForm();
    dict_.Query(form, Callbacks());
    WriteForm(form);
}

void TfmUserdict::btnAddWordClick() {
    EntryForm form = ReadForm();
    dict_.AddOrChange(form, Callbacks());
    WriteForm(form);
}

void TfmUserdict::btnExportClick() {
    const QString anki = QStringLiteral("Anki text import (*.txt)");
    const QString csv = QStringLiteral("CSV for spreadsheets (*.csv)");
    const QString target =
        ui::AskSaveFile(anki + QStringLiteral(";;") + csv,
                        QDir::homePath() + QStringLiteral("/my-words.txt"), this);
    if (target.isEmpty()) return;
    const FlashcardFormat format = target.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)
                                       ? FlashcardFormat::Csv
                                       : FlashcardFormat::Anki;
    MyWordList list;
    const Outcome done = ExportFlashcards(dict_.path(), target.toStdString(), format, list);
    const std::string damaged = DamageReport(kUserdictName, list, "exported as it stands");
    std::string text = MessageWithDetail(done);
    if (!damaged.empty()) text += "\n\n" + damaged;
    if (done.ok) {
        stbarMain->showMessage(QString::fromStdString(done.message));
        ui::ShowMessage(QString::fromStdString(text), QString(), this);
    } else {
        ui::ShowError(QString::fromStdString(text), QString(), this);
    }
}

}  // namespace kes
