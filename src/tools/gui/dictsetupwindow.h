// The dictionary setup dialog: the order of the dictionaries and which of them are enabled.
#pragma once

#include <QDialog>

namespace kes {

class TfmDictSetup : public QDialog {
    Q_OBJECT
  public:
    explicit TfmDictSetup(QWidget* parent = nullptr);

    // Shows the window modally and returns the dialog's result (QDialog::Accepted/Rejected).
    int showModal();
};

}  // namespace kes
