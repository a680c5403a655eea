// The duplicates checker window: the opening message, the scan from "Open file" with the
// list sorted by text, the pinyin rule, editing a row through the entry edit dialog, the
// save with its message, and the ScanState/ScannedFile rules across showings.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

#include "gui/duplicateswindow.h"
#include "gui/editstringwindow.h"
#include "support/faults.h"
#include "support/windowtest.h"
#include "ui/dialogs.h"

using namespace kes;
using namespace kes::test;
using ui::DialogKind;
using ui::ScriptedDialogs;

namespace {

const QString kIntro = QStringLiteral(
    "    With this function you can check CEDICT files for duplicate entries they can contain. "
    "Also you can edit or delete them and save results to a new CEDICT file. \r\n"
    "    WARNING: This module was not tested much and can contain some bugs! Although it can "
    "not damage your existing CEDICT files, but can produce errors in a saved ones!");

QStringList Rows(const QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem* it = list->item(i);
        rows << it->text() + " @" + QString::number(it->data(Qt::UserRole).toLongLong()) +
                    (it->checkState() == Qt::Checked ? " [x]" : "");
    }
    return rows;
}

const QString kZhong1 = QString::fromUtf8("中國 中国 [Zhong1 guo2] /China/");
const QString kOther = QString::fromUtf8("其他 [qi2 ta1] /other/");
const QString kZhong2 = QString::fromUtf8("中國 中国 [zhong1 guo2] /Middle Kingdom/");
const QString kB1 = "B [b] /first b/";
const QString kB2 = "B [b] /second b/";

}  // namespace

class DuplicatesWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString ced_;
    QByteArray source_;

  private Q_SLOTS:
    void init() {
        ced_ = dir_.filePath("cedict.ced");
        source_ = Ucs2File({kZhong1, kB1, kOther, "# comment", kZhong2, kB2});
        WriteBytes(ced_, source_);
        QFile::remove(dir_.filePath("cedict.new"));
    }

    void windowDesign() {
        TfmDuplicates w({});
        QCOMPARE(w.objectName(), QString("fmDuplicates"));
        QCOMPARE(w.windowTitle(), QString("Duplicate entries"));
        QCOMPARE(w.btnOpen->text(), QString("Open file"));
        QCOMPARE(w.btnCancel->text(), QString("Cancel"));
        QCOMPARE(w.btnSave->text(), QString("Save changes"));
        QCOMPARE(w.cbPinyinAlso->text(), QString("Also compare pinyin"));
        QCOMPARE(w.Label1->text(), QString("To edit entry - double-click it. Checked entries will "
                                           "be removed from CEDICT file."));
        QCOMPARE(w.minimumSize(), QSize(250, 150));
        QVERIFY(!w.btnCancel->isEnabled());
    }

    void openingMessageAndSaveBeforeAnyScan() {
        ScriptedDialogs script;
        TfmDuplicates w({});
        w.show();
        QCOMPARE(script.shown().size(), size_t(1));
        QCOMPARE(script.shown()[0].kind, DialogKind::Message);
        QCOMPARE(script.shown()[0].text, kIntro);
        QTest::mouseClick(w.btnSave, Qt::LeftButton);
        QCOMPARE(script.messages().last(),
                 QString("CEDICT file wasn't fully readed or has errors!"));
        QVERIFY(w.isVisible());
        QVERIFY(!QFile::exists(dir_.filePath("cedict.new")));
    }

    void scanListsDuplicatesSortedByText() {
        ScriptedDialogs script;
        TfmDuplicates w({});
        w.show();
        script.take();
        script.file(ced_);
        QTest::mouseClick(w.btnOpen, Qt::LeftButton);
        QCOMPARE(script.shown().size(), size_t(1));
        QCOMPARE(script.shown()[0].kind, DialogKind::OpenFile);
        QCOMPARE(script.shown()[0].text, QString("CEDICT files (UCS-2), *.ced|*.ced"));
        const qint64 b1 = Utf16Bytes(kZhong1 + "\r\n").size();
        const qint64 z2 = Ucs2File({kZhong1, kB1, kOther, "# comment"}).size();
        const qint64 b2 = z2 + Utf16Bytes(kZhong2 + "\r\n").size();
        QCOMPARE(Rows(w.gridMain),
                 QStringList({kB1 + " @" + QString::number(b1), kB2 + " @" + QString::number(b2),
                              kZhong1 + " @0", kZhong2 + " @" + QString::number(z2)}));
        QVERIFY(w.gridMain->item(0)->flags() & Qt::ItemIsUserCheckable);
        QCOMPARE(w.ScannedFile, ced_.toStdString());
        QCOMPARE(w.ScanState, 0);
        QVERIFY(w.btnOpen->isEnabled() && w.btnSave->isEnabled() && w.gridMain->isEnabled());
        QVERIFY(!w.btnCancel->isEnabled());
        QCOMPARE(w.pbMain->value(), 0);

        // With "Also compare pinyin" the two 中國 lines differ by the case of their pinyin.
        w.cbPinyinAlso->setChecked(true);
        w.ScanFile(ced_.toStdString());
        QCOMPARE(w.gridMain->count(), 2);
        QVERIFY(w.gridMain->item(0)->text().startsWith("B [b]"));
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
    }

    void editAndSaveThenReopen() {
        ScriptedDialogs script;
        TfmEditString editor;
        QStringList edits;
        TfmDuplicates w([&](const std::u16string& heading, const std::u16string& line) {
            edits << QString::fromStdU16String(line);
            return editor.EditEntryLine(heading, line);
        });
        w.show();
        w.ScanFile(ced_.toStdString());
        QCOMPARE(w.gridMain->count(), 4);

        // Edit the first row ("B [b] /first b/") so that its text would sort last: it keeps
        // its place, its position and its check mark.
        w.gridMain->setCurrentRow(0);
        w.gridMain->item(0)->setCheckState(Qt::Checked);
        QString heading;
        InsideModal(editor, [&] {
            heading = editor.pnlCaption->text();
            editor.edtNewWord->setText("Z");
            editor.memNewDesc->setPlainText("edited/b");
            QTest::mouseClick(editor.SpeedButton1, Qt::LeftButton);
        });
        w.gridMainDblClick();
        QCOMPARE(heading, QString("Edit CEDICT entry"));
        QCOMPARE(w.gridMain->item(0)->text(), QString("Z [b] /edited&sl;b/"));
        QCOMPARE(w.gridMain->item(0)->checkState(), Qt::Checked);

        // Cancel in the editor leaves the row as it was.
        w.gridMain->setCurrentRow(1);
        const QString before = w.gridMain->item(1)->text();
        InsideModal(editor, [] {});
        w.gridMainDblClick();
        QCOMPARE(w.gridMain->item(1)->text(), before);
        QCOMPARE(edits, QStringList({kB1, before}));  // both went to the given editor

        // Uncheck the edited row, edit the 中國 row of the second line and remove the other.
        w.gridMain->item(0)->setCheckState(Qt::Unchecked);
        w.gridMain->item(2)->setCheckState(Qt::Checked);  // kZhong1
        QSignalSpy accepted(&w, &QDialog::accepted);
        script.take();
        QTest::mouseClick(w.btnSave, Qt::LeftButton);
        const QString out = dir_.filePath("cedict.new");
        QCOMPARE(script.messages(), QStringList({"Changes saved to file: " + out}));
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(ReadBytes(out),
                 Ucs2File({"Z [b] /edited&sl;b/", kOther, "# comment", kZhong2, kB2}));
        QCOMPARE(ReadBytes(ced_), source_);

        // A new showing empties the list but keeps the scanned file: Save gives a copy.
        script.take();
        w.show();
        QCOMPARE(script.messages(), QStringList({kIntro}));
        QCOMPARE(w.gridMain->count(), 0);
        QTest::mouseClick(w.btnSave, Qt::LeftButton);
        QCOMPARE(ReadBytes(out), source_);
    }

    void failedSaveKeepsTheWindowAndSaysSo() {
        ScriptedDialogs script;
        TfmDuplicates w({});
        w.show();
        w.ScanFile(ced_.toStdString());
        script.take();
        QSignalSpy accepted(&w, &QDialog::accepted);
        const QStringList before = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden);
        {
            // The disk takes no more than 10 bytes of the new file.
            test::FileSizeLimit limit(10);
            QTest::mouseClick(w.btnSave, Qt::LeftButton);
        }
        QCOMPARE(script.messages().size(), 1);
        QVERIFY2(script.messages()[0].startsWith("ERROR: Can't save changes to file: " +
                                                 dir_.filePath("cedict.new")),
                 qPrintable(script.messages()[0]));
        QCOMPARE(accepted.count(), 0);
        QVERIFY(w.isVisible());
        QCOMPARE(w.gridMain->count(), 4);
        QVERIFY(!QFile::exists(dir_.filePath("cedict.new")));
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), before);
    }

    void cancelStopsTheScanBeforeTheNextLine() {
        ScriptedDialogs script;
        const QString path = dir_.filePath("four.ced");
        WriteBytes(path, Ucs2File({"a [1]", "a [2]", "a [3]", "a [4]"}));
        TfmDuplicates w({});
        w.show();
        bool runningState = false;
        // The bar reaches the third line (byte 28): press Cancel there.
        connect(w.pbMain, &QProgressBar::valueChanged, &w, [&](int value) {
            if (value < 28 || w.ScanState != 1) return;
            runningState = w.btnCancel->isEnabled() && !w.btnOpen->isEnabled() &&
                           !w.btnSave->isEnabled() && !w.gridMain->isEnabled() &&
                           w.ScannedFile.empty();
            QTest::mouseClick(w.btnCancel, Qt::LeftButton);
            QCOMPARE(w.ScanState, 2);
        });
        w.ScanFile(path.toStdString());
        QVERIFY(runningState);
        QCOMPARE(Rows(w.gridMain), QStringList({"a [1] @0", "a [2] @14"}));
        QCOMPARE(w.ScanState, 0);
        QCOMPARE(w.ScannedFile, path.toStdString());
        QVERIFY(w.btnSave->isEnabled() && !w.btnCancel->isEnabled());
        QCOMPARE(script.messages(), QStringList({kIntro}));
    }

    void unreadableFileEndsTheScanWithAMessage() {
        ScriptedDialogs script;
        TfmDuplicates w({});
        w.show();
        script.take();
        const QString missing = dir_.filePath("missing.ced");
        w.ScanFile(missing.toStdString());
        QCOMPARE(script.messages().size(), 1);
        QVERIFY(script.messages()[0].contains("missing.ced"));
        QCOMPARE(w.ScannedFile, missing.toStdString());
        QVERIFY(w.btnSave->isEnabled());
        QCOMPARE(w.ScanState, 0);
    }

    // CC-CEDICT (as the build imports it) twice over: every row of the scan is listed once, in
    // the locale's order of their texts; a Cancel clicked while the list fills stops it after the
    // batch in hand.
    void bigListIsSortedAndCancelStopsTheFill() {
        if (!BuildHasBundledCedict())
            QSKIP("this build does not import the bundled CC-CEDICT (KESTRUNE_DICTIONARY is OFF)");
        const QByteArray once = Ucs2File(BundledCedictLines());
        const QString path = dir_.filePath("twice.ced");
        WriteBytes(path, once + once);
        const ScanResult scan = kes::ScanFile(path.toStdString(), {});
        QVERIFY(scan.outcome.ok);
        QVERIFY2(scan.Rows.size() > 200000, qPrintable(QString::number(scan.Rows.size())));

        ScriptedDialogs script;
        TfmDuplicates w({});
        w.show();
        w.ScanFile(path.toStdString());
        QCOMPARE(w.gridMain->count(), int(scan.Rows.size()));
        const std::vector<DuplicateRow> listed = w.Rows();
        int unordered = 0;
        for (std::size_t i = 1; i < listed.size(); ++i) {
            if (QString::fromStdU16String(listed[i - 1].Text)
                    .localeAwareCompare(QString::fromStdU16String(listed[i].Text)) > 0)
                ++unordered;
        }
        QCOMPARE(unordered, 0);
        auto byPosition = [](const DuplicateRow& a, const DuplicateRow& b) {
            return a.Position < b.Position;
        };
        std::vector<DuplicateRow> sorted = listed, expected = scan.Rows;
        std::sort(sorted.begin(), sorted.end(), byPosition);
        std::sort(expected.begin(), expected.end(), byPosition);
        QVERIFY(sorted == expected);

        // Cancel, clicked as the first rows arrive, is taken at the next batch.
        bool clickQueued = false;
        connect(w.gridMain->model(), &QAbstractItemModel::rowsInserted, &w, [&] {
            if (clickQueued) return;
            clickQueued = true;
            QVERIFY(w.btnCancel->isEnabled());
            QMetaObject::invokeMethod(w.btnCancel, "click", Qt::QueuedConnection);
        });
        w.ScanFile(path.toStdString());
        QVERIFY(clickQueued);
        QVERIFY2(w.gridMain->count() > 0 && w.gridMain->count() < int(scan.Rows.size()) / 10,
                 qPrintable(QString::number(w.gridMain->count())));
        QCOMPARE(w.ScanState, 0);
        QVERIFY(w.btnOpen->isEnabled() && w.btnSave->isEnabled() && !w.btnCancel->isEnabled());
        QCOMPARE(script.messages(), QStringList({kIntro}));
    }
};

int main(int argc, char** argv) {
    return kes::test::RunWindowTest<DuplicatesWindowTest>(argc, argv);
}

#include "duplicateswindow_test.moc"
