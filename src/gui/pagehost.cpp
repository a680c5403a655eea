#include "gui/pagehost.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

#include "app/resultpage.h"
#include "ui/pageview.h"

namespace kes {

PageHost::PageHost(QWidget* parent, ui::PageFactory factory, std::string emptyHtmlPath,
                   const QList<QAction*>& menuExtras)
    : QObject(parent),
      window_(parent),
      factory_(std::move(factory)),
      emptyHtml_(std::move(emptyHtmlPath)) {
    setObjectName(QStringLiteral("pageHost"));
    panel_ = new QWidget(parent);
    panel_->setObjectName(QStringLiteral("pnlShow"));
    auto* layout = new QVBoxLayout(panel_);
    // The view sits at (1, 1) inside the panel and follows its size.
    layout->setContentsMargins(1, 1, 0, 0);

    // The page's context menu replaces the view's own.
    menu_ = new QMenu(parent);
    menu_->setObjectName(QStringLiteral("popupWeb"));
    QAction* copy = menu_->addAction(QStringLiteral("Copy"));
    copy->setObjectName(QStringLiteral("nwCopy"));
    menu_->addSeparator();
    QAction* copyAll = menu_->addAction(QStringLiteral("Copy All"));
    copyAll->setObjectName(QStringLiteral("nwCopyAll"));
    menu_->addSeparator();
    menu_->addActions(menuExtras);
    connect(copy, &QAction::triggered, this, [this] {
        if (view_) view_->copySelection();
    });
    connect(copyAll, &QAction::triggered, this, [this] {
        if (view_) view_->copyAll();
    });

    // A hidden window releases its view after releaseDelayMs_.
    releaseTimer_ = new QTimer(this);
    releaseTimer_->setSingleShot(true);
    connect(releaseTimer_, &QTimer::timeout, this, [this] {
        if (!window_->isVisible()) ReleasePageView();
    });
}

PageHost::~PageHost() {
    // The view goes first, while the host exists: a page being deleted still answers the
    // scripts it was given, and its body-applied handler must not reach a host that is gone.
    if (!view_) return;
    view_->setBodyAppliedHandler({});
    delete view_->widget();
}

void PageHost::SetPageBody(const std::string& html) {
    // A new page starts at its top, in a kept view as in one made later.
    body_ = html;
    scroll_ = QPointF();
    if (!view_) return;
    view_->setPageBody(html);
    view_->setScrollPosition(scroll_);
}

QPointF PageHost::scrollPosition() const {
    return view_ ? view_->scrollPosition() : scroll_;
}

void PageHost::setScrollPosition(QPointF position) {
    scroll_ = position;
    if (view_) view_->setScrollPosition(scroll_);
}

bool PageHost::CreatePageView() {
    if (view_) return true;
    if (error_) return false;  // the factory failed before: its message stays
    std::string error;
    std::unique_ptr<ui::PageView> made = factory_ ? factory_(panel_, error) : nullptr;
    if (!made) {
        ShowFactoryError(std::move(error));
        return false;
    }
    view_ = made.release();  // owned by the panel from here on
    QWidget* w = view_->widget();
    w->setObjectName(QStringLiteral("browser"));
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(w, &QWidget::customContextMenuRequested, this,
            [this, w](const QPoint& pos) { menu_->popup(w->mapToGlobal(pos)); });
    view_->setBodyAppliedHandler([this] { Q_EMIT pageBodyApplied(); });
    view_->setInternalLinkHandler([this](const QUrl& url) {
        // After the click has been dealt with by the page: the search replaces its body.
        if (auto word = SearchWordOfLink(url.toString(QUrl::FullyEncoded).toStdString())) {
            QTimer::singleShot(0, this, [this, w = QString::fromStdU16String(*word)] {
                Q_EMIT searchLinkClicked(w);
            });
        } else if (linkHandler_) {
            linkHandler_(url);  // the entry's own links (app/entrylinks.h)
        }
    });
    if (linkHandler_) view_->setLinkHandler(linkHandler_);
    panel_->layout()->addWidget(w);
    w->show();
    view_->loadFile(QString::fromStdString(emptyHtml_));
    view_->setPageBody(body_);
    if (!scroll_.isNull()) view_->setScrollPosition(scroll_);
    Q_EMIT pageViewChanged(true);
    return true;
}

void PageHost::ShowFactoryError(std::string error) {
    if (error.empty()) error = "The page view is not available.";
    error_ = new QLabel(QString::fromStdString(error), panel_);
    error_->setObjectName(QStringLiteral("pageError"));
    error_->setWordWrap(true);
    error_->setAlignment(Qt::AlignCenter);
    error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    panel_->layout()->addWidget(error_);
    error_->show();
}

void PageHost::ReleasePageView() {
    releaseTimer_->stop();
    if (!view_) return;
    scroll_ = view_->scrollPosition();
    ui::PageView* view = view_;
    view_ = nullptr;
    delete view->widget();
    Q_EMIT pageViewChanged(false);
}

void PageHost::setLinkHandler(std::function<void(const QUrl&)> handler) {
    linkHandler_ = std::move(handler);
    if (view_) view_->setLinkHandler(linkHandler_);
}

QString PageHost::pageError() const {
    return error_ ? error_->text() : QString();
}

void PageHost::setReleaseDelayMs(int ms) {
    releaseDelayMs_ = std::max(ms, 0);
    if (releaseDelayMs_ == 0) {
        releaseTimer_->stop();
    } else if (!window_->isVisible() && view_) {
        releaseTimer_->start(releaseDelayMs_);
    }
}

void PageHost::WindowShown() {
    releaseTimer_->stop();
    CreatePageView();
}

void PageHost::WindowHidden() {
    // A minimized window is not hidden from the user; only a hidden one releases its page.
    if (!window_->isVisible() && view_ && releaseDelayMs_ > 0)
        releaseTimer_->start(releaseDelayMs_);
}

}  // namespace kes
