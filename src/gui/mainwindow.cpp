#include "gui/mainwindow.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <iostream>

#include "app/inifile.h"
#include "app/registrytexts.h"
#include "base/bytefile.h"
#include "base/paths.h"
#include "base/text.h"
#include "gui/fontchoice.h"
#include "gui/guarded.h"
#include "gui/icons.h"
#include "gui/indexjobs.h"
#include "gui/inputrow.h"
#include "gui/pagehost.h"
#include "gui/placement.h"
#include "gui/scanner.h"
#include "gui/screenregion.h"
#include "gui/tray.h"
#include "gui/wordactions.h"
#include "gui/wordtree.h"
#include "gui/writepad.h"
#include "tools/userdict.h"
#include "ui/dialogs.h"

namespace kes {

namespace {

// Characters of a word that the tree panel shows at first start.
constexpr int kTreeWordChars = 6;
// The page is never narrower: neither the splitter nor a stored pnlLeft can hide it.
constexpr int kMinPageWidth = 200;

const QString kBusyQuitQuestion = QStringLiteral("Program is busy now. Shut it down anyway?");

QString Q(const std::u16string& s) {
    return QString::fromStdU16String(s);
}
QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

TfmMain::TfmMain(const std::string& programFolder, const Forms& forms, ui::PageFactory pageFactory,
                 const AutostartPlace& autostart, QWidget* parent)
    : QMainWindow(parent), folder_(programFolder), forms_(forms), autostart_(autostart) {
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(QStringLiteral("Kestrune"));
    setWindowIcon(AppIcon());
    setMinimumSize(kMinWindowWidth, kMinWindowHeight);
    trayAvailable_ = QSystemTrayIcon::isSystemTrayAvailable();
    CreateActions();
    const std::string emptyHtml = JoinPath(folder_, "empty.html");
    pages_ = new PageHost(this, std::move(pageFactory), emptyHtml,
                          {actions_["acDscFont"], actions_["acPinFont"]});
    connect(pages_, &PageHost::pageBodyApplied, this, &TfmMain::pageBodyApplied);
    connect(pages_, &PageHost::pageViewChanged, this, &TfmMain::pageViewChanged);
    // A reference followed: its word is searched as if typed, so that "Back" returns.
    connect(pages_, &PageHost::searchLinkClicked, this, [this](const QString& word) {
        RunGuarded("The search", [&] {
            edtInp_->setText(word);
            acRefreshExecute();
        });
    });
    words_ = new WordActions(this, registry_, JoinPath(folder_, kUserdictName));
    pages_->setLinkHandler([this](const QUrl& url) { PageLinkClicked(url); });
    scanner_ = new Scanner(
        this, actions_["acScanClipboard"], actions_["acScanSelection"], pages_->factory(),
        emptyHtml,
        [this](const std::u16string& text) {
            return RunPopupSearch(registry_, text, PageSearchOptions());
        },
        [this] { return terminating_; });
    connect(scanner_, &Scanner::popupCreated, this, [this](TfmPopup* popup) {
        popup->setEntryLinkHandler([this, popup](const std::string& href) {
            RunGuarded("The link", [&] {
                if (auto page = words_->HandleLink(href, popup->pageBody()))
                    popup->SetPageBody(*page);
            });
        });
    });
    connect(scanner_, &Scanner::openInMainWindow, this,
            [this](const QString& searched, bool translateAll) {
                RunGuarded("The search", [&] {
                    ShowPopupSearch(searched.toStdU16String(), translateAll);
                });
            });
    IndexJobs::Hooks hooks;
    hooks.options = [this] {
        return IndexBuildOptions{settings_.AddDescToIndex, settings_.AddPinToIndex};
    };
    hooks.ending = [this] { return terminating_; };
    QStatusBar* stMain = statusBar();
    stMain->setObjectName(QStringLiteral("stMain"));
    stMain->setSizeGripEnabled(true);
    connect(words_, &WordActions::told, this,
            [stMain](const QString& text) { stMain->showMessage(text, 5000); });
    jobs_ = new IndexJobs(this, stMain, folder_, std::move(hooks));
    tray_ =
        new Tray(this,
                 {actions_["acScanClipboard"], actions_["acScanSelection"],
                  actions_["acScreenLookup"]},
                 trayAvailable_);
    connect(tray_, &Tray::showRequested, this,
            [this] { RunGuarded("Showing the window", [this] { Show1Click(); }); });
    connect(tray_, &Tray::quitRequested, this,
            [this] { RunGuarded("Quitting", [this] { SaveSettingsAndQuit(); }); });
    CreateControls();
    CreateMenus();
    FormCreate();
}

TfmMain::~TfmMain() = default;

void TfmMain::CreateActions() {
    actions_.AddOptions(settings_);
    CreateCommands();
    // "Start with the desktop": its state is whether the entry exists, read now and whenever
    // the menu opens (the file may be changed by other programs).
    QAction* autostart =
        actions_.Add(QStringLiteral("acStartWithDesktop"), "Start with the &desktop", true);
    autostart->setChecked(AutostartEnabled(autostart_.folder));
    autostart->setEnabled(!autostart_.folder.empty());
    connect(autostart, &QAction::triggered, this, [this] {
        RunGuarded("Start with the desktop", [this] { acStartWithDesktopExecute(); });
    });
}

void TfmMain::CreateControls() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(2, 2, 2, 0);
    outer->setSpacing(2);
    auto* input =
        new InputRow(central,
                     {actions_["acRefresh"], actions_["acBack"], actions_["acFwd"],
                      actions_["acWrite"]},
                     actions_["acRefresh"]);
    edtInp_ = input->field();
    connect(input, &InputRow::confirmed, this,
            [this] { RunGuarded("The search", [this] { acRefreshExecute(); }); });
    outer->addWidget(input);

