#include "ui/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>
#include <QVBoxLayout>
#include <deque>
#include <variant>

namespace kes::ui {

namespace {

const QString kAppTitle = QStringLiteral("Kestrune");

QString CaptionOr(const QString& caption) {
    return caption.isEmpty() ? kAppTitle : caption;
}

QWidget* ParentOr(QWidget* parent) {
    return parent ? parent : QApplication::activeWindow();
}

// ---- Scripted answers ----

enum class AnswerKind { Ok, Yes, No, File, Text, Font, Cancel, Action };

struct Answer {
    AnswerKind kind;
    QString text;
    int size = 0;
    std::function<void()> action;

    Answer(AnswerKind k, QString t = {}, int s = 0, std::function<void()> a = {})
        : kind(k), text(std::move(t)), size(s), action(std::move(a)) {}
};

struct Script {
    std::deque<Answer> queue;
    std::vector<ShownDialog> shown;
};

Script* g_script = nullptr;

// Runs the queued actions at the front, then records the dialog.
ShownDialog& Record(DialogKind kind, const QString& caption, const QString& text) {
    while (!g_script->queue.empty() && g_script->queue.front().kind == AnswerKind::Action) {
        auto action = std::move(g_script->queue.front().action);
        g_script->queue.pop_front();
        if (action) action();
    }
    g_script->shown.push_back(ShownDialog{kind, caption, text, false});
    return g_script->shown.back();
}

// Takes the front answer when its kind is one of `accepted`; otherwise marks the dialog as
// unexpected and leaves the queue alone.
std::optional<Answer> TakeAnswer(ShownDialog& dialog, std::initializer_list<AnswerKind> accepted) {
    if (!g_script->queue.empty()) {
        const Answer& front = g_script->queue.front();
        for (AnswerKind k : accepted) {
            if (front.kind == k) {
                Answer a = front;
                g_script->queue.pop_front();
                return a;
            }
        }
    }
    dialog.unexpected = true;
    qWarning("kestrune: unexpected %s dialog \"%s\" in scripted mode", DialogKindName(dialog.kind),
             qPrintable(dialog.text));
    return std::nullopt;
}

QString QtFilter(const QString& description, const QString& mask) {
    QString patterns = mask;
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')'))) return description;
    return description + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

QString g_lastOpenDir;

}  // namespace

const char* DialogKindName(DialogKind kind) {
    switch (kind) {
        case DialogKind::Message:
            return "message";
        case DialogKind::Error:
            return "error";
        case DialogKind::Question:
            return "question";
        case DialogKind::OpenFile:
            return "open-file";
        case DialogKind::Prompt:
            return "prompt";
        case DialogKind::Font:
            return "font";
    }
    return "?";
}

// ---- Dialogs ----

void ShowMessage(const QString& text, const QString& caption, QWidget* parent) {
    if (g_script) {
        ShownDialog& d = Record(DialogKind::Message, CaptionOr(caption), text);
        // A message box needs no queued answer; a queued Ok at the front is its answer.
        if (!g_script->queue.empty() && g_script->queue.front().kind == AnswerKind::Ok)
            g_script->queue.pop_front();
        (void)d;
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, CaptionOr(caption), text, QMessageBox::Ok,
                    ParentOr(parent));
    box.exec();
}

void ShowMessage(const std::string& utf8Text) {
    ShowMessage(QString::fromStdString(utf8Text));
}

