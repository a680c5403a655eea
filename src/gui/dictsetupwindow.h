// The dictionary setup dialog: the order of the dictionaries and which of them are enabled.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "tools/dictsetup.h"

class QListWidget;
class QPushButton;
class QToolButton;

namespace kes {

class TfmDictSetup : public QDialog {
    Q_OBJECT
  public:
    // The dialog works on `dicts` (the registry's dictionary list, which must outlive the
    // dialog) and writes the order and flags to section "Dicts" of the settings file `iniPath`.
    TfmDictSetup(std::vector<TDic>& dicts, std::string iniPath, QWidget* parent = nullptr);

    // Shows the window modally and returns the dialog's result (QDialog::Accepted/Rejected).
    int showModal();

    void FormShow();
    void btnUpClick();
    void btnDownClick();
    void btnOkClick();
    void btnCancelClick();

    QListWidget* gridMain;
    QToolButton* btnUp;
    QToolButton* btnDown;
    QPushButton* btnOk;
    QPushButton* btnCancel;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    DictSetupList ReadList() const;
    void WriteList(const DictSetupList& list);
    std::vector<TDic>& dicts_;
    const std::string iniPath_;
};

}  // namespace kes
