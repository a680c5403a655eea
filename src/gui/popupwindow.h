// The popup: a small window near the mouse pointer with the page for one text (a word, or the
// words of a short Chinese text), for `kestrune popup` and the clipboard and selection scans.
// Its title is the text followed by " - Kestrune"; Esc or a click elsewhere closes it, and a
// button opens the same text in the main window.
#pragma once

#include <QFrame>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/queryflow.h"
#include "ui/pageloader.h"

class QLabel;
class QLayout;
class QLineEdit;
class QToolButton;

namespace kes {

namespace ui {
class PageView;
}

// Where the popup of `size` goes on `screen` (the available area): below and right of the
// pointer, flipped to its other side where it would leave the screen, always inside the screen;
// centred when the pointer position is unknown (Wayland tells no global position).
QRect PopupGeometry(std::optional<QPoint> pointer, const QRect& screen, QSize size);

class TfmPopup : public QFrame {
    Q_OBJECT
  public:
    // Makes the page view of the popup.
    // The search behind the page (RunPopupSearch with the viewer's dictionaries and options).
    using Search = std::function<SearchResult(const std::u16string& text)>;

    static constexpr QSize kDefaultSize{440, 300};

    // The view comes from `makeView` (once) and loads `emptyHtmlPath`.
    TfmPopup(const std::string& emptyHtmlPath, const ui::PageFactory& makeView, Search search,
             QWidget* parent = nullptr);

    // Searches `text` and shows the popup with its page: near `pointer`, or centred on the
    // screen when it is not known. A blank text changes nothing.
    void ShowText(const std::u16string& text, std::optional<QPoint> pointer);
    // The same for text read on screen, which may hold a misread character: the text is also
    // shown in the field edtText, and every edit of it searches again.
    void ShowRecognizedText(const std::u16string& text, std::optional<QPoint> pointer);

    ui::PageView* pageView() const { return view_.get(); }
    // The program's own links of the page (app/entrylinks.h) and Ctrl+D, "Add to my words" for
    // the first entry, go to `handler` with the link's href; web links to the desktop.
    void setEntryLinkHandler(std::function<void(const std::string& href)> handler);
    // The page body shown (empty without a page view), and its replacement in place (the page
    // keeps its scroll position).
    std::string pageBody() const;
    void SetPageBody(const std::string& html);
    // The text shown (trimmed), empty before the first.
    const QString& query() const { return query_; }

    QLabel* lblQuery = nullptr;
    QToolButton* btnOpen = nullptr;
    QLineEdit* edtText = nullptr;  // made for the first recognized text

  Q_SIGNALS:
    // "Open in Kestrune": the same text in the main window (the popup closes).
    void openInMainWindow(const QString& query);

  private:
    QLayout* CreateHead();
    QWidget* CreatePage(const std::string& emptyHtmlPath, const ui::PageFactory& makeView);
    void ShowPage(const std::u16string& trimmed);

    Search search_;
    std::unique_ptr<ui::PageView> view_;
    std::function<void(const std::string& href)> linkHandler_;
    QString query_;
    bool wasActive_ = false;
};

}  // namespace kes
