// The main window: start-up with and without setup.ini, the window placement, the search from
// the field, the tree, Back and Fwd, the busy guard, the index actions with their messages, the
// fonts, quitting, the window without a tray, and a page that never runs content script.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "app/inifile.h"
#include "app/settings.h"
#include "base/bytefile.h"
#include "charinfo/unihan.h"
#include "dict/builder.h"
#include "dict/indexformat.h"
#include "gui/dictsetupwindow.h"
#include "gui/duplicateswindow.h"
#include "gui/findcontrol.h"
#include "gui/mainwindow.h"
#include "gui/userdictwindow.h"
#include "support/windowtest.h"
#include "tools/autostart.h"
#include "ui/dialogs.h"
#include "ui/pageview.h"

using namespace kes;
using namespace kes::test;
using ui::DialogKind;
using ui::ScriptedDialogs;

namespace {

const QString kHint = QStringLiteral(
    "<font face=\"Tahoma\"><b>To use:</b> Enter (chinese) text/word in the \"Input\" field and "
    "press \"Search\"</font>");

const QStringList kFirstDict = {
    "# test dictionary",
    QString::fromUtf8("中國 中国 [Zhong1 guo2] /China/Middle Kingdom/"),
    QString::fromUtf8("中 中 [zhong1] /within/among/"),
    QString::fromUtf8("中文 中文 [Zhong1 wen2] /Chinese language/"),
    QString::fromUtf8("我 我 [wo3] /I/me/"),
    QString::fromUtf8("是 是 [shi4] /is/are/"),
    QString::fromUtf8("學生 学生 [xue2 sheng5] /student/"),
};

const QStringList kSecondDict = {
    QString::fromUtf8("中 中 [zhong4] /to hit the mark/"),
    QString::fromUtf8("中心 中心 [zhong1 xin1] /center/"),
};

QStringList Children(QTreeWidgetItem* item) {
    QStringList out;
    for (int i = 0; i < item->childCount(); ++i)
        out << item->child(i)->text(0);
    return out;
}

QString Section(const QByteArray& ini, const QString& name) {
    const QString text = QString::fromUtf8(ini);
    const int start = text.indexOf("[" + name + "]");
    if (start < 0) return {};
    int end = text.indexOf("\n[", start + 1);
    if (end < 0) end = text.size();
    return text.mid(start, end - start).trimmed();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString folder_;
    Forms forms_;  // the tool windows a test hands to the main window

    // A fresh program folder with the page files (and, unless `bare`, two dictionaries).
    void NewFolder(bool bare = false) {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        folder_ = dir_->path();
        QVERIFY(QFile::copy(KESTRUNE_SOURCE_DIR "/data/empty.html", folder_ + "/empty.html"));
        WriteBytes(folder_ + "/readme.html", "<h3>Readme</h3>\n<p>Text</p>\n");
        if (bare) return;
        MakeDict(folder_, "first", "First dictionary", kFirstDict);
        MakeDict(folder_, "second", "Second dictionary", kSecondDict);
        WriteBytes(folder_ + "/setup.ini", "[Dicts]\nfirst.idx=1\nsecond.idx=1\n");
    }

    std::unique_ptr<TfmMain> NewWindow() {
        forms_ = Forms{};
        return std::make_unique<TfmMain>(folder_.toStdString(), forms_, kes::test::PageFactory());
    }

    // The body as the page view holds it (made now if the window has none yet).
    static QString Body(TfmMain& w) {
        if (!w.CreatePageView()) return QStringLiteral("<no view>");
        return SettledBody(w.pageView());
    }

    static void Type(TfmMain& w, const QString& text) {
        Inp(w)->setText(text);
        QTest::keyClick(Inp(w), Qt::Key_Return);
    }

  private Q_SLOTS:
    void firstRunGivesTheDefaults() {
        NewFolder(true);
        ScriptedDialogs script;
        auto w = NewWindow();
        QCOMPARE(w->windowTitle(), QString("Kestrune"));
        QCOMPARE(w->pos(), QPoint(10, 10));
        QCOMPARE(w->size(), QSize(710, 400));
        QCOMPARE(w->isMaximized(), false);
        QCOMPARE(w->isVisible(), false);  // the window starts hidden
        // Wider than the stored default: room for the words (measured in treepanel_test).
        QVERIFY2(w->pnlLeftWidth() > 60, qPrintable(QString::number(w->pnlLeftWidth())));
        QCOMPARE(Inp(*w)->font().family(), QString("Arial"));
        QCOMPARE(Inp(*w)->font().pointSize(), 14);
        QCOMPARE(Tree(*w)->font().family(), QString("Times"));
        QCOMPARE(Tree(*w)->font().pointSize(), 12);
        const Settings& s = w->settings();
        QCOMPARE(s.ChrFontface, std::string("Arial"));
        QCOMPARE(s.ChrFontsize, 12);
        QCOMPARE(s.PinFontface, std::string("Times"));
        QCOMPARE(s.DscFontface, std::string("Times"));
        QCOMPARE(Act(*w, "acSearchBoth")->isChecked(), true);
        QCOMPARE(Act(*w, "acAddDescIndex")->isChecked(), true);
        QCOMPARE(Act(*w, "acTranslateAllWords")->isChecked(), false);
        QCOMPARE(Act(*w, "acAddPinIndex")->isChecked(), false);
        QCOMPARE(Act(*w, "acShowUcs2")->isChecked(), false);
        // No Unihan index: the option is off and cannot be switched on.
        QCOMPARE(Act(*w, "acShowUnihan")->isChecked(), false);
        QCOMPARE(Act(*w, "acShowUnihan")->isEnabled(), false);
        QCOMPARE(w->indexJobs().Busy, 0);
        QCOMPARE(Tree(*w)->topLevelItemCount(), 0);
        QCOMPARE(QString::fromStdString(w->pageBody()), kHint);
        QVERIFY(Body(*w).contains("<b>To use:</b>"));
        QCOMPARE(w->readmeText(), std::string(" <h3>Readme</h3> <p>Text</p>"));
        QVERIFY(script.shown().empty());
        QCOMPARE(QFile::exists(folder_ + "/setup.ini"), true);  // "Dicts" was written
    }

    // The data file changes after its index was built: the index is deleted at start, then the
    // rebuild with the old name and options is offered (default Yes). No keeps it deleted.
    void staleIndexIsDeletedAndTheRebuildOffered() {
        NewFolder();
        QFile ced(folder_ + "/first.ced");
        QVERIFY(ced.open(QIODevice::Append));
        ced.write(QByteArray("x\0\r\0\n\0", 6));
        ced.close();
        const QString question =
            "Rebuild index file first.idx now with the same name and options?\n\nName: First "
            "dictionary\nTranslation words: yes\nPinyin: no";
        {
            ScriptedDialogs script;
            script.ok().no();
            auto w = NewWindow();
            QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
            QCOMPARE(script.messages(),
                     QStringList("Index file first.idx was deleted because of changes in first.ced "
                                 "datafile!"));
            QCOMPARE(script.shown().size(), size_t(2));
            QCOMPARE(script.shown()[1].kind, ui::DialogKind::Question);
            QCOMPARE(script.shown()[1].text, question);
            QCOMPARE(QFile::exists(folder_ + "/first.idx"), false);
            QCOMPARE(Tree(*w)->topLevelItemCount(), 1);
            QCOMPARE(Tree(*w)->topLevelItem(0)->text(0), QString("Second dictionary"));
            QCOMPARE(QString::fromStdString(w->pageBody()), kHint);
        }
        // Yes: built again under its old name; it keeps its place and answers searches.
        QFile::remove(folder_ + "/first.idx");
        MakeDict(folder_, "first", "First dictionary", kFirstDict);
        QVERIFY(ced.open(QIODevice::Append));
        ced.write(QByteArray("y\0\r\0\n\0", 6));
        ced.close();
        WriteBytes(folder_ + "/setup.ini", "[Dicts]\nfirst.idx=1\nsecond.idx=1\n");
        ScriptedDialogs script;
        script.ok().yes();
        auto w = NewWindow();
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
        QCOMPARE(script.shown().size(), size_t(2));
        QCOMPARE(script.shown()[1].text, question);
        QCOMPARE(QFile::exists(folder_ + "/first.idx"), true);
        QCOMPARE(Tree(*w)->topLevelItemCount(), 2);
        QCOMPARE(Tree(*w)->topLevelItem(0)->text(0), QString("First dictionary"));
        Type(*w, QString::fromUtf8("中國"));
        QVERIFY(Body(*w).contains("Middle Kingdom"));
    }

    void missingReadmeGivesTheNote() {
        NewFolder(true);
        QFile::remove(folder_ + "/readme.html");
        auto w = NewWindow();
        QCOMPARE(w->readmeText(), std::string("<i>NOTE: readme.html is missing or invalid!</i>"));
    }

    void settingsAreReadAtStart() {
        NewFolder(true);
        WriteBytes(folder_ + "/setup.ini",
                   "[Setup]\nInpFontface=Courier\nInpFontsize=0x10\nTreFontface=Helvetica\n"
                   "TreFontsize=9\nTranslateAll=1\nSearchBoth=0\nShowUcs2=5\nAddPinToIndex=1\n"
                   "AddDescToIndex=0\n[Form]\npnlLeft=5\nX=-50\nY=20\nDX=5000\nDY=300\n");
        auto w = NewWindow();
        QCOMPARE(Inp(*w)->font().family(), QString("Courier"));
        QCOMPARE(Inp(*w)->font().pointSize(), 16);
        QCOMPARE(Tree(*w)->font().family(), QString("Helvetica"));
        QCOMPARE(Tree(*w)->font().pointSize(), 9);
        QCOMPARE(Act(*w, "acTranslateAllWords")->isChecked(), true);
        QCOMPARE(Act(*w, "acSearchBoth")->isChecked(), false);
        QCOMPARE(Act(*w, "acShowUcs2")->isChecked(), true);
        QCOMPARE(Act(*w, "acAddPinIndex")->isChecked(), true);
        QCOMPARE(Act(*w, "acAddDescIndex")->isChecked(), false);
        // pnlLeft = 5 gives 20; X = -50 puts the window at the left edge; a width past the
        // screen ends the window at the right edge.
        QCOMPARE(w->pnlLeftWidth(), 20);
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        QCOMPARE(w->pos(), QPoint(0, 20));
        QCOMPARE(w->width(), screen.width());
        QCOMPARE(w->height(), 306);  // raised to the minimum height
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(Find<QWidget>(*w, "pnlLeft")->width(), 20);
        w->hide();
    }

    void quittingWritesTheSettings() {
        NewFolder(true);
        WriteBytes(folder_ + "/setup.ini", "[Form]\npnlLeft=60\n");
        ScriptedDialogs script;
        auto w = NewWindow();
        QSignalSpy ended(w.get(), &TfmMain::terminated);
        w->move(33, 44);
        w->resize(500, 350);
        Act(*w, "acShowUcs2")->trigger();
        Act(*w, "acSearchBoth")->trigger();
        QVERIFY(w->SaveSettingsAndQuit());
        QCOMPARE(ended.count(), 1);
        QCOMPARE(w->isTerminating(), true);
        const QByteArray ini = ReadBytes(folder_ + "/setup.ini");
        QCOMPARE(Section(ini, "Form"),
                 QString("[Form]\npnlLeft=60\nMaximized=0\nX=33\nY=44\nDX=500\nDY=350"));
        const QString setup = Section(ini, "Setup");
        QVERIFY2(setup.contains("\nShowUcs2=1\n"), qPrintable(setup));
        QVERIFY2(setup.contains("\nSearchBoth=0"), qPrintable(setup));
        QVERIFY2(setup.contains("\nShowUnihan=0\n"), qPrintable(setup));
        QVERIFY2(setup.contains("InpFontface=Arial\nInpFontsize=14\n"), qPrintable(setup));
        QVERIFY(script.shown().empty());  // not busy: no question
    }

    void unwritableSettingsStillQuit() {
        NewFolder(true);
        ScriptedDialogs script;
        auto w = NewWindow();
        QSignalSpy ended(w.get(), &TfmMain::terminated);
        QFile::remove(folder_ + "/setup.ini");
        QVERIFY(QDir(folder_).mkdir("setup.ini"));  // a folder where the file should be
        QVERIFY(w->SaveSettingsAndQuit());
        QCOMPARE(ended.count(), 1);
        QVERIFY(QFileInfo(folder_ + "/setup.ini").isDir());
        // The program ends, and says that the settings were not kept, and why.
        QCOMPARE(script.messages(),
                 QStringList("ERROR: The settings could not be saved to setup.ini!\nCannot open "
                             "file (not a regular file): " +
                             folder_ + "/setup.ini"));
    }

    void quittingMaximizedWritesOnlyMaximized() {
        NewFolder(true);
        WriteBytes(folder_ + "/setup.ini",
                   "[Form]\npnlLeft=70\nMaximized=0\nX=30\nY=40\nDX=600\nDY=350\n");
        {
            auto w = NewWindow();
            w->showMaximized();
            QTRY_VERIFY(w->isMaximized());
            QVERIFY(w->SaveSettingsAndQuit());
        }
        const QString form = Section(ReadBytes(folder_ + "/setup.ini"), "Form");
        QVERIFY2(form.contains("\nMaximized=1"), qPrintable(form));
        // The last normal bounds stay in the file.
        QVERIFY2(form.contains("\nX=30\nY=40\nDX=600\nDY=350"), qPrintable(form));
        // The next start restores those bounds and then maximizes.
        auto w = NewWindow();
        QCOMPARE(w->isMaximized(), true);
        w->showNormal();
        QTRY_COMPARE(w->isMaximized(), false);
        QCOMPARE(w->size(), QSize(600, 350));
    }

    void quittingWhileBusyAsksFirst() {
        NewFolder(true);
        ScriptedDialogs script;
        auto w = NewWindow();
        QSignalSpy ended(w.get(), &TfmMain::terminated);
        QFile::remove(folder_ + "/setup.ini");
        w->indexJobs().Busy = 1;
        script.no();
        QCOMPARE(w->SaveSettingsAndQuit(), false);
        QCOMPARE(ended.count(), 0);
        QCOMPARE(QFile::exists(folder_ + "/setup.ini"), false);  // nothing written
        script.yes();
        QCOMPARE(w->SaveSettingsAndQuit(), true);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(QFile::exists(folder_ + "/setup.ini"), true);
        QCOMPARE(script.shown().size(), size_t(2));
        QCOMPARE(script.shown()[0].kind, DialogKind::Question);
        QCOMPARE(script.shown()[0].text, QString("Program is busy now. Shut it down anyway?"));
        QVERIFY(script.unexpected().empty());
    }

    void withoutATrayClosingTheWindowQuits() {
        NewFolder(true);
        auto w = NewWindow();
        // The offscreen platform has no tray: the window is the only way in.
        QCOMPARE(QSystemTrayIcon::isSystemTrayAvailable(), false);
        QCOMPARE(w->trayAvailable(), false);
        QSignalSpy ended(w.get(), &TfmMain::terminated);
        QFile::remove(folder_ + "/setup.ini");
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->close();
        QCOMPARE(ended.count(), 1);
        QCOMPARE(w->isVisible(), false);
        QCOMPARE(QFile::exists(folder_ + "/setup.ini"), true);
    }

    void withATrayClosingOnlyHides() {
        NewFolder();
        auto w = NewWindow();
        w->setTrayAvailable(true);
        QSignalSpy ended(w.get(), &TfmMain::terminated);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        Type(*w, QString::fromUtf8("中"));
        const std::string page = w->pageBody();
        w->close();
        QCOMPARE(w->isVisible(), false);
        QCOMPARE(ended.count(), 0);
        Act(*w, "Show1")->trigger();  // "Show" in the tray menu
        QCOMPARE(w->isVisible(), true);
        QCOMPARE(Inp(*w)->text(), QString::fromUtf8("中"));
        QCOMPARE(w->pageBody(), page);
        QVERIFY(Tree(*w)->topLevelItem(0)->childCount() > 0);
        // A double click on the tray icon shows the window too.
        w->close();
        QCOMPARE(w->isVisible(), false);
        Q_EMIT Find<QSystemTrayIcon>(*w, "trayIcon")->activated(QSystemTrayIcon::DoubleClick);
        QCOMPARE(w->isVisible(), true);
        QCOMPARE(ended.count(), 0);
        Act(*w, "Close1")->trigger();  // "Exit" in the tray menu
        QCOMPARE(ended.count(), 1);
    }

    void menusHoldEveryAction() {
        NewFolder(true);
        auto w = NewWindow();
        QStringList menus;
        QStringList items;
        for (QAction* m : w->menuBar()->actions()) {
            menus << m->text();
            QStringList texts;
            for (QAction* a : m->menu()->actions())
                texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
            items << texts.join("|");
        }
        QCOMPARE(menus, QStringList({"&View", "&Settings", "D&ict", "&Help"}));
        QCOMPARE(items[0], QString("&Show UCS-2|S&how Unihan info|-|Scan &clipboard|"
                                   "Scan s&election|Look up text on scree&n|-|"
                                   "&Input field font|Tree font|"
                                   "&Word output font|&Pinyin output font|"
                                   "&Translation output font|-|&Quit"));
        QCOMPARE(items[1], QString("&Translate text (instead of word)|&Search both chinese forms|"
                                   "&Best matches first|&Pinyin|-|Start with the &desktop"));
        QCOMPARE(items[2], QString("&Create index for CEDICT file|C&reate index for Unihan|-|"
                                   "&Also add english/russian words to index|"
                                   "A&lso add pinyin to index|-|&Dictionaries|-|"
                                   "&Edit user dictionary file|D&uplicates in CEDICT file"));
        QCOMPARE(items[3], QString("&Help file|&About"));
        QStringList popup;
        for (QAction* a : Find<QMenu>(*w, "popupWeb")->actions())
            popup << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(popup.join("|"),
                 QString("Copy|-|Copy All|-|&Translation output font|&Pinyin output font"));
        QStringList tray;
        for (QAction* a : Find<QMenu>(*w, "trayPopup")->actions())
            tray << (a->isSeparator() ? QStringLiteral("-") : a->text());
        // The same option actions in both menus.
        QCOMPARE(tray.join("|"), QString("Show|-|Scan &clipboard|Scan s&election|"
                                         "Look up text on scree&n|-|Exit"));
        QVERIFY(Find<QMenu>(*w, "trayPopup")->actions().contains(Act(*w, "acScanClipboard")));
        // The offscreen desktop, like Wayland, has no selection to scan.
        QCOMPARE(QGuiApplication::clipboard()->supportsSelection(), false);
        QCOMPARE(Act(*w, "acScanSelection")->isVisible(), false);
        QCOMPARE(Act(*w, "acScanSelection")->isEnabled(), false);
        QCOMPARE(Find<QSystemTrayIcon>(*w, "trayIcon")->toolTip(), QString("Kestrune"));
        QStringList toolbar;
        for (QAction* a : Find<QToolBar>(*w, "ActionToolBar1")->actions())
            toolbar << a->text();
        QCOMPARE(toolbar, QStringList({"&Refresh", "B&ack", "&Fwd", "&Write"}));
        // Option toggles change only the checked state: no search, nothing shown.
        const std::string before = w->pageBody();
        Act(*w, "acTranslateAllWords")->trigger();
        QCOMPARE(Act(*w, "acTranslateAllWords")->isChecked(), true);
        QCOMPARE(w->pageBody(), before);
        Act(*w, "acHelpFile")->trigger();  // has no handler
        QCOMPARE(w->pageBody(), before);
    }

    // Every option of setup.ini is a checkable action of a menu with its caption: switched
    // in the menu, it reaches the settings, the file (its key, as 1 or 0) and, at the next
    // start, the action again. The selection scan cannot be switched on a desktop without a
    // selection (kept as it was, see the popup tests).
    void everyOptionRoundTripsThroughTheMenuAndSetupIni() {
        NewFolder(true);
        WriteBytes(folder_ + "/unihan.txt", "U+4E2D\tkDefinition\tmiddle\n");
        QVERIFY(BuildUnihanIndex((folder_ + "/unihan.txt").toStdString(),
                                 (folder_ + "/unihan.idc").toStdString())
                    .outcome.ok);
        QStringList menuTexts;
        {
            auto w = NewWindow();
            for (QAction* m : w->menuBar()->actions())
                for (QAction* a : m->menu()->actions())
                    menuTexts << a->objectName() + "=" + a->text();
        }
        QStringList seen;
        for (const SettingRow* row : OptionRows()) {
            const QString name = QString::fromUtf8(row->Action.data(), row->Action.size());
            const QString key = QString::fromUtf8(row->Key.data(), row->Key.size());
            seen << name + "=" + QString::fromUtf8(row->Caption.data(), row->Caption.size());
            QVERIFY2(menuTexts.contains(seen.last()), qPrintable(seen.last()));
            if (name == "acScanSelection") continue;
            for (const bool on : {true, false}) {
                WriteBytes(folder_ + "/setup.ini",
                           "[Setup]\n" + key.toUtf8() + (on ? "=0\n" : "=1\n"));
                auto w = NewWindow();
                QAction* a = Act(*w, name.toLatin1().constData());
                QVERIFY(a->isCheckable() && a->isEnabled());
                QCOMPARE(a->isChecked(), !on);
                a->trigger();
                QCOMPARE(a->isChecked(), on);
                QCOMPARE(w->settings().*row->FlagField, on);
                QVERIFY(w->SaveSettingsAndQuit());
                const QString setup = Section(ReadBytes(folder_ + "/setup.ini"), "Setup");
                QVERIFY2(setup.contains("\n" + key + (on ? "=1" : "=0")), qPrintable(setup));
                auto again = NewWindow();
                QCOMPARE(Act(*again, name.toLatin1().constData())->isChecked(), on);
            }
        }
        QCOMPARE(seen,
                 QStringList(
                     {"acTranslateAllWords=&Translate text (instead of word)",
                      "acAddDescIndex=&Also add english/russian words to index",
                      "acAddPinIndex=A&lso add pinyin to index", "acShowUcs2=&Show UCS-2",
                      "acShowUnihan=S&how Unihan info", "acSearchBoth=&Search both chinese forms",
                      "acBestFirst=&Best matches first", "acScanClipboard=Scan &clipboard",
                      "acScanSelection=Scan s&election"}));
    }

    void enterShowsEntriesAndFillsTheTree() {
        NewFolder();
        auto w = NewWindow();
        QCOMPARE(Tree(*w)->topLevelItemCount(), 2);
        QCOMPARE(Tree(*w)->topLevelItem(0)->text(0), QString("First dictionary"));
        QCOMPARE(Tree(*w)->topLevelItem(1)->text(0), QString("Second dictionary"));
        Type(*w, QString::fromUtf8("  &#20013;  "));
        // The field shows the decoded, trimmed query, all selected.
        QCOMPARE(Inp(*w)->text(), QString::fromUtf8("中"));
        QCOMPARE(Inp(*w)->selectedText(), QString::fromUtf8("中"));
        const QString body = Body(*w);
        QVERIFY2(body.contains("<i>First dictionary</i>"), qPrintable(body));
        QVERIFY(body.contains("<i>Second dictionary</i>"));
        QVERIFY(body.contains("within<br>among"));
        QVERIFY(body.contains("to hit the mark"));
        QVERIFY(!body.contains("Middle Kingdom"));  // 中國 is a longer word, not an entry of 中
        QVERIFY(body.indexOf("First dictionary") < body.indexOf("Second dictionary"));
        // Word items below each dictionary, the tree expanded.
        QTreeWidgetItem* first = Tree(*w)->topLevelItem(0);
        QTreeWidgetItem* second = Tree(*w)->topLevelItem(1);
        QStringList words = Children(first);
        words.sort();
        QStringList expected = {QString::fromUtf8("中"), QString::fromUtf8("中国"),
                                QString::fromUtf8("中文")};
        expected.sort();
        QCOMPARE(words, expected);
        QCOMPARE(Children(second).size(), 2);
        QVERIFY(first->isExpanded());
        QVERIFY(second->isExpanded());
        // Only the dictionary items: a word item marked expanded is kept by the view after it
        // is gone, half a kilobyte a search for the viewer's whole run.
        QVERIFY(!first->child(0)->isExpanded());
        QVERIFY(!second->child(1)->isExpanded());
        QCOMPARE(first->child(0)->data(0, Qt::UserRole).toInt(), 1);
        QCOMPARE(second->child(0)->data(0, Qt::UserRole).toInt(), 2);
        QCOMPARE(w->history().P, 10);
        QCOMPARE(w->history().H(10), std::u16string(u"中"));

        // A second search replaces the word items.
        Type(*w, QString::fromUtf8("中文"));
        QCOMPARE(Children(first),
                 QStringList({QString::fromUtf8("中"), QString::fromUtf8("中文")}));
        QCOMPARE(Children(second), QStringList({QString::fromUtf8("中")}));
        QVERIFY(Body(*w).contains("Chinese language"));
        QVERIFY(!Body(*w).contains("Second dictionary"));

        // A query of blanks changes nothing.
        const std::string page = w->pageBody();
        Type(*w, "   ");
        QCOMPARE(w->pageBody(), page);
        QCOMPARE(Inp(*w)->text(), QString("   "));
    }

    void fieldAndPageCommands() {
        NewFolder();
        auto w = NewWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        // A double click in the field selects all of its text.
        Inp(*w)->setText("two words");
        Inp(*w)->deselect();
        QTest::mouseDClick(Inp(*w), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(Inp(*w)->selectedText(), QString("two words"));
        // "Copy All" of the page's menu puts the whole page on the clipboard.
        Type(*w, QString::fromUtf8("中"));
        QVERIFY(Body(*w).contains("within"));
        QApplication::clipboard()->clear();
        Act(*w, "nwCopyAll")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::clipboard()->text().contains("to hit the mark"),
                                 5000);
        QVERIFY(QApplication::clipboard()->text().contains("First dictionary"));
        w->hide();
    }

    void dictionarySetupResetsTheView() {
        NewFolder();
        auto w = NewWindow();
        TfmDictSetup setup(w->registry().Dicts, w->iniPath(), w.get());
        forms_.fmDictSetup = &setup;
        Type(*w, QString::fromUtf8("中"));
        bool shownModally = false;
        // While the dialog is open: change the list as the dialog would, then cancel.
        InsideModal(setup, [&] {
            shownModally = setup.isVisible() && setup.isModal();
            auto& dicts = w->registry().Dicts;
            std::swap(dicts[0], dicts[1]);
            dicts[1].Enabled = false;
        });
        Act(*w, "acDictSetup")->trigger();
        forms_.fmDictSetup = nullptr;
        QVERIFY(shownModally);
        // The tree shows the new order and marks, renumbered, without word items; the hint.
        QCOMPARE(Tree(*w)->topLevelItemCount(), 2);
        QCOMPARE(Tree(*w)->topLevelItem(0)->text(0), QString("Second dictionary"));
        QCOMPARE(Tree(*w)->topLevelItem(1)->text(0), QString("First dictionary (disabled)"));
        QCOMPARE(Tree(*w)->topLevelItem(0)->childCount(), 0);
        QCOMPARE(w->registry().Dicts[0].Number, 1);
        QCOMPARE(w->registry().Dicts[1].Number, 2);
        QCOMPARE(QString::fromStdString(w->pageBody()), kHint);
        // The next search follows the new order and skips the disabled dictionary.
        Type(*w, QString::fromUtf8("中"));
        const QString body = Body(*w);
        QVERIFY(body.contains("Second dictionary"));
        QVERIFY(!body.contains("First dictionary"));
        QCOMPARE(Tree(*w)->topLevelItem(1)->childCount(), 0);
    }

    void toolWindowsOpenFromTheirMenuItems() {
        NewFolder();
        ScriptedDialogs script;
        auto w = NewWindow();
        // Without the windows the items do nothing.
        Act(*w, "acUserdict")->trigger();
        Act(*w, "acDuplicates")->trigger();
        QVERIFY(script.shown().empty());

        WriteBytes(folder_ + "/mine.txt", Ucs2File({"a [p] /x/", "b [p] /y/", "c [p] /z/"}));
        TfmUserdict userdict((folder_ + "/mine.txt").toStdString(), w.get());
        TfmDuplicates duplicates({}, w.get());
        forms_.fmUserdict = &userdict;
        forms_.fmDuplicates = &duplicates;
        QStringList opened;
        auto record = [&](QDialog& d) {
            InsideModal(d, [&] {
                if (d.isVisible() && d.isModal()) opened << d.objectName();
            });
        };
        record(userdict);
        Act(*w, "acUserdict")->trigger();
        record(duplicates);
        Act(*w, "acDuplicates")->trigger();
        forms_ = Forms{};
        QCOMPARE(opened, QStringList({"fmUserdict", "fmDuplicates"}));
        // The user dictionary window read the file it was given.
        QCOMPARE(userdict.stbarMain->currentMessage(), QString("Readed: 3 records"));
        QCOMPARE(script.messages().size(), 1);  // the duplicates checker's opening message
        QVERIFY(script.messages()[0].startsWith("    With this function you can check CEDICT"));
    }

    void translateTextCutsTheQuery() {
        NewFolder();
        auto w = NewWindow();
        Act(*w, "acTranslateAllWords")->trigger();
        Type(*w, QString::fromUtf8("我是学生"));
        const QString body = Body(*w);
        const int me = body.indexOf("I<br>me");
        const int is = body.indexOf("is<br>are");
        const int student = body.indexOf("student");
        QVERIFY2(me > 0 && is > me && student > is, qPrintable(body));
        QCOMPARE(body.count("First dictionary"), 1);
        QVERIFY(!body.contains("NOTICE"));
        Type(*w, QString::fromUtf8("我是 学生"));
        QVERIFY(Body(*w).contains("NOTICE: "));
    }

    void selectingAWordItemSearchesThatDictionary() {
        NewFolder();
        auto w = NewWindow();
        Type(*w, QString::fromUtf8("中"));
        QTreeWidgetItem* second = Tree(*w)->topLevelItem(1);
        QTreeWidgetItem* item = nullptr;
        for (int i = 0; i < second->childCount(); ++i)
            if (second->child(i)->text(0) == QString::fromUtf8("中心")) item = second->child(i);
        QVERIFY(item);
        Tree(*w)->setCurrentItem(item);
        QCOMPARE(Inp(*w)->text(), QString::fromUtf8("中心"));
        const QString body = Body(*w);
        QVERIFY2(body.contains("center"), qPrintable(body));
        QVERIFY(!body.contains("First dictionary"));
        QVERIFY(body.contains("Second dictionary"));
        // The tree is left as it was, the item still selected.
        QCOMPARE(Tree(*w)->currentItem(), item);
        QCOMPARE(Children(Tree(*w)->topLevelItem(0)).size(), 3);
        QCOMPARE(w->history().H(10), std::u16string(u"中心"));
        QCOMPARE(w->history().H(9), std::u16string(u"中"));
        // A dictionary item runs no search.
        const std::string page = w->pageBody();
        Tree(*w)->setCurrentItem(Tree(*w)->topLevelItem(0));
        QCOMPARE(w->pageBody(), page);
    }

    void backAndFwdWalkTheHistory() {
        NewFolder();
        auto w = NewWindow();
        const QString a = QString::fromUtf8("我"), b = QString::fromUtf8("是"),
                      c = QString::fromUtf8("中");
        Type(*w, a);
        Type(*w, b);
        Type(*w, c);
        Act(*w, "acBack")->trigger();
        QCOMPARE(Inp(*w)->text(), b);
        QVERIFY(Body(*w).contains("is<br>are"));
        Act(*w, "acBack")->trigger();
        QCOMPARE(Inp(*w)->text(), a);
        QVERIFY(Body(*w).contains("I<br>me"));
        Act(*w, "acBack")->trigger();  // H7 is empty: nothing happens
        QCOMPARE(Inp(*w)->text(), a);
        QCOMPARE(w->history().P, 8);
        Act(*w, "acFwd")->trigger();
        QCOMPARE(Inp(*w)->text(), b);
        Act(*w, "acFwd")->trigger();
        QCOMPARE(Inp(*w)->text(), c);
        QVERIFY(Body(*w).contains("within"));
        Act(*w, "acFwd")->trigger();  // at the newest slot: nothing
        QCOMPARE(Inp(*w)->text(), c);
        QCOMPARE(w->history().P, 10);
        // Back and Fwd do not record.
        QCOMPARE(w->history().H(10), c.toStdU16String());
        QCOMPARE(w->history().H(7), std::u16string());
    }

    // A reference of the page, clicked with the mouse in the real view, searches its word as if
    // it were typed: the field shows it, the history records it, Back returns.
    void referenceLinkSearchesItsWordAndBackReturns() {
        NewFolder(true);
        MakeDict(folder_, "cedict", "CC-CEDICT",
                 {"# CC-CEDICT", QString::fromUtf8("電腦 电脑 [dian4 nao3] /computer/CL:臺|台[tai2]/"),
                  QString::fromUtf8("臺 台 [tai2] /platform/")});
        auto w = NewWindow();
        w->resize(700, 400);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        Type(*w, QString::fromUtf8("电脑"));
        const QString body = Body(*w);
        QVERIFY2(body.contains(QString::fromUtf8(
                     "CL:<a href=\"kestrune:search?%E8%87%BA\">臺</a>[tai2]")),
                 qPrintable(body));
        const QUrl page = w->pageView()->url();
        QVERIFY(ClickElement(w->pageView(), "a[href^=\"kestrune:search\"]"));
        QTRY_COMPARE_WITH_TIMEOUT(Inp(*w)->text(), QString::fromUtf8("臺"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(Body(*w).contains("platform"), 5000);
        QCOMPARE(w->pageView()->url(), page);  // the view never navigated away
        QCOMPARE(w->history().H(10), u"臺");
        Act(*w, "acBack")->trigger();
        QCOMPARE(Inp(*w)->text(), QString::fromUtf8("电脑"));
        QVERIFY(Body(*w).contains("computer"));
    }

    // The Pinyin choice of the Settings menu: the page of the query is shown again in it, and
    // it is kept in setup.ini.
    void pinyinChoiceShowsThePageAgainAndIsSaved() {
        NewFolder();
        auto w = NewWindow();
        Type(*w, QString::fromUtf8("中国"));
        QVERIFY(w->pageBody().find("&#90;&#104;&#111;&#110;&#103;&#49;") != std::string::npos);
        QMenu* menu = Find<QMenu>(*w, "mnPinyin");
        QStringList captions;
        for (QAction* a : menu->actions())
            captions << a->text();
        QCOMPARE(captions, QStringList({"As &stored", "Tone &marks", "Tone marks in &colour",
                                        "&Zhuyin"}));
        Act(*w, "acPinyinMarks")->trigger();
        QCOMPARE(w->settings().Pinyin, std::string("marks"));
        // Zhōng guó
        QVERIFY(w->pageBody().find("&#90;&#104;&#333;&#110;&#103;&#32;&#103;&#117;&#243;") !=
                std::string::npos);
        QCOMPARE(w->history().P, 10);
        QCOMPARE(w->history().H(9), std::u16string());  // shown again, not recorded again
        Act(*w, "acPinyinColored")->trigger();
        QVERIFY(w->pageBody().find("<font color=\"#d0021b\">&#90;&#104;&#333;&#110;&#103;</font>") !=
                std::string::npos);
        QVERIFY(w->SaveSettingsAndQuit());
        QVERIFY(Section(ReadBytes(folder_ + "/setup.ini"), "Setup").contains("\nPinyin=colored\n"));
    }

    void altKeysOfTheToolbarCaptions() {
        NewFolder();
        auto w = NewWindow();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        Inp(*w)->setFocus();
        QCOMPARE(QApplication::focusWidget(), Inp(*w));
        // Alt+R searches what the field holds (Refresh), without typing into the field.
        Inp(*w)->setText(QString::fromUtf8("我"));
        QTest::keyClick(Inp(*w), Qt::Key_R, Qt::AltModifier);
        QCOMPARE(Inp(*w)->text(), QString::fromUtf8("我"));
        QVERIFY(Body(*w).contains("I<br>me"));
        Inp(*w)->setText(QString::fromUtf8("是"));
        QTest::keyClick(Inp(*w), Qt::Key_R, Qt::AltModifier);
        QVERIFY(Body(*w).contains("is<br>are"));
        QCOMPARE(w->history().H(10), std::u16string(u"是"));
        // Alt+A goes back, Alt+F forward, with the focus still in the field.
        QTest::keyClick(Inp(*w), Qt::Key_A, Qt::AltModifier);
        QCOMPARE(Inp(*w)->text(), QString::fromUtf8("我"));
        QCOMPARE(w->history().P, 9);
        QVERIFY(Body(*w).contains("I<br>me"));
        QTest::keyClick(Inp(*w), Qt::Key_F, Qt::AltModifier);
        QCOMPARE(Inp(*w)->text(), QString::fromUtf8("是"));
        QCOMPARE(w->history().P, 10);
        QCOMPARE(QApplication::focusWidget(), Inp(*w));
        // Plain letters still go into the field.
        Inp(*w)->clear();
        QTest::keyClicks(Inp(*w), "raf");
        QCOMPARE(Inp(*w)->text(), QString("raf"));
        QCOMPARE(w->history().P, 10);
    }

    void refreshDoesNothingWhileBusy() {
        NewFolder();
        auto w = NewWindow();
        w->indexJobs().Busy = 1;
        Type(*w, QString::fromUtf8("中"));
        Act(*w, "acRefresh")->trigger();
        QCOMPARE(QString::fromStdString(w->pageBody()), kHint);
        QCOMPARE(w->history().P, 0);
        QCOMPARE(Tree(*w)->topLevelItem(0)->childCount(), 0);
        w->indexJobs().Busy = 0;
        Act(*w, "acRefresh")->trigger();
        QVERIFY(Body(*w).contains("within"));
    }

    void searchErrorKeepsThePage() {
        NewFolder();
        ScriptedDialogs script;
        auto w = NewWindow();
        Type(*w, QString::fromUtf8("我"));
        const std::string page = w->pageBody();
        QVERIFY(QFile::remove(folder_ + "/first.ced"));  // the data file disappears
        Type(*w, QString::fromUtf8("中"));
        QCOMPARE(script.shown().size(), size_t(1));
        QCOMPARE(script.shown()[0].kind, DialogKind::Error);
        QVERIFY2(script.shown()[0].text.contains("first.ced"), qPrintable(script.describe()));
        QCOMPARE(w->pageBody(), page);
        QCOMPARE(Inp(*w)->text(), QString::fromUtf8("中"));  // the field is updated
        QCOMPARE(w->history().H(10), std::u16string(u"中"));
    }

    void aboutShowsTheDictionariesAndTheReadme() {
        NewFolder();
        auto w = NewWindow();
        Act(*w, "acAbout")->trigger();
        QCOMPARE(w->pageBody(), w->registry().StartText + "<br /> <h3>Readme</h3> <p>Text</p>");
        QVERIFY(Body(*w).contains("Dictionaries found:"));
    }

    void makeIndexMessages() {
        NewFolder();
        ScriptedDialogs script;
        auto w = NewWindow();
        // Busy: refused before the file dialog.
        w->indexJobs().Busy = 1;
        Act(*w, "acMakeIndex")->trigger();
        QCOMPARE(script.messages(), QStringList("Program is busy now. Wait and then try again."));
        QCOMPARE(script.take().size(), size_t(1));
        w->indexJobs().Busy = 0;

        // Cancelled file dialog: nothing.
        script.cancel();
        Act(*w, "acMakeIndex")->trigger();
        auto shown = script.take();
        QCOMPARE(shown.size(), size_t(1));
        QCOMPARE(shown[0].kind, DialogKind::OpenFile);
        QCOMPARE(shown[0].text, QString("CEDICT (UCS-2 text) (*.ced)|*.ced"));

        // An existing index.
        const QByteArray before = ReadBytes(folder_ + "/first.idx");
        script.file(folder_ + "/first.ced");
        Act(*w, "acMakeIndex")->trigger();
        QCOMPARE(script.messages(),
                 QStringList("Index file first.idx already exists! Delete it before creating a "
                             "new one!"));
        QCOMPARE(ReadBytes(folder_ + "/first.idx"), before);
        script.take();

        // A new index, the name prompt cancelled after the build has read the file.
        WriteBytes(folder_ + "/third.ced", Ucs2File(kSecondDict));
        int busyAtPrompt = -1;
        QString statusAtPrompt;
        script.file(folder_ + "/third.ced")
            .then([&] {
                busyAtPrompt = w->indexJobs().Busy;
                statusAtPrompt = w->statusText(1);
            })
            .cancel();
        Act(*w, "acMakeIndex")->trigger();
        shown = script.take();
        QCOMPARE(shown.size(), size_t(3));
        QCOMPARE(shown[1].kind, DialogKind::Prompt);
        QCOMPARE(shown[1].caption, QString("Dictionary Description"));
        QCOMPARE(shown[1].text, QString("Enter dictionary name:"));
        QCOMPARE(shown[2].text, QString("Index file created: third.idx"));
        QCOMPARE(busyAtPrompt, 1);
        QVERIFY2(QRegularExpression("^ Creating index file\\.\\.\\. \\d+%$")
                     .match(statusAtPrompt)
                     .hasMatch(),
                 qPrintable(statusAtPrompt));
        QCOMPARE(w->indexJobs().Busy, 0);
        QCOMPARE(w->statusText(1), QString());
        IndexHeader header = ReadIndexHeaderOf((folder_ + "/third.idx").toStdString());
        QCOMPARE(DescriptionText(header.Description), std::u16string(u"CEDICT file third.ced"));
        // A new index is not added to the running program.
        QCOMPARE(Tree(*w)->topLevelItemCount(), 2);

        // The prompt confirmed with a name.
        WriteBytes(folder_ + "/fourth.ced", Ucs2File(kSecondDict));
        script.file(folder_ + "/fourth.ced").text(QString::fromUtf8("Mein Wörterbuch"));
        Act(*w, "acMakeIndex")->trigger();
        QCOMPARE(script.messages(), QStringList("Index file created: fourth.idx"));
        header = ReadIndexHeaderOf((folder_ + "/fourth.idx").toStdString());
        QCOMPARE(DescriptionText(header.Description), std::u16string(u"Mein Wörterbuch"));
        script.take();

        // A data file of odd size fails with the builder's message and leaves no index.
        WriteBytes(folder_ + "/odd.ced", QByteArray("a\0b\0c", 5));
        script.file(folder_ + "/odd.ced");
        Act(*w, "acMakeIndex")->trigger();
        QCOMPARE(script.messages(), QStringList("ERROR: Unknown error when creating index file!\n"
                                                "Data file has an odd byte size: " +
                                                folder_ + "/odd.ced"));
        QCOMPARE(QFile::exists(folder_ + "/odd.idx"), false);
        QCOMPARE(w->indexJobs().Busy, 0);
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
    }

    // What is not UTF-16LE text is refused as `kestrune index` refuses it, before the name is
    // asked for, and nothing is written beside it.
    void makeIndexRefusesWhatIsNotUtf16LeText() {
        NewFolder();
        ScriptedDialogs script;
        auto w = NewWindow();
        QByteArray random(4096, '\0');
        for (int i = 0; i < random.size(); ++i)
            random[i] = static_cast<char>((i * 7919 + (i >> 3) * 31) % 256);
        WriteBytes(folder_ + "/random.ced", random);
        WriteBytes(folder_ + "/u8.ced", "# CC-CEDICT\n中國 中国 [Zhong1 guo2] /China/\n");
        const struct {
            const char* file;
            const char* reason;
        } cases[] = {{"random.ced", "it holds binary data"}, {"u8.ced", "it reads as UTF-8"}};
        for (const auto& c : cases) {
            const QString path = folder_ + "/" + c.file;
            script.file(path);
            Act(*w, "acMakeIndex")->trigger();
            const auto shown = script.take();
            QCOMPARE(shown.size(), size_t(2));  // the file dialog and the refusal; no prompt
            QCOMPARE(shown[1].kind, DialogKind::Message);
            QCOMPARE(shown[1].text, "Refused: " + path + " is not UTF-16LE text (" + c.reason +
                                        "); nothing was written.\nA CEDICT file in UTF-8 is "
                                        "added with: kestrune import " +
                                        path);
            QCOMPARE(w->indexJobs().Busy, 0);
            QCOMPARE(w->statusText(1), QString());
        }
        QCOMPARE(QDir(folder_).entryList({"random.*", "u8.*"}),
                 QStringList({"random.ced", "u8.ced"}));
    }

    // Whatever is thrown inside an action ends that action with its name and the reason, and
    // leaves Busy and the status panel clear, so the next build is not refused.
    void thrownFailuresEndTheActionAndClearBusy() {
        NewFolder();
        ScriptedDialogs script;
        auto w = NewWindow();
        // At the file dialog, before the build started.
        script.then([] { throw std::bad_alloc(); });
        Act(*w, "acMakeIndex")->trigger();
        QCOMPARE(script.messages(),
                 QStringList("ERROR: The index build failed!\nNot enough memory"));
        QCOMPARE(w->indexJobs().Busy, 0);
        script.take();
        // At the name prompt, while the build runs (Busy set, the status showing progress).
        WriteBytes(folder_ + "/third.ced", Ucs2File(kSecondDict));
        int busyAtPrompt = -1;
        script.file(folder_ + "/third.ced").then([&] {
            busyAtPrompt = w->indexJobs().Busy;
            throw std::bad_alloc();
        });
        Act(*w, "acMakeIndex")->trigger();
        QCOMPARE(busyAtPrompt, 1);
        QCOMPARE(script.messages(),
                 QStringList("ERROR: Unknown error when creating index file!\nNot enough memory "
                             "to build the index of " +
                             folder_ + "/third.ced"));
        QCOMPARE(w->indexJobs().Busy, 0);
        QCOMPARE(w->statusText(1), QString());
        QCOMPARE(QDir(folder_).entryList({"third.*"}), QStringList({"third.ced"}));
        script.take();
        // The next build runs.
        script.file(folder_ + "/third.ced").text("Third");
        Act(*w, "acMakeIndex")->trigger();
        QCOMPARE(script.messages(), QStringList("Index file created: third.idx"));
        QVERIFY2(script.unexpected().empty() && script.pending() == 0,
                 qPrintable(script.describe()));
    }

    void quittingDuringABuildAbandonsIt() {
        NewFolder(true);
        ScriptedDialogs script;
        auto w = NewWindow();
        QSignalSpy ended(w.get(), &TfmMain::terminated);
        // A data file big enough for the build to let the window process its events a few
        // times on the way.
        QStringList lines;
        for (int i = 0; i < 60000; ++i)
            lines << QString::fromUtf8("字%1 字%1 [zi4] /character number %1/").arg(i);
        WriteBytes(folder_ + "/big.ced", Ucs2File(lines));
        int busyWhenAsked = -1;
        bool refreshIgnored = false;
        // Runs inside the build, from its processing of pending events: Refresh is ignored,
        // then the user quits and confirms.
        QTimer::singleShot(0, w.get(), [&] {
            Inp(*w)->setText("x");
            Act(*w, "acRefresh")->trigger();
            refreshIgnored = w->history().P == 0;
            busyWhenAsked = w->indexJobs().Busy;
            Act(*w, "acExit")->trigger();
        });
        script.file(folder_ + "/big.ced").yes();
        Act(*w, "acMakeIndex")->trigger();
        QCOMPARE(busyWhenAsked, 1);
        QVERIFY(refreshIgnored);
        QCOMPARE(ended.count(), 1);
        auto shown = script.take();
        QCOMPARE(shown.size(), size_t(2));  // the file dialog and the question; no prompt
        QCOMPARE(shown[1].text, QString("Program is busy now. Shut it down anyway?"));
        // The build stopped without leaving an index or a temporary file behind.
        QCOMPARE(QDir(folder_).entryList({"big.*"}), QStringList({"big.ced"}));
        QCOMPARE(w->indexJobs().Busy, 0);
    }

    void makeIndexReadsTheOptions() {
        NewFolder(true);
        ScriptedDialogs script;
        auto w = NewWindow();
        WriteBytes(folder_ + "/p.ced",
                   Ucs2File({QString::fromUtf8("你好 你好 [ni3 hao3] /hello/")}));
        Act(*w, "acAddPinIndex")->trigger();   // on
        Act(*w, "acAddDescIndex")->trigger();  // off
        script.file(folder_ + "/p.ced").text("P");
        Act(*w, "acMakeIndex")->trigger();
        QCOMPARE(script.messages(), QStringList("Index file created: p.idx"));
        // Restart to use the new dictionary: pinyin finds it, the English word does not.
        auto again = NewWindow();
        Type(*again, "ni hao");
        QVERIFY(Body(*again).contains("hello"));
        Type(*again, "hello");
        QVERIFY(!Body(*again).contains("hello<"));
    }

    void unihanIndexMessages() {
        NewFolder(true);
        ScriptedDialogs script;
        auto w = NewWindow();
        w->indexJobs().Busy = 1;
        Act(*w, "acUniIndex")->trigger();
        QCOMPARE(script.messages(), QStringList("Program is busy now. Wait and then try again."));
        w->indexJobs().Busy = 0;
        script.take();
        WriteBytes(folder_ + "/src.txt",
                   "# Unihan\nU+4E00\tkDefinition\tone\nU+4E00\tkMandarin\tyi1\n"
                   "U+4E2D\tkDefinition\tmiddle\n");
        script.file(folder_ + "/src.txt");
        Act(*w, "acUniIndex")->trigger();
        auto shown = script.take();
        QCOMPARE(shown.size(), size_t(2));
        QCOMPARE(shown[0].text, QString("Unihan database file (*.txt)|*.txt"));
        QCOMPARE(shown[1].text, QString("Index file unihan.idc created"));
        QCOMPARE(ReadBytes(folder_ + "/unihan.idc").size(), 16);
        QCOMPARE(w->indexJobs().Busy, 0);
        QCOMPARE(w->statusText(1), QString());
        // The new index is used only after a restart.
        QCOMPARE(Act(*w, "acShowUnihan")->isEnabled(), false);
        QVERIFY(QFile::copy(folder_ + "/src.txt", folder_ + "/unihan.txt"));
        auto again = NewWindow();
        QCOMPARE(Act(*again, "acShowUnihan")->isEnabled(), true);
        Act(*again, "acShowUnihan")->trigger();
        Type(*again, QString::fromUtf8("中"));
        QVERIFY(Body(*again).contains("middle"));

        // A file without Unihan lines, such as a dictionary, is refused; the index stays.
        const QByteArray before = ReadBytes(folder_ + "/unihan.idc");
        const QString ced = folder_ + "/words.ced";
        WriteBytes(ced, Ucs2File(kFirstDict));
        const QString none = folder_ + "/none.txt";
        WriteBytes(none, "# no Unihan here\nU+4E00 kDefinition one\n");
        script.file(ced).file(none);
        Act(*w, "acUniIndex")->trigger();
        Act(*w, "acUniIndex")->trigger();
        QCOMPARE(script.messages(),
                 QStringList({"Refused: " + ced +
                                  " is no Unihan database file (it reads as UTF-16LE); nothing "
                                  "was written.",
                              "Refused: " + none +
                                  " is no Unihan database file (it holds no Unihan lines); "
                                  "nothing was written."}));
        QCOMPARE(ReadBytes(folder_ + "/unihan.idc"), before);
        QCOMPARE(QDir(folder_).entryList({"unihan.*"}), QStringList({"unihan.idc", "unihan.txt"}));
        QCOMPARE(w->indexJobs().Busy, 0);
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
    }

    void fontActions() {
        NewFolder(true);
        ScriptedDialogs script;
        auto w = NewWindow();
        script.font("Courier", 20);
        Act(*w, "acInpFont")->trigger();
        QCOMPARE(Inp(*w)->font().family(), QString("Courier"));
        QCOMPARE(Inp(*w)->font().pointSize(), 20);
        // The tree takes the face, not the size.
        QCOMPARE(Tree(*w)->font().family(), QString("Courier"));
        QCOMPARE(Tree(*w)->font().pointSize(), 12);
        // A cancelled tree font dialog re-applies the stored tree font.
        script.cancel();
        Act(*w, "acTreeFont")->trigger();
        QCOMPARE(Tree(*w)->font().family(), QString("Times"));
        script.font("Helvetica", 11);
        Act(*w, "acChrFont")->trigger();
        QCOMPARE(w->settings().ChrFontface, std::string("Helvetica"));
        QCOMPARE(w->settings().ChrFontsize, 11);
        script.cancel();
        Act(*w, "acPinFont")->trigger();
        QCOMPARE(w->settings().PinFontface, std::string("Times"));
        QCOMPARE(script.shown().size(), size_t(4));
        QCOMPARE(script.shown()[0].text, QString("Arial 14"));  // starts with the input font
        QCOMPARE(script.shown()[3].text, QString("Times 12"));
        QVERIFY(w->SaveSettingsAndQuit());
        const QString setup = Section(ReadBytes(folder_ + "/setup.ini"), "Setup");
        QVERIFY2(setup.contains("InpFontface=Courier\nInpFontsize=20\nChrFontface=Helvetica\n"
                                "ChrFontsize=11\n"),
                 qPrintable(setup));
        QVERIFY2(setup.contains("TreFontface=Times\nTreFontsize=12"), qPrintable(setup));
    }

    // Sizes outside 6..72 points are brought to the nearest limit, with a message.
    void fontSizesStayReadable() {
        NewFolder(true);
        ScriptedDialogs script;
        auto w = NewWindow();
        const struct {
            const char* action;
            int chosen;
            int kept;
            const char* message;  // "" when none
        } rows[] = {
            {"acInpFont", 999, 72,
             "Font sizes go from 6 to 72 points: 72 points are used instead of 999."},
            {"acTreeFont", 2, 6,
             "Font sizes go from 6 to 72 points: 6 points are used instead of 2."},
            {"acDscFont", 72, 72, ""},
            {"acChrFont", 6, 6, ""},
        };
        for (const auto& r : rows) {
            script.take();
            script.font("Courier", r.chosen);
            Act(*w, r.action)->trigger();
            QCOMPARE(script.messages(), *r.message ? QStringList({r.message}) : QStringList());
        }
        QCOMPARE(w->settings().InpFontsize, 72);
        QCOMPARE(Inp(*w)->font().pointSize(), 72);
        QCOMPARE(w->settings().TreFontsize, 6);
        QCOMPARE(Tree(*w)->font().pointSize(), 6);
        QCOMPARE(w->settings().DscFontsize, 72);
        QCOMPARE(w->settings().ChrFontsize, 6);
        // A size stored out of range is limited where the font is set.
        NewFolder(true);
        WriteBytes(folder_ + "/setup.ini", "[Setup]\nInpFontsize=999\nTreFontsize=1\n");
        auto again = NewWindow();
        QCOMPARE(Inp(*again)->font().pointSize(), 72);
        QCOMPARE(Tree(*again)->font().pointSize(), 6);
    }

    void pageFontsReachTheNextPage() {
        NewFolder();
        ScriptedDialogs script;
        auto w = NewWindow();
        script.font("Courier", 22);
        Act(*w, "acDscFont")->trigger();
        Type(*w, QString::fromUtf8("中"));
        QVERIFY(w->pageBody().find("font-family:Courier; font-size:22;") != std::string::npos);
    }

    void contentNeverRunsScript() {
        NewFolder(true);
        const QString evil = "<img src=x onerror=\"document.title='pwned'\">";
        MakeDict(folder_, "evil", evil, kSecondDict);
        WriteBytes(folder_ + "/readme.html",
                   "<img id=\"r\" src=\"nothing.png\" onerror=\"document.title='readme'\">\n"
                   "<a id=\"l\" href=\"https://example.invalid/\">link</a>\n");
        auto w = NewWindow();
        Type(*w, QString::fromUtf8("中"));
        QVERIFY(Body(*w).contains("to hit the mark"));
        Act(*w, "acAbout")->trigger();
        const QString about = Body(*w);
        // The readme is inserted as it is: the image element exists, its handler never ran.
        QVERIFY2(about.contains("id=\"r\""), qPrintable(about));
        QTest::qWait(500);
        QCOMPARE(w->pageView()->evaluate("document.title").toString(), QString("Kestrune"));
        QCOMPARE(w->pageView()->url().fileName(), QString("empty.html"));
    }

    // "Start with the desktop", chosen in the Settings menu as a user does (the menu opened,
    // the item picked by its key).
    void startWithTheDesktopWritesAndRemovesTheAutostartEntry() {
        NewFolder(true);
        QTemporaryDir config;
        const AutostartPlace place{config.filePath("autostart").toStdString(),
                                   "\"/opt/my apps/kestrune\""};
        const QString entry = config.filePath("autostart/kestrune.desktop");
        forms_ = Forms{};
        auto w = std::make_unique<TfmMain>(folder_.toStdString(), forms_, kes::test::PageFactory(),
                                           place);
        QMenu* settings = nullptr;
        for (QAction* m : w->menuBar()->actions())
            if (m->text() == "&Settings") settings = m->menu();
        QVERIFY(settings != nullptr);
        QVERIFY(settings->actions().contains(Act(*w, "acStartWithDesktop")));
        auto open = [&] { settings->popup(QPoint(0, 0)); };
        auto pick = [&] {
            open();
            QTRY_VERIFY(settings->isVisible());
            QTest::keyClick(settings, Qt::Key_D);
            QTRY_VERIFY(!settings->isVisible());
        };
        ScriptedDialogs script;
        QVERIFY(Act(*w, "acStartWithDesktop")->isCheckable());
        QVERIFY(Act(*w, "acStartWithDesktop")->isEnabled());
        QCOMPARE(Act(*w, "acStartWithDesktop")->isChecked(), false);

        // On: the entry is written (its folder created), starting the given command.
        pick();
        QCOMPARE(Act(*w, "acStartWithDesktop")->isChecked(), true);
        QCOMPARE(ReadBytes(entry), QByteArray::fromStdString(AutostartEntryText(place.command)));
        QVERIFY(ReadBytes(entry).contains("\nExec=\"/opt/my apps/kestrune\"\n"));

        // Off: the entry is gone.
        pick();
        QCOMPARE(Act(*w, "acStartWithDesktop")->isChecked(), false);
        QVERIFY(!QFile::exists(entry));

        // The state is the file's, read again whenever the menu opens.
        WriteBytes(entry, "[Desktop Entry]\nExec=kestrune\n");
        open();
        QTRY_VERIFY(settings->isVisible());
        QCOMPARE(Act(*w, "acStartWithDesktop")->isChecked(), true);
        settings->hide();
        QFile::remove(entry);
        open();
        QTRY_VERIFY(settings->isVisible());
        QCOMPARE(Act(*w, "acStartWithDesktop")->isChecked(), false);
        settings->hide();
        QVERIFY(script.shown().empty());

        // A failure is said, with the file and the reason; the item shows the file's state.
        QDir(config.path()).removeRecursively();
        QVERIFY(QDir().mkpath(config.path()));
        WriteBytes(config.filePath("autostart"), "not a folder");
        script.ok();
        pick();
        QCOMPARE(script.shown().size(), size_t(1));
        QCOMPARE(script.shown()[0].kind, DialogKind::Error);
        QVERIFY2(
            script.shown()[0].text.startsWith("Cannot write the autostart entry " + entry + "\n"),
            qPrintable(script.describe()));
        QCOMPARE(Act(*w, "acStartWithDesktop")->isChecked(), false);

        // Without an autostart folder (no home) the option cannot be chosen.
        auto homeless = std::make_unique<TfmMain>(folder_.toStdString(), forms_,
                                                  kes::test::PageFactory(), AutostartPlace{});
        QCOMPARE(Act(*homeless, "acStartWithDesktop")->isEnabled(), false);
        QCOMPARE(Act(*homeless, "acStartWithDesktop")->isChecked(), false);
    }
};

int main(int argc, char** argv) {
    return kes::test::RunWindowTest<MainWindowTest>(argc, argv);
}

#include "mainwindow_test.moc"
