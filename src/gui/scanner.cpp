#include "gui/scanner.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>
#include <optional>

#include "app/queryflow.h"
#include "base/text.h"

namespace kes {

namespace {

std::u16string U16(const QString& s) {
    return s.toStdU16String();
}

}  // namespace

Scanner::Scanner(QWidget* window, QAction* scanClipboard, QAction* scanSelection,
                 ui::PageFactory factory, std::string emptyHtmlPath, TfmPopup::Search search,
                 std::function<bool()> ending)
    : QObject(window),
      scanClipboard_(scanClipboard),
      scanSelection_(scanSelection),
      factory_(std::move(factory)),
      emptyHtml_(std::move(emptyHtmlPath)),
      search_(std::move(search)),
      ending_(std::move(ending)) {
    setObjectName(QStringLiteral("scanner"));
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection()) {
        scanSelection_->setVisible(false);
        scanSelection_->setEnabled(false);
    }
    connect(clipboard, &QClipboard::dataChanged, this,
            [this] { ScanChanged(QClipboard::Clipboard); });
    selectionSettled_ = new QTimer(this);
    selectionSettled_->setSingleShot(true);
    selectionSettled_->setInterval(400);
    connect(selectionSettled_, &QTimer::timeout, this,
            [this] { ScanChanged(QClipboard::Selection); });
    connect(clipboard, &QClipboard::selectionChanged, selectionSettled_,
            qOverload<>(&QTimer::start));
}

Scanner::~Scanner() = default;

TfmPopup* Scanner::popup() {
    if (!popup_) {
        popup_ = std::make_unique<TfmPopup>(emptyHtml_, factory_, search_);
        popup_->setViewerWindow(qobject_cast<QWidget*>(parent()));
        connect(popup_.get(), &TfmPopup::openInMainWindow, this, &Scanner::openInMainWindow);
        Q_EMIT popupCreated(popup_.get());
    }
    return popup_.get();
}

bool Scanner::isScanning() const {
    return scanClipboard_->isChecked() || scanSelection_->isChecked();
}

void Scanner::PopupText(const std::u16string& text) {
    std::u16string t = text;
    if (Trim(t).empty()) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection()) t = U16(clipboard->text(QClipboard::Selection));
        if (Trim(t).empty()) t = U16(clipboard->text(QClipboard::Clipboard));
        if (Trim(t).empty()) return;
    }
    // Wayland tells a program no global pointer position.
    std::optional<QPoint> pointer;
    if (!QGuiApplication::platformName().startsWith(QStringLiteral("wayland")))
        pointer = QCursor::pos();
    popup()->ShowText(t, pointer);
}

void Scanner::ScanChanged(QClipboard::Mode mode) {
    QAction* option = mode == QClipboard::Selection ? scanSelection_ : scanClipboard_;
    if (!option->isChecked() || !option->isEnabled() || ending_()) return;
    // Text that Kestrune put there, or that was copied or selected while one of its windows
    // (its page, its field, its popup) has the focus, is not looked up again.
    QClipboard* clipboard = QGuiApplication::clipboard();
    const bool own =
        mode == QClipboard::Selection ? clipboard->ownsSelection() : clipboard->ownsClipboard();
    const QWindow* focus = QGuiApplication::focusWindow();
    if (own || (focus && focus->isVisible())) return;
    const std::u16string text = U16(clipboard->text(mode));
    if (IsScanText(text)) PopupText(text);
}

}  // namespace kes
