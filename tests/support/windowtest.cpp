#include "support/windowtest.h"

#include <QDialog>
#include <QThread>
#include <QTimer>
#include <string>
#include <vector>

#include "support/tempdir.h"
#include "ui/pageview.h"

namespace kes::test {

namespace {

QByteArray Bytes(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

QString SettledBody(ui::PageView* view) {
    if (!view->waitUntilIdle()) return QStringLiteral("<time-out>");
    return view->readBodyHtml();
}

bool ClickElement(ui::PageView* view, const QString& selector) {
    if (!view->waitUntilIdle()) return false;
    const QVariant r = view->evaluate(
        "(function() { var e = document.querySelector('" + selector +
        "'); if (!e) return ''; e.scrollIntoView({block: 'nearest'});"
        " var b = e.getBoundingClientRect();"
        " return Math.round(b.left + b.width / 2) + ',' + Math.round(b.top + b.height / 2); })()");
    const QStringList xy = r.toString().split(',');
    if (xy.size() != 2) return false;
    QWidget* w = view->widget();
    QWidget* target = w->focusProxy() ? w->focusProxy() : w;
    // The page's pixels are the widget's at zoom 1.
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(xy[0].toInt(), xy[1].toInt()));
    return true;
}

QByteArray Utf16Bytes(const QString& text) {
    return Bytes(Utf16Bytes(text.toStdString()));
}

QByteArray Ucs2File(const QStringList& lines) {
    std::vector<std::string> utf8;
    for (const QString& line : lines)
        utf8.push_back(line.toStdString());
    return Bytes(Ucs2File(utf8));
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    WriteBytes(path.toStdString(), std::string_view(bytes.constData(), bytes.size()));
}

QByteArray ReadBytes(const QString& path) {
    return Bytes(ReadBytes(path.toStdString()));
}

void MakeDict(const QString& folder, const QString& name, const QString& description,
              const QStringList& lines) {
    std::vector<std::string> utf8;
    for (const QString& line : lines)
        utf8.push_back(line.toStdString());
    MakeDict(folder.toStdString(), name.toStdString(), description.toStdString(), utf8);
}

bool BuildHasBundledCedict() {
#ifdef KESTRUNE_CEDICT_DATA
    return true;
#else
    return false;
#endif
}

QStringList BundledCedictLines() {
    QStringList lines;
#ifdef KESTRUNE_CEDICT_DATA
    const QByteArray bytes = ReadBytes(QStringLiteral(KESTRUNE_CEDICT_DATA));
    lines =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2)
            .split(u'\n');
    if (lines.last().isEmpty()) lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(u'\r')) line.chop(1);
#endif
    return lines;
}

void InsideModal(QDialog& dialog, std::function<void()> inside) {
    // Events processed while the dialog is still being shown (a window that loads a file on
    // showing) come before its loop: closing it then would leave exec() waiting for ever.
    const int outerLoops = QThread::currentThread()->loopLevel();
    auto* poll = new QTimer(&dialog);
    poll->setInterval(0);
    QObject::connect(
        poll, &QTimer::timeout, &dialog, [&dialog, poll, outerLoops, inside = std::move(inside)] {
            if (!dialog.isVisible() || QThread::currentThread()->loopLevel() <= outerLoops) return;
            poll->stop();
            poll->deleteLater();
            inside();
            if (dialog.isVisible()) dialog.reject();
        });
    poll->start();
}

ui::PageFactory PageFactory() {
    static const ui::PageFactory factory =
        ui::PluginPageFactory(ui::PagePluginPath(QStringLiteral(KESTRUNE_PAGE_PLUGIN_DIR)));
    return factory;
}

void PrepareWindowTestEnvironment() {
    // As the viewer does: the page plugin's engine shares the application's contexts.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
}

}  // namespace kes::test
