// The page plugin's entry: the one symbol the viewer looks up (ui/pageloader.h).
#include <QByteArray>
#include <QOpenGLContext>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <cstdlib>
#include <exception>
#include <string>

#include "ui/pageloader.h"
#include "webpage/engineflags.h"
#include "webpage/webpageview.h"

// The toolkit's context that the engine's contexts share with (exported by QtGui, not in its
// public headers). The viewer does not make one at its start, as that would load the graphics
// driver into every viewer waiting in the tray.
Q_DECL_IMPORT QOpenGLContext* qt_gl_global_share_context();
Q_DECL_IMPORT void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace {

// The engine draws its pages in software: a dictionary page needs no graphics card, and the
// viewer then never loads a graphics driver (with a software one, the largest library of the
// whole process) nor keeps graphics contexts for the page. Said once, before the engine starts,
// with the engine's other flags.
void ChooseSoftwareDrawing() {
    static bool done = false;
    if (done) return;
    done = true;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // The engine reads the shared context's format as it starts and fails without one; one
    // that is never created serves, as nothing draws through it.
    if (!qt_gl_global_share_context()) qt_gl_set_global_share_context(new QOpenGLContext());
    const std::string flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").toStdString();
    const bool sandboxOff =
        kes::webpage::SandboxTurnedOff(std::getenv("QTWEBENGINE_DISABLE_SANDBOX"), flags);
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            QByteArray::fromStdString(kes::webpage::EngineFlags(flags, sandboxOff)));
}

}  // namespace

extern "C" Q_DECL_EXPORT kes::ui::PageView* kestrune_create_page_view(QWidget* parent,
                                                                      std::string* error) {
    try {
        ChooseSoftwareDrawing();
        return new kes::webpage::WebPageView(parent);
    } catch (const std::exception& e) {
        if (error) *error = e.what();
    } catch (...) {
        if (error) *error = "unknown failure";
    }
    return nullptr;
}

// The entry has exactly the type the loader expects.
static_assert(std::is_same_v<decltype(&kestrune_create_page_view), kes::ui::PagePluginEntry>);
