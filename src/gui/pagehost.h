// The page of the main window: the panel pnlShow that holds the page view, the view's life
// cycle (made when the window is first shown, released after it has been hidden for a while,
// made again at the next show), the page body and scroll position kept across a release, and
// the page's context menu popupWeb.
#pragma once

#include <QObject>
#include <QPointF>
#include <QString>
#include <QUrl>
#include <functional>
#include <string>

#include "ui/pageloader.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QWidget;

namespace kes {

namespace ui {
class PageView;
}

class PageHost : public QObject {
    Q_OBJECT
  public:
    // The panel is made as a child of `parent` (see panel()); the view comes from `factory`
    // and loads `emptyHtmlPath`. `menuExtras` are added to the context menu after "Copy All".
    PageHost(QWidget* parent, ui::PageFactory factory, std::string emptyHtmlPath,
             const QList<QAction*>& menuExtras);
    ~PageHost() override;

    QWidget* panel() const { return panel_; }
    // The view's own factory, for the popup's page.
    const ui::PageFactory& factory() const { return factory_; }

    // Makes `html` the page body, scrolled to its top (kept while there is no view).
    void SetPageBody(const std::string& html);
    const std::string& pageBody() const { return body_; }
    // The scroll position of the view, or the one kept for the next view.
    QPointF scrollPosition() const;
    // Keeps `position` for the page (the view scrolls there now when it exists).
    void setScrollPosition(QPointF position);

    // Makes the view now unless it exists; it gets the body and the scroll position. False
    // when the factory failed (its message then stays in the page's place).
    bool CreatePageView();
    // Deletes the view, keeping its body and scroll position for the next one.
    void ReleasePageView();
    // The view; null before the first show, after a release and when it could not be made.
    ui::PageView* pageView() const { return view_; }
    // Called for a clicked link of the page instead of following it (every view gets it).
    void setLinkHandler(std::function<void(const QUrl&)> handler);
    // The message shown instead of the page when the view could not be made.
    QString pageError() const;

    // How long the window stays hidden before the view is released; 0: never.
    int releaseDelayMs() const { return releaseDelayMs_; }
    void setReleaseDelayMs(int ms);
    // The window was shown (the view is made) or hidden (the release time starts).
    void WindowShown();
    void WindowHidden();

  Q_SIGNALS:
    // A page body has reached the view (emitted for every body applied).
    void pageBodyApplied();
    // The view has been made (true) or released (false).
    void pageViewChanged(bool present);
    // A reference of the page was clicked: `word` is to be searched.
    void searchLinkClicked(const QString& word);

  private:
    void ShowFactoryError(std::string error);

    QWidget* window_;
    ui::PageFactory factory_;
    std::string emptyHtml_;
    QWidget* panel_ = nullptr;
    QMenu* menu_ = nullptr;
    ui::PageView* view_ = nullptr;  // owned by panel_
    QLabel* error_ = nullptr;       // in the page's place when the view could not be made
    std::string body_;
    QPointF scroll_;
    std::function<void(const QUrl&)> linkHandler_;
    QTimer* releaseTimer_ = nullptr;
    int releaseDelayMs_ = 0;
};

}  // namespace kes
