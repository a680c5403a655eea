// The speaker and "Add to my words" beside each entry's pinyin, clicked through the real page
// view of the main window and of the popup: the word kept in userdict.txt and the page saying
// "in my words" where it was, the pinyin handed to a stand-in espeak-ng, a missing espeak-ng
// explained once, Ctrl+D in the popup, and the export from the user dictionary window.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "gui/mainwindow.h"
#include "gui/popupwindow.h"
#include "gui/userdictwindow.h"
#include "gui/wordactions.h"
#include "support/windowtest.h"
#include "ui/dialogs.h"
#include "ui/pageview.h"

using namespace kes;
using namespace kes::test;

namespace {

const QStringList kDict = {
    QString::fromUtf8("中國 中国 [Zhong1 guo2] /China/Middle Kingdom/"),
    QString::fromUtf8("綠色 绿色 [lu:4 se4] /green/"),
    QString::fromUtf8("學習 学习 [xue2 xi2] /to learn/to study/"),
};

}  // namespace

class WordLinksTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    QTemporaryDir bin_;
    QString folder_;
    QByteArray oldPath_;
    Forms forms_;

    QString userdict() const { return folder_ + "/userdict.txt"; }
    QString argsLog() const { return bin_.filePath("args"); }

    std::unique_ptr<TfmMain> NewWindow() {
        dir_ = std::make_unique<QTemporaryDir>();
        folder_ = dir_->path();
        if (!QFile::copy(KESTRUNE_SOURCE_DIR "/data/empty.html", folder_ + "/empty.html"))
            qFatal("no empty.html");
        MakeDict(folder_, "words", "Words", kDict);
        auto w = std::make_unique<TfmMain>(folder_.toStdString(), forms_, kes::test::PageFactory());
        w->setReleaseDelayMs(0);
        return w;
    }

    // The window showing the page of `query`, settled.
    QString Search(TfmMain& w, const char* query) {
        w.Show1Click();
        w.RunSearch(QString::fromUtf8(query).toStdU16String(), 0, true);
        return SettledBody(w.pageView());
    }

  private Q_SLOTS:
    void initTestCase() {
        // A stand-in espeak-ng that writes its arguments, one per line, to a log.
        QFile fake(bin_.filePath("espeak-ng"));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" +
                   argsLog().toUtf8() + "'; done\n");
        fake.close();
        fake.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        oldPath_ = qgetenv("PATH");
        qputenv("PATH", bin_.path().toUtf8() + ":" + oldPath_);
    }
    void cleanupTestCase() { qputenv("PATH", oldPath_); }

    void addToMyWordsOnThePage() {
        auto w = NewWindow();
        QString body = Search(*w, "中国");
        QVERIFY2(body.contains("Add to my words"), qPrintable(body));
        QVERIFY(!QFile::exists(userdict()));
        QVERIFY(ClickElement(w->pageView(), "a[href^=\"kestrune:add\"]"));
        QTRY_COMPARE_WITH_TIMEOUT(
            ReadBytes(userdict()),
            Ucs2File({QString::fromUtf8("中國 中国 [Zhong1 guo2] /China/Middle Kingdom/")}), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(SettledBody(w->pageView()).contains("in my words"), 5000);
        body = SettledBody(w->pageView());
        QVERIFY2(!body.contains("Add to my words"), qPrintable(body));
        // The page stayed where it was; a new search marks the word as kept too.
        QCOMPARE(w->pageView()->url().fileName(), QString("empty.html"));
        QCOMPARE(w->pageView()->refusedNavigations() >= 1, true);
        body = Search(*w, "绿色");
        QVERIFY(body.contains("Add to my words"));
        body = Search(*w, "中国");
        QVERIFY2(body.contains("in my words") && !body.contains("Add to my words"),
                 qPrintable(body));
        QCOMPARE(w->statusBar()->currentMessage(), QString::fromUtf8("Added to my words: 中國 中国"));
    }

    void theSpeakerSpeaksTheEntrysPinyin() {
        auto w = NewWindow();
        QFile::remove(argsLog());
        Search(*w, "绿色");
        QVERIFY(ClickElement(w->pageView(), "a[href^=\"kestrune:say\"]"));
        QTRY_COMPARE_WITH_TIMEOUT(ReadBytes(argsLog()), QByteArray("-v\ncmn-latn-pinyin\n--\nlv4 se4\n"),
                                  5000);
        QTRY_VERIFY(!w->wordActions()->isSpeaking());
    }

    void aMissingVoiceIsExplainedOnce() {
        QTemporaryDir empty;
        qputenv("PATH", empty.path().toUtf8());
        auto w = NewWindow();
        const QString body = Search(*w, "绿色");
        QVERIFY2(body.contains("Speech needs espeak-ng (Debian package espeak-ng)"),
                 qPrintable(body));
        {
            ui::ScriptedDialogs dialogs;
            dialogs.ok();
            QVERIFY(ClickElement(w->pageView(), "a[href^=\"kestrune:say\"]"));
            QTRY_COMPARE_WITH_TIMEOUT(w->wordActions()->explainedMissing(), 1, 5000);
            QVERIFY(ClickElement(w->pageView(), "a[href^=\"kestrune:say\"]"));
            QTRY_COMPARE_WITH_TIMEOUT(w->wordActions()->explainedMissing(), 2, 5000);
            QCOMPARE(dialogs.messages(),
                     QStringList{"Speech needs the program espeak-ng, which is not installed. "
                                 "Install the Debian package espeak-ng (sudo apt install "
                                 "espeak-ng) to hear words."});
        }
        qputenv("PATH", bin_.path().toUtf8() + ":" + oldPath_);
    }

    void thePopupKeepsWordsByLinkAndByKey() {
        auto w = NewWindow();
        w->PopupText(u"中国");
        TfmPopup* p = w->popupIfCreated();
        QVERIFY(p);
        QVERIFY(SettledBody(p->pageView()).contains("Add to my words"));
        QVERIFY(ClickElement(p->pageView(), "a[href^=\"kestrune:add\"]"));
        QTRY_VERIFY_WITH_TIMEOUT(SettledBody(p->pageView()).contains("in my words"), 5000);
        w->PopupText(u"学习");
        QVERIFY(SettledBody(p->pageView()).contains("Add to my words"));
        p->activateWindow();
        QTest::keyClick(p, Qt::Key_D, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(SettledBody(p->pageView()).contains("in my words"), 5000);
        QCOMPARE(ReadBytes(userdict()),
                 Ucs2File({QString::fromUtf8("中國 中国 [Zhong1 guo2] /China/Middle Kingdom/"),
                           QString::fromUtf8("學習 学习 [xue2 xi2] /to learn/to study/")}));
        // The user dictionary window finds the added word at its next show.
        TfmUserdict fm(userdict().toStdString());
        InsideModal(fm, [&] {
            fm.edtNewWord->setText(QString::fromUtf8("學習学习"));
            fm.btnQueryClick();
            QCOMPARE(fm.edtNewPin->text(), QString("xue2 xi2"));
        });
        fm.showModal();
    }

    void theUserdictWindowExportsForFlashcards() {
        auto w = NewWindow();
        WriteBytes(userdict(), Ucs2File({QString::fromUtf8("中國 中国 [Zhong1 guo2] /China/")}));
        TfmUserdict fm(userdict().toStdString());
        const QString target = folder_ + "/cards.txt";
        ui::ScriptedDialogs dialogs;
        dialogs.file(target).ok();
        InsideModal(fm, [&] { fm.btnExport->click(); });
        fm.showModal();
        QCOMPARE(dialogs.messages(), QStringList{"Exported 1 word to " + target});
        QCOMPARE(ReadBytes(target),
                 QByteArray("#separator:tab\n#html:true\n#tags:kestrune\n"
                            "#columns:Simplified\tTraditional\tPinyin\tPinyin (stored)\tMeaning\n") +
                     QString::fromUtf8("中国\t中國\tZhōng guó\tZhong1 guo2\tChina\n").toUtf8());
    }
};

int main(int argc, char** argv) {
    return RunWindowTest<WordLinksTest>(argc, argv);
}

#include "wordlinks_test.moc"
