// The end of the desktop session is a quit: a viewer process (RunViewer, as the program runs
// it) with changed options and placement, its page engine running, is sent SIGTERM, SIGHUP or
// SIGINT and writes the same setup.ini as "&Quit", byte for byte, then ends with exit code 0
// and leaves no helper process behind. More signals during the save do not cut it short; a
// kill during the save leaves the old or the new file whole; a failed save is said on stderr.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <thread>

#include "gui/mainwindow.h"
#include "gui/viewer.h"
#include "support/windowtest.h"
#include "ui/pageview.h"

using namespace kes;
using kes::test::ReadBytes;
using kes::test::WriteBytes;

namespace {

enum class End { Quit, Signal };

// Runs the viewer for `folder` in a child process. Once its page is loaded the options
// "&Show UCS-2" and "&Translate text (instead of word)" are switched on, the window is moved
// and resized, and then it quits (End::Quit) or writes one byte to `ready` and waits.
pid_t StartViewer(const QString& folder, End end, int ready, const QString& stderrPath) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    const int err =
        ::open(stderrPath.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(err, 2);
    ViewerContext ctx;
    ctx.programFolder = folder.toStdString();
    SetViewerStartedHook([end, ready](const Forms& forms) {
        TfmMain* w = forms.fmMain;
        auto* poll = new QTimer(w);
        poll->setInterval(20);
        QObject::connect(poll, &QTimer::timeout, w, [w, poll, end, ready] {
            if (!w->pageView() || !w->pageView()->isLoaded() || w->pageView()->appliedBodies() == 0)
                return;
            poll->stop();
            w->findChild<QAction*>("acShowUcs2")->trigger();
            w->findChild<QAction*>("acTranslateAllWords")->trigger();
            w->setGeometry(33, 44, 640, 420);
            if (end == End::Quit) {
                w->findChild<QAction*>("acExit")->trigger();
            } else {
                const char byte = 'R';
                [[maybe_unused]] ssize_t n = ::write(ready, &byte, 1);
            }
        });
        poll->start();
    });
    char name[] = "kestrune";
    char* argv[] = {name, nullptr};
    ::_exit(RunViewer(1, argv, ctx));
}

// Waits for the child's byte on `ready` (false after 90 s).
bool WaitReady(int ready) {
    pollfd p{ready, POLLIN, 0};
    if (::poll(&p, 1, 90000) != 1) return false;
    char byte = 0;
    return ::read(ready, &byte, 1) == 1;
}

// The child's exit status; -1 when it has not ended within 60 s (it is killed then).
int WaitEnd(pid_t pid) {
    for (int i = 0; i < 6000; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

// True once every process left behind by the children (the engine's helpers, handed to this
// process as their subreaper) has ended, within 20 s.
bool HelpersEnded() {
    for (int i = 0; i < 2000; ++i) {
        const pid_t p = ::waitpid(-1, nullptr, WNOHANG);
        if (p < 0) return errno == ECHILD;
        if (p == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// A program folder with empty.html and a setup.ini holding `extra` as a section of its own.
void MakeFolder(const QString& folder, const QByteArray& extra) {
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::copy(KESTRUNE_SOURCE_DIR "/data/empty.html", folder + "/empty.html"));
    WriteBytes(folder + "/setup.ini", "[Notes]\n" + extra);
}

}  // namespace

class SessionEndTest : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir dir_;
    QByteArray quitBytes_;  // setup.ini as "&Quit" wrote it

    // The setup.ini that ending the viewer by `end` (and the sending of signals by `send`,
    // given the child's pid) leaves, with the exit code; `before` gets the file as the
    // started viewer left it (its dictionary list written).
    QByteArray RunOnce(const QString& name, End end, const std::function<void(pid_t)>& send,
                       int* code, const QByteArray& extra = "a=1\n", QByteArray* before = nullptr) {
        const QString folder = dir_.filePath(name);
        MakeFolder(folder, extra);
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) return "<no pipe>";
        const pid_t pid = StartViewer(folder, end, pipeFds[1], folder + ".stderr");
        ::close(pipeFds[1]);
        if (end == End::Signal) {
            if (!WaitReady(pipeFds[0])) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
                ::close(pipeFds[0]);
                *code = -2;
                return "<not ready>";
            }
            if (before) *before = ReadBytes(folder + "/setup.ini");
            send(pid);
        }
        ::close(pipeFds[0]);
        *code = WaitEnd(pid);
        if (*code != 0) qWarning("%s", ReadBytes(folder + ".stderr").right(3000).constData());
        return ReadBytes(folder + "/setup.ini");
    }

  private Q_SLOTS:
    void initTestCase() {
        // The engine's helper processes come to this process when a viewer ends.
        QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        int code = 0;
        quitBytes_ = RunOnce("quit", End::Quit, nullptr, &code);
        QCOMPARE(code, 0);
        QVERIFY(HelpersEnded());
        // The options and the placement as they were changed (the offscreen frame is 2 pixels
        // wide); the other section kept.
        QVERIFY2(quitBytes_.startsWith("[Notes]\na=1\n"), quitBytes_.constData());
        for (const char* line : {"\nTranslateAll=1\n", "\nShowUcs2=1\n",
                                 "\nMaximized=0\nX=31\n"
                                 "Y=42\nDX=640\nDY=420\n"})
            QVERIFY2(quitBytes_.contains(line), line);
    }

    void aSignalSavesWhatQuitSaves_data() {
        QTest::addColumn<int>("signo");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void aSignalSavesWhatQuitSaves() {
        QFETCH(int, signo);
        int code = 0;
        const QByteArray saved = RunOnce(
            QTest::currentDataTag(), End::Signal, [signo](pid_t p) { ::kill(p, signo); }, &code);
        QCOMPARE(code, 0);
        QCOMPARE(saved, quitBytes_);
        QVERIFY(HelpersEnded());
    }

    // A large file takes a while to write: signals keep coming all the while.
    void moreSignalsDoNotCutTheSaveShort() {
        const QByteArray extra =
            QByteArray("note=").append(QByteArray(60, 'x')).append('\n').repeated(50000);  // 3.3 MB
        int code = 0;
        const QByteArray saved = RunOnce(
            "flood", End::Signal,
            [](pid_t p) {
                ::kill(p, SIGTERM);
                for (int i = 0; i < 300; ++i) {
                    ::kill(p, (i % 3 == 0) ? SIGHUP : (i % 3 == 1) ? SIGINT : SIGTERM);
                    std::this_thread::sleep_for(std::chrono::microseconds(500));
                }
            },
            &code, extra);
        QCOMPARE(code, 0);
        QCOMPARE(saved, "[Notes]\n" + extra + quitBytes_.mid(12));
        QVERIFY(HelpersEnded());
    }

    // Killed at some moment of the save: the file is the one before or the one after.
    void aKillDuringTheSaveLeavesOneWholeFile() {
        const QByteArray extra =
            QByteArray("note=").append(QByteArray(60, 'y')).append('\n').repeated(50000);
        const QByteArray after = "[Notes]\n" + extra + quitBytes_.mid(12);
        for (const int delayUs : {0, 2000, 8000, 20000, 60000}) {
            int code = 0;
            QByteArray before;
            const QByteArray left = RunOnce(
                QStringLiteral("kill%1").arg(delayUs), End::Signal,
                [delayUs](pid_t p) {
                    ::kill(p, SIGTERM);
                    std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
                    ::kill(p, SIGKILL);
                },
                &code, extra, &before);
            QVERIFY2(before.startsWith("[Notes]\n" + extra), qPrintable(QString::number(delayUs)));
            QVERIFY2(left == before || left == after, qPrintable(QString::number(delayUs)));
            HelpersEnded();  // the killed viewer's helpers end without it
        }
    }

    // setup.ini cannot be read any more (a folder in its place): the viewer says so on stderr,
    // shows no box (it ends by itself) and leaves the folder as it was.
    void aFailedSaveIsSaidOnStderr() {
        int code = 0;
        const QString folder = dir_.filePath("failing");
        RunOnce(
            "failing", End::Signal,
            [&folder](pid_t p) {
                QFile::remove(folder + "/setup.ini");
                QDir().mkdir(folder + "/setup.ini");
                ::kill(p, SIGTERM);
            },
            &code);
        QCOMPARE(code, 0);
        QVERIFY(QFileInfo(folder + "/setup.ini").isDir());
        const QByteArray err = ReadBytes(folder + ".stderr");
        const QByteArray expected =
            "Kestrune: SIGTERM: ERROR: The settings could not be saved to "
            "setup.ini! Cannot open file (not a regular file): " +
            QFile::encodeName(folder) + "/setup.ini\n";
        QVERIFY2(err.contains(expected), err.constData());
        QVERIFY(HelpersEnded());
    }
};

int main(int argc, char** argv) {
    kes::test::PrepareWindowTestEnvironment();
    // No application object here: each viewer runs in a child process of its own.
    SessionEndTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "sessionend_test.moc"
