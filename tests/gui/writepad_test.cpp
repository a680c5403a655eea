// The handwriting pad: opened by "Write" on the main window, strokes drawn with the mouse give
// the candidates with their traditional forms, a click appends the character to the input
// field and searches; Undo stroke, Clear and Esc; the place kept in setup.ini; the model
// loaded on the first show and released after the release time; a missing model.
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "base/text.h"
#include "gui/findcontrol.h"
#include "gui/forms.h"
#include "gui/mainwindow.h"
#include "gui/writepad.h"
#include "hand/strokes.h"
#include "support/windowtest.h"

using namespace kes;
using namespace kes::test;

namespace {

// A stored drawing (0..1000 units) drawn on the canvas with the mouse, scaled into it.
void Draw(WriteCanvas* canvas, const char* file, int strokes = 1000) {
    const StrokesParse p = ParseStrokesJson(
        ReadBytes(QStringLiteral(KESTRUNE_SOURCE_DIR "/tests/data/hand/") + file).toStdString());
    QVERIFY2(p.ok, p.error.c_str());
    const double scale = std::min(canvas->width(), canvas->height()) / 1100.0;
    auto at = [&](const HandPoint& pt) { return QPointF(20 + pt.x * scale, 20 + pt.y * scale); };
    auto send = [&](QEvent::Type type, QPointF pos, Qt::MouseButtons buttons) {
        QMouseEvent e(type, pos, canvas->mapToGlobal(pos), Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(canvas, &e);
    };
    for (const HandStroke& s : p.strokes) {
        if (strokes-- <= 0) break;
        send(QEvent::MouseButtonPress, at(s[0]), Qt::LeftButton);
        for (std::size_t i = 1; i < s.size(); ++i)
            send(QEvent::MouseMove, at(s[i]), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, at(s.back()), Qt::NoButton);
    }
}

QStringList Texts(const TfmWritePad& pad) {
    QStringList out;
    for (QPushButton* b : pad.candidateButtons())
        out << b->text() + (b->property("traditional").toBool() ? "*" : "");
    return out;
}

}  // namespace

class WritePadTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    Forms forms_;

