#include "gui/editstringwindow.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/memolines.h"
#include "tools/entrytext.h"
#include "ui/dialogs.h"

namespace kes {

TfmEditString::TfmEditString(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fmEditString"));
    setWindowTitle(QStringLiteral("Edit"));
    setModal(true);
    // A sizeable tool window without system menu or close box: it ends through its buttons.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setSizeGripEnabled(true);
    resize(480, 320);

    Panel1 = new QWidget(this);
    TntPanel1 = new QWidget(Panel1);
    TntPanel2 = new QWidget(Panel1);
    SpeedButton1 = new QPushButton(QStringLiteral("OK"), TntPanel2);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    QFont bold = SpeedButton1->font();
    bold.setBold(true);
    SpeedButton1->setFont(bold);
    SpeedButton2 = new QPushButton(QStringLiteral("Cancel"), TntPanel2);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    for (QPushButton* b : {SpeedButton1, SpeedButton2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    pnlCaption = new QLabel(this);
    pnlCaption->setObjectName(QStringLiteral("pnlCaption"));
    pnlCaption->setFrameShape(QFrame::StyledPanel);
    pnlCaption->setAlignment(Qt::AlignCenter);
    pnlCaption->setMargin(4);
    QFont captionFont = pnlCaption->font();
    captionFont.setBold(true);
    pnlCaption->setFont(captionFont);
    Panel2 = new QWidget(this);
    TntLabel3 = new QLabel(QStringLiteral("Translation"), Panel2);
    TntLabel2 = new QLabel(QStringLiteral("Transcription"), Panel2);
    TntLabel1 = new QLabel(QStringLiteral("Word"), Panel2);
    edtNewPin = new QLineEdit(Panel2);
    edtNewPin->setObjectName(QStringLiteral("edtNewPin"));
    edtNewWord = new QLineEdit(Panel2);
    edtNewWord->setObjectName(QStringLiteral("edtNewWord"));
    edtNewWord->setFont(QFont(QStringLiteral("SimSun"), edtNewWord->font().pointSize()));
    edtNewWord->setAttribute(Qt::WA_InputMethodEnabled, true);
    memNewDesc = new QPlainTextEdit(Panel2);
    memNewDesc->setObjectName(QStringLiteral("memNewDesc"));
    memNewDesc->setTabChangesFocus(true);

    Arrange();

    connect(SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(SpeedButton2, &QPushButton::clicked, this, [this] { SpeedButton2Click(); });
}

// The controls in their panels: the caption, the fields beside their labels, the buttons.
void TfmEditString::Arrange() {
    auto* fields = new QGridLayout(Panel2);
    fields->setContentsMargins(0, 0, 0, 0);
    fields->addWidget(TntLabel1, 0, 0);
    fields->addWidget(edtNewWord, 0, 1);
    fields->addWidget(TntLabel2, 1, 0);
    fields->addWidget(edtNewPin, 1, 1);
    fields->addWidget(TntLabel3, 2, 0, Qt::AlignTop);
    fields->addWidget(memNewDesc, 2, 1);
    fields->setRowStretch(2, 1);

    auto* buttons = new QHBoxLayout(TntPanel2);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addWidget(SpeedButton1);
    buttons->addWidget(SpeedButton2);
    auto* bottom = new QHBoxLayout(Panel1);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addWidget(TntPanel1, 1);
    bottom->addWidget(TntPanel2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pnlCaption);
    layout->addWidget(Panel2, 1);
    layout->addWidget(Panel1);
}

int TfmEditString::showModal() {
    return exec();
}

std::u16string TfmEditString::EditEntryLine(const std::u16string& heading,
                                            const std::u16string& line) {
    std::u16string result;
    LoadEntryLine(heading, line);
    if (showModal() == QDialog::Accepted) result = EditedLine;
    return result;
}

void TfmEditString::LoadEntryLine(const std::u16string& heading, const std::u16string& line) {
    pnlCaption->setText(FromU16(heading));
    EntryForm form;
    LoadEntryForm(form, line);
    edtNewPin->setText(FromU16(form.Pin));
    edtNewWord->setText(FromU16(form.Word));
    NewDesc = form.NewDesc;
    SetMemoLines(memNewDesc, form.Memo);
    edtNewWord->setFocus();
}

void TfmEditString::SpeedButton1Click() {
    EntryForm form{ToU16(edtNewWord->text()), ToU16(edtNewPin->text()), MemoLines(memNewDesc),
                   NewDesc};
    const EntryForm before = form;
    std::u16string line;
    const bool complete = CollectEntryForm(form, &line);
    // The fields show the collected form; one that did not change keeps its text as it is.
    if (form.Word != before.Word) edtNewWord->setText(FromU16(form.Word));
    if (form.Pin != before.Pin) edtNewPin->setText(FromU16(form.Pin));
    if (form.Memo != before.Memo) SetMemoLines(memNewDesc, form.Memo);
    NewDesc = form.NewDesc;
    if (!complete) {
        ui::ShowMessage(QStringLiteral("ERROR: You must enter something in all fields!"), QString(),
                        this);
        return;
    }
    EditedLine = line;
    accept();
}

void TfmEditString::SpeedButton2Click() {
    reject();
}

}  // namespace kes
