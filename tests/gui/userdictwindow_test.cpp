// The user dictionary window: loading on every showing with its status texts, the query from
// the button and from Enter, add and change with their messages and questions, and the
// refusals.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <cstring>

#include "gui/userdictwindow.h"
#include "support/faults.h"
#include "support/windowtest.h"
#include "ui/dialogs.h"

using namespace kes;
using namespace kes::test;
using ui::DialogKind;
using ui::ScriptedDialogs;

class UserdictWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path_;

    std::unique_ptr<TfmUserdict> Window() {
        return std::make_unique<TfmUserdict>(path_.toStdString());
    }

  private Q_SLOTS:
    void init() {
        path_ = dir_.filePath("userdict.txt");
        QFile::remove(path_);
    }

    void windowDesign() {
        ScriptedDialogs script;
        auto w = Window();
        QCOMPARE(w->objectName(), QString("fmUserdict"));
        QCOMPARE(w->windowTitle(), QString("User dictionary file"));
        QCOMPARE(w->btnQuery->text(), QString("Query"));
        QCOMPARE(w->btnAddWord->text(), QString("Add/Change"));
        QVERIFY(!w->btnPrevWord->isEnabled());
        QVERIFY(!w->btnNextWord->isEnabled());
        QVERIFY(w->windowFlags() & Qt::WindowMaximizeButtonHint);
        QVERIFY(!(w->windowFlags() & Qt::WindowMinimizeButtonHint));
        QCOMPARE(w->edtNewWord->font().family(), QString("SimSun"));
    }

    // A missing file: the load says so, Query refuses, Add/Change asks whether to create it
    // (No: nothing made; Yes: the file is made with the word).
    void missingFileIsReportedAndAddAsksToCreateIt() {
        ScriptedDialogs script;
        auto w = Window();
        w->show();
        const QString err = "ERROR: Can't open dictionary file userdict.txt!";
        QCOMPARE(script.messages(),
                 QStringList({err + "\nCannot open file (" +
                              QString::fromLocal8Bit(std::strerror(ENOENT)) + "): " + path_}));
        QCOMPARE(w->stbarMain->currentMessage(), err);
        w->edtNewWord->setText("a");
        QTest::mouseClick(w->btnQuery, Qt::LeftButton);
        QCOMPARE(script.messages().mid(1), QStringList({"User dictionary was not loaded!"}));

        w->edtNewPin->setText("p");
        w->memNewDesc->setPlainText("x");
        const QString question =
            "The user dictionary file userdict.txt does not exist yet. Create it?";
        script.take();
        script.no();
        QTest::mouseClick(w->btnAddWord, Qt::LeftButton);
        QCOMPARE(script.shown().size(), size_t(1));
        QCOMPARE(script.shown()[0].kind, DialogKind::Question);
        QCOMPARE(script.shown()[0].text, question);
        QVERIFY(!QFile::exists(path_));

        script.take();
        script.yes();
        QTest::mouseClick(w->btnAddWord, Qt::LeftButton);
        QCOMPARE(script.shown().size(), size_t(2));
        QCOMPARE(script.shown()[0].text, question);
        QCOMPARE(script.messages(), QStringList({"Word added/changed"}));
        QCOMPARE(ReadBytes(path_), Utf16Bytes("a [p] /x/\r\n"));
        QCOMPARE(w->userdict().WordCount, 1);
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
    }

    // A word holding "[", "]" or "/" could never be found again: refused, the file unchanged.
    void aWordWithMarksIsRefused() {
        ScriptedDialogs script;
        WriteBytes(path_, Utf16Bytes("x [p] /a/\r\n"));
        auto w = Window();
        w->show();
        for (const char* word : {"a[b", "ab]", "a/b", "[", "/"}) {
            script.take();
            w->edtNewWord->setText(word);
            w->edtNewPin->setText("p");
            w->memNewDesc->setPlainText("s");
            QTest::mouseClick(w->btnAddWord, Qt::LeftButton);
            QCOMPARE(script.messages(),
                     QStringList({"ERROR: The word must not contain \"[\", \"]\" or \"/\": they "
                                  "mark the transcription and the senses in userdict.txt, so the "
                                  "word could not be found again!"}));
            QCOMPARE(ReadBytes(path_), Utf16Bytes("x [p] /a/\r\n"));
        }
    }

    void everyShowingReloads() {
        ScriptedDialogs script;
        WriteBytes(path_, Utf16Bytes("a [p] /x/\r\nb [p] /y/\r\n"));
        auto w = Window();
        w->show();
        QCOMPARE(w->userdict().WordCount, 2);
        QCOMPARE(w->stbarMain->currentMessage(), QString("Readed: 2 records"));
        w->hide();
        WriteBytes(path_, Utf16Bytes("a [p] /x/\r\n"));
        w->edtNewWord->setText("kept");
        w->show();
        QCOMPARE(w->userdict().WordCount, 1);
        QCOMPARE(w->edtNewWord->text(), QString("kept"));  // fields survive a showing
        QVERIFY(script.shown().empty());
    }

    void queryFromButtonAndEnter() {
        ScriptedDialogs script;
        WriteBytes(path_,
                   Utf16Bytes(QString::fromUtf8("中国 [zhong1 guo2] /China/Middle Kingdom/\r\n"
                                                "a b [p] /x/\r\n")));
        auto w = Window();
        w->show();
        w->edtNewWord->setText(QString::fromUtf8(" 中国 "));
        QTest::mouseClick(w->btnQuery, Qt::LeftButton);
        QCOMPARE(w->edtNewWord->text(), QString::fromUtf8("中国"));
        QCOMPARE(w->edtNewPin->text(), QString("zhong1 guo2"));
        QCOMPARE(w->memNewDesc->toPlainText(), QString("China\nMiddle Kingdom"));

        w->edtNewWord->setText("ab");
        QTest::keyClick(w->edtNewWord, Qt::Key_Return);
        QCOMPARE(w->edtNewWord->text(), QString("a b"));
        QCOMPARE(w->edtNewPin->text(), QString("p"));
        QCOMPARE(w->memNewDesc->toPlainText(), QString("x"));

        // Not found: transcription and memo emptied, the word stays.
        w->edtNewWord->setText("a b");
        QTest::keyClick(w->edtNewWord, Qt::Key_Return);
        QCOMPARE(w->edtNewWord->text(), QString("a b"));
        QCOMPARE(w->edtNewPin->text(), QString());
        QCOMPARE(w->memNewDesc->toPlainText(), QString());

        w->edtNewWord->setText("   ");
        QTest::mouseClick(w->btnQuery, Qt::LeftButton);
        QCOMPARE(script.messages(), QStringList({"ERROR: You must enter a word!"}));
        QCOMPARE(w->edtNewWord->text(), QString());
    }

    void addThenChangeWithTheirMessages() {
        ScriptedDialogs script;
        WriteBytes(path_, Utf16Bytes("x [p] /a/"));  // no line end after the last line
        auto w = Window();
        w->show();
        w->edtNewWord->setText("w");
        w->edtNewPin->setText("p");
        w->memNewDesc->setPlainText(" a/b \n\nc");
        QTest::mouseClick(w->btnAddWord, Qt::LeftButton);
        QCOMPARE(w->memNewDesc->toPlainText(), QString("a&sl;b\nc"));
        QCOMPARE(ReadBytes(path_), Utf16Bytes("x [p] /a/\r\nw [p] /a&sl;b/c/\r\n"));
        QCOMPARE(script.messages(), QStringList({"Word added/changed"}));
        QCOMPARE(w->userdict().WordCount, 2);

        // The same word again: the question; No changes nothing.
        script.take();
        script.no();
        w->memNewDesc->setPlainText("d");
        QTest::mouseClick(w->btnAddWord, Qt::LeftButton);
        QCOMPARE(script.shown().size(), size_t(1));
        QCOMPARE(script.shown()[0].kind, DialogKind::Question);
        QCOMPARE(script.shown()[0].text,
                 QString("WARNING: This word already present in user dictionary, change?"));
        QCOMPARE(ReadBytes(path_), Utf16Bytes("x [p] /a/\r\nw [p] /a&sl;b/c/\r\n"));

        script.take();
        script.yes();
        QTest::mouseClick(w->btnAddWord, Qt::LeftButton);
        QCOMPARE(ReadBytes(path_), Utf16Bytes("x [p] /a/\r\nw [p] /d/\r\n"));
        QCOMPARE(script.messages(), QStringList({"Word added/changed"}));
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
    }

    void incompleteFieldsAndFailedWrite() {
        ScriptedDialogs script;
        const QByteArray original = Utf16Bytes("w [p] /a/\r\n");
        WriteBytes(path_, original);
        auto w = Window();
        w->show();
        w->edtNewWord->setText("n");
        w->edtNewPin->setText("  ");
        w->memNewDesc->setPlainText("x");
        QTest::mouseClick(w->btnAddWord, Qt::LeftButton);
        QCOMPARE(w->edtNewPin->text(), QString());
        QCOMPARE(script.messages(),
                 QStringList({"ERROR: You must enter something in all fields (except image "
                              "path)!"}));
        // The disk refuses the new file: the old file stays whole, the window stays, and the
        // message names the file and the reason.
        script.take();
        w->edtNewPin->setText("q");
        {
            test::FileSizeLimit limit(static_cast<uint64_t>(original.size()));
            QTest::mouseClick(w->btnAddWord, Qt::LeftButton);
        }
        QCOMPARE(script.messages(),
                 QStringList({"ERROR: Can't write changes to user dictionary!\nWrite error (" +
                              QString::fromLocal8Bit(std::strerror(EFBIG)) + "): " + path_}));
        QCOMPARE(ReadBytes(path_), original);
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"userdict.txt"});
        QVERIFY(w->isVisible());
    }

    void enterInTranscriptionMovesToTheMemo() {
        ScriptedDialogs script;
        WriteBytes(path_, QByteArray());
        auto w = Window();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->edtNewPin->setFocus();
        QCOMPARE(w->focusWidget(), static_cast<QWidget*>(w->edtNewPin));
        QTest::keyClick(w->edtNewPin, Qt::Key_Return);
        QCOMPARE(w->focusWidget(), static_cast<QWidget*>(w->memNewDesc));
        QVERIFY(script.shown().empty());
    }

    // A record queried into the window and saved again with "Add/Change" keeps every
    // character: U+00A0, U+2028 and U+2029 inside senses, a lone surrogate.
    void unchangedRecordIsWrittenBackByteForByte() {
        QString senses = QString::fromUtf8("詞 [ci2] /a") + QChar(0x00A0) + "b/c" + QChar(0x2028) +
                         "d/e" + QChar(0x2029) + "f/g" + QChar(0xD800) + "h/\r\n";
        const QByteArray record = Utf16Bytes(senses);
        const QByteArray other = Utf16Bytes("a [p] /x/\r\n");
        WriteBytes(path_, other + record);
        ScriptedDialogs script;
        script.yes();
        auto w = Window();
        w->show();
        w->edtNewWord->setText(QString::fromUtf8("詞"));
        QTest::mouseClick(w->btnQuery, Qt::LeftButton);
        QTest::mouseClick(w->btnAddWord, Qt::LeftButton);
        QCOMPARE(script.messages(), QStringList({"Word added/changed"}));
        QCOMPARE(ReadBytes(path_).toHex(' '), (other + record).toHex(' '));
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
    }
};

int main(int argc, char** argv) {
    return kes::test::RunWindowTest<UserdictWindowTest>(argc, argv);
}

#include "userdictwindow_test.moc"
