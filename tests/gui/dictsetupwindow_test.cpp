// The dictionary setup dialog: the list filled from the dictionaries on every showing, moves
// with the selection following, ticks, OK writing the order and flags to the list and to
// section "Dicts", and Cancel leaving everything as it was.
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "gui/dictsetupwindow.h"
#include "support/windowtest.h"
#include "ui/dialogs.h"

using namespace kes;
using namespace kes::test;
using ui::ScriptedDialogs;

namespace {

std::vector<TDic> Dicts() {
    std::vector<TDic> out;
    for (const char* name : {"a", "b", "c"}) {
        TDic d;
        d.FileName = std::string(name) + ".idx";
        d.Description = QString("Dictionary %1").arg(name).toStdU16String();
        d.Enabled = std::string(name) != "b";
        out.push_back(d);
    }
    return out;
}

QString Order(const std::vector<TDic>& dicts) {
    QStringList parts;
    for (const auto& d : dicts)
        parts << QString::fromStdString(d.FileName) + (d.Enabled ? "+" : "-");
    return parts.join(' ');
}

QStringList Rows(const QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem* it = list->item(i);
        rows << it->text() + (it->checkState() == Qt::Checked ? " [x]" : " [ ]") + " " +
                    QString::number(it->data(Qt::UserRole).toInt());
    }
    return rows;
}

}  // namespace

class DictSetupWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

  private Q_SLOTS:
    void windowDesign() {
        std::vector<TDic> dicts;
        TfmDictSetup w(dicts, dir_.filePath("setup.ini").toStdString());
        QCOMPARE(w.objectName(), QString("fmDictSetup"));
        QCOMPARE(w.windowTitle(), QString("Dictionaries"));
        QCOMPARE(w.btnOk->text(), QString("OK"));
        QVERIFY(w.btnOk->isDefault());
        QCOMPARE(w.btnCancel->text(), QString("Cancel"));
    }

    void showingFillsTheListWithoutSelection() {
        std::vector<TDic> dicts = Dicts();
        TfmDictSetup w(dicts, dir_.filePath("setup.ini").toStdString());
        w.show();
        QCOMPARE(Rows(w.gridMain),
                 QStringList({"Dictionary a [x] 0", "Dictionary b [ ] 1", "Dictionary c [x] 2"}));
        QCOMPARE(w.gridMain->selectedItems().size(), 0);
        QTest::mouseClick(w.btnDown, Qt::LeftButton);  // nothing selected: nothing moves
        QCOMPARE(Rows(w.gridMain).first(), QString("Dictionary a [x] 0"));
    }

    void movesTicksAndOk() {
        ScriptedDialogs script;
        const QString ini = dir_.filePath("setup.ini");
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Setup]\nShowUcs2=1\n[Dicts]\nold.idx=1\n");
        }
        std::vector<TDic> dicts = Dicts();
        TfmDictSetup w(dicts, ini.toStdString());
        w.show();
        w.gridMain->setCurrentRow(0);
        QTest::mouseClick(w.btnUp, Qt::LeftButton);  // the top row cannot go up
        QCOMPARE(w.gridMain->currentRow(), 0);
        QTest::mouseClick(w.btnDown, Qt::LeftButton);
        QTest::mouseClick(w.btnDown, Qt::LeftButton);
        QCOMPARE(w.gridMain->currentRow(), 2);         // the selection follows the row
        QTest::mouseClick(w.btnDown, Qt::LeftButton);  // the bottom row cannot go down
        QCOMPARE(Rows(w.gridMain),
                 QStringList({"Dictionary b [ ] 1", "Dictionary c [x] 2", "Dictionary a [x] 0"}));
        w.gridMain->item(0)->setCheckState(Qt::Checked);
        w.gridMain->item(2)->setCheckState(Qt::Unchecked);
        QSignalSpy accepted(&w, &QDialog::accepted);
        QTest::mouseClick(w.btnOk, Qt::LeftButton);
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(Order(dicts), QString("b.idx+ c.idx+ a.idx-"));
        QCOMPARE(ReadBytes(ini),
                 QByteArray("[Setup]\nShowUcs2=1\n\n[Dicts]\nb.idx=1\nc.idx=1\na.idx=0\n"));
        QVERIFY(script.shown().empty());
    }

    void cancelChangesNothingAndTheNextShowingStartsAgain() {
        const QString ini = dir_.filePath("cancel.ini");
        std::vector<TDic> dicts = Dicts();
        TfmDictSetup w(dicts, ini.toStdString());
        w.show();
        w.gridMain->setCurrentRow(2);
        QTest::mouseClick(w.btnUp, Qt::LeftButton);
        w.gridMain->item(0)->setCheckState(Qt::Unchecked);
        QSignalSpy rejected(&w, &QDialog::rejected);
        QTest::mouseClick(w.btnCancel, Qt::LeftButton);
        QCOMPARE(rejected.count(), 1);
        QCOMPARE(Order(dicts), QString("a.idx+ b.idx- c.idx+"));
        QVERIFY(!QFile::exists(ini));
        w.show();
        QCOMPARE(Rows(w.gridMain),
                 QStringList({"Dictionary a [x] 0", "Dictionary b [ ] 1", "Dictionary c [x] 2"}));
    }

    void rowsOutOfStepWithTheListAreRefused() {
        ScriptedDialogs script;
        const QString ini = dir_.filePath("refused.ini");
        std::vector<TDic> dicts = Dicts();
        TfmDictSetup w(dicts, ini.toStdString());
        w.show();
        dicts.pop_back();  // the list changed while the dialog was open
        QSignalSpy accepted(&w, &QDialog::accepted);
        QTest::mouseClick(w.btnOk, Qt::LeftButton);
        QCOMPARE(script.messages(),
                 QStringList({"ERROR: Damn! How it can be?!! (List wasn't saved)"}));
        QCOMPARE(accepted.count(), 1);  // the dialog closes all the same
        QCOMPARE(Order(dicts), QString("a.idx+ b.idx-"));
        QVERIFY(!QFile::exists(ini));
    }

    void emptyListErasesTheSection() {
        const QString ini = dir_.filePath("empty.ini");
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Dicts]\nx.idx=1\n");
        }
        std::vector<TDic> dicts;
        TfmDictSetup w(dicts, ini.toStdString());
        w.show();
        QCOMPARE(w.gridMain->count(), 0);
        QTest::mouseClick(w.btnOk, Qt::LeftButton);
        QVERIFY(!ReadBytes(ini).contains("x.idx"));
    }
};

int main(int argc, char** argv) {
    return kes::test::RunWindowTest<DictSetupWindowTest>(argc, argv);
}

#include "dictsetupwindow_test.moc"
