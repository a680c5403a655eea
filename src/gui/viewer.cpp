#include "gui/viewer.h"

#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>

#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/memoryrelease.h"
#include "base/paths.h"
#include "gui/dictsetupwindow.h"
#include "gui/duplicateswindow.h"
#include "gui/editstringwindow.h"
#include "gui/forms.h"
#include "gui/idlerelease.h"
#include "gui/instanceserver.h"
#include "gui/mainwindow.h"
#include "gui/popupwindow.h"
#include "gui/sessionend.h"
#include "gui/userdictwindow.h"
#include "gui/writepad.h"
#include "ui/dialogs.h"
#include "ui/pageloader.h"
#include "ui/pageview.h"

namespace kes {

namespace {

bool Set(const char* v) {
    return v != nullptr && *v != '\0';
}

// Milliseconds since the process started (from /proc; -1 when unknown).
long long MillisecondsSinceStart() {
    std::FILE* f = std::fopen("/proc/self/stat", "r");
    if (!f) return -1;
    char buf[2048];
    const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = '\0';
    // Field 22 (start time in clock ticks after boot) counts from the last ')' (field 2 ends).
    const char* p = std::strrchr(buf, ')');
    if (!p) return -1;
    unsigned long long start = 0;
    int field = 2;
    for (const char* q = p + 1; *q && field < 22; ++q) {
        if (*q == ' ') {
            ++field;
            if (field == 22) start = std::strtoull(q + 1, nullptr, 10);
        }
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const long ticks = sysconf(_SC_CLK_TCK);
    if (ticks <= 0) return -1;
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000 -
           static_cast<long long>(start * 1000 / static_cast<unsigned long long>(ticks));
}

// With KESTRUNE_PAGE_TIMING set, the viewer prints when the main window is shown, when its
// page is painted after a show (the page loaded, its body applied, then the window repainted)
// and when the page view is made or released, for the memory and time benchmark.
class PageTimer : public QObject {
  public:
    explicit PageTimer(TfmMain& window) : window_(window) {}

    void install() {
        window_.installEventFilter(this);
        // The popup is made at its first use: its show is seen through the application.
        qApp->installEventFilter(this);
        QObject::connect(&window_, &TfmMain::pageBodyApplied, this, [this] { BodyApplied(); });
        QObject::connect(&window_, &TfmMain::pageViewChanged, this, [](bool present) {
            std::fprintf(stderr, "Kestrune: page view %s %lld ms after the start\n",
                         present ? "made" : "released", MillisecondsSinceStart());
        });
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && !event->spontaneous() && !popupShown_.isValid())
            if (auto* popup = qobject_cast<TfmPopup*>(watched)) WatchPopup(*popup);
        if (watched == &window_ && event->type() == QEvent::Show && !event->spontaneous()) {
            shown_.start();
            std::fprintf(stderr, "Kestrune: window shown %lld ms after the start\n",
                         MillisecondsSinceStart());
        }
        return false;
    }

  private:
    // The popup's page counts as painted once a body handed to it after this show has been
    // applied (it is handed over just before the show) and laid out, and the popup repainted.
    void WatchPopup(TfmPopup& popup) {
        popupShown_.start();
        const int before = popup.pageView() ? popup.pageView()->appliedBodies() : 0;
        auto* poll = new QTimer(&popup);
        poll->setInterval(2);
        QObject::connect(poll, &QTimer::timeout, &popup, [this, &popup, poll, before] {
            ui::PageView* view = popup.pageView();
            if (popupShown_.elapsed() > 20000) {
                popupShown_.invalidate();
                poll->deleteLater();
                return;
            }
            if (!view || !view->isLoaded() || view->appliedBodies() <= before) return;
            poll->stop();
            view->evaluate(QStringLiteral("document.body ? document.body.offsetHeight : 0"));
            popup.repaint();
            std::fprintf(stderr, "Kestrune: popup painted %lld ms after its show\n",
                         static_cast<long long>(popupShown_.elapsed()));
            popupShown_.invalidate();
            poll->deleteLater();
        });
        poll->start();
    }

    void BodyApplied() {
        ui::PageView* view = window_.pageView();
        if (!shown_.isValid() || !view || !view->isLoaded()) return;
        window_.repaint();
        std::fprintf(stderr,
                     "Kestrune: page painted %lld ms after the show, %lld ms after the start\n",
                     static_cast<long long>(shown_.elapsed()), MillisecondsSinceStart());
        shown_.invalidate();
    }

    TfmMain& window_;
    QElapsedTimer shown_;
    QElapsedTimer popupShown_;
};

std::function<void(const Forms&)>& StartedHook() {
    static std::function<void(const Forms&)> hook;
    return hook;
}

// Whether the viewer can start: empty.html is in the program folder and there is a display
// (the reason is said otherwise).
bool ReadyToStart(const ViewerContext& ctx) {
    // The entry point has checked this already; the viewer does not rely on it.
    if (!FileExists(JoinPath(ctx.programFolder, "empty.html"))) {
        const std::string text = "Unable to open file: empty.html";
        if (ctx.showMessage)
            ctx.showMessage(text);
        else
            std::cerr << text << "\n";
        return false;
    }

    // Without any display the toolkit would abort the process; say why instead.
    if (!Set(std::getenv("DISPLAY")) && !Set(std::getenv("WAYLAND_DISPLAY")) &&
        !Set(std::getenv("QT_QPA_PLATFORM"))) {
        std::cerr << "Cannot start the viewer: no display found (DISPLAY and WAYLAND_DISPLAY "
                     "are not set).\n";
        return false;
    }
    return true;
}

// Takes this user's socket into `listener` (left empty when the viewer takes no requests).
// When another viewer owns it, the request is handed to that one: the exit code is returned.
std::optional<int> TakeSocket(const ViewerContext& ctx,
                              std::unique_ptr<InstanceListener>& listener) {
    if (ctx.resume && ctx.resume->listenFd >= 0) {
        // Started afresh: the lock and the socket stay this viewer's, with no gap in between.
        listener = std::make_unique<InstanceListener>(ctx.instanceSocket, ctx.resume->lockFd,
                                                      ctx.resume->listenFd);
        if (listener->status() != InstanceListener::Status::Listening) {
            std::cerr << "Kestrune: " << listener->error()
                      << "; this viewer takes no requests of kestrune show/popup.\n";
            listener.reset();
        }
    } else if (!ctx.instanceSocket.empty()) {
        listener = std::make_unique<InstanceListener>(ctx.instanceSocket);
        if (listener->status() == InstanceListener::Status::Taken) {
            // The owner may still be starting: connecting is retried for a while.
            const SendResult sent = SendToViewer(
                ctx.instanceSocket, ctx.start.value_or(InstanceMessage{}), 20000, 10000);
            if (sent.status == SendStatus::Delivered) return 0;
            std::cerr << "Kestrune: "
                      << (sent.status == SendStatus::NoViewer
                              ? "the running viewer does not listen on " + ctx.instanceSocket
                              : sent.message)
                      << "\n";
            return 1;
        }
        if (listener->status() == InstanceListener::Status::Failed) {
            std::cerr << "Kestrune: " << listener->error()
                      << "; this viewer takes no requests of kestrune show/popup.\n";
            listener.reset();
        }
    }
    return std::nullopt;
}

// KESTRUNE_EXIT_WHEN_IDLE: the viewer ends as soon as the first page is shown.
void ExitWhenIdle(TfmMain& fmMain, QApplication& app) {
    auto quitWhenShown = [&fmMain] {
        static bool done = false;
        ui::PageView* view = fmMain.pageView();
        if (!done && view && view->isLoaded() && view->appliedBodies() > 0) {
            done = true;
            QTimer::singleShot(0, qApp, [] {
                std::fprintf(stderr, "Kestrune: first page shown %lld ms after the start\n",
                             MillisecondsSinceStart());
                QCoreApplication::quit();
            });
        }
    };
    QObject::connect(&fmMain, &TfmMain::pageBodyApplied, &app, quitWhenShown);
    // The first time the message loop has nothing else to do.
    QTimer::singleShot(0, &app, [] {
        std::fprintf(stderr, "Kestrune: message loop idle %lld ms after the start\n",
                     MillisecondsSinceStart());
    });
    quitWhenShown();
}

// Starts the viewer afresh through ctx.restart once nothing needs the released engine.
void RestartWhenQuiet(const ViewerContext& ctx, bool engineUsed, TfmMain& fmMain,
                      const Forms& forms, const InstanceListener* listener,
                      const InstanceServer* server) {
    if (!ctx.restart || !engineUsed || fmMain.pageView() || fmMain.isVisible() ||
        fmMain.isTerminating() || fmMain.busy() != 0 || (server && !server->idle()) ||
        fmMain.isScanning() || fmMain.isLookingUpScreen() ||
        QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return;
    const QWidget* others[] = {forms.fmUserdict, forms.fmDictSetup, forms.fmDuplicates,
                               forms.fmEditString, fmMain.popupIfCreated(),
                               fmMain.writePadIfCreated()};
    for (const QWidget* w : others)
        if (w && w->isVisible()) return;
    const Outcome saved = fmMain.SaveSettingsNow();
    if (!saved.ok) {
        std::cerr << "Kestrune: the page engine stays loaded: " << MessageWithDetail(saved) << "\n";
        return;
    }
    ctx.restart(fmMain.session(), listener ? listener->lockFd() : -1,
                listener ? listener->listenFd() : -1);
}

// Everything the viewer shows is drawn in software, the page included (see the page plugin):
// without this, X11 windows holding a page would be composed through OpenGL, loading a
// graphics driver (with no graphics card, a software renderer tens of megabytes large) for
// nothing. The user's own choice stands.
void DrawInSoftware() {
    if (!Set(std::getenv("QT_XCB_GL_INTEGRATION"))) ::setenv("QT_XCB_GL_INTEGRATION", "none", 1);
}

void NameApplication() {
    QApplication::setApplicationName(QStringLiteral("Kestrune"));
    // Desktops match the windows to the installed desktop entry (and its icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kestrune.Kestrune"));
    QApplication::setQuitOnLastWindowClosed(false);
}

// The requests: with a socket, those that arrive on it, and ctx.start once the loop runs;
// the session passed on by the viewer before is shown before either is carried out.
std::unique_ptr<InstanceServer> TakeRequests(const ViewerContext& ctx, TfmMain& fmMain,
                                             const InstanceListener* listener) {
    std::unique_ptr<InstanceServer> server;
    if (listener)
        server = std::make_unique<InstanceServer>(
            listener->listenFd(), ::getuid(),
            [&fmMain](const InstanceMessage& request) { fmMain.HandleRequest(request); });
    if (ctx.start)
        QTimer::singleShot(0, &fmMain,
                           [&fmMain, start = *ctx.start] { fmMain.HandleRequest(start); });

    if (ctx.resumeSession) fmMain.RestoreSession(*ctx.resumeSession);
    if (ctx.resume)
        std::cerr << "Kestrune: started afresh after the page was released"
                  << (ctx.resumeSession ? "" : " (the window's state was lost)") << "\n";
    return server;
}

}  // namespace

void SetViewerStartedHook(std::function<void(const Forms&)> hook) {
    StartedHook() = std::move(hook);
}

int ShowMessageBox(int argc, char** argv, const std::string& text) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrune"));
    ui::ShowMessage(text);
    return 0;
}

namespace {

// The page plugin's views, noting in `engineUsed` that a view was made (the engine then runs in
// this process and a release must start the viewer afresh to end it).
ui::PageFactory NotingPageFactory(bool& engineUsed) {
    return [&engineUsed, plugin = ui::PluginPageFactory(
                             ui::PagePluginPath(QCoreApplication::applicationDirPath()))](
               QWidget* parent, std::string& error) {
        std::unique_ptr<ui::PageView> view = plugin(parent, error);
        if (view) engineUsed = true;
        return view;
    };
}

}  // namespace

int RunViewer(int argc, char** argv, const ViewerContext& ctx) {
    if (!ReadyToStart(ctx)) return 1;

    DrawInSoftware();
    // One viewer per user: the first to take the socket; a later one hands its request over.
    std::unique_ptr<InstanceListener> listener;
    if (const std::optional<int> handedOver = TakeSocket(ctx, listener)) return *handedOver;

    QApplication app(argc, argv);
    NameApplication();

    // The five windows, each once for the whole run, in this order. The main window opens
    // the tool windows through `forms`, filled as they are created; the tool windows get the
    // main window's dictionary list, the program folder's files and the entry edit dialog.
    Forms forms;
    bool engineUsed = false;  // a page view was made: the engine runs in this process
    TfmMain fmMain(ctx.programFolder, forms, NotingPageFactory(engineUsed), ctx.autostart);
    forms.fmMain = &fmMain;
    // For tests and benchmarks of the release: the delay in milliseconds instead of minutes.
    if (const char* ms = std::getenv("KESTRUNE_RELEASE_VIEW_MS"); Set(ms))
        fmMain.setReleaseDelayMs(std::atoi(ms));
    TfmUserdict fmUserdict(JoinPath(ctx.programFolder, kUserdictName), &fmMain);
    forms.fmUserdict = &fmUserdict;
    TfmDictSetup fmDictSetup(fmMain.registry().Dicts, fmMain.iniPath(), &fmMain);
    forms.fmDictSetup = &fmDictSetup;
    TfmDuplicates fmDuplicates(
        [&forms](const std::u16string& heading, const std::u16string& line) {
            return forms.fmEditString->EditEntryLine(heading, line);
        },
        &fmMain);
    forms.fmDuplicates = &fmDuplicates;
    TfmEditString fmEditString(&fmMain);
    forms.fmEditString = &fmEditString;

    QObject::connect(&fmMain, &TfmMain::terminated, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // The end of the desktop session is a quit (settings saved, tray icon gone, engine ended).
    SessionEnd sessionEnd(nullptr, [&fmMain](const char* why) { fmMain.EndSession(why); });
    // The window stays hidden behind the tray icon; without a tray it is the only way in.
    PageTimer pageTimer(fmMain);
    if (Set(std::getenv("KESTRUNE_PAGE_TIMING"))) pageTimer.install();
    if (!fmMain.trayAvailable()) fmMain.show();

    if (std::getenv("KESTRUNE_EXIT_WHEN_IDLE")) ExitWhenIdle(fmMain, app);
    const std::unique_ptr<InstanceServer> server = TakeRequests(ctx, fmMain, listener.get());
    // Started afresh once the released engine is no longer needed (see RunViewer's contract).
    auto restartLater = [&] {
        QTimer::singleShot(0, &fmMain, [&] {
            RestartWhenQuiet(ctx, engineUsed, fmMain, forms, listener.get(), server.get());
        });
    };
    QObject::connect(&fmMain, &TfmMain::pageViewChanged, &app,
                     [restartLater](bool present) { if (!present) restartLater(); });
    // A request read or waiting when the page was released would be lost by the fresh start:
    // it waits until they are done.
    if (server) QObject::connect(server.get(), &InstanceServer::becameIdle, &app, restartLater);
    // What the searches read is given back once the viewer is quiet (see idlerelease.h).
    IdleRelease idleRelease([&fmMain] {
        fmMain.registry().Views->releasePages();
        ReleaseFontPages();
        TrimHeap();
    });
    QObject::connect(&fmMain, &TfmMain::pageBodyApplied, &idleRelease,
                     &IdleRelease::noteActivity);
    if (server)
        QObject::connect(server.get(), &InstanceServer::becameIdle, &idleRelease,
                         &IdleRelease::noteActivity);
    // What the start-up read (the dictionaries, the fonts of the restored session) goes too.
    idleRelease.noteActivity();

    if (StartedHook()) StartedHook()(forms);
    return app.exec();
}

}  // namespace kes
