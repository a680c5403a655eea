// The scripted-answer mode of the standard dialogs: answers are used in order, every dialog is
// recorded with its caption and text, and a dialog without an answer fails loudly instead of
// blocking.
#include <QtTest>

#include "support/windowtest.h"
#include "ui/dialogs.h"

using namespace kes::ui;

class DialogsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void answersAreUsedInOrder() {
        ScriptedDialogs script;
        script.yes()
            .no()
            .file("/tmp/a.ced")
            .cancel()
            .text("My dict")
            .cancel()
            .font("Noto", 15)
            .cancel();
        QCOMPARE(AskYesNo("Q1?"), true);
        QCOMPARE(AskYesNo("Q2?", "Cap"), false);
        QCOMPARE(AskOpenFile("CEDICT (UCS-2 text) (*.ced)", "*.ced"), QString("/tmp/a.ced"));
        QCOMPARE(AskOpenFile("Unihan database file (*.txt)", "*.txt"), QString());
        QCOMPARE(AskText("Dictionary Description", "Enter dictionary name:", "init"),
                 std::optional<QString>("My dict"));
        QCOMPARE(AskText("Dictionary Description", "Enter dictionary name:", "init"),
                 std::optional<QString>());
        QCOMPARE(AskFont({"Arial", 12}), std::optional<FontChoice>(FontChoice{"Noto", 15}));
        QCOMPARE(AskFont({"Arial", 12}), std::optional<FontChoice>());
        QCOMPARE(script.pending(), 0);
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));

        const auto& shown = script.shown();
        QCOMPARE(shown.size(), size_t(8));
        QCOMPARE(shown[0].kind, DialogKind::Question);
        QCOMPARE(shown[0].caption, QString("Kestrune"));
        QCOMPARE(shown[0].text, QString("Q1?"));
        QCOMPARE(shown[1].caption, QString("Cap"));
        QCOMPARE(shown[2].kind, DialogKind::OpenFile);
        QCOMPARE(shown[2].text, QString("CEDICT (UCS-2 text) (*.ced)|*.ced"));
        QCOMPARE(shown[4].kind, DialogKind::Prompt);
        QCOMPARE(shown[4].caption, QString("Dictionary Description"));
        QCOMPARE(shown[4].text, QString("Enter dictionary name:"));
        QCOMPARE(shown[6].kind, DialogKind::Font);
        QCOMPARE(shown[6].text, QString("Arial 12"));
    }

    void messagesNeedNoAnswerButConsumeAQueuedOk() {
        ScriptedDialogs script;
        script.ok().yes();
        ShowMessage(QString("one"));
        ShowMessage(std::string("two \xe4\xb8\xad"));
        ShowMessage(std::u16string(u"three \u4e2d"));
        ShowError("boom");
        QCOMPARE(AskYesNo("still yes?"), true);  // the Ok went to the first message only
        QCOMPARE(script.messages(), QStringList({"one", QString::fromUtf8("two \xe4\xb8\xad"),
                                                 QString::fromUtf8("three \xe4\xb8\xad"), "boom"}));
        QCOMPARE(script.shown()[3].kind, DialogKind::Error);
        QVERIFY(script.unexpected().empty());
    }

    void unexpectedDialogsAreRecordedAndCancelled() {
        ScriptedDialogs script;
        QCOMPARE(AskYesNo("Shut it down anyway?"), false);
        script.yes();  // an answer of the wrong kind is not taken by a file dialog
        QCOMPARE(AskOpenFile("d", "*.x"), QString());
        QCOMPARE(AskText("c", "l", "i"), std::optional<QString>());
        QCOMPARE(AskFont({"A", 1}), std::optional<FontChoice>());
        QCOMPARE(script.pending(), 1);
        QCOMPARE(AskYesNo("now?"), true);
        const auto bad = script.unexpected();
        QCOMPARE(bad.size(), size_t(4));
        QCOMPARE(bad[0].text, QString("Shut it down anyway?"));
        QCOMPARE(bad[1].kind, DialogKind::OpenFile);
        QCOMPARE(bad[2].kind, DialogKind::Prompt);
        QCOMPARE(bad[3].kind, DialogKind::Font);
        QVERIFY(script.describe().startsWith("UNEXPECTED question [Kestrune] Shut it down"));
    }

    void actionsRunWhenTheNextDialogAppears() {
        ScriptedDialogs script;
        int seen = -1;
        int counter = 0;
        script.then([&] { seen = counter; }).no();
        counter = 7;
        QCOMPARE(AskYesNo("q"), false);
        QCOMPARE(seen, 7);
        QCOMPARE(script.pending(), 0);
    }

    void promptTextIsLimitedTo255() {
        ScriptedDialogs script;
        script.text(QString(300, QChar('x')));
        QCOMPARE(AskText("c", "l", "")->size(), 255);
    }

    void openFileInLastDirRemembersTheFolder() {
        ScriptedDialogs script;
        script.cancel().file("/some/where/a.ced").cancel();
        AskOpenFileInLastDir("d", "*.ced");
        QCOMPARE(LastOpenDir(), QString());
        QCOMPARE(AskOpenFileInLastDir("d", "*.ced"), QString("/some/where/a.ced"));
        QCOMPARE(LastOpenDir(), QString("/some/where"));
        AskOpenFileInLastDir("d", "*.ced");  // a cancel keeps the folder
        QCOMPARE(LastOpenDir(), QString("/some/where"));
    }

    void scriptedModeEndsWithTheObject() {
        QCOMPARE(ScriptedDialogs::active(), false);
        {
            ScriptedDialogs script;
            QCOMPARE(ScriptedDialogs::active(), true);
        }
        QCOMPARE(ScriptedDialogs::active(), false);
    }

    void throttledProcessingRunsAtMostEvery33Ms() {
        QObject receiver;
        QSet<int> processingRounds;  // loop rounds in which posted calls ran
        int round = 0;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 330) {
            QMetaObject::invokeMethod(
                &receiver, [&] { processingRounds.insert(round); }, Qt::QueuedConnection);
            ProcessPendingMessagesThrottled();
            ++round;
        }
        const qint64 elapsed = t.elapsed();
        // Messages were processed, but at most once per 33 ms of the loop's time (a busy
        // machine can only make the count smaller), never once per loop round.
        QVERIFY(round > 100);
        QVERIFY(!processingRounds.isEmpty());
        QVERIFY2(
            processingRounds.size() <= elapsed / 33 + 2,
            qPrintable(QString("%1 rounds in %2 ms").arg(processingRounds.size()).arg(elapsed)));
        ProcessPendingMessages();
    }
};

int main(int argc, char** argv) {
    return kes::test::RunWindowTest<DialogsTest>(argc, argv);
}

#include "dialogs_test.moc"
