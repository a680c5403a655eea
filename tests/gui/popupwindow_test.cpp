// The popup and the scans: its place near the pointer, its title and page (a word, or the words
// of a Chinese text), Esc, a click elsewhere, the button to the main window, and the clipboard
// scan with the real (offscreen) clipboard: Chinese text pops up; Latin text, long texts, the
// option off and a copy made in Kestrune itself do not; the option is kept in setup.ini.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "gui/findcontrol.h"
#include "gui/mainwindow.h"
#include "gui/popupwindow.h"
#include "support/windowtest.h"
#include "ui/pageview.h"

using namespace kes;
using namespace kes::test;

namespace {

const QStringList kDict = {
    QStringLiteral("# test words"),
    QString::fromUtf8("學習 学习 [xue2 xi2] /to learn/to study/"),
    QString::fromUtf8("學 学 [xue2] /to learn/see 學習|学习[xue2 xi2]/"),
    QString::fromUtf8("中國 中国 [Zhong1 guo2] /China/"),
    QString::fromUtf8("我 我 [wo3] /I/me/"),
    QString::fromUtf8("是 是 [shi4] /is/are/"),
    QString::fromUtf8("學生 学生 [xue2 sheng5] /student/"),
};

}  // namespace

class PopupWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString folder_;
    Forms forms_;

    std::unique_ptr<TfmMain> NewWindow(const QByteArray& setup = "[Dicts]\nwords.idx=1\n") {
        dir_ = std::make_unique<QTemporaryDir>();
        folder_ = dir_->path();
        if (!QFile::copy(KESTRUNE_SOURCE_DIR "/data/empty.html", folder_ + "/empty.html"))
            qFatal("no empty.html");
        MakeDict(folder_, "words", "Words", kDict);
        WriteBytes(folder_ + "/setup.ini", setup);
        auto w = std::make_unique<TfmMain>(folder_.toStdString(), forms_, kes::test::PageFactory());
        return w;
    }

    // Hides every window, so that no window of the program has the focus (the copy then
    // comes from another program).
    static void Deactivate(TfmMain& w) {
        w.hide();
        if (TfmPopup* p = w.popupIfCreated()) p->hide();
        QWindow* focus = QGuiApplication::focusWindow();
        QVERIFY(!focus || !focus->isVisible());
    }

  private Q_SLOTS:
    void placedNearThePointerInsideTheScreen() {
        const QRect screen(0, 0, 1000, 800);
        const QSize size(400, 300);
        QCOMPARE(PopupGeometry(QPoint(100, 100), screen, size), QRect(112, 112, 400, 300));
        // Flipped to the pointer's other side near the right and bottom edges.
        QCOMPARE(PopupGeometry(QPoint(900, 700), screen, size), QRect(488, 388, 400, 300));
        // Never outside, even where neither side fits.
        QCOMPARE(PopupGeometry(QPoint(500, 790), QRect(0, 0, 1000, 500), size),
                 QRect(512, 200, 400, 300));
        // A screen with an offset (a second monitor) and a popup larger than it.
        QCOMPARE(PopupGeometry(QPoint(1100, 10), QRect(1000, 0, 300, 200), size),
                 QRect(1000, 0, 300, 200));
        // No pointer position: centred.
        QCOMPARE(PopupGeometry(std::nullopt, screen, size), QRect(300, 250, 400, 300));
    }

    void showsTheWordWithItsTitleNearThePointer() {
        auto w = NewWindow();
        QCursor::setPos(200, 150);
        const QPoint pointer = QCursor::pos();
        w->PopupText(u"  学习 ");
        TfmPopup* p = w->popupIfCreated();
        QVERIFY(p);
        QVERIFY(p->isVisible());
        QCOMPARE(p->windowTitle(), QString::fromUtf8("学习 - Kestrune"));
        QCOMPARE(p->lblQuery->text(), QString::fromUtf8("学习"));
        QVERIFY(p->windowFlags().testFlag(Qt::Tool));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(p->geometry(), PopupGeometry(pointer, screen, TfmPopup::kDefaultSize));
        const QString body = SettledBody(p->pageView());
        QVERIFY2(body.contains("to learn<br>to study"), qPrintable(body));
        QVERIFY(!body.contains("China"));
        // The main window is neither shown nor searched.
        QCOMPARE(w->isVisible(), false);
        QCOMPARE(Inp(*w)->text(), QString());
        QCOMPARE(w->history().P, 0);

        // A Chinese text that is no entry: its words, as "Translate text" cuts it.
        w->PopupText(u"我是学生。");
        QCOMPARE(p->windowTitle(), QString::fromUtf8("我是学生。 - Kestrune"));
        const QString cut = SettledBody(p->pageView());
        QVERIFY2(cut.contains("I<br>me"), qPrintable(cut));
        QVERIFY2(cut.contains("is<br>are"), qPrintable(cut));
        QVERIFY2(cut.contains("student"), qPrintable(cut));
        // In text order.
        QVERIFY(cut.indexOf("I<br>me") < cut.indexOf("is<br>are"));
        QVERIFY(cut.indexOf("is<br>are") < cut.indexOf("student"));

        // Nothing to show: a blank text with an empty clipboard changes nothing.
        QGuiApplication::clipboard()->clear();
        w->PopupText(u"   ");
        QCOMPARE(p->windowTitle(), QString::fromUtf8("我是学生。 - Kestrune"));
    }

    // The window kind per platform: a frameless tool window everywhere (never a Qt::Popup, which
    // Wayland makes a grabbing popup the compositor dismisses unless it follows a click); on
    // Wayland also tied to the viewer and of a fixed size, which a tiling desktop floats.
    void windowKindPerPlatform() {
        const Qt::WindowFlags tool =
            Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
        const struct {
            const char* platform;
            bool tied, fixed;
        } rows[] = {
            {"xcb", false, false},     {"wayland", true, true}, {"wayland-egl", true, true},
            {"offscreen", false, false}, {"", false, false},
        };
        for (const auto& row : rows) {
            const PopupWindowKind kind = PopupWindowKindFor(QString::fromLatin1(row.platform));
            QVERIFY2(kind.flags == tool, row.platform);
            QVERIFY2(kind.tiedToViewer == row.tied, row.platform);
            QVERIFY2(kind.fixedSize == row.fixed, row.platform);
        }
    }

    // The Wayland kind on the real popup: the shown main window is its transient parent (a
    // hidden one cannot be), its size is fixed while it is shown and free again once hidden;
    // the X11 kind ties and fixes nothing.
    void waylandPopupTiedToTheViewerWithItsSizeFixedWhileShown() {
        auto w = NewWindow();
        TfmPopup* p = w->popup();
        p->UseWindowKind(PopupWindowKindFor(QStringLiteral("wayland")));
        w->show();
        w->PopupText(u"学习");
        QVERIFY(p->isVisible());
        QVERIFY(p->windowFlags().testFlag(Qt::Tool));
        QCOMPARE(p->windowHandle()->transientParent(), w->windowHandle());
        QCOMPARE(p->minimumSize(), p->size());
        QCOMPARE(p->maximumSize(), p->size());
        p->hide();
        QCOMPARE(p->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        // Free while hidden: the next showing may have another size.
        p->resize(520, 360);
        QCOMPARE(p->size(), QSize(520, 360));

        w->hide();
        w->PopupText(u"中国");
        QVERIFY(p->isVisible());
        QCOMPARE(p->windowHandle()->transientParent(), nullptr);
        QCOMPARE(p->maximumSize(), p->size());
        p->hide();

        p->UseWindowKind(PopupWindowKindFor(QStringLiteral("xcb")));
        w->show();
        w->PopupText(u"学习");
        QVERIFY(p->isVisible());
        QCOMPARE(p->windowHandle()->transientParent(), nullptr);
        QCOMPARE(p->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    }

    // Text read on screen: shown in a field the user can correct; an edit searches again.
    // A reference clicked in the popup searches its word there; the main window is left alone.
    void referenceLinkSearchesInsideThePopup() {
        auto w = NewWindow();
        w->PopupText(u"学");
        TfmPopup* p = w->popupIfCreated();
        QVERIFY(p);
        QVERIFY(QTest::qWaitForWindowExposed(p));
        const QString body = SettledBody(p->pageView());
        QVERIFY2(body.contains(QString::fromUtf8(
                     "see <a href=\"kestrune:search?%E5%AD%B8%E7%BF%92\">學習</a>[xue2 xi2]")),
                 qPrintable(body));
        QVERIFY(ClickElement(p->pageView(), "a[href^=\"kestrune:search\"]"));
        QTRY_COMPARE_WITH_TIMEOUT(p->windowTitle(), QString::fromUtf8("學習 - Kestrune"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(SettledBody(p->pageView()).contains("to learn<br>to study"), 5000);
        QCOMPARE(p->isVisible(), true);
        QCOMPARE(w->isVisible(), false);
        QCOMPARE(w->history().P, 0);
    }

    void recognizedTextCanBeCorrected() {
        auto w = NewWindow();
        TfmPopup* p = w->popup();
        p->ShowText(u"中国", std::nullopt);
        QVERIFY(!p->edtText || !p->edtText->isVisible());
        p->ShowRecognizedText(u"学生", std::nullopt);
        QVERIFY(p->edtText);
        QVERIFY(p->edtText->isVisible());
        QCOMPARE(p->edtText->text(), QString::fromUtf8("学生"));
        QCOMPARE(p->lblQuery->text(), QString::fromUtf8("学生"));
        QVERIFY(SettledBody(p->pageView()).contains("student"));
        // One misread character, one keystroke: 学生 -> 学习.
        p->edtText->setFocus();
        p->edtText->setCursorPosition(2);
        QTest::keyClick(p->edtText, Qt::Key_Backspace);
        QTest::sendKeyEvent(QTest::Click, p->edtText, Qt::Key_unknown, QString::fromUtf8("习"),
                            Qt::NoModifier);
        QTRY_COMPARE(p->lblQuery->text(), QString::fromUtf8("学习"));
        QCOMPARE(p->windowTitle(), QString::fromUtf8("学习 - Kestrune"));
        const QString body = SettledBody(p->pageView());
        QVERIFY2(body.contains("to learn<br>to study"), qPrintable(body));
        QCOMPARE(p->edtText->text(), QString::fromUtf8("学习"));
        // A copied text shows no field.
        w->PopupText(u"中国");
        QVERIFY(!p->edtText->isVisible());
    }

    void escapeClickElsewhereAndTheButton() {
        auto w = NewWindow();
        w->PopupText(u"学习");
        TfmPopup* p = w->popupIfCreated();
        QVERIFY(QTest::qWaitForWindowActive(p));
        QTest::keyClick(p, Qt::Key_Escape);
        QTRY_COMPARE(p->isVisible(), false);

        // Another window takes the focus: the popup closes.
        w->PopupText(u"学习");
        QVERIFY(QTest::qWaitForWindowActive(p));
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_COMPARE(p->isVisible(), false);
        other.hide();

        // The button: the same text in the main window.
        w->PopupText(u"中国");
        QVERIFY(p->isVisible());
        p->btnOpen->click();
        QCOMPARE(p->isVisible(), false);
        QCOMPARE(w->isVisible(), true);
        QCOMPARE(Inp(*w)->text(), QString::fromUtf8("中国"));
        QVERIFY(SettledBody(w->pageView()).contains("China"));
    }

    // A text of 5,000 characters: a popup of 60% of the screen, its page wrapping and
    // scrolling inside, its title elided; the next popup for a word is small again.
    void aLongTextStaysOnScreenAndTheNextPopupIsSmallAgain() {
        auto w = NewWindow();
        QString text;
        while (text.size() < 5000)
            text += QString::fromUtf8("我是学生，学习中国。");
        text.truncate(5000);
        QCursor::setPos(300, 200);
        const QPoint pointer = QCursor::pos();
        w->PopupText(text.toStdU16String());
        TfmPopup* p = w->popupIfCreated();
        QVERIFY(p);
        QVERIFY(p->isVisible());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(screen.width() * 3 / 5 > TfmPopup::kDefaultSize.width() &&
                     screen.height() * 3 / 5 > TfmPopup::kDefaultSize.height(),
                 "the screen is too small to tell the sizes apart");
        const QSize most(screen.width() * 3 / 5, screen.height() * 3 / 5);
        QCOMPARE(p->size(), most);
        QCOMPARE(p->geometry(), PopupGeometry(pointer, screen, most));
        QVERIFY(screen.contains(p->frameGeometry()));
        // The title: the first 60 characters and an ellipsis; the head's label and button fit.
        QCOMPARE(p->windowTitle(), text.left(60) + QChar(0x2026) + QStringLiteral(" - Kestrune"));
        QCOMPARE(p->lblQuery->text(), text);
        QVERIFY(p->lblQuery->geometry().right() < p->btnOpen->geometry().left());
        QVERIFY(p->rect().contains(p->btnOpen->geometry()));
        // The page: as wide as the popup, wrapping its lines, scrolling down.
        QWidget* page = p->pageView()->widget();
        QVERIFY2(page->width() <= p->width() && page->width() > p->width() - 10,
                 qPrintable(QString::number(page->width())));
        QVERIFY(SettledBody(p->pageView()).contains("student"));
        const QVariantList sizes =
            p->pageView()
                ->evaluate("var e = document.scrollingElement; "
                           "[e.scrollWidth, e.clientWidth, e.scrollHeight, e.clientHeight]")
                .toList();
        QCOMPARE(sizes.size(), 4);
        QVERIFY2(sizes[0].toInt() <= sizes[1].toInt() && sizes[1].toInt() > 300 &&
                     sizes[2].toInt() > 10 * sizes[3].toInt(),
                 qPrintable(QVariant(sizes).toStringList().join(' ')));

        // The next popup, for a word: the default size near the pointer, its own title.
        w->PopupText(u"中国");
        QCOMPARE(p->size(), TfmPopup::kDefaultSize);
        QCOMPARE(p->geometry(), PopupGeometry(pointer, screen, TfmPopup::kDefaultSize));
        QCOMPARE(p->windowTitle(), QString::fromUtf8("中国 - Kestrune"));
        QVERIFY(SettledBody(p->pageView()).contains("China"));
        // A text of a few lines: one line in the head.
        w->PopupText(u"学习\n中国\t学生");
        QCOMPARE(p->lblQuery->text(), QString::fromUtf8("学习 中国 学生"));
        QCOMPARE(p->windowTitle(), QString::fromUtf8("学习 中国 学生 - Kestrune"));
        QVERIFY(p->lblQuery->height() < 2 * p->lblQuery->fontMetrics().height());
    }

    void sizedForTheHeadAndThePage() {
        const QRect screen(0, 0, 1000, 800);
        QCOMPARE(PopupSize(0, 0, screen), QSize(440, 300));
        QCOMPARE(PopupSize(500, 350, screen), QSize(500, 350));
        QCOMPARE(PopupSize(32767, 1 << 20, screen), QSize(600, 480));
        // A screen smaller than the default size: 60% of it.
        QCOMPARE(PopupSize(0, 0, QRect(0, 0, 640, 400)), QSize(384, 240));
    }

    // "Open in Kestrune" searches what the popup searched, with the same options: the main
    // window's page is the popup's.
    void openInKestruneShowsWhatThePopupShowed() {
        auto w = NewWindow();
        struct Case {
            const char* text;
            const char* field;  // what the main window searches
            const char* shows;
        };
        const Case cases[] = {
            {"学习30", "学习", "to learn<br>to study"},  // the Chinese of a text that is no entry
            {"我是学生。", "我是学生", "student"},         // cut into words
            {"中国", "中国", "China"},                    // a word
        };
        for (const Case& c : cases) {
            for (bool translateAll : {false, true}) {
                QAction* option = Act(*w, "acTranslateAllWords");
                if (option->isChecked() != translateAll) option->trigger();
                w->hide();
                w->PopupText(QString::fromUtf8(c.text).toStdU16String());
                TfmPopup* p = w->popupIfCreated();
                QVERIFY(p && p->isVisible());
                const QString popupBody = SettledBody(p->pageView());
                QVERIFY2(popupBody.contains(c.shows), qPrintable(popupBody));
                p->btnOpen->click();
                QCOMPARE(p->isVisible(), false);
                QCOMPARE(w->isVisible(), true);
                QCOMPARE(Inp(*w)->text(), QString::fromUtf8(c.field));
                QCOMPARE(w->history().H(10), QString::fromUtf8(c.field).toStdU16String());
                QCOMPARE(w->pageBody(), p->pageView()->lastBody());
                QCOMPARE(SettledBody(w->pageView()), popupBody);
                QCOMPARE(option->isChecked(), translateAll);  // the option stays the user's
            }
        }
    }

    void clipboardScan() {
        auto w = NewWindow();
        QClipboard* clipboard = QGuiApplication::clipboard();
        QCOMPARE(Act(*w, "acScanClipboard")->isChecked(), false);  // off by default

        // Off: nothing pops up.
        Deactivate(*w);
        clipboard->setText(QString::fromUtf8("学习"));
        QTest::qWait(50);
        QCOMPARE(w->popupIfCreated(), nullptr);

        Act(*w, "acScanClipboard")->trigger();
        QCOMPARE(Act(*w, "acScanClipboard")->isChecked(), true);
        clipboard->setText(QString::fromUtf8("中国"));
        QVERIFY(w->popupIfCreated());
        TfmPopup* p = w->popupIfCreated();
        QTRY_COMPARE(p->isVisible(), true);
        QCOMPARE(p->windowTitle(), QString::fromUtf8("中国 - Kestrune"));
        QVERIFY(SettledBody(p->pageView()).contains("China"));

        // Latin text and texts over 100 characters do not pop up; exactly 100 does.
        Deactivate(*w);
        clipboard->setText(QStringLiteral("hello world"));
        clipboard->setText(QString(101, QChar(0x5B66)));
        clipboard->setText(QStringLiteral("x") + QString(100, QChar(0x5B66)));
        QTest::qWait(50);
        QCOMPARE(p->isVisible(), false);
        QCOMPARE(p->windowTitle(), QString::fromUtf8("中国 - Kestrune"));
        clipboard->setText(QStringLiteral("x") + QString(99, QChar(0x5B66)));
        QTRY_COMPARE(p->isVisible(), true);

        // A copy made while Kestrune is the active program is its own: no popup.
        Deactivate(*w);
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        clipboard->setText(QString::fromUtf8("学习"));
        QTest::qWait(50);
        QCOMPARE(p->isVisible(), false);

        // The option is kept in setup.ini and read back.
        QVERIFY(w->SaveSettingsAndQuit());
        const QByteArray ini = ReadBytes(folder_ + "/setup.ini");
        QVERIFY2(ini.contains("\nScanClipboard=1\n"), ini.constData());
        QVERIFY2(ini.contains("\nScanSelection=0\n"), ini.constData());
        TfmMain again(folder_.toStdString(), forms_, kes::test::PageFactory());
        QCOMPARE(Act(again, "acScanClipboard")->isChecked(), true);
    }

    void selectionOptionKeptWhereThereIsNoSelection() {
        // Set on a desktop with a selection; this one has none: hidden, and kept as it was.
        auto w = NewWindow("[Dicts]\nwords.idx=1\n[Setup]\nScanSelection=1\n");
        QCOMPARE(Act(*w, "acScanSelection")->isChecked(), false);
        QVERIFY(w->SaveSettingsAndQuit());
        QVERIFY(ReadBytes(folder_ + "/setup.ini").contains("\nScanSelection=1\n"));
    }
};

int main(int argc, char** argv) {
    return kes::test::RunWindowTest<PopupWindowTest>(argc, argv);
}

#include "popupwindow_test.moc"
