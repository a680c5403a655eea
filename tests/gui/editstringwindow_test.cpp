// The entry edit dialog: a line opens split into its fields, OK composes it again (with the
// memo normalised and "/" escaped), an incomplete entry is refused with the dialog kept open,
// and Cancel returns nothing.
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <functional>

#include "gui/editstringwindow.h"
#include "support/windowtest.h"
#include "ui/dialogs.h"

using namespace kes;
using ui::ScriptedDialogs;

namespace {

QString Q(const std::u16string& s) {
    return QString::fromStdU16String(s);
}
std::u16string U16(const QString& s) {
    return s.toStdU16String();
}

// Runs `inside` once the dialog's modal loop is running, then EditEntryLine's result. A
// dialog still open after `inside` (a failed check) is cancelled, so the test never blocks.
std::u16string Edit(TfmEditString& w, const QString& heading, const QString& line,
                    const std::function<void()>& inside) {
    kes::test::InsideModal(w, inside);
    return w.EditEntryLine(U16(heading), U16(line));
}

}  // namespace

class EditStringWindowTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void windowDesign() {
        TfmEditString w;
        QCOMPARE(w.objectName(), QString("fmEditString"));
        QCOMPARE(w.windowTitle(), QString("Edit"));
        QCOMPARE(w.SpeedButton1->text(), QString("OK"));
        QVERIFY(w.SpeedButton1->font().bold());
        QCOMPARE(w.SpeedButton2->text(), QString("Cancel"));
        QCOMPARE(w.TntLabel1->text(), QString("Word"));
        QCOMPARE(w.TntLabel2->text(), QString("Transcription"));
        QCOMPARE(w.TntLabel3->text(), QString("Translation"));
        QCOMPARE(w.edtNewWord->font().family(), QString("SimSun"));
        QVERIFY(!(w.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(w.windowFlags() & Qt::WindowSystemMenuHint));
    }

    void cedictLineRoundTrip() {
        ScriptedDialogs script;
        TfmEditString w;
        const QString line = QString::fromUtf8("中國 中国 [Zhong1 guo2] /China/Middle Kingdom/");
        bool checked = false;
        const std::u16string out = Edit(w, "Edit CEDICT entry", line, [&] {
            QVERIFY(w.isVisible());
            QCOMPARE(w.pnlCaption->text(), QString("Edit CEDICT entry"));
            QCOMPARE(w.edtNewWord->text(), QString::fromUtf8("中國 中国"));
            QCOMPARE(w.edtNewPin->text(), QString("Zhong1 guo2"));
            QCOMPARE(w.memNewDesc->toPlainText(), QString("China\nMiddle Kingdom"));
            checked = true;
            QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
        });
        QVERIFY(checked);
        QCOMPARE(Q(out), line);
        QCOMPARE(Q(w.EditedLine), line);
        QVERIFY(!w.isVisible());
        QVERIFY2(script.shown().empty(), qPrintable(script.describe()));
    }

    void slashIsEscapedAndFieldsNormalised() {
        ScriptedDialogs script;
        TfmEditString w;
        const std::u16string out = Edit(w, "h", "w [p] /a/", [&] {
            w.edtNewWord->setText("  w2 ");
            w.edtNewPin->setText(" p2\t");
            w.memNewDesc->setPlainText("  either/or \n\n   \nb");
            QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
        });
        QCOMPARE(Q(out), QString("w2 [p2] /either&sl;or/b/"));
        // The memo shows the escaped, normalised lines.
        QCOMPARE(w.memNewDesc->toPlainText(), QString("either&sl;or\nb"));
        QCOMPARE(w.edtNewWord->text(), QString("w2"));
    }

    void imagePathIsDropped() {
        ScriptedDialogs script;
        TfmEditString w;
        const std::u16string out = Edit(w, "h", "w [p] /a/ [is]pic.png[ie]", [&] {
            QCOMPARE(w.memNewDesc->toPlainText(), QString("a"));
            QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
        });
        QCOMPARE(Q(out), QString("w [p] /a/"));
    }

