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
    explicit TfmDictSetup(QWidget* parent = nullptr);

    // Shows the window modally and returns the dialog's result (QDialog::Accepted/Rejected).
    int showModal();

    // The list the dialog works on and the setup.ini it writes. Without this call it uses
    // the main window's registry and the program folder's setup.ini.
    void setDictionaries(std::vector<TDic>* dicts, const std::string& iniPath);

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
    std::vector<TDic>* Dictionaries();
    std::string IniPath();

    std::vector<TDic>* dicts_ = nullptr;
    std::string iniPath_;
};

}  // namespace kes
