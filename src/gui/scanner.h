// The popup and what opens it: `kestrune popup`, and the clipboard and selection scans (text
// copied or selected in another program pops up while its option is on).
#pragma once

#include <QClipboard>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "gui/popupwindow.h"
#include "ui/pageloader.h"

class QAction;
class QTimer;
class QWidget;

namespace kes {

class Scanner : public QObject {
    Q_OBJECT
  public:
    // `scanClipboard` and `scanSelection` are the option actions (checkable); the selection
    // one is hidden and disabled here where the desktop has no selection. The popup's page
    // comes from `factory` and loads `emptyHtmlPath`; `search` makes it. Nothing pops up once
    // `ending` says the program ends.
    Scanner(QWidget* window, QAction* scanClipboard, QAction* scanSelection,
            ui::PageFactory factory, std::string emptyHtmlPath, TfmPopup::Search search,
            std::function<bool()> ending);
    ~Scanner() override;

    // The popup for `text` near the mouse pointer (centred on the screen where its position
    // is unknown). A blank text takes the selection (where the desktop has one) or else the
    // clipboard; when that is blank too, nothing happens.
    void PopupText(const std::u16string& text);
    // The popup, created at its first use.
    TfmPopup* popup();
    // The popup if it has been created.
    TfmPopup* popupIfCreated() const { return popup_.get(); }
    // True while either scan is on (the popup may open at any moment).
    bool isScanning() const;

  Q_SIGNALS:
    // "Open in Kestrune" in the popup: what it searched, and whether with "Translate text".
    void openInMainWindow(const QString& searched, bool translateAll);
    // The popup has been made (at its first use).
    void popupCreated(TfmPopup* popup);

  private:
    // A change of the clipboard or the selection: pops up when its option is on, the change
    // did not come from this program, and the text passes IsScanText.
    void ScanChanged(QClipboard::Mode mode);

    QAction* scanClipboard_;
    QAction* scanSelection_;
    ui::PageFactory factory_;
    std::string emptyHtml_;
    TfmPopup::Search search_;
    std::function<bool()> ending_;
    std::unique_ptr<TfmPopup> popup_;
    // The selection changes with every move of a drag: it is read once it has settled.
    QTimer* selectionSettled_ = nullptr;
};

}  // namespace kes
