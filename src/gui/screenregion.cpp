#include "gui/screenregion.h"

#include <QCursor>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusObjectPath>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QUrl>

#include "gui/ocrclient.h"
#include "gui/popupwindow.h"

namespace kes {

// ---- ScreenRegion ----

ScreenRegion::ScreenRegion(const QPixmap& shot, const QRect& geometry)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::BypassWindowManagerHint),
      shot_(shot) {
    setObjectName(QStringLiteral("screenRegion"));
    setAttribute(Qt::WA_DeleteOnClose);
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setGeometry(geometry);
}

void ScreenRegion::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(rect(), shot_);
    p.fillRect(rect(), QColor(0, 0, 0, 60));  // the frozen screen, dimmed
    if (!dragging_) return;
    const QRect r = QRect(start_, end_).normalized();
    p.drawPixmap(r, shot_, QRectF(r.x() * shot_.devicePixelRatio(), r.y() * shot_.devicePixelRatio(),
                                  r.width() * shot_.devicePixelRatio(),
                                  r.height() * shot_.devicePixelRatio()));
    p.setPen(QPen(QColor(0, 120, 215), 1));
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

void ScreenRegion::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        finish(true);
        return;
    }
    dragging_ = true;
    start_ = end_ = event->position().toPoint();
    update();
}

void ScreenRegion::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    end_ = event->position().toPoint();
    update();
}

void ScreenRegion::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    end_ = event->position().toPoint();
    finish(false);
}

void ScreenRegion::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) finish(true);
}

void ScreenRegion::finish(bool cancel) {
    if (done_) return;
    done_ = true;
    const QRect r = QRect(start_, end_).normalized() & rect();
    hide();
    if (cancel || !dragging_ || r.width() < kMinSide || r.height() < kMinSide) {
        Q_EMIT cancelled();
    } else {
        const qreal dpr = shot_.devicePixelRatio();
        const QRect pixels(qRound(r.x() * dpr), qRound(r.y() * dpr), qRound(r.width() * dpr),
                           qRound(r.height() * dpr));
        Q_EMIT selected(shot_.copy(pixels).toImage(), r.translated(geometry().topLeft()));
    }
    close();
}

// ---- ScreenPortal ----

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

}  // namespace

ScreenPortal::ScreenPortal(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

void ScreenPortal::Request() {
    if (!bus_.isConnected()) {
        Q_EMIT failed(QStringLiteral("There is no desktop session bus to reach the screenshot "
                                     "portal."));
        return;
    }
    // The request's object path is known before the call, so the answer cannot be missed.
    const QString token = QStringLiteral("kestrune%1").arg(++requests_);
    QString sender = bus_.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    if (!requestPath_.isEmpty())
        bus_.disconnect(kPortalService, requestPath_, QStringLiteral("org.freedesktop.portal.Request"),
                        QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    requestPath_ = kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    bus_.connect(kPortalService, requestPath_, QStringLiteral("org.freedesktop.portal.Request"),
                 QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, QStringLiteral("org.freedesktop.portal.Screenshot"),
        QStringLiteral("Screenshot"));
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("interactive"), true);
    call << QString() << options;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isError()) {
            Q_EMIT failed(QStringLiteral("The desktop's screenshot portal cannot be reached: ") +
                          reply.error().message());
            return;
        }
        // Older portals answer on a path of their own choice.
        const QString path = reply.value().path();
        if (path != requestPath_) {
            bus_.disconnect(kPortalService, requestPath_,
                            QStringLiteral("org.freedesktop.portal.Request"),
                            QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
            requestPath_ = path;
            bus_.connect(kPortalService, requestPath_,
                         QStringLiteral("org.freedesktop.portal.Request"),
                         QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
        }
    });
}

void ScreenPortal::onResponse(uint response, const QVariantMap& results) {
    if (response == 1) {
        Q_EMIT cancelled();
        return;
    }
    if (response != 0) {
        Q_EMIT failed(QStringLiteral("The desktop refused the screenshot."));
        return;
    }
    const QUrl uri(results.value(QStringLiteral("uri")).toString());
    const QImage image(uri.toLocalFile());
    if (image.isNull()) {
        Q_EMIT failed(QStringLiteral("The screenshot cannot be read: ") + uri.toString());
        return;
    }
    Q_EMIT taken(image);
}

