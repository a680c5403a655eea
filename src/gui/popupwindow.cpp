#include "gui/popupwindow.h"

#include <QAction>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

#include "app/entrylinks.h"
#include "base/text.h"
#include "gui/icons.h"
#include "ui/pageview.h"

namespace kes {

namespace {

// The distance between the pointer and the popup.
constexpr int kPointerGap = 12;

}  // namespace

QRect PopupGeometry(std::optional<QPoint> pointer, const QRect& screen, QSize size) {
    size = size.boundedTo(screen.size());
    if (!pointer) {
        QRect r(QPoint(0, 0), size);
        r.moveCenter(screen.center());
        return r;
    }
    int x = pointer->x() + kPointerGap;
    if (x + size.width() > screen.right() + 1) x = pointer->x() - kPointerGap - size.width();
    int y = pointer->y() + kPointerGap;
    if (y + size.height() > screen.bottom() + 1) y = pointer->y() - kPointerGap - size.height();
    x = std::clamp(x, screen.left(), screen.right() + 1 - size.width());
    y = std::clamp(y, screen.top(), screen.bottom() + 1 - size.height());
    return QRect(QPoint(x, y), size);
}

TfmPopup::TfmPopup(const std::string& emptyHtmlPath, const ui::PageFactory& makeView, Search search,
                   QWidget* parent)
    : QFrame(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      search_(std::move(search)) {
    setObjectName(QStringLiteral("fmPopup"));
    setWindowIcon(AppIcon());
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    resize(kDefaultSize);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(1, 1, 1, 1);
    outer->setSpacing(1);
    outer->addLayout(CreateHead());

    outer->addWidget(CreatePage(emptyHtmlPath, makeView), 1);

    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, this, &QWidget::hide);
    auto* keep = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_D), this);
    keep->setObjectName(QStringLiteral("scAddToMyWords"));
    keep->setContext(Qt::WindowShortcut);
    connect(keep, &QShortcut::activated, this, [this] {
        const std::string href = FirstAddLink(pageBody());
        if (linkHandler_ && !href.empty()) linkHandler_(href);
    });

    // A click elsewhere takes the focus away: the popup closes, but not for a menu of its own.
    // (A popup that never got the focus, where the desktop refuses it, stays until Esc or the
    // next one.)
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* now) {
        if (!isVisible()) return;
        if (now && now == windowHandle()) {
            wasActive_ = true;
        } else if (now && (now->type() == Qt::Popup || now->transientParent() == windowHandle())) {
            return;
        } else if (wasActive_) {
            hide();
        }
    });
}

// The head row: the text shown and the button to the main window.
QLayout* TfmPopup::CreateHead() {
    auto* head = new QHBoxLayout;
    head->setContentsMargins(4, 0, 0, 0);
    lblQuery = new QLabel(this);
    lblQuery->setObjectName(QStringLiteral("lblQuery"));
    lblQuery->setTextFormat(Qt::PlainText);
    QFont bold = lblQuery->font();
    bold.setBold(true);
    lblQuery->setFont(bold);
    btnOpen = new QToolButton(this);
    btnOpen->setObjectName(QStringLiteral("btnOpen"));
    btnOpen->setText(QStringLiteral("&Open in Kestrune"));
    btnOpen->setAutoRaise(true);
    connect(btnOpen, &QToolButton::clicked, this, [this] {
        hide();
        Q_EMIT openInMainWindow(query_);
    });
    head->addWidget(lblQuery, 1);
    head->addWidget(btnOpen);
    return head;
}

// The page view (or, when it cannot be made, the reason) with its menu: copying the selection.
QWidget* TfmPopup::CreatePage(const std::string& emptyHtmlPath, const ui::PageFactory& makeView) {
    std::string error;
    view_ = makeView ? makeView(this, error) : nullptr;
    QWidget* page = nullptr;
    if (view_) {
        page = view_->widget();
        page->setObjectName(QStringLiteral("popupBrowser"));
        view_->loadFile(QString::fromStdString(emptyHtmlPath));
    } else {
        auto* note = new QLabel(
            QStringLiteral("Cannot show the page: ") + QString::fromStdString(error), this);
        note->setWordWrap(true);
        page = note;
    }
    // The page's menu: copying the selection.
    auto* menu = new QMenu(this);
    QAction* copy = menu->addAction(QStringLiteral("Copy"));
    connect(copy, &QAction::triggered, this, [this] {
        if (view_) view_->copySelection();
    });
    page->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(page, &QWidget::customContextMenuRequested, this,
            [page, menu](const QPoint& pos) { menu->popup(page->mapToGlobal(pos)); });
    return page;
}

void TfmPopup::setEntryLinkHandler(std::function<void(const std::string& href)> handler) {
    linkHandler_ = std::move(handler);
    if (!view_) return;
    view_->setLinkHandler([this](const QUrl& url) {
        if (url.scheme() == QLatin1String(kLinkScheme.data(), kLinkScheme.size())) {
            if (linkHandler_) linkHandler_(url.toString(QUrl::FullyEncoded).toStdString());
        } else {
            QDesktopServices::openUrl(url);
        }
    });
}

std::string TfmPopup::pageBody() const {
    return view_ ? view_->lastBody() : std::string();
}

void TfmPopup::SetPageBody(const std::string& html) {
    if (!view_) return;
    const QPointF at = view_->scrollPosition();
    view_->setPageBody(html);
    view_->setScrollPosition(at);
}

void TfmPopup::ShowText(const std::u16string& text, std::optional<QPoint> pointer) {
    const std::u16string trimmed = Trim(text);
    if (trimmed.empty()) return;
    if (edtText) edtText->hide();
    ShowPage(trimmed);

    QScreen* screen = pointer ? QGuiApplication::screenAt(*pointer) : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) setGeometry(PopupGeometry(pointer, screen->availableGeometry(), kDefaultSize));
    show();
    raise();
    activateWindow();
    // Where activation is immediate no change is reported; elsewhere it comes as an event.
    wasActive_ = QGuiApplication::focusWindow() == windowHandle();
}

void TfmPopup::ShowPage(const std::u16string& trimmed) {
    query_ = QString::fromStdU16String(trimmed);
    setWindowTitle(query_ + QStringLiteral(" - Kestrune"));
    lblQuery->setText(query_);
    const SearchResult r = search_(trimmed);
    if (r.ok()) {
        if (view_) view_->setPageBody(r.Page);
    } else {
        lblQuery->setText(query_ + QStringLiteral(": ") + QString::fromStdString(r.Error));
    }
}

void TfmPopup::ShowRecognizedText(const std::u16string& text, std::optional<QPoint> pointer) {
    if (Trim(text).empty()) return;
    if (!edtText) {
        edtText = new QLineEdit(this);
        edtText->setObjectName(QStringLiteral("edtText"));
        static_cast<QVBoxLayout*>(layout())->insertWidget(1, edtText);
        // An edit searches again once typing pauses; Enter at once.
        auto* again = new QTimer(this);
        again->setSingleShot(true);
        again->setInterval(300);
        auto research = [this, again] {
            again->stop();
            const std::u16string t = Trim(edtText->text().toStdU16String());
            if (!t.empty() && QString::fromStdU16String(t) != query_) ShowPage(t);
        };
        connect(again, &QTimer::timeout, this, research);
        connect(edtText, &QLineEdit::textEdited, again, qOverload<>(&QTimer::start));
        connect(edtText, &QLineEdit::returnPressed, this, research);
    }
    ShowText(text, pointer);
    edtText->setText(QString::fromStdU16String(Trim(text)));
    edtText->show();
    edtText->setFocus();
}

}  // namespace kes
