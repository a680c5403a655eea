// The viewer starts itself afresh (ending its browser engine) only once the released engine
// is not needed: after its page view is released, with nothing else open, no build running
// and no scanning; it first writes setup.ini and passes on what the window shows.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>

#include "gui/dictsetupwindow.h"
#include "gui/findcontrol.h"
#include "gui/mainwindow.h"
#include "gui/viewer.h"
#include "support/windowtest.h"
#include "ui/pageview.h"

using namespace kes;
using namespace kes::test;

class ViewerRestartTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void restartsOnlyWhenTheEngineIsNotNeeded() {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(KESTRUNE_SOURCE_DIR "/data/empty.html", dir.filePath("empty.html")));
        MakeDict(dir.path(), "first", "First dictionary",
                 {QString::fromUtf8("中國 中国 [Zhong1 guo2] /China/"),
                  QString::fromUtf8("中 中 [zhong1] /within/")});
        WriteBytes(dir.filePath("setup.ini"), "[Dicts]\nfirst.idx=1\n");
        ViewerContext ctx;
        ctx.programFolder = dir.path().toStdString();
        int restarts = 0;
        std::optional<ViewerSession> passed;
        int passedLock = 0, passedListen = 0;
        ctx.restart = [&](const ViewerSession& session, int lockFd, int listenFd) {
            ++restarts;
            passed = session;
            passedLock = lockFd;
            passedListen = listenFd;
            return false;  // as when the new process image could not be started
        };
        QStringList steps;
        SetViewerStartedHook([&](const Forms& f) {
            TfmMain& w = *f.fmMain;
            w.setTrayAvailable(true);
            // Shows the window until its page is there, then hides it until the release.
            auto showAndRelease = [&](const char* step) {
                w.show();
                if (!w.pageView() || !w.pageView()->waitUntilIdle(30000))
                    steps << step + QString(w.pageView() ? ": page not idle" : ": no page");
                w.setReleaseDelayMs(50);
                w.close();
                if (!QTest::qWaitFor([&] { return w.pageView() == nullptr; }, 5000))
                    steps << step + QString(": not released");
                QTest::qWait(200);  // the restart is tried right after the release
                steps << step + QString(": %1").arg(restarts);
            };
            // Without a tray (offscreen) the window was shown at the start, with its page.
            steps << QString("shown at start: %1").arg(w.isVisible() && w.pageView());
            // Scanning keeps the engine for the popup.
            Act(w, "acScanClipboard")->setChecked(true);
            showAndRelease("scanning");
            Act(w, "acScanClipboard")->setChecked(false);
            // Another window open.
            f.fmDictSetup->show();
            showAndRelease("other window");
            f.fmDictSetup->hide();
            // A region of the screen being picked (the frozen screen shown), until Esc.
            qputenv("KESTRUNE_SCREEN_CAPTURE", "x11");
            w.LookUpScreen();
            QWidget* region = nullptr;
            for (QWidget* top : QApplication::topLevelWidgets())
                if (top->objectName() == "screenRegion" && top->isVisible()) region = top;
            steps << QString("region shown: %1").arg(region != nullptr);
            showAndRelease("screen lookup");
            if (region) QTest::keyClick(region, Qt::Key_Escape);
            qunsetenv("KESTRUNE_SCREEN_CAPTURE");
            steps << QString("looking up: %1").arg(w.isLookingUpScreen());
                        // A build running.
            w.indexJobs().Busy = 1;
            showAndRelease("busy");
            w.indexJobs().Busy = 0;
            // Nothing in the way: the state is passed on (a failed restart keeps the viewer).
            Inp(w)->setText(QString::fromUtf8("中"));
            QTest::keyClick(Inp(w), Qt::Key_Return);
            showAndRelease("quiet");
            steps << QString("still running: %1").arg(!w.isTerminating());
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        });
        char name[] = "kestrune";
        char* argv[] = {name, nullptr};
        QCOMPARE(RunViewer(1, argv, ctx), 0);
        SetViewerStartedHook({});
        const QStringList expected{"shown at start: 1", "scanning: 0",     "other window: 0",
                                   "region shown: 1",   "screen lookup: 0", "looking up: 0",
                                   "busy: 0",           "quiet: 1",         "still running: 1"};
        QVERIFY2(steps == expected, qPrintable(steps.join(", ")));
        QVERIFY(passed);
        QCOMPARE(passed->Input, std::u16string(u"中"));
        QVERIFY(passed->PageBody.find("within") != std::string::npos);
        QCOMPARE(passed->Tree.size(), std::size_t{1});
        // No socket in this run: nothing to pass on.
        QCOMPARE(passedLock, -1);
        QCOMPARE(passedListen, -1);
        // setup.ini was written before: the scanning switched off again is in it.
        const QByteArray ini = ReadBytes(dir.filePath("setup.ini"));
        QVERIFY2(ini.contains("ScanClipboard=0"), ini.constData());
    }
};

int main(int argc, char** argv) {
    kes::test::PrepareWindowTestEnvironment();
    // No application object here: RunViewer creates its own, as the program does.
    ViewerRestartTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "viewerrestart_test.moc"
