// The duplicates checker: finds entries of a .ced file that share a headword.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/duplicates.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QWidget;

namespace kes {

// Edits one entry line shown under `heading`; gives the edited line, or an empty string when
// the user cancelled.
using EntryLineEditor =
    std::function<std::u16string(const std::u16string& heading, const std::u16string& line)>;

class TfmDuplicates : public QDialog {
    Q_OBJECT
  public:
    // A double-clicked row is edited through `editEntryLine` (the entry edit dialog
    // fmEditString when the viewer creates the window); without one the window uses an entry
    // edit dialog of its own.
    explicit TfmDuplicates(EntryLineEditor editEntryLine, QWidget* parent = nullptr);

    // Shows the window modally and returns the dialog's result (QDialog::Accepted/Rejected).
    int showModal();

    void FormShow();
    void btnOpenClick();
    void btnCancelClick();
    void gridMainDblClick();
    void btnSaveClick();
    void ScanFile(const std::string& path);

    // The rows of the list in list order, as the save takes them.
    std::vector<DuplicateRow> Rows() const;

    QWidget* Panel1;
    QWidget* Panel2;
    QWidget* Panel3;
    QPushButton* btnOpen;
    QProgressBar* pbMain;
    QListWidget* gridMain;
    QPushButton* btnSave;
    QPushButton* btnCancel;
    QLabel* Label1;
    QCheckBox* cbPinyinAlso;

    int32_t ScanState = 0;  // 0 idle, 1 scan or save running, 2 cancel requested
    std::string ScannedFile;

  protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

  private:
    void Arrange();
    void SetRunning(bool running);
    // Lists the rows of a scan, sorted; stops early when Cancel is asked for.
    void FillList(const std::vector<DuplicateRow>& rows);
    void SetProgress(int64_t position, int64_t size);

    EntryLineEditor editEntryLine_;
};

}  // namespace kes