// ---- ScreenLookup ----

ScreenLookup::ScreenLookup(OcrClient& client, QObject* parent) : QObject(parent), client_(client) {}

ScreenLookup* ScreenLookup::ForPopup(QWidget* window, std::function<TfmPopup*()> popup) {
    auto* lookup = new ScreenLookup(*new OcrClient({}, window), window);
    connect(lookup, &ScreenLookup::found, window,
            [popup = std::move(popup)](const QString& text, const QPoint& at) {
                TfmPopup* p = popup();
                if (!p) return;
                p->ShowRecognizedText(text.toStdU16String(),
                                      at.isNull() ? std::nullopt : std::optional<QPoint>(at));
            });
    connect(lookup, &ScreenLookup::failed, window, [window](const QString& message) {
        auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Kestrune"), message,
                                    QMessageBox::Ok, window);
        box->setObjectName(QStringLiteral("screenLookupMessage"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    });
    return lookup;
}

QString ScreenLookup::CaptureKind() {
    const QString forced = qEnvironmentVariable("KESTRUNE_SCREEN_CAPTURE");
    if (forced == QLatin1String("x11") || forced == QLatin1String("portal")) return forced;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) return QStringLiteral("x11");
    if (platform.startsWith(QLatin1String("wayland"))) return QStringLiteral("portal");
    return {};
}

void ScreenLookup::Start() {
    if (busy_) return;
    const QString kind = CaptureKind();
    if (kind.isEmpty()) {
        Q_EMIT failed(QStringLiteral("Looking up text on screen needs an X11 desktop, or a "
                                     "Wayland desktop with the screenshot portal (this one is \"") +
                      QGuiApplication::platformName() + QStringLiteral("\")."));
        return;
    }
    busy_ = true;
    client_.Start();  // its models load while the user picks the region
    if (kind == QLatin1String("portal")) {
        if (!portal_) {
            portal_ = new ScreenPortal(QDBusConnection::sessionBus(), this);
            connect(portal_, &ScreenPortal::taken, this,
                    [this](const QImage& image) { read(image, QPoint()); });
            connect(portal_, &ScreenPortal::failed, this, [this](const QString& message) {
                busy_ = false;
                Q_EMIT failed(message);
            });
            connect(portal_, &ScreenPortal::cancelled, this, [this] { busy_ = false; });
        }
        portal_->Request();
        return;
    }
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QPixmap shot = screen ? screen->grabWindow(0) : QPixmap();
    if (shot.isNull()) {
        busy_ = false;
        Q_EMIT failed(QStringLiteral("The screen cannot be captured."));
        return;
    }
    region_ = new ScreenRegion(shot, screen->geometry());
    connect(region_, &ScreenRegion::selected, this, [this](const QImage& image, const QRect& r) {
        region_ = nullptr;
        read(image, r.center());
    });
    connect(region_, &ScreenRegion::cancelled, this, [this] {
        region_ = nullptr;
        busy_ = false;
    });
    region_->show();
    region_->raise();
    region_->activateWindow();
    region_->grabKeyboard();
}

void ScreenLookup::read(const QImage& image, const QPoint& where) {
    client_.Recognize(image, [this, where](const OcrReply& reply) {
        busy_ = false;
        if (!reply.usable) {
            Q_EMIT failed(QStringLiteral("The text cannot be read: ") +
                          QString::fromStdString(reply.result.reason));
            return;
        }
        switch (reply.result.status) {
            case OcrStatus::Text:
                Q_EMIT found(QString::fromStdString(reply.result.text), where);
                break;
            case OcrStatus::NoText:
                Q_EMIT failed(QStringLiteral("No Chinese text found"));
                break;
            case OcrStatus::BadImage:
            case OcrStatus::NoModels:
                Q_EMIT failed(QStringLiteral("The text cannot be read: ") +
                              QString::fromStdString(reply.result.reason));
                break;
        }
    });
}

}  // namespace kes
