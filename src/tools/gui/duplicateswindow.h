// The duplicates checker: finds entries of a .ced file that share a headword.
#pragma once

#include <QDialog>

namespace kes {

class TfmDuplicates : public QDialog {
    Q_OBJECT
  public:
    explicit TfmDuplicates(QWidget* parent = nullptr);

    // Shows the window modally and returns the dialog's result (QDialog::Accepted/Rejected).
    int showModal();
};

}  // namespace kes
