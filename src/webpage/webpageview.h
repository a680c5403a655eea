// The page view on the browser engine (Qt WebEngine): the implementation behind
// ui::PageView, built into the page plugin only.
//
// Each view has its own off-the-record profile, deleted with the view, so that deleting the
// last view leaves the engine nothing to keep its helper processes for. Content of the page
// never runs script; the program replaces the body from an isolated script world.
//
// Each replaced body leaves garbage in the page's process: the old body's nodes and the script
// that carried the new one. The engine collects it only as its script heap fills, which a page
// that runs no script of its own never does, so without help the process grows by about 17 KB
// with every search and never gives it back. The view therefore asks for a collection itself
// (the engine's gc(); the engine keeps no compiled scripts, see engineflags.h) after every
// kCollectEveryBodies bodies and once no body has come for kCollectQuietMs.
#pragma once

#include <QPointF>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <functional>
#include <optional>
#include <string>

#include "ui/pageview.h"

class QTimer;
class QWebEngineProfile;

namespace kes::webpage {

// The page object behind WebPageView: refuses navigations it was not told to make.
class GuardedPage : public QWebEnginePage {
    Q_OBJECT
  public:
    explicit GuardedPage(QWebEngineProfile* profile, QObject* parent = nullptr);

    // The next main-frame navigation to exactly this URL is allowed (the program's own load).
    void allowNavigationTo(const QUrl& url) { allowed_ = url; }

    // Called for a clicked link instead of following it. Default: QDesktopServices::openUrl.
    void setLinkHandler(std::function<void(const QUrl&)> handler) {
        linkHandler_ = std::move(handler);
    }
    // Called for a clicked link of the program's own scheme ("kestrune:"). Default: none.
    void setInternalLinkHandler(std::function<void(const QUrl&)> handler) {
        internalLinkHandler_ = std::move(handler);
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
    std::function<void(const QUrl&)> internalLinkHandler_;
    int refused_ = 0;
};

// Lets the view's profile load nothing but the page itself: no image, style sheet, frame or
// font of another local file or of the web, whatever the body names.
class PageRequestGuard : public QWebEngineUrlRequestInterceptor {
  public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void allow(const QUrl& page) { page_ = page.adjusted(QUrl::RemoveFragment); }
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

  private:
    QUrl page_;
};

class WebPageView : public QWebEngineView, public ui::PageView {
    Q_OBJECT
  public:
    static constexpr int kCollectEveryBodies = 20;
    static constexpr int kCollectQuietMs = 1000;

    explicit WebPageView(QWidget* parent = nullptr);
    ~WebPageView() override;

    QWidget* widget() override { return this; }
    void loadFile(const QString& path) override;
    void setPageBody(const std::string& html) override;
    const std::string& lastBody() const override { return lastBody_; }
    bool isLoaded() const override { return loaded_; }
    int appliedBodies() const override { return applied_; }
    void setBodyAppliedHandler(std::function<void()> handler) override {
        bodyApplied_ = std::move(handler);
    }
    QPointF scrollPosition() const override;
    void setScrollPosition(const QPointF& position) override;
    void copySelection() override;
    void copyAll() override;
    void setLinkHandler(std::function<void(const QUrl&)> handler) override {
        page_->setLinkHandler(std::move(handler));
    }
    void setInternalLinkHandler(std::function<void(const QUrl&)> handler) override {
        page_->setInternalLinkHandler(std::move(handler));
    }
    QUrl url() const override { return QWebEngineView::url(); }
    int refusedNavigations() const override { return page_->refusedNavigations(); }
    QVariant evaluate(const QString& script, int timeoutMs = 10000) override;
    QString readBodyHtml(int timeoutMs = 10000) override;
    bool waitUntilIdle(int timeoutMs = 10000) override;

    GuardedPage* guardedPage() const { return page_; }

  private:
    void applyBody();
    void bodyApplied();
    void collectGarbage();
    void applyScroll();
    static QString JsStringLiteral(const QString& text);

    QWebEngineProfile* profile_;
    PageRequestGuard* requestGuard_;
    GuardedPage* page_;
    std::string lastBody_;
    std::optional<QPointF> pendingScroll_;
    std::function<void()> bodyApplied_;
    bool loaded_ = false;
    bool pending_ = false;
    int requested_ = 0;
    int applied_ = 0;
    // Bodies replaced since the last collection, and the wait for a quiet page.
    int uncollected_ = 0;
    QTimer* collectTimer_ = nullptr;
};

}  // namespace kes::webpage
