// The viewer branch as the program runs it: refusal without empty.html, the five windows in
// their order, the window shown when there is no tray, the end of the loop.
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "gui/mainwindow.h"
#include "gui/userdictwindow.h"
#include "gui/viewer.h"
#include "support/windowtest.h"

using namespace kes;

class ViewerTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void refusesWithoutEmptyHtml() {
        QTemporaryDir dir;
        ViewerContext ctx;
        ctx.programFolder = dir.path().toStdString();
        std::vector<std::string> shown;
        ctx.showMessage = [&](const std::string& t) { shown.push_back(t); };
        char name[] = "kestrune";
        char* argv[] = {name, nullptr};
        QCOMPARE(RunViewer(1, argv, ctx), 1);
        QCOMPARE(shown, std::vector<std::string>({"Unable to open file: empty.html"}));
        QCOMPARE(QCoreApplication::instance(), nullptr);  // no window was created
        QCOMPARE(QFile::exists(dir.filePath("setup.ini")), false);
    }

    void refusesWithoutADisplay() {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(KESTRUNE_SOURCE_DIR "/data/empty.html", dir.filePath("empty.html")));
        ViewerContext ctx;
        ctx.programFolder = dir.path().toStdString();
        const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
        const QByteArray display = qgetenv("DISPLAY");
        const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
        qunsetenv("QT_QPA_PLATFORM");
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
        char name[] = "kestrune";
        char* argv[] = {name, nullptr};
        const int code = RunViewer(1, argv, ctx);
        qputenv("QT_QPA_PLATFORM", platform);
        if (!display.isEmpty()) qputenv("DISPLAY", display);
        if (!wayland.isEmpty()) qputenv("WAYLAND_DISPLAY", wayland);
        QCOMPARE(code, 1);
        QCOMPARE(QCoreApplication::instance(), nullptr);
        QCOMPARE(QFile::exists(dir.filePath("setup.ini")), false);
    }

    void runsTheWindowsAndEndsAfterTheFirstPage() {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(KESTRUNE_SOURCE_DIR "/data/empty.html", dir.filePath("empty.html")));
        ViewerContext ctx;
        ctx.programFolder = dir.path().toStdString();
        QStringList dialogs;
        QString mainTitle, userdictPath;
        bool mainVisible = false;
        bool allCreated = false;
        SetViewerStartedHook([&](const Forms& f) {
            allCreated =
                f.fmMain && f.fmUserdict && f.fmDictSetup && f.fmDuplicates && f.fmEditString;
            mainTitle = f.fmMain->windowTitle();
            userdictPath = QString::fromStdString(f.fmUserdict->userdict().path());
            mainVisible = f.fmMain->isVisible();
            // The secondary windows are children of the main window, in creation order.
            for (QObject* child : f.fmMain->children())
                if (auto* d = qobject_cast<QDialog*>(child))
                    dialogs << d->objectName() + "=" + d->windowTitle() +
                                   (d->isVisible() ? "+" : "");
        });
        qputenv("KESTRUNE_EXIT_WHEN_IDLE", "1");
        char name[] = "kestrune";
        char* argv[] = {name, nullptr};
        QCOMPARE(RunViewer(1, argv, ctx), 0);
        qunsetenv("KESTRUNE_EXIT_WHEN_IDLE");
        SetViewerStartedHook({});
        QVERIFY(allCreated);
        QCOMPARE(mainTitle, QString("Kestrune"));
        QCOMPARE(mainVisible, true);  // no tray offscreen: the window is shown
        QCOMPARE(userdictPath, dir.filePath("userdict.txt"));
        QCOMPARE(dialogs,
                 QStringList({"fmUserdict=User dictionary file", "fmDictSetup=Dictionaries",
                              "fmDuplicates=Duplicate entries", "fmEditString=Edit"}));
        // The start-up ran: the dictionary list was written.
        QCOMPARE(QFile::exists(dir.filePath("setup.ini")), true);
    }
};

int main(int argc, char** argv) {
    kes::test::PrepareWindowTestEnvironment();
    // No application object here: RunViewer creates its own, as the program does.
    ViewerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "viewer_test.moc"
