// The tree panel pnlLeft and the page beside it, through the real window: at first start
// (no pnlLeft in setup.ini) the dictionary names and six-character words fit unclipped in the
// tree font, as the tree itself measures its rows; a stored pnlLeft is
// kept; the page keeps its minimum width. Run at scale 1 and, as a second test, with
// QT_SCALE_FACTOR=2.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "gui/findcontrol.h"
#include "gui/mainwindow.h"
#include "support/windowtest.h"

using namespace kes;
using namespace kes::test;

// The width the tree's visible rows need, as the tree measures them (indentation, icon,
// margins and text in its font).
int Needed(QTreeWidget* tree) {
    tree->resizeColumnToContents(0);
    return tree->columnWidth(0);
}

class TreePanelTest : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir dir_;
    Forms forms_;

    // A program folder holding the dictionary "CC-CEDICT" and setup.ini with `ini`.
    QString Folder(const QString& name, const QByteArray& ini) {
        const QString folder = dir_.filePath(name);
        QDir().mkpath(folder);
        QFile::copy(KESTRUNE_SOURCE_DIR "/data/empty.html", folder + "/empty.html");
        MakeDict(folder, "cedict", "CC-CEDICT",
                 {QString::fromUtf8("中華人民 中华人民 [Zhong1 hua2 ren2 min2] /Chinese people/"),
                  QString::fromUtf8("中華人民共和 中华人民共和 [Zhong1 hua2 ren2 min2 gong4 he2] "
                                    "/people's republic/")});
        WriteBytes(folder + "/setup.ini", "[Dicts]\ncedict.idx=1\n" + ini);
        return folder;
    }

    std::unique_ptr<TfmMain> Window(const QString& folder) {
        auto w = std::make_unique<TfmMain>(folder.toStdString(), forms_, PageFactory());
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get())) return nullptr;
        return w;
    }

  private Q_SLOTS:
    void initTestCase() {
        // The second run of this test must really be scaled.
        const QByteArray scale = qgetenv("QT_SCALE_FACTOR");
        QCOMPARE(qApp->devicePixelRatio(), scale.isEmpty() ? 1.0 : scale.toDouble());
    }

    void firstStartShowsTheNamesAndTheWords() {
        auto w = Window(Folder("fresh", ""));
        QVERIFY(w);
        auto* tree = Find<QTreeWidget>(*w, "tvMain");
        QCOMPARE(tree->topLevelItem(0)->text(0), QString("CC-CEDICT"));
        QCOMPARE(Find<QWidget>(*w, "pnlLeft")->width(), w->pnlLeftWidth());
        // The dictionary item's row, as the tree measures it, fits in the visible width.
        QVERIFY2(Needed(tree) <= tree->viewport()->width(),
                 qPrintable(QString("%1 > %2").arg(Needed(tree)).arg(tree->viewport()->width())));
        // Words of six characters below it, expanded after the search, fit too.
        auto* inp = Find<QLineEdit>(*w, "edtInp");
        inp->setText(QString::fromUtf8("中华人民"));
        QTest::keyClick(inp, Qt::Key_Return);
        QTreeWidgetItem* dict = tree->topLevelItem(0);
        QCOMPARE(dict->childCount(), 2);
        QCOMPARE(dict->child(1)->text(0), QString::fromUtf8("中华人民共和"));
        QVERIFY(dict->isExpanded());
        QVERIFY2(Needed(tree) <= tree->viewport()->width(),
                 qPrintable(QString("%1 > %2").arg(Needed(tree)).arg(tree->viewport()->width())));
        // The words start close to the left edge: after two indentations and the icon.
        const QRect word = tree->visualItemRect(dict->child(1));
        QVERIFY2(word.left() <= 2 * tree->indentation(), qPrintable(QString::number(word.left())));
    }

    void aStoredWidthIsKept() {
        auto w = Window(Folder("stored", "[Form]\npnlLeft=150\n"));
        QVERIFY(w);
        QCOMPARE(w->pnlLeftWidth(), 150);
        QCOMPARE(Find<QWidget>(*w, "pnlLeft")->width(), 150);
    }

    // The page keeps 200 pixels: a stored width that leaves less is cut down at start
    // (418 - 4 of margins - 4 of the handle - 200 = 210; the window at its minimum width,
    // which fits the screen at both scales), and the splitter cannot be dragged past it.
    void thePageKeepsItsMinimumWidth() {
        auto w = Window(Folder("narrow", "[Form]\npnlLeft=5000\nX=0\nDX=418\n"));
        QVERIFY(w);
        QCOMPARE(w->width(), 418);
        QCOMPARE(w->pnlLeftWidth(), 210);
        QCOMPARE(Find<QWidget>(*w, "pnlLeft")->width(), 210);
        QCOMPARE(Find<QWidget>(*w, "pnlShow")->width(), 200);

        auto* splitter = Find<QSplitter>(*w, "Splitter1");
        splitter->setSizes({100, 310});
        QCOMPARE(Find<QWidget>(*w, "pnlShow")->width(), 310);
        QSplitterHandle* handle = splitter->handle(1);
        const QPoint grip = handle->rect().center();
        QTest::mousePress(handle, Qt::LeftButton, {}, grip);
        QTest::mouseMove(handle, grip + QPoint(700, 0));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(700, 0));
        QCOMPARE(Find<QWidget>(*w, "pnlShow")->width(), 200);
        QCOMPARE(w->pnlLeftWidth(), 210);
    }
};

int main(int argc, char** argv) {
    return kes::test::RunWindowTest<TreePanelTest>(argc, argv);
}

#include "treepanel_test.moc"
