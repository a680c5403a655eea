// The standard dialogs of the program: message box, Yes/No question, open-file dialog, text
// prompt, font dialog, and "process pending messages". Every window goes through these
// functions, never through QMessageBox/QFileDialog directly, so that tests can answer them.
//
// Scripted mode (tests): while a ScriptedDialogs object exists, no dialog ever opens. Each
// question, file dialog, prompt and font dialog takes the next queued answer; a message box
// takes a queued Ok when one is at the front of the queue and is acknowledged without one
// otherwise. A dialog that finds no answer of its kind at the front of the queue is recorded as
// unexpected (see ScriptedDialogs::unexpected) and returns No/cancel, so a test can never block.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace kes::ui {

// ---- Dialogs ----

// A modal message box with one OK button. The caption defaults to the application's title.
void ShowMessage(const QString& text, const QString& caption = QString(),
                 QWidget* parent = nullptr);
void ShowMessage(const std::string& utf8Text);
void ShowMessage(const std::u16string& text);

// An error box (the application's standard error box): icon of an error, one OK button.
void ShowError(const QString& text, const QString& caption = QString(), QWidget* parent = nullptr);

// A Yes/No question; true only when the answer is Yes. Enter answers No unless `defaultYes`.
bool AskYesNo(const QString& text, const QString& caption = QString(), QWidget* parent = nullptr,
              bool defaultYes = false);

// The open-file dialog with the single filter `description|mask` (e.g. "CEDICT (UCS-2 text)
// (*.ced)", "*.ced") and an empty initial folder. Returns the chosen path, or "" on cancel.
QString AskOpenFile(const QString& description, const QString& mask, QWidget* parent = nullptr);

// The same, starting in the folder of the last file chosen through this function (for the whole
// run) and remembering the folder of the file chosen now.
QString AskOpenFileInLastDir(const QString& description, const QString& mask,
                             QWidget* parent = nullptr);
// The folder AskOpenFileInLastDir starts in ("" before the first choice).
QString LastOpenDir();

// The save-file dialog with the filters `description|mask` (several separated by ";;", each
// "description (masks)"), starting with the file name `suggested`; a chosen file that exists is
// confirmed first. Returns the chosen path, or "" on cancel. In scripted mode it is a file
// dialog (captioned "Save") answered by file() or cancel().
QString AskSaveFile(const QString& filters, const QString& suggested, QWidget* parent = nullptr);

// A text prompt with one edit field of at most 255 characters. Returns the edited text, or
// std::nullopt when the user cancels.
std::optional<QString> AskText(const QString& caption, const QString& label, const QString& initial,
                               QWidget* parent = nullptr);
constexpr int kMaxPromptLength = 255;

struct FontChoice {
    QString face;
    int size = 0;  // points
    bool operator==(const FontChoice&) const = default;
};

// The font dialog, scalable fonts only, no effects. Returns the chosen face and size, or
// std::nullopt when the user cancels.
std::optional<FontChoice> AskFont(const FontChoice& initial, QWidget* parent = nullptr);

// Lets the window process its pending events (input, paint) now.
void ProcessPendingMessages();

// The same, but at most about 30 times a second: calls in between return at once. For long
// loops that would otherwise repaint after every line.
void ProcessPendingMessagesThrottled();
constexpr int kThrottleIntervalMs = 33;

// ---- Scripted mode ----

enum class DialogKind { Message, Error, Question, OpenFile, Prompt, Font };

// Name of a kind, for test failure messages ("message", "question", ...).
const char* DialogKindName(DialogKind kind);

// One dialog as it was shown: its kind, caption and text (the label for a prompt, the filter for
// a file dialog, the initial face and size for a font dialog).
struct ShownDialog {
    DialogKind kind;
    QString caption;
    QString text;
    bool unexpected = false;  // no answer of its kind was queued
};

class ScriptedDialogs {
  public:
    ScriptedDialogs();
    ~ScriptedDialogs();
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // Queue answers, used in queue order.
    ScriptedDialogs& ok();                                 // acknowledge one message or error box
    ScriptedDialogs& yes();                                // a question answered Yes
    ScriptedDialogs& no();                                 // a question answered No
    ScriptedDialogs& file(const QString& path);            // a file dialog choosing path
    ScriptedDialogs& text(const QString& text);            // a prompt confirmed with text
    ScriptedDialogs& font(const QString& face, int size);  // a font dialog confirmed
    ScriptedDialogs& cancel();  // a file dialog, prompt or font dialog cancelled
    // Runs `action` when the next dialog appears (before it takes its own answer from the queue
    // after this entry). Lets a test look at the program's state while a dialog is "open".
    ScriptedDialogs& then(std::function<void()> action);

    // Every dialog shown since the start (or the last take()).
    const std::vector<ShownDialog>& shown() const;
    std::vector<ShownDialog> take();
    // Texts of the message and error boxes shown, in order.
    QStringList messages() const;
    // The dialogs that found no answer of their kind.
    std::vector<ShownDialog> unexpected() const;
    // Answers still queued.
    int pending() const;
    // A readable list of everything shown, for failure messages.
    QString describe() const;

    // True while a ScriptedDialogs object exists.
    static bool active();
};

}  // namespace kes::ui
