// The user dictionary window: look up, add and change entries of userdict.txt.
#pragma once

#include <QDialog>
#include <string>

#include "tools/userdict.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QToolButton;

namespace kes {

class TfmUserdict : public QDialog {
    Q_OBJECT
  public:
    // The window works on the user dictionary file `userdictPath` (userdict.txt in the
    // program folder when the viewer creates it).
    explicit TfmUserdict(const std::string& userdictPath, QWidget* parent = nullptr);

    // Shows the window modally and returns the dialog's result (QDialog::Accepted/Rejected).
    int showModal();

    const Userdict& userdict() const { return dict_; }

    void FormShow();  // reloads the table, on every showing
    void LoadUserdict();
    void btnQueryClick();
    void btnAddWordClick();
    // "Export for flashcards…": asks for a file (Anki's text import, or CSV for a name ending
    // in ".csv") and writes the words there; userdict.txt is only read.
    void btnExportClick();

    QStatusBar* stbarMain;
    QLineEdit* edtNewWord;
    QPushButton* btnQuery;
    QToolButton* btnPrevWord;
    QToolButton* btnNextWord;
    QLineEdit* edtNewPin;
    QPlainTextEdit* memNewDesc;
    QPushButton* btnAddWord;
    QPushButton* btnExport;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Arrange(QLabel* wordLabel, QLabel* pinLabel, QLabel* descLabel);
    // Runs a button's action; whatever it throws ends it with the status cleared and a message.
    void Guarded(const char* action, void (TfmUserdict::*handler)());
    EntryForm ReadForm() const;
    void WriteForm(const EntryForm& form);
    UserdictCallbacks Callbacks();

    Userdict dict_;
};

}  // namespace kes