    // The tree panel, the splitter and the page panel.
    splitter_ = new QSplitter(Qt::Horizontal, central);
    splitter_->setObjectName(QStringLiteral("Splitter1"));
    splitter_->setHandleWidth(4);
    splitter_->setChildrenCollapsible(false);
    tvMain_ = new WordTree(splitter_);
    connect(tvMain_, &WordTree::wordChosen, this, [this](const std::u16string& word, int dict) {
        RunGuarded("The search", [&] { RunSearch(word, dict, true); });
    });
    splitter_->addWidget(tvMain_->panel());
    splitter_->addWidget(pages_->panel());  // the page view comes on the first show
    pages_->panel()->setMinimumWidth(kMinPageWidth);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    connect(splitter_, &QSplitter::splitterMoved, this,
            [this](int, int) { pnlLeftWidth_ = splitter_->sizes().value(0, pnlLeftWidth_); });
    outer->addWidget(splitter_, 1);
    setCentralWidget(central);
}

void TfmMain::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("acmainMenu"));
    actions_.Fill(
        bar->addMenu(QStringLiteral("&View")),
        {"acShowUcs2", "acShowUnihan", "-", "acScanClipboard", "acScanSelection", "acScreenLookup",
         "-", "acInpFont", "acTreeFont", "acChrFont", "acPinFont", "acDscFont", "-", "acExit"});
    QMenu* setup = bar->addMenu(QStringLiteral("&Settings"));
    actions_.Fill(
        setup, {"acTranslateAllWords", "acSearchBoth", "acBestFirst", "-", "acStartWithDesktop"});
    CreatePinyinMenu(setup);
    connect(setup, &QMenu::aboutToShow, this, [this] {
        actions_["acStartWithDesktop"]->setChecked(AutostartEnabled(autostart_.folder));
    });
    actions_.Fill(bar->addMenu(QStringLiteral("D&ict")),
                  {"acMakeIndex", "acUniIndex", "-", "acAddDescIndex", "acAddPinIndex", "-",
                   "acDictSetup", "-", "acUserdict", "acDuplicates"});
    actions_.Fill(bar->addMenu(QStringLiteral("&Help")), {"acHelpFile", "acAbout"});
}

// "&Pinyin" in the Settings menu, before its first separator: one choice of kPinyinChoices,
// kept in settings_.Pinyin. A new choice shows the page of the current query again.
void TfmMain::CreatePinyinMenu(QMenu* setup) {
    static constexpr const char* kNames[] = {"acPinyinStored", "acPinyinMarks",
                                             "acPinyinColored", "acPinyinZhuyin"};
    QMenu* menu = new QMenu(QStringLiteral("&Pinyin"), setup);
    menu->setObjectName(QStringLiteral("mnPinyin"));
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    for (std::size_t i = 0; i < std::size(kPinyinChoices); ++i) {
        QAction* a = menu->addAction(QString::fromUtf8(kPinyinChoiceCaptions[i]));
        a->setObjectName(QString::fromUtf8(kNames[i]));
        a->setCheckable(true);
        group->addAction(a);
        const std::string choice(kPinyinChoices[i]);
        connect(a, &QAction::triggered, this, [this, choice] {
            settings_.Pinyin = choice;
            if (history_.P > 0 && !history_.H(history_.P).empty()) {
                RunGuarded("The search", [this] { RunSearch(history_.H(history_.P), 0, false); });
            }
        });
    }
    // The check follows the setting (a choice not known reads as the first).
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        const QList<QAction*> items = menu->actions();
        const auto* known = std::find(std::begin(kPinyinChoices), std::end(kPinyinChoices),
                                      settings_.Pinyin);
        const auto at = known == std::end(kPinyinChoices) ? 0 : known - std::begin(kPinyinChoices);
        items.at(static_cast<int>(at))->setChecked(true);
    });
    QAction* before = nullptr;
    for (QAction* a : setup->actions()) {
        if (a->isSeparator()) {
            before = a;
            break;
        }
    }
    setup->insertMenu(before, menu);
}