void ShowMessage(const std::u16string& text) {
    ShowMessage(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
}

void ShowError(const QString& text, const QString& caption, QWidget* parent) {
    if (g_script) {
        Record(DialogKind::Error, CaptionOr(caption), text);
        if (!g_script->queue.empty() && g_script->queue.front().kind == AnswerKind::Ok)
            g_script->queue.pop_front();
        return;
    }
    QMessageBox box(QMessageBox::Critical, CaptionOr(caption), text, QMessageBox::Ok,
                    ParentOr(parent));
    box.exec();
}

bool AskYesNo(const QString& text, const QString& caption, QWidget* parent, bool defaultYes) {
    if (g_script) {
        ShownDialog& d = Record(DialogKind::Question, CaptionOr(caption), text);
        auto a = TakeAnswer(d, {AnswerKind::Yes, AnswerKind::No});
        return a && a->kind == AnswerKind::Yes;
    }
    QMessageBox box(QMessageBox::Question, CaptionOr(caption), text,
                    QMessageBox::Yes | QMessageBox::No, ParentOr(parent));
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

static QString OpenFile(const QString& description, const QString& mask, const QString& dir,
                        QWidget* parent) {
    if (g_script) {
        ShownDialog& d = Record(DialogKind::OpenFile, QStringLiteral("Open"),
                                description + QLatin1Char('|') + mask);
        auto a = TakeAnswer(d, {AnswerKind::File, AnswerKind::Cancel});
        return (a && a->kind == AnswerKind::File) ? a->text : QString();
    }
    return QFileDialog::getOpenFileName(ParentOr(parent), QString(), dir,
                                        QtFilter(description, mask));
}

QString AskOpenFile(const QString& description, const QString& mask, QWidget* parent) {
    return OpenFile(description, mask, QString(), parent);
}

QString AskOpenFileInLastDir(const QString& description, const QString& mask, QWidget* parent) {
    QString path = OpenFile(description, mask, g_lastOpenDir, parent);
    if (!path.isEmpty()) g_lastOpenDir = QFileInfo(path).absolutePath();
    return path;
}

QString AskSaveFile(const QString& filters, const QString& suggested, QWidget* parent) {
    if (g_script) {
        ShownDialog& d = Record(DialogKind::OpenFile, QStringLiteral("Save"), filters);
        auto a = TakeAnswer(d, {AnswerKind::File, AnswerKind::Cancel});
        return (a && a->kind == AnswerKind::File) ? a->text : QString();
    }
    return QFileDialog::getSaveFileName(ParentOr(parent), QString(), suggested, filters);
}

QString LastOpenDir() {
    return g_lastOpenDir;
}

std::optional<QString> AskText(const QString& caption, const QString& label, const QString& initial,
                               QWidget* parent) {
    if (g_script) {
        ShownDialog& d = Record(DialogKind::Prompt, caption, label);
        auto a = TakeAnswer(d, {AnswerKind::Text, AnswerKind::Cancel});
        if (!a || a->kind == AnswerKind::Cancel) return std::nullopt;
        return a->text.left(kMaxPromptLength);
    }
    QDialog dialog(ParentOr(parent));
    dialog.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&dialog);
    auto* text = new QLabel(label, &dialog);
    auto* edit = new QLineEdit(&dialog);
    edit->setMaxLength(kMaxPromptLength);
    edit->setText(initial);
    edit->selectAll();
    text->setBuddy(edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(text);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(360);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return edit->text();
}

std::optional<FontChoice> AskFont(const FontChoice& initial, QWidget* parent) {
    if (g_script) {
        ShownDialog& d = Record(DialogKind::Font, QStringLiteral("Font"),
                                initial.face + QLatin1Char(' ') + QString::number(initial.size));
        auto a = TakeAnswer(d, {AnswerKind::Font, AnswerKind::Cancel});
        if (!a || a->kind == AnswerKind::Cancel) return std::nullopt;
        return FontChoice{a->text, a->size};
    }
    QFont start(initial.face);
    if (initial.size > 0) start.setPointSize(initial.size);
    QFontDialog dialog(start, ParentOr(parent));
    dialog.setOptions(QFontDialog::ScalableFonts | QFontDialog::DontUseNativeDialog);
    // Face and size only: the effects (strikeout, underline) cannot be chosen.
    for (QGroupBox* box : dialog.findChildren<QGroupBox*>())
        if (!box->findChildren<QCheckBox*>().isEmpty()) box->setEnabled(false);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QFont chosen = dialog.selectedFont();
    int size = chosen.pointSize();
    if (size <= 0) size = qRound(chosen.pointSizeF());
    if (size <= 0) size = initial.size;
    return FontChoice{chosen.family(), size};
}

void ProcessPendingMessages() {
    QCoreApplication::processEvents();
}

void ProcessPendingMessagesThrottled() {
    static QElapsedTimer timer;
    if (timer.isValid() && timer.elapsed() < kThrottleIntervalMs) return;
    QCoreApplication::processEvents();
    timer.start();
}

// ---- ScriptedDialogs ----

ScriptedDialogs::ScriptedDialogs() {
    Q_ASSERT(!g_script);
    g_script = new Script;
}

ScriptedDialogs::~ScriptedDialogs() {
    if (!g_script->queue.empty())
        qWarning("kestrune: %d scripted answer(s) were never used",
                 static_cast<int>(g_script->queue.size()));
    delete g_script;
    g_script = nullptr;
}

static ScriptedDialogs& Push(ScriptedDialogs& self, Answer a) {
    g_script->queue.push_back(std::move(a));
    return self;
}

ScriptedDialogs& ScriptedDialogs::ok() {
    return Push(*this, Answer(AnswerKind::Ok));
}
ScriptedDialogs& ScriptedDialogs::yes() {
    return Push(*this, Answer(AnswerKind::Yes));
}
ScriptedDialogs& ScriptedDialogs::no() {
    return Push(*this, Answer(AnswerKind::No));
}
ScriptedDialogs& ScriptedDialogs::file(const QString& path) {
    return Push(*this, Answer(AnswerKind::File, path));
}
ScriptedDialogs& ScriptedDialogs::text(const QString& text) {
    return Push(*this, Answer(AnswerKind::Text, text));
}
ScriptedDialogs& ScriptedDialogs::font(const QString& face, int size) {
    return Push(*this, Answer(AnswerKind::Font, face, size));
}
ScriptedDialogs& ScriptedDialogs::cancel() {
    return Push(*this, Answer(AnswerKind::Cancel));
}
ScriptedDialogs& ScriptedDialogs::then(std::function<void()> action) {
    return Push(*this, Answer(AnswerKind::Action, {}, 0, std::move(action)));
}

const std::vector<ShownDialog>& ScriptedDialogs::shown() const {
    return g_script->shown;
}

std::vector<ShownDialog> ScriptedDialogs::take() {
    std::vector<ShownDialog> out;
    out.swap(g_script->shown);
    return out;
}

QStringList ScriptedDialogs::messages() const {
    QStringList out;
    for (const ShownDialog& d : g_script->shown)
        if (d.kind == DialogKind::Message || d.kind == DialogKind::Error) out << d.text;
    return out;
}

std::vector<ShownDialog> ScriptedDialogs::unexpected() const {
    std::vector<ShownDialog> out;
    for (const ShownDialog& d : g_script->shown)
        if (d.unexpected) out.push_back(d);
    return out;
}

int ScriptedDialogs::pending() const {
    return static_cast<int>(g_script->queue.size());
}

QString ScriptedDialogs::describe() const {
    QStringList lines;
    for (const ShownDialog& d : g_script->shown) {
        lines << QStringLiteral("%1%2 [%3] %4")
                     .arg(d.unexpected ? QStringLiteral("UNEXPECTED ") : QString(),
                          QString::fromLatin1(DialogKindName(d.kind)), d.caption, d.text);
    }
    return lines.join(QLatin1Char('\n'));
}

bool ScriptedDialogs::active() {
    return g_script != nullptr;
}

}  // namespace kes::ui
