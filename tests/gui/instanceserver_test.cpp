// The running viewer's socket with a real local socket and the real program entry as the other
// side: a second start shows the first (and starts no viewer), `show 中国` searches in the main
// window, `popup 学习` and `popup -` open the popup; garbage, a 10 MB message, a request that
// never ends and a peer of another user are dropped with a log line while the viewer goes on
// serving.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <cstring>
#include <memory>
#include <thread>

#include "app/instance.h"
#include "gui/instanceserver.h"
#include "gui/mainwindow.h"
#include "gui/popupwindow.h"
#include "support/windowtest.h"
#include "ui/pageview.h"

using namespace kes;
using namespace kes::test;

namespace {

const QStringList kDict = {
    QString::fromUtf8("學習 学习 [xue2 xi2] /to learn/to study/"),
    QString::fromUtf8("中國 中国 [Zhong1 guo2] /China/"),
};

// A raw client: connects to `path` and sends `bytes` (from a thread: a large write blocks until
// the viewer reads or drops it); the connection is closed once the peer closes it.
std::thread SendRaw(const std::string& path, std::string bytes) {
    return std::thread([path, bytes = std::move(bytes)] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, path.c_str());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd);
            return;
        }
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) break;  // the viewer closed the connection
            done += static_cast<std::size_t>(n);
        }
        char buf[256];
        while (::recv(fd, buf, sizeof buf, 0) > 0) {
        }
        ::close(fd);
    });
}

}  // namespace

class InstanceServerTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir home_, runtime_;
    Forms forms_;
    std::unique_ptr<TfmMain> main_;
    std::unique_ptr<InstanceListener> listener_;
    std::unique_ptr<InstanceServer> server_;
    QStringList log_;

    std::string socketPath() const { return (runtime_.path() + "/kestrune.sock").toStdString(); }

    // Runs the program entry with `args` against this viewer and returns its exit code, while
    // the viewer keeps serving.
    int RunEntry(const QStringList& args, const QByteArray& input = {}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime_.path());
        env.insert("KESTRUNE_HOME", home_.path());
        env.insert("KESTRUNE_NO_MESSAGE_BOX", "1");
        p.setProcessEnvironment(env);
        QSignalSpy finished(&p, &QProcess::finished);
        p.start(KESTRUNE_BINARY, args);
        if (!p.waitForStarted()) return -1;
        p.write(input);
        p.closeWriteChannel();
        if (!finished.wait(30000)) {
            p.kill();
            p.waitForFinished();
            return -2;
        }
        const QByteArray err = p.readAllStandardError();
        if (!err.isEmpty()) qWarning("entry stderr: %s", err.constData());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -3;
    }

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(QFile::copy(KESTRUNE_SOURCE_DIR "/data/empty.html", home_.path() + "/empty.html"));
        MakeDict(home_.path(), "words", "Words", kDict);
        WriteBytes(home_.path() + "/setup.ini", "[Dicts]\nwords.idx=1\n");
        QCOMPARE(::chmod(runtime_.path().toLocal8Bit().constData(), 0700), 0);
        main_ =
            std::make_unique<TfmMain>(home_.path().toStdString(), forms_, kes::test::PageFactory());
        listener_ = std::make_unique<InstanceListener>(socketPath());
        QCOMPARE(listener_->status(), InstanceListener::Status::Listening);
        server_ = std::make_unique<InstanceServer>(
            listener_->listenFd(), ::getuid(),
            [this](const InstanceMessage& m) { main_->HandleRequest(m); },
            [this](const std::string& line) { log_ << QString::fromStdString(line); });
    }

    void cleanupTestCase() {
        server_.reset();
        listener_.reset();
        main_.reset();
    }

    void secondStartShowsTheFirst() {
        QCOMPARE(main_->isVisible(), false);
        const int before = server_->acceptedRequests();
        // Had it started a viewer instead, the entry would still be running (or have failed).
        QCOMPARE(RunEntry({}), 0);
        QCOMPARE(server_->acceptedRequests(), before + 1);
        QTRY_COMPARE(main_->isVisible(), true);
        QCOMPARE(main_->findChild<QLineEdit*>("edtInp")->text(), QString());
        QCOMPARE(log_, QStringList());
        main_->hide();
    }

    void showSearchesTheQuery() {
        QCOMPARE(RunEntry({"show", QString::fromUtf8("中国")}), 0);
        QTRY_COMPARE(main_->isVisible(), true);
        QTRY_COMPARE(main_->findChild<QLineEdit*>("edtInp")->text(), QString::fromUtf8("中国"));
        QVERIFY(SettledBody(main_->pageView()).contains("China"));
        QCOMPARE(main_->history().H(10), std::u16string(u"中国"));
        main_->hide();
    }

    void popupShowsTheQueryAndStandardInput() {
        QCOMPARE(RunEntry({"popup", QString::fromUtf8("学习")}), 0);
        QTRY_VERIFY(main_->popupIfCreated() && main_->popupIfCreated()->isVisible());
        TfmPopup* p = main_->popupIfCreated();
        QCOMPARE(p->windowTitle(), QString::fromUtf8("学习 - Kestrune"));
        QVERIFY(SettledBody(p->pageView()).contains("to study"));
        QCOMPARE(main_->isVisible(), false);

        p->hide();
        QCOMPARE(RunEntry({"popup", "-"}, QString::fromUtf8("中国\n").toUtf8()), 0);
        QTRY_COMPARE(p->isVisible(), true);
        QCOMPARE(p->windowTitle(), QString::fromUtf8("中国 - Kestrune"));
        QVERIFY(SettledBody(p->pageView()).contains("China"));
        p->hide();
    }

    void badRequestsAreDroppedAndServingGoesOn() {
        log_.clear();
        const int dropped = server_->droppedConnections();
        const std::string path = socketPath();
        // Each drop adds its line; the client ends once the viewer has closed the connection.
        QStringList expected;
        auto dropAndWait = [&](std::string bytes, const QString& line) {
            std::thread t = SendRaw(path, std::move(bytes));
            expected << line;
            const bool arrived = QTest::qWaitFor([&] { return log_.size() >= expected.size(); },
                                                 kInstanceReadTimeoutMs + 5000);
            if (arrived) {
                t.join();
            } else {
                t.detach();  // still waiting for the viewer to close the connection
            }
            QVERIFY(arrived);
        };
        dropAndWait(FrameInstancePayload("garbage{"),
                    "Kestrune: dropped a request: not a JSON document");
        dropAndWait(FrameInstancePayload("{\"version\":9,\"command\":\"show\"}"),
                    "Kestrune: dropped a request: not protocol version 1");
        dropAndWait(FrameInstancePayload(std::string(10 * 1024 * 1024, 'x')),
                    "Kestrune: dropped a request: message of 10485760 bytes (at most 65536)");
        dropAndWait(std::string("\0\0\0\x10{\"vers", 10),
                    "Kestrune: dropped a request: no complete request in time");
        dropAndWait(std::string("\0\0", 2),
                    "Kestrune: dropped a request: no complete request in time");
        QCOMPARE(log_, expected);
        QCOMPARE(server_->droppedConnections(), dropped + 5);

        // Still serving.
        QCOMPARE(RunEntry({"show", QString::fromUtf8("学习")}), 0);
        QTRY_COMPARE(main_->findChild<QLineEdit*>("edtInp")->text(), QString::fromUtf8("学习"));
        main_->hide();
    }

    // 50 `show` and 10 `popup` started at the same moment: each is answered (none waits for
    // the searches and the popup's first page before it), all are carried out in the order
    // they were taken, and the viewer goes on serving.
    void manyCallersAtOnceAreAllAnswered() {
        log_.clear();
        const int before = server_->acceptedRequests();
        std::vector<std::unique_ptr<QProcess>> callers;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime_.path());
        env.insert("KESTRUNE_HOME", home_.path());
        env.insert("KESTRUNE_NO_MESSAGE_BOX", "1");
        for (int i = 0; i < 60; ++i) {
            auto p = std::make_unique<QProcess>();
            p->setProcessEnvironment(env);
            const bool popup = i % 6 == 5;
            p->start(KESTRUNE_BINARY, {popup ? "popup" : "show",
                                       QString::fromUtf8(i % 2 ? "学习" : "中国")});
            callers.push_back(std::move(p));
        }
        QElapsedTimer clock;
        clock.start();
        for (auto& p : callers) {
            QTRY_VERIFY_WITH_TIMEOUT(p->state() == QProcess::NotRunning, 30000);
            QCOMPARE(log_, QStringList());
            QCOMPARE(p->readAllStandardError(), QByteArray());
            QCOMPARE(p->exitCode(), 0);
        }
        qInfo("60 callers answered in %lld ms", static_cast<long long>(clock.elapsed()));
        QCOMPARE(server_->acceptedRequests(), before + 60);
        QTRY_VERIFY_WITH_TIMEOUT(server_->idle(), 20000);
        QCOMPARE(log_, QStringList());
        QCOMPARE(RunEntry({"show", QString::fromUtf8("学习")}), 0);
        QTRY_COMPARE(main_->findChild<QLineEdit*>("edtInp")->text(), QString::fromUtf8("学习"));
        main_->hide();
        if (main_->popupIfCreated()) main_->popupIfCreated()->hide();
    }

    // Beyond the queue's length a request is refused at once with the reason, none hangs, and
    // what was taken is carried out in order.
    void aFullQueueRefusesWithTheReason() {
        QTemporaryDir runtime;
        QCOMPARE(::chmod(runtime.path().toLocal8Bit().constData(), 0700), 0);
        InstanceListener listener((runtime.path() + "/kestrune.sock").toStdString());
        QCOMPARE(listener.status(), InstanceListener::Status::Listening);
        QStringList done, lines;
        InstanceServer server(
            listener.listenFd(), ::getuid(),
            [&](const InstanceMessage& m) {
                done << QString::fromStdString(m.query);
                QThread::msleep(100);  // a slow search: the loop is kept from reading
            },
            [&](const std::string& line) { lines << QString::fromStdString(line); });
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("KESTRUNE_HOME", home_.path());
        env.insert("KESTRUNE_NO_MESSAGE_BOX", "1");
        std::vector<std::unique_ptr<QProcess>> callers;
        for (int i = 0; i < 90; ++i) {
            auto p = std::make_unique<QProcess>();
            p->setProcessEnvironment(env);
            p->start(KESTRUNE_BINARY, {"show", QString::number(i)});
            callers.push_back(std::move(p));
        }
        int answered = 0, refused = 0;
        for (auto& p : callers) {
            QTRY_VERIFY_WITH_TIMEOUT(p->state() == QProcess::NotRunning, 30000);
            const QByteArray err = p->readAllStandardError();
            if (p->exitCode() == 0) {
                QCOMPARE(err, QByteArray());
                ++answered;
            } else {
                QCOMPARE(p->exitCode(), 1);
                QCOMPARE(err, QByteArray("Kestrune: The viewer refused the request: the viewer is "
                                         "busy: 64 requests are waiting\n"));
                ++refused;
            }
        }
        QCOMPARE(answered + refused, 90);
        QVERIFY(refused > 0);
        QCOMPARE(server.refusedRequests(), refused);
        QTRY_VERIFY_WITH_TIMEOUT(server.idle(), 30000);
        QCOMPARE(done.size(), answered);
        // Carried out in the order taken: the order the callers' requests were read, which is
        // what the log of acceptance would give; here every query is a distinct number.
        QCOMPARE(QSet<QString>(done.begin(), done.end()).size(), answered);
    }

    void aPeerOfAnotherUserIsRefused() {
        if (::getuid() != 0) QSKIP("needs root to run a process as another user");
        log_.clear();
        // Opened up by mistake: the peer check still keeps the other user out.
        const QByteArray dir = runtime_.path().toLocal8Bit();
        QCOMPARE(::chmod(dir.constData(), 0755), 0);
        QCOMPARE(::chmod(socketPath().c_str(), 0666), 0);
        // Made before the fork: the child only makes system calls.
        const std::string frame =
            FrameInstancePayload(EncodeInstanceMessage({InstanceCommand::Show, "x"}));
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, socketPath().c_str());
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(9);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) ::_exit(8);
            (void)!::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
            char c;
            // Closed (or reset, the request unread) without a reply.
            ::_exit(::recv(fd, &c, 1, 0) <= 0 ? 0 : 7);
        }
        QTRY_COMPARE(log_, QStringList({"Kestrune: refused a connection of user id 65534"}));
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(main_->findChild<QLineEdit*>("edtInp")->text() == "x", false);
        QCOMPARE(::chmod(socketPath().c_str(), 0600), 0);
        QCOMPARE(::chmod(dir.constData(), 0700), 0);
    }
};

int main(int argc, char** argv) {
    return kes::test::RunWindowTest<InstanceServerTest>(argc, argv);
}

#include "instanceserver_test.moc"
