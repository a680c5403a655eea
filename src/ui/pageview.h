// The page view: an embedded web view that shows one local page (empty.html) and whose body the
// program replaces with its own HTML.
//
// The page never runs script of its own and never navigates away: script is switched off for
// the page's content (the program replaces the body from an isolated script world), every
// navigation other than the program's own load of the page is refused, a clicked link is handed
// to the desktop (QDesktopServices) instead, and no new window is ever opened.
#pragma once

#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <functional>
#include <string>

namespace kes::ui {

// The page object behind PageView: refuses navigations it was not told to make.
class GuardedPage : public QWebEnginePage {
    Q_OBJECT
  public:
    explicit GuardedPage(QObject* parent = nullptr);

    // The next main-frame navigation to exactly this URL is allowed (the program's own load).
    void allowNavigationTo(const QUrl& url) { allowed_ = url; }

    // Called for a clicked link instead of following it. Default: QDesktopServices::openUrl.
    void setLinkHandler(std::function<void(const QUrl&)> handler) {
        linkHandler_ = std::move(handler);
    }

    int refusedNavigations() const { return refused_; }

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceID) override;

  private:
    QUrl allowed_;
    std::function<void(const QUrl&)> linkHandler_;
    int refused_ = 0;
};

class PageView : public QWebEngineView {
    Q_OBJECT
  public:
    explicit PageView(QWidget* parent = nullptr);

    // Loads the local file (empty.html) into the view.
    void loadFile(const QString& path);

    // Makes `html` (UTF-8) the whole content of the page's body. A body set before the page has
    // finished loading is kept and applied when the load finishes. Failures are swallowed: the
    // view keeps what it showed.
    void setPageBody(const std::string& html);

    // The last body handed to setPageBody.
    const std::string& lastBody() const { return lastBody_; }
    // True once the page has finished loading.
    bool isLoaded() const { return loaded_; }
    // Number of body replacements that reached the page.
    int appliedBodies() const { return applied_; }

    // Copies the selection to the clipboard; copyAll selects the whole page first.
    void copySelection();
    void copyAll();

    GuardedPage* guardedPage() const { return page_; }

    // Runs `script` in the isolated world and returns its result (waiting at most timeoutMs).
    // For tests and diagnostics; an invalid QVariant on time-out.
    QVariant evaluate(const QString& script, int timeoutMs = 10000);
    // The body's inner HTML as the page now holds it (waits; for tests).
    QString readBodyHtml(int timeoutMs = 10000);
    // Waits (processing events) until the page has loaded and every body handed to
    // setPageBody has been applied. False on time-out.
    bool waitUntilIdle(int timeoutMs = 10000);

  Q_SIGNALS:
    void bodyApplied();

  private:
    void applyBody();
    static QString JsStringLiteral(const QString& text);

    GuardedPage* page_;
    std::string lastBody_;
    bool loaded_ = false;
    bool pending_ = false;
    int requested_ = 0;
    int applied_ = 0;
};

}  // namespace kes::ui
