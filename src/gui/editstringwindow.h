// The entry edit dialog: edits one entry line as word, pinyin and senses.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace kes {

class TfmEditString : public QDialog {
    Q_OBJECT
  public:
    explicit TfmEditString(QWidget* parent = nullptr);

    // Shows the window modally and returns the dialog's result (QDialog::Accepted/Rejected).
    int showModal();

    // Shows `line` split into its fields under `heading`; returns the edited line after OK,
    // an empty string after Cancel.
    std::u16string EditEntryLine(const std::u16string& heading, const std::u16string& line);
    // The fields of EditEntryLine, filled without showing the dialog.
    void LoadEntryLine(const std::u16string& heading, const std::u16string& line);

    // OK: the fields must all hold something; then the line is composed and the dialog
    // closes with the OK result.
    void SpeedButton1Click();
    // Cancel: closes with the Cancel result.
    void SpeedButton2Click();

    QWidget* Panel1;
    QWidget* TntPanel1;
    QWidget* TntPanel2;
    QPushButton* SpeedButton1;  // "OK"
    QPushButton* SpeedButton2;  // "Cancel"
    QLabel* pnlCaption;
    QWidget* Panel2;
    QLabel* TntLabel3;
    QLabel* TntLabel2;
    QLabel* TntLabel1;
    QLineEdit* edtNewPin;
    QLineEdit* edtNewWord;
    QPlainTextEdit* memNewDesc;

    std::u16string NewDesc;
    std::u16string EditedLine;  // the line composed by the last OK

  private:
    void Arrange();
};

}  // namespace kes
