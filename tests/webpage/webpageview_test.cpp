// The page view: body replacement before and after the load, script never running from the
// page's content, navigation refused, links handed to the desktop, copy through the clipboard,
// and the page's unitless sizes and margins applied.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QWebEngineSettings>
#include <QtTest>

#include "app/resultpage.h"
#include "support/windowtest.h"
#include "webpage/engineflags.h"
#include "webpage/webpageview.h"

using PageView = kes::webpage::WebPageView;

namespace {

const char* kEmptyPage =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Kestrune</title></head>"
    "<body></body></html>\n";

}  // namespace

class PageViewTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    QString pagePath_;
    QString plainPath_;

    // A view that has loaded the empty page.
    std::unique_ptr<PageView> loadedView() {
        auto view = std::make_unique<PageView>();
        view->resize(400, 300);
        view->show();
        view->loadFile(pagePath_);
        if (!view->waitUntilIdle()) qWarning("page did not load");
        return view;
    }

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        // The program's own page, as it ships.
        pagePath_ = QStringLiteral(KESTRUNE_SOURCE_DIR "/data/empty.html");
        QVERIFY(QFile::exists(pagePath_));
        // A plain page without any policy, for the control case.
        plainPath_ = dir_.filePath("plain.html");
        QFile f(plainPath_);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kEmptyPage);
    }

    // The engine's flags: the user's kept, software drawing always, the direct start of the
    // helper process only with the sandbox off (the engine refuses it otherwise).
    void engineFlagsAddOnlyWhatIsMissing() {
        using kes::webpage::EngineFlags;
        using kes::webpage::SandboxTurnedOff;
        const std::string gc = " --js-flags=\"--expose-gc --no-compilation-cache\"";
        QCOMPARE(EngineFlags("", false), "--disable-gpu" + gc);
        QCOMPARE(EngineFlags("", true), "--disable-gpu --no-zygote" + gc);
        QCOMPARE(EngineFlags("--lang=de --disable-gpu", true),
                 "--lang=de --disable-gpu --no-zygote" + gc);
        QCOMPARE(EngineFlags("--no-zygote --disable-gpu", true),
                 "--no-zygote --disable-gpu" + gc);
        QCOMPARE(EngineFlags("--zygote-cmd-prefix=x", true),
                 "--zygote-cmd-prefix=x --disable-gpu --no-zygote" + gc);
        QCOMPARE(EngineFlags("--disable-gpu-compositing", false),
                 "--disable-gpu-compositing --disable-gpu" + gc);
        // The user's own script engine flags stay alone.
        QCOMPARE(EngineFlags("--js-flags=--max-old-space-size=64", false),
                 std::string("--js-flags=--max-old-space-size=64 --disable-gpu"));
        QVERIFY(SandboxTurnedOff("1", ""));
        QVERIFY(SandboxTurnedOff("yes", ""));
        QVERIFY(!SandboxTurnedOff("0", ""));
        QVERIFY(!SandboxTurnedOff("", ""));
        QVERIFY(!SandboxTurnedOff(nullptr, "--no-sandboxes"));
        QVERIFY(SandboxTurnedOff(nullptr, "--lang=de --no-sandbox"));
    }

    void bodySetBeforeLoadIsApplied() {
        PageView view;
        view.resize(400, 300);
        view.show();
        view.loadFile(pagePath_);
        // Set at once, long before the load can have finished; the first body is superseded.
        view.setPageBody("<b>first</b>");
        view.setPageBody("<i>hint</i>");
        QCOMPARE(view.isLoaded(), false);
        QVERIFY(view.waitUntilIdle());
        QCOMPARE(view.readBodyHtml(), QString("<i>hint</i>"));
        QCOMPARE(view.lastBody(), std::string("<i>hint</i>"));
    }

    // A page named by a relative path (a program folder given as a relative KESTRUNE_HOME) is
    // the same file: a relative file URL would load nothing and leave the page blank.
    void relativePathLoadsThePage() {
        QFile::remove(dir_.filePath("empty.html"));
        QVERIFY(QFile::copy(pagePath_, dir_.filePath("empty.html")));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_.path()));
        PageView view;
        view.resize(400, 300);
        view.show();
        view.loadFile(QStringLiteral("./empty.html"));
        QVERIFY(QDir::setCurrent(before));
        view.setPageBody("<b>shown</b>");
        QVERIFY(view.waitUntilIdle());
        QCOMPARE(view.url(),
                 QUrl::fromLocalFile(QFileInfo(dir_.filePath("empty.html")).absoluteFilePath()));
        QCOMPARE(view.evaluate(QStringLiteral("document.title")).toString(), QString("Kestrune"));
        QCOMPARE(view.evaluate(QStringLiteral("document.body.innerText")).toString(),
                 QString("shown"));
    }

    void bodyReplacedExactly() {
        auto view = loadedView();
        // Quotes, backslashes, line ends, references and non-ASCII text survive the trip.
        const std::string body =
            "<p style=\"margin:2;\"><i>a\\b 'q' &#20013;</i></p>\r\n<table><tbody><tr><td>"
            "\xe4\xb8\xad</td></tr></tbody></table>";
        view->setPageBody(body);
        QVERIFY(view->waitUntilIdle());
        QCOMPARE(view->readBodyHtml(),
                 QString::fromUtf8("<p style=\"margin:2;\"><i>a\\b 'q' \xe4\xb8\xad</i></p>\n"
                                   "<table><tbody><tr><td>\xe4\xb8\xad</td></tr></tbody></table>"));
        view->setPageBody("");
        QVERIFY(view->waitUntilIdle());
        QCOMPARE(view->readBodyHtml(), QString(""));
    }

    // The page's HTML sets sizes and margins without units ("font-size:40;", "margin:2"),
    // which only quirks mode applies: the shipped page must not switch to standards mode.
    void unitlessSizesAndMarginsApply() {
        kes::PageFonts fonts;
        fonts.ChrFontsize = 40;
        fonts.PinFontsize = 30;
        fonts.DscFontsize = 30;
        const std::string body =
            kes::DictHeadingHtml(u"Dict") +
            kes::RenderEntryLine(u"中國 中国 [zhong1 guo2] /China/x|note/", fonts, true);
        const QString probe = QStringLiteral(
            "(function() {"
            "  function px(sel, prop) {"
            "    var e = document.querySelector(sel);"
            "    return e ? getComputedStyle(e)[prop] : 'missing';"
            "  }"
            "  return [document.compatMode,"
            "          px('td[style*=\"#101040\"]', 'fontSize'),"
            "          px('td[style*=\"#104010\"] i', 'fontSize'),"
            "          px('td[style*=\"font-size:30\"] font', 'fontSize'),"
            "          px('p[style*=\"margin:2\"]', 'marginTop'),"
            "          px('p[style*=\"margin:8\"]', 'marginLeft')].join(' ');"
            "})()");
        auto view = loadedView();
        view->setPageBody(body);
        QVERIFY(view->waitUntilIdle());
        QCOMPARE(view->evaluate(probe).toString(), QString("BackCompat 40px 30px 30px 2px 8px"));

        // The same body in a page that declares a doctype gets none of it.
        PageView plain;
        plain.resize(400, 300);
        plain.show();
        plain.loadFile(plainPath_);
        plain.setPageBody(body);
        QVERIFY(plain.waitUntilIdle());
        QCOMPARE(plain.evaluate(probe).toString(), QString("CSS1Compat 16px 16px 16px 16px 0px"));
    }

    void contentScriptNeverRuns() {
        auto view = loadedView();
        const QUrl before = view->url();
        view->setPageBody(
            "<img src=x onerror=\"document.title='pwned';document.body.setAttribute('data-x','1')"
            "\"><script>document.title='pwned2'</script>"
            "<svg onload=\"document.title='pwned3'\"></svg>"
            "<meta http-equiv=\"refresh\" content=\"0;url=https://example.invalid/\">"
            "<iframe src=\"javascript:parent.document.title='pwned4'\"></iframe>");
        QVERIFY(view->waitUntilIdle());
        QTest::qWait(500);  // give the failed image load time to fire its handler
        QCOMPARE(view->evaluate("document.title").toString(), QString("Kestrune"));
        QCOMPARE(view->evaluate("document.body.hasAttribute('data-x')").toBool(), false);
        QCOMPARE(view->url(), before);
        // The program's own replacement still works afterwards.
        view->setPageBody("<p>ok</p>");
        QVERIFY(view->waitUntilIdle());
        QCOMPARE(view->readBodyHtml(), QString("<p>ok</p>"));
    }

    // Control for the test above: with script switched on, the handler runs on a plain page (so
    // the test above can tell an inert page from one that runs content script), and the policy
    // of the shipped page alone still stops it.
    void scriptSwitchedOnRunsOnlyWithoutThePolicy() {
        for (const bool shipped : {false, true}) {
            auto view = std::make_unique<PageView>();
            view->page()->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
            view->resize(400, 300);
            view->show();
            view->loadFile(shipped ? pagePath_ : plainPath_);
            view->setPageBody("<img src=x onerror=\"document.title='pwned'\">");
            QVERIFY(view->waitUntilIdle());
            if (shipped) {
                QTest::qWait(500);
                QCOMPARE(view->evaluate("document.title").toString(), QString("Kestrune"));
            } else {
                QTRY_COMPARE_WITH_TIMEOUT(view->evaluate("document.title").toString(),
                                          QString("pwned"), 5000);
            }
        }
    }

    void linksAreHandedToTheDesktop() {
        auto view = loadedView();
        QList<QUrl> opened;
        view->guardedPage()->setLinkHandler([&](const QUrl& u) { opened << u; });
        const QUrl before = view->url();
        view->setPageBody(
            "<a id=\"w\" href=\"https://example.invalid/x\" style=\"display:block;width:300px;"
            "height:100px\">web</a><a id=\"f\" href=\"file:///etc/passwd\" "
            "style=\"display:block;width:300px;height:100px\">file</a>");
        QVERIFY(view->waitUntilIdle());
        QTest::qWait(200);
        QWidget* target = view->focusProxy() ? view->focusProxy() : view.get();
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(50, 40));
        QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 5000);
        QCOMPARE(opened[0], QUrl("https://example.invalid/x"));
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(50, 140));
        QTRY_VERIFY_WITH_TIMEOUT(view->guardedPage()->refusedNavigations() >= 2, 5000);
        QCOMPARE(opened.size(), 1);  // a file link is dropped
        QTest::qWait(300);
        QCOMPARE(view->url(), before);
        QCOMPARE(view->readBodyHtml().contains("example.invalid"), true);
    }

    // The program's own links ("kestrune:") reach the handler, never the desktop, and the page
    // stays.
    void ownLinksGoToTheHandler() {
        auto view = loadedView();
        QList<QUrl> opened;
        view->guardedPage()->setLinkHandler([&](const QUrl& u) { opened << u; });
        const QUrl before = view->url();
        view->setPageBody("<a href=\"kestrune:add?dict=0&amp;at=12\" style=\"display:block;"
                          "width:300px;height:100px\">add</a>");
        QVERIFY(view->waitUntilIdle());
        QTest::qWait(200);
        QWidget* target = view->focusProxy() ? view->focusProxy() : view.get();
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(50, 40));
        QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 5000);
        QCOMPARE(opened[0].toString(QUrl::FullyEncoded), QString("kestrune:add?dict=0&at=12"));
        QTest::qWait(300);
        QCOMPARE(view->url(), before);
    }

    // A page body naming another local file (an image beside it, a frame of /etc/passwd) gets
    // nothing of it: the page reads no file but its own.
    void otherLocalFilesAreNotLoaded() {
        const QString picture = dir_.filePath("pic.png");
        QImage(4, 3, QImage::Format_RGB32).save(picture);
        auto view = loadedView();
        view->setPageBody("<img id=\"i\" src=\"" + QUrl::fromLocalFile(picture).toString().toStdString() +
                          "\"><iframe id=\"f\" src=\"file:///etc/passwd\"></iframe>");
        QVERIFY(view->waitUntilIdle());
        QTest::qWait(500);
        QCOMPARE(view->evaluate("document.getElementById('i').naturalWidth").toInt(), 0);
        QCOMPARE(view->evaluate("var d = document.getElementById('f').contentDocument;"
                                "d && d.body ? d.body.innerText.indexOf('root') : -1")
                     .toInt(),
                 -1);
    }

    void copyAllPutsThePageTextOnTheClipboard() {
        auto view = loadedView();
        QApplication::clipboard()->clear();
        view->setPageBody("<p>alpha</p><p>beta</p>");
        QVERIFY(view->waitUntilIdle());
        view->copyAll();
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::clipboard()->text().contains("beta"), 5000);
        QVERIFY(QApplication::clipboard()->text().contains("alpha"));
    }

    void copyCopiesOnlyTheSelection() {
        auto view = loadedView();
        QApplication::clipboard()->setText("old");
        view->setPageBody("<p id=\"a\">alpha</p><p id=\"b\">beta</p>");
        QVERIFY(view->waitUntilIdle());
        view->evaluate(
            "var r=document.createRange();r.selectNodeContents(document.getElementById('b'));"
            "var s=window.getSelection();s.removeAllRanges();s.addRange(r);true");
        view->copySelection();
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::clipboard()->text(), QString("beta"), 5000);
    }
};

int main(int argc, char** argv) {
    return kes::test::RunWindowTest<PageViewTest>(argc, argv);
}

#include "webpageview_test.moc"
