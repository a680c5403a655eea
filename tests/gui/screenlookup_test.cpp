// Looking up text on screen, as the user meets it: on a real X server (run by
// screenlookup_test.sh under Xvfb) the region is dragged with xdotool over Chinese text shown
// in a window, and Esc cancels; against a fake screenshot portal on a private session bus the
// picked area is read, and a refused request is told. The text comes from the real recognizer
// process (kestrune ocr --serve).
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "gui/ocrclient.h"
#include "gui/screenregion.h"

namespace kes {
namespace {

// Runs xdotool with `args` while the event loop goes on.
void XDoTool(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    while (!p.waitForFinished(10)) QCoreApplication::processEvents();
}

}  // namespace

class ScreenLookupTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { client_ = new OcrClient(QStringLiteral(KESTRUNE_BINARY), this); }
    void cleanup() { delete client_; }

    void x11DragReadsTheRegion() {
        if (qEnvironmentVariable("SCREEN_TEST") != QLatin1String("x11"))
            QSKIP("run by screenlookup_test.sh x11");
        // Characters written alike in both scripts: which script is kept is the engine tests' matter.
        QLabel text(QStringLiteral("天天中文"));
        QFont font(QStringLiteral("Noto Sans CJK SC"));
        font.setPixelSize(28);
        text.setFont(font);
        text.setStyleSheet(QStringLiteral("background: white; color: black; padding: 10px"));
        text.setWindowFlags(Qt::FramelessWindowHint);
        text.setGeometry(100, 100, 200, 60);
        text.show();
        QVERIFY(QTest::qWaitForWindowExposed(&text));
        QTest::qWait(300);

        ScreenLookup lookup(*client_);
        QSignalSpy found(&lookup, &ScreenLookup::found);
        QSignalSpy failed(&lookup, &ScreenLookup::failed);
        lookup.Start();
        QVERIFY(lookup.region());
        QVERIFY(QTest::qWaitForWindowExposed(lookup.region()));
        XDoTool({"mousemove", "100", "100", "mousedown", "1", "mousemove", "200", "130",
                 "mousemove", "300", "160", "mouseup", "1"});
        QTRY_COMPARE_WITH_TIMEOUT(found.count() + failed.count(), 1, 30000);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(found.at(0).at(0).toString(), QStringLiteral("天天中文"));
        QCOMPARE(found.at(0).at(1).toPoint(), QPoint(200, 130));
        QVERIFY(!lookup.region());

        // Esc on the frozen screen: nothing is read, the selector goes away.
        lookup.Start();
        QVERIFY(lookup.region());
        QVERIFY(QTest::qWaitForWindowExposed(lookup.region()));
        QPointer<ScreenRegion> region = lookup.region();
        XDoTool({"key", "Escape"});
        QTRY_VERIFY_WITH_TIMEOUT(region.isNull(), 5000);
        QTest::qWait(300);
        QCOMPARE(found.count(), 1);
        QCOMPARE(failed.count(), 0);
        // A click without a drag cancels too.
        lookup.Start();
        QVERIFY(QTest::qWaitForWindowExposed(lookup.region()));
        region = lookup.region();
        XDoTool({"mousemove", "150", "120", "click", "1"});
        QTRY_VERIFY_WITH_TIMEOUT(region.isNull(), 5000);
        QCOMPARE(found.count() + failed.count(), 1);
    }

    void portalPickedAreaIsRead() {
        if (qEnvironmentVariable("SCREEN_TEST") != QLatin1String("portal"))
            QSKIP("run by screenlookup_test.sh portal");
        qputenv("KESTRUNE_SCREEN_CAPTURE", "portal");
        ScreenLookup lookup(*client_);
        QSignalSpy found(&lookup, &ScreenLookup::found);
        QSignalSpy failed(&lookup, &ScreenLookup::failed);
        // The fake portal answers with tests/ocr/images/normal.png, then refuses.
        lookup.Start();
        QTRY_COMPARE_WITH_TIMEOUT(found.count() + failed.count(), 1, 30000);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(found.at(0).at(0).toString(), QStringLiteral("今天天气很好"));
        QCOMPARE(found.at(0).at(1).toPoint(), QPoint());
        lookup.Start();
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);
        QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("The desktop refused the screenshot."));
        QCOMPARE(found.count(), 1);
    }

    void withoutPortalOrX11TheUserIsToldWhy() {
        if (!qEnvironmentVariableIsEmpty("SCREEN_TEST")) QSKIP("offscreen only");
        qunsetenv("KESTRUNE_SCREEN_CAPTURE");
        ScreenLookup lookup(*client_);
        QSignalSpy failed(&lookup, &ScreenLookup::failed);
        lookup.Start();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(),
                 QStringLiteral("Looking up text on screen needs an X11 desktop, or a Wayland "
                                "desktop with the screenshot portal (this one is \"offscreen\")."));
        // No session bus: the portal path says so.
        qputenv("KESTRUNE_SCREEN_CAPTURE", "portal");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        ScreenLookup portal(*client_);
        QSignalSpy portalFailed(&portal, &ScreenLookup::failed);
        portal.Start();
        QTRY_COMPARE_WITH_TIMEOUT(portalFailed.count(), 1, 10000);
        QVERIFY2(portalFailed.at(0).at(0).toString().startsWith(QStringLiteral("The desktop's screenshot portal cannot be reached")) ||
                     portalFailed.at(0).at(0).toString() ==
                         QStringLiteral("There is no desktop session bus to reach the screenshot portal."),
                 qPrintable(portalFailed.at(0).at(0).toString()));
    }

  private:
    OcrClient* client_ = nullptr;
};

}  // namespace kes

QTEST_MAIN(kes::ScreenLookupTest)
#include "screenlookup_test.moc"
