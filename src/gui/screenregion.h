// Looking up text on screen: the region the user picks, and the text read in it.
//
// On X11 the screen is frozen (a picture of it fills the screen) and the user drags a
// rectangle; Esc, a right click or a mere click cancels. On Wayland the desktop's screenshot
// portal (org.freedesktop.portal.Screenshot, interactive) lets the user pick the area. Elsewhere
// the user is told why it cannot be done. The region goes to the recognizer process (OcrClient).
#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QVariantMap>
#include <QWidget>
#include <functional>

namespace kes {

class OcrClient;
class TfmPopup;

// The frozen screen with the rectangle being dragged.
class ScreenRegion : public QWidget {
    Q_OBJECT
  public:
    // Shows `shot`, a picture of the screen area `geometry`, over that area.
    ScreenRegion(const QPixmap& shot, const QRect& geometry);

    // Rectangles smaller than this on either side count as a click.
    static constexpr int kMinSide = 4;

  Q_SIGNALS:
    // The picked part of the picture (in its own pixels), and the rectangle on screen.
    void selected(const QImage& region, const QRect& onScreen);
    void cancelled();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void finish(bool cancel);

    QPixmap shot_;
    QPoint start_, end_;
    bool dragging_ = false;
    bool done_ = false;
};

// The desktop's screenshot portal, asked for an interactive screenshot.
class ScreenPortal : public QObject {
    Q_OBJECT
  public:
    explicit ScreenPortal(QDBusConnection bus, QObject* parent = nullptr);
    void Request();

  Q_SIGNALS:
    void taken(const QImage& image);
    void failed(const QString& message);
    void cancelled();

  private Q_SLOTS:
    void onResponse(uint response, const QVariantMap& results);

  private:
    QDBusConnection bus_;
    QString requestPath_;
    int requests_ = 0;
};

// The whole path from the menu item (or `kestrune popup --screen`) to the text.
class ScreenLookup : public QObject {
    Q_OBJECT
  public:
    // `client` (kept by the caller) reads the regions.
    explicit ScreenLookup(OcrClient& client, QObject* parent = nullptr);
    // The main window's lookup, made with its own OcrClient (both owned by `window`): the text
    // read goes to the popup `popup` returns (ShowRecognizedText; null: nowhere, the program
    // ends), a failure to a message box (screenLookupMessage) over `window`.
    static ScreenLookup* ForPopup(QWidget* window, std::function<TfmPopup*()> popup);

    // How the region is picked: "x11", "portal", or "" (neither). KESTRUNE_SCREEN_CAPTURE
    // ("x11" or "portal") overrides what the toolkit's platform suggests.
    static QString CaptureKind();

    // Lets the user pick a region; ends in found(), failed() or nothing (cancelled).
    void Start();
    // From Start() until the text is read, the reading failed or the user cancelled.
    bool busy() const { return busy_; }
    // The selector while it is shown (X11), for tests.
    ScreenRegion* region() const { return region_; }

  Q_SIGNALS:
    // The text read in the region; `where` is the region's centre (unknown: null point).
    void found(const QString& text, const QPoint& where);
    void failed(const QString& message);

  private:
    void read(const QImage& image, const QPoint& where);

    OcrClient& client_;
    ScreenRegion* region_ = nullptr;
    ScreenPortal* portal_ = nullptr;
    bool busy_ = false;
};

}  // namespace kes
