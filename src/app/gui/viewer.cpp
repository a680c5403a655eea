#include "app/gui/viewer.h"

#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

#include "app/gui/forms.h"
#include "app/gui/mainwindow.h"
#include "dict/bytefile.h"
#include "tools/gui/dictsetupwindow.h"
#include "tools/gui/duplicateswindow.h"
#include "tools/gui/editstringwindow.h"
#include "tools/gui/userdictwindow.h"
#include "ui/dialogs.h"
#include "ui/pageview.h"

namespace kes {

namespace {

bool Set(const char* v) {
    return v != nullptr && *v != '\0';
}

std::function<void(const Forms&)>& StartedHook() {
    static std::function<void(const Forms&)> hook;
    return hook;
}

}  // namespace

void SetViewerStartedHook(std::function<void(const Forms&)> hook) {
    StartedHook() = std::move(hook);
}

bool WantsMessageBox(bool stdoutIsTerminal, const char* display, const char* waylandDisplay,
                     const char* qpaPlatform, const char* noMessageBox) {
    if (Set(noMessageBox) || stdoutIsTerminal) return false;
    if (Set(qpaPlatform)) {
        // Platforms that show nothing: a box there could never be closed.
        const std::string p(qpaPlatform);
        if (p.rfind("offscreen", 0) == 0 || p.rfind("minimal", 0) == 0) return false;
        return true;
    }
    return Set(display) || Set(waylandDisplay);
}

MessageSink DesktopMessageSink() {
    if (!WantsMessageBox(::isatty(STDOUT_FILENO) != 0, std::getenv("DISPLAY"),
                         std::getenv("WAYLAND_DISPLAY"), std::getenv("QT_QPA_PLATFORM"),
                         std::getenv("KESTRUNE_NO_MESSAGE_BOX")))
        return {};
    return [](const std::string& text) {
        static int argc = 1;
        static char name[] = "kestrune";
        static char* argv[] = {name, nullptr};
        static std::unique_ptr<QApplication> app;
        if (!QCoreApplication::instance()) {
            app = std::make_unique<QApplication>(argc, argv);
            QApplication::setApplicationName(QStringLiteral("Kestrune"));
        }
        ui::ShowMessage(text);
    };
}

int RunViewer(int argc, char** argv, const CommandContext& ctx) {
    // The entry point has checked this already; the viewer does not rely on it.
    if (!FileExists(JoinPath(ctx.programFolder, "empty.html"))) {
        const std::string text = "Unable to open file: empty.html";
        if (ctx.showMessage)
            ctx.showMessage(text);
        else
            std::cerr << text << "\n";
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrune"));
    QApplication::setQuitOnLastWindowClosed(false);

    // The five windows, each once for the whole run, in this order.
    Forms& forms = AppForms();
    TfmMain fmMain(ctx.programFolder);
    forms.fmMain = &fmMain;
    TfmUserdict fmUserdict(&fmMain);
    forms.fmUserdict = &fmUserdict;
    TfmDictSetup fmDictSetup(&fmMain);
    forms.fmDictSetup = &fmDictSetup;
    TfmDuplicates fmDuplicates(&fmMain);
    forms.fmDuplicates = &fmDuplicates;
    TfmEditString fmEditString(&fmMain);
    forms.fmEditString = &fmEditString;

    QObject::connect(&fmMain, &TfmMain::terminated, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // The window stays hidden behind the tray icon; without a tray it is the only way in.
    if (!fmMain.trayAvailable()) fmMain.show();

    if (std::getenv("KESTRUNE_EXIT_WHEN_IDLE")) {
        auto quitWhenShown = [&fmMain] {
            ui::PageView* view = fmMain.pageView();
            if (view->isLoaded() && view->appliedBodies() > 0)
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        };
        QObject::connect(fmMain.pageView(), &ui::PageView::bodyApplied, &app, quitWhenShown);
        quitWhenShown();
    }

    if (StartedHook()) StartedHook()(forms);
    const int code = app.exec();
    forms = Forms{};
    return code;
}

}  // namespace kes
