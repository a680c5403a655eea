// The user dictionary window: look up, add and change entries of userdict.txt.
#pragma once

#include <QDialog>

namespace kes {

class TfmUserdict : public QDialog {
    Q_OBJECT
  public:
    explicit TfmUserdict(QWidget* parent = nullptr);

    // Shows the window modally and returns the dialog's result (QDialog::Accepted/Rejected).
    int showModal();
};

}  // namespace kes
