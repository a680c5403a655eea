// The entry edit dialog: edits one entry line as word, pinyin and senses.
#pragma once

#include <QDialog>

namespace kes {

class TfmEditString : public QDialog {
    Q_OBJECT
  public:
    explicit TfmEditString(QWidget* parent = nullptr);

    // Shows the window modally and returns the dialog's result (QDialog::Accepted/Rejected).
    int showModal();
};

}  // namespace kes