    void incompleteEntryIsRefusedAndTheDialogStays() {
        ScriptedDialogs script;
        TfmEditString w;
        bool stayed = false;
        const std::u16string out = Edit(w, "h", "a line without brackets", [&] {
            QCOMPARE(w.edtNewWord->text(), QString("a line without brackets"));
            QCOMPARE(w.edtNewPin->text(), QString());
            QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
            stayed = w.isVisible();
            w.edtNewPin->setText("p");
            w.memNewDesc->setPlainText("x");
            QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
        });
        QVERIFY(stayed);
        QCOMPARE(script.messages(),
                 QStringList({"ERROR: You must enter something in all fields!"}));
        QCOMPARE(Q(out), QString("a line without brackets [p] /x/"));
    }

    // The memo holds exactly the characters of the line: U+00A0 stays (no space), U+2028 and
    // U+2029 inside a sense stay inside it (no extra sense), a lone surrogate stays.
    void okKeepsEveryCharacterOfTheMemo() {
        ScriptedDialogs script;
        TfmEditString w;
        const std::u16string line = u"詞 [ci2] /a\u00A0b/c\u2028d/e\u2029f/g\xD800h/\u00A0/";
        std::u16string out =
            Edit(w, "h", Q(line), [&] { QTest::mouseClick(w.SpeedButton1, Qt::LeftButton); });
        QCOMPARE(Q(out), Q(line));
        // A sense edited by the user leaves the untouched senses around it exact, and what the
        // user typed is taken as typed (U+00A0 included).
        out = Edit(w, "h", Q(line), [&] {
            QTextCursor c = w.memNewDesc->textCursor();
            c.movePosition(QTextCursor::Start);
            c.movePosition(QTextCursor::NextBlock);
            c.movePosition(QTextCursor::EndOfBlock);
            c.insertText(QString(QChar(0x00A0)) + "x");
            QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
        });
        QCOMPARE(Q(out), Q(u"詞 [ci2] /a\u00A0b/c\u2028d\u00A0x/e\u2029f/g\xD800h/\u00A0/"));
        out = Edit(w, "h", Q(line), [&] {
            w.memNewDesc->setPlainText(Q(u"p\u00A0q\nr\u2028s"));
            QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
        });
        QCOMPARE(Q(out), Q(u"詞 [ci2] /p\u00A0q/r\u2028s/"));
    }

    // Every entry of the full CC-CEDICT (as the build imports it) comes back from OK exactly as
    // it went in. The fields are filled as EditEntryLine fills them and OK is clicked, without a
    // modal loop per line.
    void everyCedictLineSurvivesOk() {
        if (!kes::test::BuildHasBundledCedict())
            QSKIP("this build does not import the bundled CC-CEDICT (KESTRUNE_DICTIONARY is OFF)");
        ScriptedDialogs script;
        TfmEditString w;
        int lines = 0, changed = 0;
        QStringList firstChanged;
        for (const QString& text : kes::test::BundledCedictLines()) {
            if (text.isEmpty() || text.startsWith('#')) continue;
            const std::u16string line = U16(text);
            w.EditedLine.clear();
            w.LoadEntryLine(u"Edit CEDICT entry", line);
            w.SpeedButton1->click();
            ++lines;
            if (w.EditedLine != line) {
                if (++changed <= 5) firstChanged << Q(line) + " -> " + Q(w.EditedLine);
            }
        }
        QVERIFY2(lines > 100000, qPrintable(QString::number(lines)));
        QVERIFY2(changed == 0,
                 qPrintable(QString::number(changed) + " changed:\n" + firstChanged.join('\n')));
        QVERIFY2(script.shown().empty(), qPrintable(script.describe()));
    }

    void cancelReturnsNothingWhateverTheLastOk() {
        ScriptedDialogs script;
        TfmEditString w;
        std::u16string out =
            Edit(w, "h", "w [p] /a/", [&] { QTest::mouseClick(w.SpeedButton1, Qt::LeftButton); });
        QCOMPARE(Q(out), QString("w [p] /a/"));
        out = Edit(w, "h", "v [q] /b/", [&] {
            w.memNewDesc->setPlainText("changed");
            QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
        });
        QVERIFY(out.empty());
        QCOMPARE(Q(w.EditedLine), QString("w [p] /a/"));  // kept, but not returned
    }
};

int main(int argc, char** argv) {
    return kes::test::RunWindowTest<EditStringWindowTest>(argc, argv);
}

#include "editstringwindow_test.moc"