    std::unique_ptr<TfmMain> NewWindow() {
        const QString folder = dir_.path();
        QFile::remove(folder + "/empty.html");
        QFile::copy(KESTRUNE_SOURCE_DIR "/data/empty.html", folder + "/empty.html");
        WriteBytes(folder + "/readme.html", "<p>Readme</p>\n");
        return std::make_unique<TfmMain>(folder.toStdString(), forms_, PageFactory());
    }

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        MakeDict(dir_.path(), "small", "Small",
                 {"學 学 [xue2] /to learn/", "學習 学习 [xue2 xi2] /to learn/",
                  "十 十 [shi2] /ten/"});
        WriteBytes(dir_.path() + "/setup.ini", "[Dicts]\nsmall.idx=1\n");
    }

    // Draw 学, click it: the field holds 学 and the tree lists 学习 (the second click).
    void drawnCharacterIsAppendedAndSearched() {
        auto w = NewWindow();
        QVERIFY(!w->writePadIfCreated());  // nothing of it before the first use
        test::Inp(*w)->setText("");
        test::Act(*w, "acWrite")->trigger();
        TfmWritePad* pad = w->writePadIfCreated();
        QVERIFY(pad && pad->isVisible());
        QVERIFY(pad->modelLoaded());
        QCOMPARE(Texts(*pad), QStringList());
        Draw(pad->canvas(), "xue.json");
        QCOMPARE(pad->canvas()->strokes().size(), std::size_t{8});
        const QStringList shown = Texts(*pad);
        QVERIFY2(shown.size() >= 11, qPrintable(shown.join(' ')));
        // 学 first (the only candidate the dictionary holds), its traditional form beside it.
        QCOMPARE(shown.mid(0, 2), QStringList({"学", "學*"}));
        pad->candidateButtons()[0]->click();
        QCOMPARE(test::Inp(*w)->text(), QString("学"));
        QTreeWidgetItem* dict = test::Tree(*w)->topLevelItem(0);
        QVERIFY(dict);
        QStringList words;
        for (int i = 0; i < dict->childCount(); ++i)
            words << dict->child(i)->text(0);
        QCOMPARE(words, QStringList({"学", "学习"}));
        // The pad is clean for the next character; a traditional form is appended as well.
        QCOMPARE(pad->canvas()->strokes().size(), std::size_t{0});
        Draw(pad->canvas(), "xue.json");
        pad->candidateButtons()[1]->click();
        QCOMPARE(test::Inp(*w)->text(), QString("学學"));
        pad->close();
    }

    void undoClearAndEscape() {
        auto w = NewWindow();
        test::Act(*w, "acWrite")->trigger();
        TfmWritePad* pad = w->writePadIfCreated();
        Draw(pad->canvas(), "shi.json");
        QCOMPARE(Texts(*pad).value(0), QString("十"));
        QTest::mouseClick(pad->findChild<QPushButton*>("btnUndo"), Qt::LeftButton);
        QCOMPARE(pad->canvas()->strokes().size(), std::size_t{1});
        QCOMPARE(Texts(*pad).value(0), QString("一"));  // the horizontal alone
        Draw(pad->canvas(), "shi.json", 1);
        QCOMPARE(pad->canvas()->strokes().size(), std::size_t{2});
        QTest::mouseClick(pad->findChild<QPushButton*>("btnClear"), Qt::LeftButton);
        QCOMPARE(pad->canvas()->strokes().size(), std::size_t{0});
        QCOMPARE(Texts(*pad), QStringList());
        QTest::keyClick(pad, Qt::Key_Escape);
        QVERIFY(!pad->isVisible());
    }

    // The place is written to section "WritePad" on closing and taken up by the next pad; the
    // model goes after the release time and comes back with the next showing.
    void placeKeptAndModelReleased() {
        {
            auto w = NewWindow();
            w->setReleaseDelayMs(50);
            test::Act(*w, "acWrite")->trigger();
            TfmWritePad* pad = w->writePadIfCreated();
            pad->move(123, 77);
            pad->resize(333, 444);
            pad->close();
            const QString ini = QString::fromUtf8(ReadBytes(dir_.path() + "/setup.ini"));
            QVERIFY2(ini.contains("[WritePad]\nX=123\nY=77\nDX=333\nDY=444\n"), qPrintable(ini));
            QVERIFY(ini.contains("[Dicts]\nsmall.idx=1\n"));
            QTRY_VERIFY_WITH_TIMEOUT(!pad->modelLoaded(), 5000);
            pad->show();
            QVERIFY(pad->modelLoaded());
            pad->close();
        }
        auto w = NewWindow();
        test::Act(*w, "acWrite")->trigger();
        TfmWritePad* pad = w->writePadIfCreated();
        QCOMPARE(pad->pos(), QPoint(123, 77));
        QCOMPARE(pad->size(), QSize(333, 444));
        pad->close();
    }

    void missingModelSaysWhichPackage() {
        TfmWritePad::Setup setup;
        setup.modelPath = (dir_.path() + "/none.model").toStdString();
        TfmWritePad pad(setup);
        pad.show();
        QVERIFY(!pad.modelLoaded());
        QCOMPARE(pad.notice(), "The handwriting model is not installed: " + dir_.path() +
                                   "/none.model (install the package "
                                   "tegaki-zinnia-simplified-chinese)");
        Draw(pad.canvas(), "shi.json");  // drawing still works, without candidates
        QCOMPARE(pad.canvas()->strokes().size(), std::size_t{2});
        QCOMPARE(Texts(pad), QStringList());
    }
};

int main(int argc, char** argv) {
    return kes::test::RunWindowTest<WritePadTest>(argc, argv);
}

#include "writepad_test.moc"