// ---------------------------------------------------------------------------------------
// Start-up, placement, settings, quitting

void TfmMain::FormCreate() {
    settings_ = LoadSettings(iniPath());
    setReleaseDelayMs(static_cast<int>(
        std::min<int64_t>(int64_t{settings_.ReleaseViewMinutes} * 60000, INT_MAX)));
    actions_.ShowOptions(settings_);
    PlaceWindowAsSaved(*this, settings_);
    edtInp_->setFont(MakeFont(settings_.InpFontface, settings_.InpFontsize));
    tvMain_->setFont(MakeFont(settings_.TreFontface, settings_.TreFontsize));
    readme_ = ReadReadmeText(JoinPath(folder_, "readme.html"));
    jobs_->Discover(registry_);
    if (!registry_.Unihan.Available) {
        actions_["acShowUnihan"]->setChecked(false);
        actions_["acShowUnihan"]->setEnabled(false);
    }
    ResetView();
    SizeTreePanel();
}

// A stored width is kept (at least kMinPnlLeft); without one the tree panel gets the width
// that shows the dictionary names and the first characters of the words (at most half the
// window). Either way the page keeps at least kMinPageWidth.
void TfmMain::SizeTreePanel() {
    IniFile ini;
    ini.load(iniPath());
    if (ini.hasKey(kFormSection, "pnlLeft")) {
        pnlLeftWidth_ = std::max(settings_.pnlLeft, kMinPnlLeft);
    } else {
        pnlLeftWidth_ = std::min(tvMain_->FittingWidth(kTreeWordChars),
                                 std::max(width() / 2, int{kMinPnlLeft}));
    }
    // What the window's margins and the splitter's handle leave of its width goes to the two
    // panels; a stored width that would leave the page too narrow is cut down.
    const int panels = width() - 8;
    pnlLeftWidth_ = std::max(std::min(pnlLeftWidth_, panels - kMinPageWidth), int{kMinPnlLeft});
    splitter_->setSizes({pnlLeftWidth_, std::max(panels - pnlLeftWidth_, kMinPageWidth)});
}

Settings TfmMain::CollectSettings() const {
    Settings s = settings_;
    s.pnlLeft = pnlLeftWidth();
    TakePlacement(*this, s);
    return s;
}

std::string TfmMain::iniPath() const {
    return JoinPath(folder_, kSetupIniName);
}

Outcome TfmMain::SaveSettingsNow() {
    return SaveSettings(iniPath(), CollectSettings());
}

bool TfmMain::SaveSettingsAndQuit() {
    if (busy() != 0 && !ui::AskYesNo(kBusyQuitQuestion, QString(), this)) {
        return terminating_;  // the session may have ended while the question was open
    }
    if (terminating_) return true;
    // The program ends either way; the user learns that the settings were not kept.
    const Outcome saved = SaveSettingsNow();
    terminating_ = true;
    if (!saved.ok) ui::ShowMessage(Q(MessageWithDetail(saved)), QString(), this);
    Terminate();
    return true;
}

void TfmMain::EndSession(const char* why) {
    if (!terminating_) {
        terminating_ = true;
        const Outcome saved = SaveSettingsNow();
        if (!saved.ok)
            std::cerr << "Kestrune: " << why << ": " << saved.message << " " << saved.detail
                      << "\n";
    }
    Terminate();
}

// Ends the program: the window and the tray icon go, the viewer leaves its message loop
// (which also closes any dialog or question still open).
void TfmMain::Terminate() {
    terminating_ = true;
    hide();
    tray_->hide();
    Q_EMIT terminated();
}

void TfmMain::closeEvent(QCloseEvent* event) {
    if (terminating_) {
        event->accept();
        return;
    }
    event->ignore();
    if (trayAvailable_) {
        hide();  // FormClose: the program stays in the tray
    } else {
        // Without a tray the window is the only way back: closing it ends the program.
        SaveSettingsAndQuit();
    }
}

void TfmMain::setTrayAvailable(bool available) {
    trayAvailable_ = available;
    tray_->setAvailable(available);
}

void TfmMain::Show1Click() {
    // A minimized window comes back in its previous state (normal or maximized).
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TfmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    pages_->WindowShown();
}

