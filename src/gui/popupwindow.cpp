#include "gui/popupwindow.h"

#include <QAction>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
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

// The most characters of the text that the window's title names.
constexpr int kTitleChars = 60;

// The head's title: one line whatever the text holds, elided at the right where it is wider
// than its place. It never asks the popup for more width than the popup has.
class TitleLabel : public QLabel {
  public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override {
        return {0, QLabel::minimumSizeHint().height()};
    }
    QSize sizeHint() const override {
        return {fontMetrics().horizontalAdvance(text()) + 2 * margin(), minimumSizeHint().height()};
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect place = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(place, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         fontMetrics().elidedText(text(), Qt::ElideRight, place.width()));
    }
};

// The text as one line: line breaks, tabs and other control characters become spaces.
QString OneLine(const QString& text) {
    QString line = text;
    for (QChar& c : line)
        if (c.unicode() < 0x20) c = QLatin1Char(' ');
    return line;
}

// The text shortened to `chars` characters and an ellipsis when it is longer.
QString Shortened(const QString& text, int chars) {
    if (text.size() <= chars) return text;
    int cut = chars;
    if (text.at(cut - 1).isHighSurrogate()) --cut;  // a character beyond the basic plane stays whole
    return text.left(cut) + QChar(0x2026);
}

// About how tall the page of `r` is: a heading per dictionary with entries and a block per
// entry, at the page's default fonts (an entry is its word and pinyin line and a line or two
// of senses).
int PageHeightOf(const SearchResult& r) {
    constexpr int kHeading = 30;
    constexpr int kEntry = 80;
    constexpr int kLine = 24;  // the line of the pinyin searched, or of nothing found
    int64_t height = kLine * static_cast<int64_t>(r.Searched.size() + 1);
    for (const DictSearchResult& d : r.Dicts) {
        if (d.Pieces.empty()) continue;
        height += kHeading;
        for (const std::vector<int32_t>& offsets : d.Offsets)
            height += kEntry * static_cast<int64_t>(offsets.size());
    }
    return static_cast<int>(std::min<int64_t>(height, 1 << 20));
}

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

PopupWindowKind PopupWindowKindFor(const QString& platform) {
    PopupWindowKind kind;
    kind.flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    if (platform.startsWith(QLatin1String("wayland"))) {
        kind.tiedToViewer = true;
        kind.fixedSize = true;
    }
    return kind;
}

QSize PopupSize(int headWidth, int pageHeight, const QRect& screen) {
    const QSize most(screen.width() * TfmPopup::kMaxScreenPercent / 100,
                     screen.height() * TfmPopup::kMaxScreenPercent / 100);
    const QSize wanted(headWidth, pageHeight);
    return wanted.expandedTo(TfmPopup::kDefaultSize).boundedTo(most);
}

TfmPopup::TfmPopup(const std::string& emptyHtmlPath, const ui::PageFactory& makeView, Search search,
                   QWidget* parent)
    : QFrame(parent, PopupWindowKindFor(QGuiApplication::platformName()).flags),
      search_(std::move(search)),
      kind_(PopupWindowKindFor(QGuiApplication::platformName())) {
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

void TfmPopup::UseWindowKind(const PopupWindowKind& kind) {
    kind_ = kind;
    setWindowFlags(kind.flags);
}

// The window's ties are made before it is mapped: the compositor decides once, when it maps the
// window, whether it floats.
void TfmPopup::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        if (kind_.tiedToViewer) {
            QWindow* parent =
                viewer_ && viewer_->isVisible() ? viewer_->windowHandle() : nullptr;
            if (QWindow* own = windowHandle()) own->setTransientParent(parent);
        }
        if (kind_.fixedSize && !freeLimits_) {
            freeLimits_.emplace(minimumSize(), maximumSize());
            setFixedSize(size());
        }
    }
    QFrame::showEvent(event);
}

void TfmPopup::hideEvent(QHideEvent* event) {
    if (!event->spontaneous() && freeLimits_) {
        setMinimumSize(freeLimits_->first);
        setMaximumSize(freeLimits_->second);
        freeLimits_.reset();
    }
    QFrame::hideEvent(event);
}

// The head row: the text shown and the button to the main window.
QLayout* TfmPopup::CreateHead() {
    auto* head = new QHBoxLayout;
    head->setContentsMargins(4, 0, 0, 0);
    lblQuery = new TitleLabel(this);
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
        Q_EMIT openInMainWindow(searched_, searchedTranslateAll_);
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
        // A reference clicked searches its word here, in the popup.
        view_->setInternalLinkHandler([this](const QUrl& url) {
            if (auto word = SearchWordOfLink(url.toString(QUrl::FullyEncoded).toStdString())) {
                QTimer::singleShot(0, this, [this, w = *word] { ShowPage(w); });
            } else if (linkHandler_) {
                linkHandler_(url.toString(QUrl::FullyEncoded).toStdString());  // app/entrylinks.h
            }
        });
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
    if (screen) {
        // Sized for this text alone: the head with the whole title, the page as found.
        const QRect area = screen->availableGeometry();
        const QMargins m = contentsMargins() + layout()->contentsMargins();
        const int head = m.left() + 4 + lblQuery->sizeHint().width() + layout()->spacing() +
                         btnOpen->sizeHint().width() + m.right();
        const int high = m.top() + btnOpen->sizeHint().height() + layout()->spacing() +
                         (edtText && !edtText->isHidden() ? edtText->sizeHint().height() : 0) +
                         pageHeight_ + m.bottom();
        // A popup shown again while its size is fixed (Wayland) takes the new size fixed.
        if (freeLimits_) {
            setMinimumSize(freeLimits_->first);
            setMaximumSize(freeLimits_->second);
        }
        setGeometry(PopupGeometry(pointer, area, PopupSize(head, high, area)));
        if (freeLimits_) setFixedSize(size());
    }
    show();
    raise();
    activateWindow();
    // Where activation is immediate no change is reported; elsewhere it comes as an event.
    wasActive_ = QGuiApplication::focusWindow() == windowHandle();
}

void TfmPopup::ShowPage(const std::u16string& trimmed) {
    query_ = QString::fromStdU16String(trimmed);
    const QString line = OneLine(query_);
    setWindowTitle(Shortened(line, kTitleChars) + QStringLiteral(" - Kestrune"));
    lblQuery->setText(line);
    const SearchResult r = search_(trimmed);
    searched_ = r.FieldText.empty() ? query_ : QString::fromStdU16String(r.FieldText);
    searchedTranslateAll_ = r.TranslateAll;
    pageHeight_ = PageHeightOf(r);
    if (r.ok()) {
        if (view_) view_->setPageBody(r.Page);
    } else {
        lblQuery->setText(Shortened(line, kTitleChars) + QStringLiteral(": ") +
                          QString::fromStdString(r.Error));
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
