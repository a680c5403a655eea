// The main window's page view on demand: no browser engine in the process before the first
// show, the view made on show and released after the window has been hidden for its release
// time, the page's renderer process ending with it, and everything the user had (page body,
// scroll position, query, tree, history) back at the next show. A missing or broken page
// plugin leaves a message in the page's place and a working window.
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "gui/findcontrol.h"
#include "gui/mainwindow.h"
#include "support/windowtest.h"
#include "ui/pageview.h"

using namespace kes;
using namespace kes::test;

namespace {

const QStringList kDict = {
    QString::fromUtf8("中國 中国 [Zhong1 guo2] /China/Middle Kingdom/"),
    QString::fromUtf8("中 中 [zhong1] /within/among/"),
    QString::fromUtf8("中文 中文 [Zhong1 wen2] /Chinese language/"),
    QString::fromUtf8("學生 学生 [xue2 sheng5] /student/"),
};

// With the sandbox on, the browser engine starts two process launchers (zygotes) with it and
// keeps them until the program ends; the page's helper process is started through them. With
// the sandbox off (as in these tests) the viewer has it started directly, without launchers.
constexpr int kMostLaunchers = 2;

// True when a library of the browser engine is mapped into this process.
bool EngineMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) return false;
    return maps.readAll().contains("libQt6WebEngine");
}

// The processes descending from this one (children, their children, ...), from /proc: their
// command lines.
QStringList Descendants() {
    std::multimap<long, long> children;  // parent -> child
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& name : pids) {
        bool number = false;
        const long pid = name.toLong(&number);
        if (!number) continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray text = stat.readAll();
        // Field 4 (the parent) follows the ')' that ends the command name.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1) children.emplace(fields[1].toLong(), pid);
    }
    QStringList out;
    std::vector<long> todo{static_cast<long>(getpid())};
    while (!todo.empty()) {
        const long p = todo.back();
        todo.pop_back();
        auto [from, to] = children.equal_range(p);
        for (auto it = from; it != to; ++it) {
            QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(it->second));
            out << (cmdline.open(QIODevice::ReadOnly)
                        ? QString::fromLocal8Bit(cmdline.readAll().replace('\0', ' '))
                        : QStringLiteral("(gone)"));
            todo.push_back(it->second);
        }
    }
    return out;
}

int DescendantCount() {
    return static_cast<int>(Descendants().size());
}

// The page's helper processes (renderers) among them.
int RendererCount() {
    const QStringList all = Descendants();
    return static_cast<int>(std::count_if(all.begin(), all.end(), [](const QString& p) {
        return p.contains(QStringLiteral(" --type=renderer "));
    }));
}

QStringList TreeTexts(const QTreeWidget& tree) {
    QStringList out;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) {
        const QTreeWidgetItem* top = tree.topLevelItem(i);
        out << top->text(0);
        for (int j = 0; j < top->childCount(); ++j)
            out << "  " + top->child(j)->text(0);
    }
    return out;
}

}  // namespace

class PageReleaseTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    QString folder_;
    Forms forms_;

    std::unique_ptr<TfmMain> NewWindow(ui::PageFactory factory = PageFactory()) {
        auto w = std::make_unique<TfmMain>(folder_.toStdString(), forms_, std::move(factory));
        w->setTrayAvailable(true);  // closing only hides the window
        return w;
    }

    static void Type(TfmMain& w, const QString& text) {
        Inp(w)->setText(text);
        QTest::keyClick(Inp(w), Qt::Key_Return);
    }

    // Shows the window and waits for its page view to show the window's page body.
    static QString ShowAndRead(TfmMain& w) {
        w.show();
        if (!w.pageView()) return QStringLiteral("<no view>");
        if (!w.pageView()->waitUntilIdle()) return QStringLiteral("<time-out>");
        return w.pageView()->readBodyHtml();
    }

    // A shown window after two searches (中文, then 中), its page made long and scrolled down
    // to `y`; false when a step failed.
    static bool ShowLongPageScrolled(TfmMain& w, int y) {
        w.resize(500, 320);
        if (!ShowAndRead(w).contains("To use:")) return false;
        Type(w, QString::fromUtf8("中文"));
        Type(w, QString::fromUtf8("中"));
        if (!w.pageView()->waitUntilIdle()) return false;
        std::string page = w.pageBody();
        for (int i = 0; i < 200; ++i)
            page += "<p>line " + std::to_string(i) + "</p>";
        w.SetPageBody(page);
        if (!w.pageView()->waitUntilIdle()) return false;
        w.pageView()->evaluate(QStringLiteral("window.scrollTo(0, %1)").arg(y));
        return QTest::qWaitFor([&] { return w.pageView()->scrollPosition().y() == y; }, 5000);
    }

    // Hides the window and waits for the release.
    static bool HideUntilReleased(TfmMain& w) {
        w.setReleaseDelayMs(50);
        w.close();
        return QTest::qWaitFor([&] { return w.pageView() == nullptr; }, 5000);
    }

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        folder_ = dir_.path();
        QVERIFY(QFile::copy(KESTRUNE_SOURCE_DIR "/data/empty.html", folder_ + "/empty.html"));
        MakeDict(folder_, "first", "First dictionary", kDict);
        WriteBytes(folder_ + "/setup.ini", "[Dicts]\nfirst.idx=1\n");
    }

    // Runs first: nothing before it has loaded the plugin.
    void noEngineBeforeTheFirstShow() {
        auto w = NewWindow();
        Type(*w, QString::fromUtf8("中"));
        QVERIFY(w->pageBody().find("within") != std::string::npos);
        QVERIFY(w->pageView() == nullptr);
        QVERIFY(!EngineMapped());
        QCOMPARE(DescendantCount(), 0);

        // The search made before the show is what the page shows.
        QVERIFY(ShowAndRead(*w).contains("within"));
        QVERIFY(EngineMapped());
        // The page's renderer (and the launchers, with the sandbox on).
        QVERIFY2(RendererCount() == 1, qPrintable(Descendants().join('\n')));
        QVERIFY(DescendantCount() <= 1 + kMostLaunchers);
    }

    void releasedAfterTheHiddenTimeAndHelpersEnd() {
        auto w = NewWindow();
        QCOMPARE(w->releaseDelayMs(), 10 * 60000);  // ReleaseViewMinutes' default
        QVERIFY(ShowAndRead(*w).contains("To use:"));
        QVERIFY(RendererCount() == 1);

        // Shown again before the time is up: the view is kept.
        w->setReleaseDelayMs(300);
        w->close();
        QVERIFY(w->pageView() != nullptr);
        w->show();
        QTest::qWait(600);
        QVERIFY(w->pageView() != nullptr);

        QVERIFY(HideUntilReleased(*w));
        QVERIFY(w->findChild<QWidget*>(QStringLiteral("browser")) == nullptr);
        // The page's renderer ends; what stays are the engine's idle process launchers, if it
        // made any, kept by it until the program ends.
        auto onlyLaunchers = [] {
            const QStringList left = Descendants();
            return std::all_of(left.begin(), left.end(),
                               [](const QString& p) { return p.contains(" --type=zygote "); });
        };
        QVERIFY2(QTest::qWaitFor(onlyLaunchers, 15000), qPrintable(Descendants().join('\n')));
        QVERIFY2(DescendantCount() <= kMostLaunchers, qPrintable(Descendants().join('\n')));

        // 0: never released.
        QVERIFY(ShowAndRead(*w).contains("To use:"));
        w->setReleaseDelayMs(0);
        w->close();
        QTest::qWait(300);
        QVERIFY(w->pageView() != nullptr);
    }

    void searchWhileReleasedShowsAtTheNextShow() {
        auto w = NewWindow();
        QVERIFY(ShowAndRead(*w).contains("To use:"));
        QVERIFY(HideUntilReleased(*w));
        Type(*w, QString::fromUtf8("学生"));
        QVERIFY(w->pageView() == nullptr);
        const QString body = ShowAndRead(*w);
        QVERIFY2(body.contains("student"), qPrintable(body));
        QCOMPARE(w->pageView()->lastBody(), w->pageBody());
    }

    void everythingSurvivesARelease() {
        auto w = NewWindow();
        QVERIFY(ShowLongPageScrolled(*w, 1234));
        const QString body = w->pageView()->readBodyHtml();
        const QString query = Inp(*w)->text();
        const QStringList tree = TreeTexts(*Tree(*w));
        QVERIFY(tree.contains(QString::fromUtf8("  中文")));

        QVERIFY(HideUntilReleased(*w));
        QCOMPARE(ShowAndRead(*w), body);
        QCOMPARE(w->pageView()->evaluate(QStringLiteral("window.scrollY")).toInt(), 1234);
        QCOMPARE(Inp(*w)->text(), query);
        QCOMPARE(TreeTexts(*Tree(*w)), tree);
        // The history: Back goes to the search before.
        Act(*w, "acBack")->trigger();
        QVERIFY(w->pageView()->waitUntilIdle());
        QCOMPARE(Inp(*w)->text(), QString::fromUtf8("中文"));
        QVERIFY(w->pageView()->readBodyHtml().contains("Chinese language"));
        // A new page starts at its top.
        QCOMPARE(w->pageView()->evaluate(QStringLiteral("window.scrollY")).toInt(), 0);
    }

    // A viewer that starts itself afresh hands the window's state to a new window: input,
    // tree with its current item, history, page body and scroll position all come back.
    void everythingSurvivesAFreshStart() {
        auto w = NewWindow();
        QVERIFY(ShowLongPageScrolled(*w, 987));
        QTreeWidgetItem* dict = Tree(*w)->topLevelItem(0);
        QVERIFY(dict && dict->childCount() >= 2);
        {
            // Choosing an item searches it: put the page back afterwards.
            QSignalBlocker quiet(Tree(*w));
            Tree(*w)->setCurrentItem(dict->child(1));
        }
        const QString body = w->pageView()->readBodyHtml();
        const QStringList tree = TreeTexts(*Tree(*w));
        QVERIFY(HideUntilReleased(*w));

        std::string error;
        const std::optional<ViewerSession> passed =
            DecodeViewerSession(EncodeViewerSession(w->session()), error);
        QVERIFY2(passed, error.c_str());
        QCOMPARE(passed->CurrentWord, 1);
        auto fresh = NewWindow();
        fresh->resize(500, 320);
        fresh->RestoreSession(*passed);
        QVERIFY(fresh->pageView() == nullptr);  // made at the next show, as after a release
        QVERIFY(fresh->session() == *passed);
        QCOMPARE(ShowAndRead(*fresh), body);
        QCOMPARE(fresh->pageView()->evaluate(QStringLiteral("window.scrollY")).toInt(), 987);
        QCOMPARE(Inp(*fresh)->text(), QString::fromUtf8("中"));
        QCOMPARE(TreeTexts(*Tree(*fresh)), tree);
        QCOMPARE(Tree(*fresh)->currentItem()->text(0), dict->child(1)->text(0));
        QVERIFY(Tree(*fresh)->topLevelItem(0)->isExpanded());
        Act(*fresh, "acBack")->trigger();
        QVERIFY(fresh->pageView()->waitUntilIdle());
        QCOMPARE(Inp(*fresh)->text(), QString::fromUtf8("中文"));
        QVERIFY(fresh->pageView()->readBodyHtml().contains("Chinese language"));
    }

    void missingOrBrokenPluginLeavesAWorkingWindow() {
        QTemporaryDir plugins;
        QVERIFY(plugins.isValid());
        const QString missing = plugins.filePath("libkestrune-page.so");
        const QString broken = plugins.filePath("broken.so");
        WriteBytes(broken, QByteArray("\x7f"
                                      "ELF not really a library",
                                      25));
        for (const QString& path : {missing, broken}) {
            auto w = NewWindow(ui::PluginPageFactory(path));
            w->show();
            QVERIFY(w->pageView() == nullptr);
            const QString message = w->pageError();
            QVERIFY2(message.startsWith("Cannot load the page view (" + path + "): "),
                     qPrintable(message));
            auto* label = w->findChild<QLabel*>(QStringLiteral("pageError"));
            QVERIFY(label && label->isVisible());
            QCOMPARE(label->text(), message);
            // The rest works: the search fills the tree and keeps its page.
            Type(*w, QString::fromUtf8("中"));
            QVERIFY(w->pageBody().find("within") != std::string::npos);
            QVERIFY(TreeTexts(*Tree(*w)).contains(QString::fromUtf8("  中")));
            w->close();
            w->show();
            QCOMPARE(w->findChildren<QLabel*>(QStringLiteral("pageError")).size(), 1);
        }
    }
};

int main(int argc, char** argv) {
    return kes::test::RunWindowTest<PageReleaseTest>(argc, argv);
}

#include "pagerelease_test.moc"
