#include "webpage/webpageview.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <memory>

namespace kes::webpage {

// ---- GuardedPage ----

GuardedPage::GuardedPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
    linkHandler_ = [](const QUrl& url) {
        // The program's own links are for the window that shows the page, never the desktop.
        if (url.scheme().toLower() != QLatin1String("kestrune")) QDesktopServices::openUrl(url);
    };
}

bool GuardedPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (isMainFrame && allowed_.isValid() && url == allowed_) {
        allowed_ = QUrl();
        return true;
    }
    // A jump to an anchor of the page itself leaves the page in place.
    if (isMainFrame && type == NavigationTypeLinkClicked && url.hasFragment() &&
        url.adjusted(QUrl::RemoveFragment) == this->url().adjusted(QUrl::RemoveFragment)) {
        return true;
    }
    ++refused_;
    if (type == NavigationTypeLinkClicked && isMainFrame) {
        const QString scheme = url.scheme().toLower();
        // Only web and mail links and the program's own ("kestrune:", app/entrylinks.h) go to
        // the handler; a link to a local file or any other scheme is dropped.
        if ((scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
             scheme == QLatin1String("mailto") || scheme == QLatin1String("kestrune")) &&
            linkHandler_) {
            linkHandler_(url);
        }
    }
    return false;
}

QWebEnginePage* GuardedPage::createWindow(WebWindowType) {
    return nullptr;
}

void GuardedPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                           const QString&) {
    // The page has no script of its own; messages from the isolated world are not shown.
}

// ---- PageRequestGuard ----

void PageRequestGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (info.requestUrl().adjusted(QUrl::RemoveFragment) != page_) info.block(true);
}

// ---- PageView ----

WebPageView::WebPageView(QWidget* parent)
    : QWebEngineView(parent),
      // Off the record (no storage name): nothing is written to disk. The page is deleted
      // before its profile (see the destructor).
      profile_(new QWebEngineProfile()),
      requestGuard_(new PageRequestGuard(profile_)),
      page_(new GuardedPage(profile_)) {
    profile_->setUrlRequestInterceptor(requestGuard_);
    QWebEngineSettings* s = page_->settings();
    // Content of the page never runs script: descriptions and readme.html are inserted as they
    // are, and an event handler or script element in them must stay inert. The body itself is
    // replaced from the isolated application world, which this switch does not affect.
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    setPage(page_);
    // The view's own context menu never appears; the window shows its menu on this signal.
    setContextMenuPolicy(Qt::CustomContextMenu);
    collectTimer_ = new QTimer(this);
    collectTimer_->setSingleShot(true);
    collectTimer_->setInterval(kCollectQuietMs);
    connect(collectTimer_, &QTimer::timeout, this, [this] { collectGarbage(); });
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool) {
        loaded_ = true;
        if (pending_) applyBody();
        applyScroll();
    });
}

WebPageView::~WebPageView() {
    // The profile must outlive its page; the engine keeps no helper process for a profile
    // without pages once both are gone.
    delete page_;
    delete profile_;
}

void WebPageView::loadFile(const QString& path) {
    // A file URL of a relative path names no file: the page would stay blank.
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    loaded_ = false;
    requestGuard_->allow(url);
    page_->allowNavigationTo(url);
    page_->load(url);
}

void WebPageView::setPageBody(const std::string& html) {
    lastBody_ = html;
    ++requested_;
    if (!loaded_) {
        // Kept until the load finishes; only the last body matters.
        if (pending_) ++applied_;  // the body it replaces will never be applied
        pending_ = true;
        return;
    }
    applyBody();
}

void WebPageView::applyBody() {
    pending_ = false;
    const QString script =
        QStringLiteral(
            "(function(){try{var b=document.body;if(!b){b=document.createElement('body');"
            "document.documentElement.appendChild(b);}b.innerHTML=") +
        JsStringLiteral(
            QString::fromUtf8(lastBody_.data(), static_cast<qsizetype>(lastBody_.size()))) +
        QStringLiteral(";return true;}catch(e){return false;}})()");
    page_->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                         [this](const QVariant&) { bodyApplied(); });
}

void WebPageView::bodyApplied() {
    ++applied_;
    if (++uncollected_ >= kCollectEveryBodies)
        collectGarbage();
    else
        collectTimer_->start();
    if (bodyApplied_) bodyApplied_();
}

void WebPageView::collectGarbage() {
    collectTimer_->stop();
    if (uncollected_ == 0) return;
    uncollected_ = 0;
    // A full collection of a dictionary page takes a few milliseconds. Without the engine's
    // gc() (the user gave other script engine flags) nothing happens.
    page_->runJavaScript(QStringLiteral("if (typeof gc === 'function') gc();"),
                         QWebEngineScript::ApplicationWorld);
}

QPointF WebPageView::scrollPosition() const {
    return pendingScroll_ ? *pendingScroll_ : page_->scrollPosition();
}

void WebPageView::setScrollPosition(const QPointF& position) {
    pendingScroll_ = position;
    if (loaded_ && !pending_) applyScroll();
}

void WebPageView::applyScroll() {
    // Runs after the body script (scripts of one world run in order), so the body's layout
    // is there to scroll.
    if (!pendingScroll_ || !loaded_ || pending_) return;
    const QPointF p = *pendingScroll_;
    pendingScroll_.reset();
    page_->runJavaScript(
        QStringLiteral("window.scrollTo(%1, %2);").arg(p.x(), 0, 'f', 2).arg(p.y(), 0, 'f', 2),
        QWebEngineScript::ApplicationWorld);
}

QString WebPageView::JsStringLiteral(const QString& text) {
    QString out;
    out.reserve(text.size() + 16);
    out += QLatin1Char('"');
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == '"' || u == '\\') {
            out += QLatin1Char('\\');
            out += ch;
        } else if (u >= 0x20 && u < 0x7F && u != '<' && u != '>') {
            out += ch;
        } else {
            out += QStringLiteral("\\u%1").arg(static_cast<uint>(u), 4, 16, QLatin1Char('0'));
        }
    }
    out += QLatin1Char('"');
    return out;
}

void WebPageView::copySelection() {
    page_->triggerAction(QWebEnginePage::Copy);
}

void WebPageView::copyAll() {
    // Selecting needs the page to have the focus (a right click on it gives it that too).
    setFocus(Qt::OtherFocusReason);
    page_->triggerAction(QWebEnginePage::SelectAll);
    page_->triggerAction(QWebEnginePage::Copy);
}

QVariant WebPageView::evaluate(const QString& script, int timeoutMs) {
    auto result = std::make_shared<QVariant>();
    auto done = std::make_shared<bool>(false);
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    QPointer<QEventLoop> guard(&loop);
    page_->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                         [result, done, guard](const QVariant& v) {
                             *result = v;
                             *done = true;
                             if (guard) guard->quit();
                         });
    if (!*done) loop.exec();
    return *result;
}

QString WebPageView::readBodyHtml(int timeoutMs) {
    return evaluate(QStringLiteral("document.body ? document.body.innerHTML : null"), timeoutMs)
        .toString();
}

bool WebPageView::waitUntilIdle(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!(loaded_ && !pending_ && applied_ >= requested_)) {
        if (timer.elapsed() > timeoutMs) return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

}  // namespace kes::webpage
