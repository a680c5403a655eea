// The page view: one local page (empty.html) whose body the program replaces with its own HTML.
//
// The windows see only this interface. Its one implementation lives in a separate library
// (the page plugin, see ui/pageloader.h), the only part of the program that links the browser
// engine; it is loaded when a window first needs a page, so that a viewer waiting behind its
// tray icon never maps the engine.
//
// The page never runs script of its own and never navigates away: every navigation other than
// the program's own load of the page is refused, a clicked web or mail link is handed to the
// link handler instead, a link of the program's own scheme to the internal link handler, and
// no new window is ever opened.
#pragma once

#include <QPointF>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <functional>
#include <string>

class QWidget;

namespace kes::ui {

class PageView {
  public:
    virtual ~PageView() = default;

    // The widget that shows the page (owned by its parent widget like any other; deleting the
    // widget deletes the page view).
    virtual QWidget* widget() = 0;

    // Loads the local file (empty.html) into the view.
    virtual void loadFile(const QString& path) = 0;
    // Makes `html` (UTF-8) the whole content of the page's body. A body set before the page
    // has finished loading is kept and applied when the load finishes. Failures are swallowed:
    // the view keeps what it showed.
    virtual void setPageBody(const std::string& html) = 0;
    // The last body handed to setPageBody.
    virtual const std::string& lastBody() const = 0;
    // True once the page has finished loading.
    virtual bool isLoaded() const = 0;
    // Number of body replacements that reached the page.
    virtual int appliedBodies() const = 0;
    // Called each time a body replacement has reached the page.
    virtual void setBodyAppliedHandler(std::function<void()> handler) = 0;

    // The scroll position of the page in CSS pixels, as last reported by the page.
    virtual QPointF scrollPosition() const = 0;
    // Scrolls the page to `position`; before the page has loaded and its pending body has been
    // applied, the position is kept and applied right after that body.
    virtual void setScrollPosition(const QPointF& position) = 0;

    // Copies the selection to the clipboard; copyAll selects the whole page first.
    virtual void copySelection() = 0;
    virtual void copyAll() = 0;

    // Called for a clicked web or mail link, or one of the program's own ("kestrune:"), instead
    // of following it. Default: the desktop's handler (QDesktopServices::openUrl) for web and
    // mail links; the program's own are dropped.
    virtual void setLinkHandler(std::function<void(const QUrl&)> handler) = 0;
    // Called for a clicked link of the program's own scheme "kestrune:" (a reference of the
    // page, app/resultpage.h SearchLinkHref), which the page never follows itself. Default:
    // none (the click does nothing).
    virtual void setInternalLinkHandler(std::function<void(const QUrl&)> handler) = 0;
    // The URL of the page loaded (empty.html).
    virtual QUrl url() const = 0;
    // Number of navigations refused so far.
    virtual int refusedNavigations() const = 0;

    // Runs `script` in the program's isolated script world and returns its result (waiting at
    // most timeoutMs). For tests and diagnostics; an invalid QVariant on time-out.
    virtual QVariant evaluate(const QString& script, int timeoutMs = 10000) = 0;
    // The body's inner HTML as the page now holds it (waits; for tests).
    virtual QString readBodyHtml(int timeoutMs = 10000) = 0;
    // Waits (processing events) until the page has loaded and every body handed to
    // setPageBody has been applied. False on time-out.
    virtual bool waitUntilIdle(int timeoutMs = 10000) = 0;
};

}  // namespace kes::ui