void TfmMain::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    pages_->WindowHidden();
}

void TfmMain::RunGuarded(const char* action, const std::function<void()>& run) {
    RunGuardedAction(this, action, run, [this] {
        // The status panel belongs to a running build while one runs (this may be an action
        // taken meanwhile); otherwise nothing runs that it could still describe.
        jobs_->ClearStatusUnlessBusy();
    });
}

void TfmMain::HandleRequest(const InstanceMessage& request) {
    const std::u16string query = Q(request.query).toStdU16String();
    if (request.command == InstanceCommand::Popup) {
        PopupText(query);
    } else if (request.command == InstanceCommand::Screen) {
        LookUpScreen();
    } else {
        ShowQuery(query);
    }
}

void TfmMain::ShowQuery(const std::u16string& query) {
    Show1Click();
    if (Trim(query).empty()) return;
    edtInp_->setText(Q(query));
    acRefreshExecute();
}

void TfmMain::ShowPopupSearch(const std::u16string& searched, bool translateAll) {
    Show1Click();
    if (Trim(searched).empty() || busy() != 0) return;
    SearchOptions options = PageSearchOptions();
    options.TranslateAll = translateAll;
    RunSearch(searched, 0, true, options);
}

ViewerSession TfmMain::session() const {
    ViewerSession s;
    s.Input = edtInp_->text().toStdU16String();
    s.History = history_;
    tvMain_->SaveTo(registry_.Dicts, s);
    s.PageBody = pages_->pageBody();
    const QPointF scroll = pages_->scrollPosition();
    s.ScrollX = scroll.x();
    s.ScrollY = scroll.y();
    return s;
}

void TfmMain::RestoreSession(const ViewerSession& s) {
    edtInp_->setText(Q(s.Input));
    edtInp_->selectAll();
    history_ = s.History;
    tvMain_->RestoreFrom(registry_.Dicts, s);
    pages_->SetPageBody(s.PageBody);
    pages_->setScrollPosition(QPointF(s.ScrollX, s.ScrollY));
}

// ---------------------------------------------------------------------------------------
// The search

void TfmMain::ResetView() {
    tvMain_->Reset(registry_.Dicts);
    SetPageBody(std::string(kHintHtml));
    ui::ProcessPendingMessages();
}

SearchOptions TfmMain::PageSearchOptions() {
    SearchOptions options = SearchOptionsOf(settings_);
    options.Links = words_->PageLinks();
    return options;
}

void TfmMain::PageLinkClicked(const QUrl& url) {
    if (url.scheme() != QLatin1String(kLinkScheme.data(), kLinkScheme.size())) {
        QDesktopServices::openUrl(url);
        return;
    }
    RunGuarded("The link", [&] {
        const std::optional<std::string> page =
            words_->HandleLink(url.toString(QUrl::FullyEncoded).toStdString(), pages_->pageBody());
        if (!page) return;
        // The same page with the entry marked, where the user was reading.
        const QPointF at = pages_->scrollPosition();
        pages_->SetPageBody(*page);
        pages_->setScrollPosition(at);
    });
}

void TfmMain::RunSearch(const std::u16string& query, int dictNumber, bool record) {
    RunSearch(query, dictNumber, record, PageSearchOptions());
}

void TfmMain::RunSearch(const std::u16string& query, int dictNumber, bool record,
                        const SearchOptions& options) {
    SearchResult r = kes::RunSearch(registry_, history_, query, dictNumber, record, options);
    if (!r.Changed) return;
    edtInp_->setText(Q(r.FieldText));
    edtInp_->selectAll();
    tvMain_->ShowResult(registry_.Dicts, r);
    if (!r.ok()) {
        // The search ended at an input/output error: the page keeps what it showed.
        ui::ShowError(Q(r.Error), QString(), this);
        return;
    }
    SetPageBody(r.Page);
    if (r.AllDictionaries) tvMain_->ExpandDictionaries();
}

void TfmMain::acRefreshExecute() {
    if (busy() != 0) return;
    edtInp_->selectAll();
    RunSearch(edtInp_->text().toStdU16String(), 0, true);
}

void TfmMain::acBackExecute() {
    if (auto q = history_.Back()) RunSearch(*q, 0, false);
}

void TfmMain::acFwdExecute() {
    if (auto q = history_.Fwd()) RunSearch(*q, 0, false);
}

void TfmMain::acStartWithDesktopExecute() {
    QAction* option = actions_["acStartWithDesktop"];
    const Outcome r = SetAutostart(autostart_, option->isChecked());
    if (!r.ok) ui::ShowError(Q(MessageWithDetail(r)), QString(), this);
    option->setChecked(AutostartEnabled(autostart_.folder));
}

}  // namespace kes
