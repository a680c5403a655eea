#include "gui/icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <map>

namespace kes {

namespace {

constexpr int kSizes[] = {16, 24, 32};

template <typename Draw>
QIcon Paint(Draw draw) {
    QIcon icon;
    for (int size : kSizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);  // every drawing is made on a 16 x 16 grid
        draw(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

const QColor kInk(0x10, 0x40, 0x80);

void Arrow(QPainter& p, bool left) {
    QPainterPath path;
    // A broad arrow pointing right; mirrored for "Back".
    path.moveTo(2, 6);
    path.lineTo(8, 6);
    path.lineTo(8, 2.5);
    path.lineTo(14, 8);
    path.lineTo(8, 13.5);
    path.lineTo(8, 10);
    path.lineTo(2, 10);
    path.closeSubpath();
    if (left) {
        p.translate(16, 0);
        p.scale(-1, 1);
    }
    p.setPen(QPen(kInk.darker(130), 0.8));
    p.setBrush(QColor(0x3a, 0x7b, 0xd5));
    p.drawPath(path);
}

QIcon PaintMainIcon(int index) {
    switch (index) {
        case kImageRefresh:
            return Paint([](QPainter& p) {
                // A circular arrow.
                QPen pen(QColor(0x2a, 0x8a, 0x3a), 2.2);
                pen.setCapStyle(Qt::RoundCap);
                p.setPen(pen);
                p.setBrush(Qt::NoBrush);
                p.drawArc(QRectF(3, 3, 10, 10), 100 * 16, 280 * 16);
                QPainterPath head;
                head.moveTo(7.2, 0.8);
                head.lineTo(11.2, 3.2);
                head.lineTo(7.2, 5.8);
                head.closeSubpath();
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0x2a, 0x8a, 0x3a));
                p.drawPath(head);
            });
        case kImageDictionary:
            return Paint([](QPainter& p) {
                // A closed book.
                p.setPen(QPen(QColor(0x50, 0x20, 0x10), 0.8));
                p.setBrush(QColor(0xb0, 0x30, 0x20));
                p.drawRoundedRect(QRectF(3, 1.5, 10, 13), 1.2, 1.2);
                p.setBrush(QColor(0xf4, 0xec, 0xd8));
                p.setPen(Qt::NoPen);
                p.drawRect(QRectF(4.2, 12, 8.3, 1.6));
                p.setPen(QPen(QColor(0xf4, 0xd0, 0x60), 1.0));
                p.drawLine(QPointF(6, 5), QPointF(11, 5));
                p.drawLine(QPointF(6, 7), QPointF(10, 7));
            });
        case kImageWord:
            return Paint([](QPainter& p) {
                // A sheet with lines of text.
                p.setPen(QPen(QColor(0x60, 0x60, 0x60), 0.8));
                p.setBrush(Qt::white);
                p.drawRect(QRectF(4, 2, 8.5, 12));
                p.setPen(QPen(kInk, 1.0));
                for (double y : {5.0, 7.5, 10.0})
                    p.drawLine(QPointF(5.8, y), QPointF(10.8, y));
            });
        case kImageBack:
            return Paint([](QPainter& p) { Arrow(p, true); });
        case kImageFwd:
            return Paint([](QPainter& p) { Arrow(p, false); });
        default:
            return QIcon();
    }
}

}  // namespace

QIcon MainIcon(int index) {
    // Painted once: every new icon would leave its own pixmaps in the toolkit's pixmap cache
    // (the tree gets its word icon at every search). Kept to the end of the process, so that
    // no icon is destroyed after the application object.
    static auto* painted = new std::map<int, QIcon>;
    auto it = painted->find(index);
    if (it == painted->end()) it = painted->emplace(index, PaintMainIcon(index)).first;
    return it->second;
}

QIcon AppIcon() {
    // The application icon (packaging/icons/org.kestrune.Kestrune.svg, drawn on a 64 x 64
    // grid): the character 字 in white strokes on a red seal.
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 64.0, size / 64.0);
        QLinearGradient seal(0, 3, 0, 61);
        seal.setColorAt(0, QColor(0xc8, 0x32, 0x2a));
        seal.setColorAt(1, QColor(0x9e, 0x1c, 0x18));
        p.setPen(Qt::NoPen);
        p.setBrush(seal);
        p.drawRoundedRect(QRectF(3, 3, 58, 58), 12, 12);
        p.setPen(QPen(QColor(0x6e, 0x10, 0x0c), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(3.75, 3.75, 56.5, 56.5), 11.25, 11.25);
        QPen stroke(Qt::white, 5.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(stroke);
        auto polyline = [&p](std::initializer_list<QPointF> points) {
            QPainterPath path;
            path.moveTo(*points.begin());
            for (auto it = points.begin() + 1; it != points.end(); ++it)
                path.lineTo(*it);
            p.drawPath(path);
        };
        polyline({{32, 9.5}, {33.5, 15}});                           // the dot
        polyline({{14.5, 27}, {14.5, 20}, {49.5, 20}, {47.5, 26}});  // the roof
        polyline({{21, 30.5}, {42.5, 30.5}, {33, 38.5}});            // the hooked top stroke
        QPainterPath hook;                                           // the vertical, hooked
        hook.moveTo(32.5, 38.5);
        hook.lineTo(32.5, 53);
        hook.quadTo(32.5, 57.5, 27.5, 55.5);
        p.drawPath(hook);
        polyline({{13.5, 43.5}, {50.5, 43.5}});  // the crossbar
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace kes
