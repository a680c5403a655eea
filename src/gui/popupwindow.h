// The popup: a small window near the mouse pointer with the page for one text (a word, or the
// words of a short Chinese text), for `kestrune popup` and the clipboard and selection scans.
// Its title is the text followed by " - Kestrune"; Esc or a click elsewhere closes it, and a
// button opens the same text in the main window.
#pragma once

#include <QFrame>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

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

// What kind of window the popup is on a platform (QGuiApplication::platformName()): everywhere
// a frameless tool window that stays on top. A Wayland desktop places windows itself, and a
// tiling one (sway) floats only a window tied to a parent or of a fixed size, tiling the rest:
// there the popup is tied to the viewer's main window while that is shown (transient parent),
// and keeps its size while it is shown itself.
struct PopupWindowKind {
    Qt::WindowFlags flags;
    bool tiedToViewer = false;
    bool fixedSize = false;
};
PopupWindowKind PopupWindowKindFor(const QString& platform);

// The size of a popup for its own text on `screen` (the available area): as wide as its head
// row wants (`headWidth`: the whole title and the button) and as tall as the head and about
// `pageHeight` of page, but at least TfmPopup::kDefaultSize and at most 60% of the screen's
// width and height (the page wraps and scrolls inside, the title is elided).
QSize PopupSize(int headWidth, int pageHeight, const QRect& screen);

class TfmPopup : public QFrame {
    Q_OBJECT
  public:
    // Makes the page view of the popup.
    // The search behind the page (RunPopupSearch with the viewer's dictionaries and options).
    using Search = std::function<SearchResult(const std::u16string& text)>;

    static constexpr QSize kDefaultSize{440, 300};
    // The largest share of the screen's width and height a popup takes, in percent.
    static constexpr int kMaxScreenPercent = 60;

    // The view comes from `makeView` (once) and loads `emptyHtmlPath`.
    TfmPopup(const std::string& emptyHtmlPath, const ui::PageFactory& makeView, Search search,
             QWidget* parent = nullptr);

    // Searches `text` and shows the popup with its page: near `pointer`, or centred on the
    // screen when it is not known. A blank text changes nothing.
    void ShowText(const std::u16string& text, std::optional<QPoint> pointer);
    // The same for text read on screen, which may hold a misread character: the text is also
    // shown in the field edtText, and every edit of it searches again.
    void ShowRecognizedText(const std::u16string& text, std::optional<QPoint> pointer);

    // The viewer's main window, the popup's transient parent where the kind asks for one.
    void setViewerWindow(QWidget* viewer) { viewer_ = viewer; }
    // The kind is the platform's (PopupWindowKindFor); tests choose another platform's.
    void UseWindowKind(const PopupWindowKind& kind);
    const PopupWindowKind& windowKind() const { return kind_; }

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
    // "Open in Kestrune": the main window is to search what the popup searched (the popup
    // closes): the text, or the cut of its Chinese characters with "Translate text" on.
    void openInMainWindow(const QString& searched, bool translateAll);

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QLayout* CreateHead();
    QWidget* CreatePage(const std::string& emptyHtmlPath, const ui::PageFactory& makeView);
    void ShowPage(const std::u16string& trimmed);

    Search search_;
    std::unique_ptr<ui::PageView> view_;
    std::function<void(const std::string& href)> linkHandler_;
    QString query_;
    // What the page was searched for, for "Open in Kestrune".
    QString searched_;
    bool searchedTranslateAll_ = false;
    // About how tall the page of the last search is, in pixels.
    int pageHeight_ = 0;
    bool wasActive_ = false;
    PopupWindowKind kind_;
    QPointer<QWidget> viewer_;
    // The size limits before the size was fixed for a showing (fixedSize), restored at the hide.
    std::optional<std::pair<QSize, QSize>> freeLimits_;
};

}  // namespace kes
