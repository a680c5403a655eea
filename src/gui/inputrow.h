// The input row of the main window: the label "Input " right-aligned in a 37-pixel cell, the
// field edtInp and, beside it, the toolbar ActionToolBar1 with the window's buttons (icons
// only, but for the one shown with its caption). A double click in the field selects all of
// its text (edtInpDblClick); Enter confirms it.
#pragma once

#include <QList>
#include <QWidget>

class QAction;
class QLineEdit;

namespace kes {

class InputRow : public QWidget {
    Q_OBJECT
  public:
    // `buttons` go on the toolbar in order; `withCaption` (one of them) shows its caption too.
    InputRow(QWidget* parent, const QList<QAction*>& buttons, QAction* withCaption);

    QLineEdit* field() const { return field_; }

  Q_SIGNALS:
    // Enter in the field.
    void confirmed();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLineEdit* field_ = nullptr;
};

}  // namespace kes
