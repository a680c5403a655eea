#include "gui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <climits>
#include <exception>

#include "base/bytefile.h"
#include "base/text.h"
#include "charinfo/unihan.h"
#include "dict/builder.h"
#include "gui/dictsetupwindow.h"
#include "gui/duplicateswindow.h"
#include "gui/guarded.h"
#include "gui/icons.h"
#include "gui/ocrclient.h"
#include "gui/popupwindow.h"
#include "gui/screenregion.h"
#include "gui/userdictwindow.h"
#include "ui/dialogs.h"

namespace kes {

namespace {

const QString kBusyWaitMessage = QStringLiteral("Program is busy now. Wait and then try again.");
const QString kBusyQuitQuestion = QStringLiteral("Program is busy now. Shut it down anyway?");
const QString kProgressText = QStringLiteral(" Creating index file... %1%");

QString Q(const std::u16string& s) {
    return QString::fromStdU16String(s);
}
QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
std::u16string U16(const QString& s) {
    return s.toStdU16String();
}

QFont MakeFont(const std::string& face, int size) {
    QFont f(Q(face));
    if (size > 0) f.setPointSize(size);
    return f;
}

// Data value of a tree item: 0 for a dictionary item, the dictionary's Number for a word item.
constexpr int kItemDataRole = Qt::UserRole;

}  // namespace

TfmMain::TfmMain(const std::string& programFolder, const Forms& forms, ui::PageFactory pageFactory,
                 const AutostartPlace& autostart, QWidget* parent)
    : QMainWindow(parent),
      folder_(programFolder),
      forms_(forms),
      autostart_(autostart),
      pageFactory_(std::move(pageFactory)) {
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(QStringLiteral("Kestrune"));
    setWindowIcon(AppIcon());
    setMinimumSize(kMinWindowWidth, kMinWindowHeight);
    trayAvailable_ = QSystemTrayIcon::isSystemTrayAvailable();
    CreateActions();
    CreateControls();
    CreateMenus();
    FormCreate();
}

TfmMain::~TfmMain() = default;

// ---------------------------------------------------------------------------------------
// Requests of the viewer's socket, the popup, the scans

void TfmMain::HandleRequest(const InstanceMessage& request) {
    const std::u16string query = QString::fromStdString(request.query).toStdU16String();
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
    edtInp->setText(Q(query));
    acRefreshExecute();
}

void TfmMain::LookUpScreen() {
    if (!screenLookup_) {
        screenLookup_ = new ScreenLookup(*new OcrClient({}, this), this);
        connect(screenLookup_, &ScreenLookup::found, this, [this](const QString& text, QPoint at) {
            popup()->ShowRecognizedText(U16(text), at.isNull() ? std::nullopt : std::optional(at));
        });
        connect(screenLookup_, &ScreenLookup::failed, this, [this](const QString& message) {
            auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Kestrune"),
                                        message, QMessageBox::Ok, this);
            box->setObjectName(QStringLiteral("screenLookupMessage"));
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->show();
        });
    }
    screenLookup_->Start();
}

TfmPopup* TfmMain::popup() {
    if (!popup_) {
        popup_ = std::make_unique<TfmPopup>(
            JoinPath(folder_, "empty.html"), pageFactory_, [this](const std::u16string& text) {
                return RunPopupSearch(registry_, text, CurrentSearchOptions());
            });
        connect(popup_.get(), &TfmPopup::openInMainWindow, this,
                [this](const QString& query) { ShowQuery(U16(query)); });
    }
    return popup_.get();
}

void TfmMain::PopupText(const std::u16string& text) {
    std::u16string t = text;
    if (Trim(t).empty()) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection()) t = U16(clipboard->text(QClipboard::Selection));
        if (Trim(t).empty()) t = U16(clipboard->text(QClipboard::Clipboard));
        if (Trim(t).empty()) return;
    }
    // Wayland tells a program no global pointer position.
    std::optional<QPoint> pointer;
    if (!QGuiApplication::platformName().startsWith(QStringLiteral("wayland")))
        pointer = QCursor::pos();
    popup()->ShowText(t, pointer);
}

void TfmMain::ScanChanged(QClipboard::Mode mode) {
    QAction* option = mode == QClipboard::Selection ? acScanSelection : acScanClipboard;
    if (!option->isChecked() || !option->isEnabled() || terminating_) return;
    // Text that Kestrune put there, or that was copied or selected while one of its windows
    // (its page, its field, its popup) has the focus, is not looked up again.
    QClipboard* clipboard = QGuiApplication::clipboard();
    const bool own =
        mode == QClipboard::Selection ? clipboard->ownsSelection() : clipboard->ownsClipboard();
    const QWindow* focus = QGuiApplication::focusWindow();
    if (own || (focus && focus->isVisible())) return;
    const std::u16string text = U16(clipboard->text(mode));
    if (IsScanText(text)) PopupText(text);
}

std::string TfmMain::iniPath() const {
    return JoinPath(folder_, kSetupIniName);
}

// ---------------------------------------------------------------------------------------
// Construction

void TfmMain::CreateActions() {
    auto make = [this](const char* name, const QString& text, bool checkable = false) {
        auto* a = new QAction(text, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(checkable);
        return a;
    };
    acShowUcs2 = make("acShowUcs2", QStringLiteral("&Show UCS-2"), true);
    acShowUnihan = make("acShowUnihan", QStringLiteral("S&how Unihan info"), true);
    acInpFont = make("acInpFont", QStringLiteral("&Input field font"));
    acTreeFont = make("acTreeFont", QStringLiteral("Tree font"));
    acChrFont = make("acChrFont", QStringLiteral("&Word output font"));
    acPinFont = make("acPinFont", QStringLiteral("&Pinyin output font"));
    acDscFont = make("acDscFont", QStringLiteral("&Translation output font"));
    acExit = make("acExit", QStringLiteral("&Quit"));
    acTranslateAllWords =
        make("acTranslateAllWords", QStringLiteral("&Translate text (instead of word)"), true);
    acSearchBoth = make("acSearchBoth", QStringLiteral("&Search both chinese forms"), true);
    acScanClipboard = make("acScanClipboard", QStringLiteral("Scan &clipboard"), true);
    acScanSelection = make("acScanSelection", QStringLiteral("Scan s&election"), true);
    acScreenLookup = make("acScreenLookup", QStringLiteral("Look up text on scree&n"));
    connect(acScreenLookup, &QAction::triggered, this, [this] { LookUpScreen(); });
    acStartWithDesktop =
        make("acStartWithDesktop", QStringLiteral("Start with the &desktop"), true);
    // Its state is whether the entry exists, read now and whenever the menu opens (the file
    // may be changed by other programs).
    acStartWithDesktop->setChecked(AutostartEnabled(autostart_.folder));
    acStartWithDesktop->setEnabled(!autostart_.folder.empty());
    acMakeIndex = make("acMakeIndex", QStringLiteral("&Create index for CEDICT file"));
    acUniIndex = make("acUniIndex", QStringLiteral("C&reate index for Unihan"));
    acAddDescIndex =
        make("acAddDescIndex", QStringLiteral("&Also add english/russian words to index"), true);
    acAddPinIndex = make("acAddPinIndex", QStringLiteral("A&lso add pinyin to index"), true);
    acDictSetup = make("acDictSetup", QStringLiteral("&Dictionaries"));
    acUserdict = make("acUserdict", QStringLiteral("&Edit user dictionary file"));
    acDuplicates = make("acDuplicates", QStringLiteral("D&uplicates in CEDICT file"));
    acHelpFile = make("acHelpFile", QStringLiteral("&Help file"));
    acAbout = make("acAbout", QStringLiteral("&About"));
    acRefresh = make("acRefresh", QStringLiteral("&Refresh"));
    acBack = make("acBack", QStringLiteral("B&ack"));
    acFwd = make("acFwd", QStringLiteral("&Fwd"));
    acRefresh->setIcon(MainIcon(kImageRefresh));
    acBack->setIcon(MainIcon(kImageBack));
    acFwd->setIcon(MainIcon(kImageFwd));
    // The toolbar shows icons, so the captions' mnemonics (Alt+R, Alt+A, Alt+F) are given as
    // shortcuts of the window; the input field does not take Alt+letter for itself.
    for (QAction* a : {acRefresh, acBack, acFwd})
        a->setShortcut(QKeySequence::mnemonic(a->text()));

    // The option actions only invert their checked state (QAction does that itself).
    // Every action runs guarded: whatever it throws ends it with a message, never the program.
    const auto on = [this](QAction* action, const char* name, void (TfmMain::*handler)()) {
        connect(action, &QAction::triggered, this, Guarded(name, handler));
    };
    on(acInpFont, "The font choice", &TfmMain::acInpFontExecute);
    on(acTreeFont, "The font choice", &TfmMain::acTreeFontExecute);
    on(acChrFont, "The font choice", &TfmMain::acChrFontExecute);
    on(acPinFont, "The font choice", &TfmMain::acPinFontExecute);
    on(acDscFont, "The font choice", &TfmMain::acDscFontExecute);
    on(acStartWithDesktop, "Start with the desktop", &TfmMain::acStartWithDesktopExecute);
    on(acExit, "Quitting", &TfmMain::QuitExecute);
    on(acMakeIndex, "The index build", &TfmMain::acMakeIndexExecute);
    on(acUniIndex, "The Unihan index build", &TfmMain::acUniIndexExecute);
    on(acDictSetup, "The dictionary setup", &TfmMain::acDictSetupExecute);
    on(acUserdict, "The user dictionary", &TfmMain::acUserdictExecute);
    on(acDuplicates, "The duplicates check", &TfmMain::acDuplicatesExecute);
    on(acAbout, "The About page", &TfmMain::acAboutExecute);
    on(acRefresh, "The search", &TfmMain::acRefreshExecute);
    on(acBack, "The search", &TfmMain::acBackExecute);
    on(acFwd, "The search", &TfmMain::acFwdExecute);
    // acHelpFile has no handler: choosing it does nothing.

    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection()) {
        acScanSelection->setVisible(false);
        acScanSelection->setEnabled(false);
    }
    connect(clipboard, &QClipboard::dataChanged, this,
            [this] { ScanChanged(QClipboard::Clipboard); });
    selectionSettled_ = new QTimer(this);
    selectionSettled_->setSingleShot(true);
    selectionSettled_->setInterval(400);
    connect(selectionSettled_, &QTimer::timeout, this,
            [this] { ScanChanged(QClipboard::Selection); });
    connect(clipboard, &QClipboard::selectionChanged, selectionSettled_,
            qOverload<>(&QTimer::start));
}

void TfmMain::CreateControls() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(2, 2, 2, 0);
    outer->setSpacing(2);

    // The input row: label, field, toolbar.
    auto* inputRow = new QHBoxLayout;
    inputRow->setSpacing(2);
    lblInput = new QLabel(QStringLiteral("Input "), central);
    lblInput->setObjectName(QStringLiteral("lblInput"));
    lblInput->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblInput->setFixedWidth(37);
    edtInp = new QLineEdit(central);
    edtInp->setObjectName(QStringLiteral("edtInp"));
    edtInp->installEventFilter(this);
    connect(edtInp, &QLineEdit::returnPressed, this,
            Guarded("The search", &TfmMain::acRefreshExecute));
    ActionToolBar1 = new QToolBar(central);
    ActionToolBar1->setObjectName(QStringLiteral("ActionToolBar1"));
    ActionToolBar1->setIconSize(QSize(16, 16));
    ActionToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ActionToolBar1->addAction(acRefresh);
    ActionToolBar1->addAction(acBack);
    ActionToolBar1->addAction(acFwd);
    if (auto* b = qobject_cast<QToolButton*>(ActionToolBar1->widgetForAction(acRefresh)))
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    inputRow->addWidget(lblInput);
    inputRow->addWidget(edtInp, 1);
    inputRow->addWidget(ActionToolBar1);
    outer->addLayout(inputRow);

    // The tree panel, the splitter and the page panel.
    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(4);
    Splitter1->setChildrenCollapsible(false);
    pnlLeft = new QWidget(Splitter1);
    pnlLeft->setObjectName(QStringLiteral("pnlLeft"));
    pnlLeft->setMinimumWidth(kMinPnlLeft);
    auto* leftLayout = new QVBoxLayout(pnlLeft);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    tvMain = new QTreeWidget(pnlLeft);
    tvMain->setObjectName(QStringLiteral("tvMain"));
    tvMain->setHeaderHidden(true);
    tvMain->setColumnCount(1);
    tvMain->setIndentation(19);
    tvMain->setUniformRowHeights(true);
    tvMain->setIconSize(QSize(16, 16));
    tvMain->setMinimumWidth(0);
    leftLayout->addWidget(tvMain);
    connect(tvMain, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
                RunGuarded("The search", [this, current] { tvMainChange(current); });
            });

    pnlShow = new QWidget(Splitter1);
    pnlShow->setObjectName(QStringLiteral("pnlShow"));
    auto* showLayout = new QVBoxLayout(pnlShow);
    // The view sits at (1, 1) inside the panel and follows its size.
    showLayout->setContentsMargins(1, 1, 0, 0);
    // The page view comes on the first show (CreatePageView).
    Splitter1->addWidget(pnlLeft);
    Splitter1->addWidget(pnlShow);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    connect(Splitter1, &QSplitter::splitterMoved, this,
            [this](int, int) { pnlLeftWidth_ = Splitter1->sizes().value(0, pnlLeftWidth_); });
    outer->addWidget(Splitter1, 1);
    setCentralWidget(central);

    // The status bar: two panels, the first 80 pixels and centred, the second for progress.
    stMain = statusBar();
    stMain->setObjectName(QStringLiteral("stMain"));
    stMain->setSizeGripEnabled(true);
    stPanel0_ = new QLabel(stMain);
    stPanel0_->setFixedWidth(80);
    stPanel0_->setAlignment(Qt::AlignCenter);
    stPanel1_ = new QLabel(stMain);
    stPanel1_->setMinimumWidth(50);
    stMain->addWidget(stPanel0_);
    stMain->addWidget(stPanel1_, 1);

    // The page's context menu replaces the view's own.
    popupWeb = new QMenu(this);
    popupWeb->setObjectName(QStringLiteral("popupWeb"));
    nwCopy = popupWeb->addAction(QStringLiteral("Copy"));
    popupWeb->addSeparator();
    nwCopyAll = popupWeb->addAction(QStringLiteral("Copy All"));
    popupWeb->addSeparator();
    popupWeb->addAction(acDscFont);
    popupWeb->addAction(acPinFont);
    connect(nwCopy, &QAction::triggered, this, [this] {
        if (view_) view_->copySelection();
    });
    connect(nwCopyAll, &QAction::triggered, this, [this] {
        if (view_) view_->copyAll();
    });

    // A hidden window releases its page view after releaseDelayMs_.
    releaseTimer_ = new QTimer(this);
    releaseTimer_->setSingleShot(true);
    connect(releaseTimer_, &QTimer::timeout, this, [this] {
        if (!isVisible()) ReleasePageView();
    });

    // The tray icon and its menu.
    trayPopup = new QMenu(this);
    trayPopup->setObjectName(QStringLiteral("trayPopup"));
    Show1 = trayPopup->addAction(QStringLiteral("Show"));
    QFont bold = Show1->font();
    bold.setBold(true);
    Show1->setFont(bold);  // the default item
    trayPopup->addSeparator();
    trayPopup->addAction(acScanClipboard);
    trayPopup->addAction(acScanSelection);
    trayPopup->addAction(acScreenLookup);
    trayPopup->addSeparator();
    Close1 = trayPopup->addAction(QStringLiteral("Exit"));
    connect(Show1, &QAction::triggered, this, Guarded("Showing the window", &TfmMain::Show1Click));
    connect(Close1, &QAction::triggered, this, Guarded("Quitting", &TfmMain::QuitExecute));
    trayIcon = new QSystemTrayIcon(AppIcon(), this);
    trayIcon->setObjectName(QStringLiteral("trayIcon"));
    trayIcon->setToolTip(QStringLiteral("Kestrune"));
    trayIcon->setContextMenu(trayPopup);
    connect(trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // trayIconDblClick; a single click shows the window as well, as desktops
                // without double clicks on tray icons expect.
                if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
                    Show1Click();
            });
    if (trayAvailable_) trayIcon->show();
}

void TfmMain::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("acmainMenu"));
    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->addAction(acShowUcs2);
    view->addAction(acShowUnihan);
    view->addSeparator();
    view->addAction(acScanClipboard);
    view->addAction(acScanSelection);
    view->addAction(acScreenLookup);
    view->addSeparator();
    view->addAction(acInpFont);
    view->addAction(acTreeFont);
    view->addAction(acChrFont);
    view->addAction(acPinFont);
    view->addAction(acDscFont);
    view->addSeparator();
    view->addAction(acExit);
    QMenu* setup = bar->addMenu(QStringLiteral("&Settings"));
    setup->addAction(acTranslateAllWords);
    setup->addAction(acSearchBoth);
    setup->addSeparator();
    setup->addAction(acStartWithDesktop);
    connect(setup, &QMenu::aboutToShow, this,
            [this] { acStartWithDesktop->setChecked(AutostartEnabled(autostart_.folder)); });
    QMenu* dict = bar->addMenu(QStringLiteral("D&ict"));
    dict->addAction(acMakeIndex);
    dict->addAction(acUniIndex);
    dict->addSeparator();
    dict->addAction(acAddDescIndex);
    dict->addAction(acAddPinIndex);
    dict->addSeparator();
    dict->addAction(acDictSetup);
    dict->addSeparator();
    dict->addAction(acUserdict);
    dict->addAction(acDuplicates);
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->addAction(acHelpFile);
    help->addAction(acAbout);
}

// ---------------------------------------------------------------------------------------
// Start-up, placement, settings

void TfmMain::FormCreate() {
    Busy = 0;

    settings_ = LoadSettings(iniPath());
    setReleaseDelayMs(static_cast<int>(
        std::min<int64_t>(int64_t{settings_.ReleaseViewMinutes} * 60000, INT_MAX)));
    pnlLeftWidth_ = std::max(settings_.pnlLeft, kMinPnlLeft);
    Splitter1->setSizes({pnlLeftWidth_, std::max(settings_.DX - pnlLeftWidth_, 100)});
    ApplyOptions();
    LoadWindowPlacement();
    edtInp->setFont(MakeFont(settings_.InpFontface, settings_.InpFontsize));
    tvMain->setFont(MakeFont(settings_.TreFontface, settings_.TreFontsize));

    readme_ = ReadReadmeText(JoinPath(folder_, "readme.html"));

    RegistryCallbacks cb;
    cb.message = [this](const std::string& text) { ui::ShowMessage(Q(text), QString(), this); };
    cb.processMessages = [] { ui::ProcessPendingMessagesThrottled(); };
    // A stale index: rebuild it now with its old name and options? (Enter answers Yes.)
    cb.ask = [this](const std::string& text) {
        return ui::AskYesNo(Q(text), QString(), this, /*defaultYes=*/true);
    };
    cb.progress = [this](int percent) {
        ShowBuildProgress(percent);
        ui::ProcessPendingMessagesThrottled();
    };
    try {
        DiscoverDictionaries(registry_, folder_, cb);
    } catch (const std::exception& e) {
        // The rest of the start-up is skipped; the window still exists.
        ui::ShowError(Q(std::string(e.what())), QString(), this);
    }
    ShowStatus(QString());
    if (!registry_.Unihan.Available) {
        acShowUnihan->setChecked(false);
        acShowUnihan->setEnabled(false);
    }
    ResetView();
}

void TfmMain::ApplyOptions() {
    acTranslateAllWords->setChecked(settings_.TranslateAll);
    acAddDescIndex->setChecked(settings_.AddDescToIndex);
    acAddPinIndex->setChecked(settings_.AddPinToIndex);
    acShowUcs2->setChecked(settings_.ShowUcs2);
    acShowUnihan->setChecked(settings_.ShowUnihan);
    acSearchBoth->setChecked(settings_.SearchBoth);
    acScanClipboard->setChecked(settings_.ScanClipboard);
    acScanSelection->setChecked(settings_.ScanSelection && acScanSelection->isEnabled());
}

void TfmMain::LoadWindowPlacement() {
    QSize screen(1024, 768);
    if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->geometry().size();
    const WindowPlacement p = PlaceWindow(settings_, screen.width(), screen.height());
    move(p.Left, p.Top);
    resize(p.Width, p.Height);
    if (p.Maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

int TfmMain::pnlLeftWidth() const {
    return pnlLeftWidth_;
}

Settings TfmMain::CollectSettings() const {
    Settings s = settings_;
    s.pnlLeft = pnlLeftWidth();
    s.TranslateAll = acTranslateAllWords->isChecked();
    s.AddDescToIndex = acAddDescIndex->isChecked();
    s.AddPinToIndex = acAddPinIndex->isChecked();
    s.ShowUcs2 = acShowUcs2->isChecked();
    s.ShowUnihan = acShowUnihan->isChecked();
    s.SearchBoth = acSearchBoth->isChecked();
    s.ScanClipboard = acScanClipboard->isChecked();
    // Where there is no selection the option keeps its value for the desktops that have one.
    if (acScanSelection->isEnabled()) s.ScanSelection = acScanSelection->isChecked();
    if (isMaximized()) {
        s.Maximized = 1;  // the last normal bounds stay in the file
    } else {
        s.Maximized = 0;
        s.X = x();
        s.Y = y();
        s.DX = width();
        s.DY = height();
    }
    return s;
}

bool TfmMain::SaveSettingsAndQuit() {
    if (Busy != 0 && !ui::AskYesNo(kBusyQuitQuestion, QString(), this)) return false;
    // The program ends either way; the user learns that the settings were not kept.
    const Outcome saved = SaveSettingsNow();
    if (!saved.ok)
        ui::ShowMessage(QString::fromStdString(MessageWithDetail(saved)), QString(), this);
    terminating_ = true;
    hide();
    trayIcon->hide();
    Q_EMIT terminated();
    return true;
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
    trayIcon->setVisible(available && QSystemTrayIcon::isSystemTrayAvailable());
}

void TfmMain::Show1Click() {
    // A minimized window comes back in its previous state (normal or maximized).
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

bool TfmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtInp && event->type() == QEvent::MouseButtonDblClick) {
        edtInp->selectAll();  // edtInpDblClick
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------
// The view

void TfmMain::SetPageBody(const std::string& html) {
    // A new page starts at its top, in a kept view as in one made later.
    pageBody_ = html;
    scroll_ = QPointF();
    if (!view_) return;
    view_->setPageBody(html);
    view_->setScrollPosition(scroll_);
}

bool TfmMain::CreatePageView() {
    if (view_) return true;
    if (pageError_) return false;  // the factory failed before: its message stays
    std::string error;
    std::unique_ptr<ui::PageView> made = pageFactory_ ? pageFactory_(pnlShow, error) : nullptr;
    if (!made) {
        if (error.empty()) error = "The page view is not available.";
        pageError_ = new QLabel(Q(error), pnlShow);
        pageError_->setObjectName(QStringLiteral("pageError"));
        pageError_->setWordWrap(true);
        pageError_->setAlignment(Qt::AlignCenter);
        pageError_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        pnlShow->layout()->addWidget(pageError_);
        pageError_->show();
        return false;
    }
    view_ = made.release();  // owned by pnlShow from here on
    QWidget* w = view_->widget();
    w->setObjectName(QStringLiteral("browser"));
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(w, &QWidget::customContextMenuRequested, this,
            [this, w](const QPoint& pos) { popupWeb->popup(w->mapToGlobal(pos)); });
    view_->setBodyAppliedHandler([this] { Q_EMIT pageBodyApplied(); });
    pnlShow->layout()->addWidget(w);
    w->show();
    view_->loadFile(Q(JoinPath(folder_, "empty.html")));
    view_->setPageBody(pageBody_);
    if (!scroll_.isNull()) view_->setScrollPosition(scroll_);
    Q_EMIT pageViewChanged(true);
    return true;
}

void TfmMain::ReleasePageView() {
    releaseTimer_->stop();
    if (!view_) return;
    scroll_ = view_->scrollPosition();
    ui::PageView* view = view_;
    view_ = nullptr;
    delete view->widget();
    Q_EMIT pageViewChanged(false);
}

QString TfmMain::pageError() const {
    return pageError_ ? pageError_->text() : QString();
}

void TfmMain::setReleaseDelayMs(int ms) {
    releaseDelayMs_ = std::max(ms, 0);
    if (releaseDelayMs_ == 0) {
        releaseTimer_->stop();
    } else if (!isVisible() && view_) {
        releaseTimer_->start(releaseDelayMs_);
    }
}

void TfmMain::showEvent(QShowEvent* event) {
    releaseTimer_->stop();
    QMainWindow::showEvent(event);
    CreatePageView();
}

void TfmMain::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    // A minimized window is not hidden from the user; only a hidden one releases its page.
    if (!isVisible() && view_ && releaseDelayMs_ > 0) releaseTimer_->start(releaseDelayMs_);
}

void TfmMain::ResetView() {
    updatingTree_ = true;
    tvMain->clear();
    NumberDictionaries(registry_.Dicts);
    QList<QTreeWidgetItem*> items;
    for (TDic& dic : registry_.Dicts) {
        auto* item = new QTreeWidgetItem(QStringList(Q(DictItemText(dic))));
        item->setIcon(0, MainIcon(kImageDictionary));
        item->setData(0, kItemDataRole, 0);
        dic.Node = item;
        items << item;
    }
    tvMain->addTopLevelItems(items);
    updatingTree_ = false;
    SetPageBody(std::string(kHintHtml));
    ui::ProcessPendingMessages();
}

ViewerSession TfmMain::session() const {
    ViewerSession s;
    s.Input = U16(edtInp->text());
    s.History = history_;
    QTreeWidgetItem* current = tvMain->currentItem();
    for (const TDic& dic : registry_.Dicts) {
        const auto* node = static_cast<const QTreeWidgetItem*>(dic.Node);
        if (!node) continue;
        ViewerSession::DictItem item;
        item.Number = dic.Number;
        item.Expanded = node->isExpanded();
        for (int i = 0; i < node->childCount(); ++i) {
            item.Words.push_back(U16(node->child(i)->text(0)));
            if (node->child(i) == current) {
                s.CurrentDict = dic.Number;
                s.CurrentWord = i;
            }
        }
        if (node == current) s.CurrentDict = dic.Number;
        s.Tree.push_back(std::move(item));
    }
    s.PageBody = pageBody_;
    const QPointF scroll = view_ ? view_->scrollPosition() : scroll_;
    s.ScrollX = scroll.x();
    s.ScrollY = scroll.y();
    return s;
}

void TfmMain::RestoreSession(const ViewerSession& s) {
    edtInp->setText(Q(s.Input));
    edtInp->selectAll();
    history_ = s.History;
    updatingTree_ = true;
    for (const ViewerSession::DictItem& item : s.Tree) {
        for (const TDic& dic : registry_.Dicts) {
            auto* node = static_cast<QTreeWidgetItem*>(dic.Node);
            if (dic.Number != item.Number || !node) continue;
            ListWords(node, dic.Number, item.Words);
            node->setExpanded(item.Expanded);
            if (dic.Number == s.CurrentDict)
                tvMain->setCurrentItem(s.CurrentWord < 0 ? node : node->child(s.CurrentWord));
        }
    }
    updatingTree_ = false;
    SetPageBody(s.PageBody);
    scroll_ = QPointF(s.ScrollX, s.ScrollY);
    if (view_) view_->setScrollPosition(scroll_);
}

Outcome TfmMain::SaveSettingsNow() {
    return SaveSettings(iniPath(), CollectSettings());
}

void TfmMain::acAboutExecute() {
    SetPageBody(AboutPageHtml(registry_.StartText, readme_));
}

QString TfmMain::statusText(int index) const {
    return index == 0 ? stPanel0_->text() : stPanel1_->text();
}

void TfmMain::ShowStatus(const QString& text) {
    stPanel1_->setText(text);
}

void TfmMain::RunGuarded(const char* action, const std::function<void()>& run) {
    RunGuardedAction(this, action, run, [this] {
        // The status panel belongs to a running build while one runs (this may be an action
        // taken meanwhile); otherwise nothing runs that it could still describe.
        if (Busy == 0) ShowStatus(QString());
    });
}

std::function<void()> TfmMain::Guarded(const char* action, void (TfmMain::*handler)()) {
    return [this, action, handler] { RunGuarded(action, [this, handler] { (this->*handler)(); }); };
}

void TfmMain::QuitExecute() {
    SaveSettingsAndQuit();
}

// ---------------------------------------------------------------------------------------
// The search

SearchOptions TfmMain::CurrentSearchOptions() const {
    // Fonts from the settings; the options as the actions are checked now.
    SearchOptions o = SearchOptionsOf(settings_);
    o.TranslateAll = acTranslateAllWords->isChecked();
    o.SearchBoth = acSearchBoth->isChecked();
    o.ShowUcs2 = acShowUcs2->isChecked();
    o.ShowUnihan = acShowUnihan->isChecked();
    return o;
}

void TfmMain::ListWords(QTreeWidgetItem* node, int dictNumber,
                        const std::vector<std::u16string>& words) {
    qDeleteAll(node->takeChildren());
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<qsizetype>(words.size()));
    const QIcon wordIcon = MainIcon(kImageWord);
    for (const std::u16string& w : words) {
        auto* item = new QTreeWidgetItem(QStringList(Q(w)));
        item->setIcon(0, wordIcon);
        item->setData(0, kItemDataRole, dictNumber);
        children << item;
    }
    node->addChildren(children);
}

void TfmMain::RunSearch(const std::u16string& query, int dictNumber, bool record) {
    SearchResult r =
        kes::RunSearch(registry_, history_, query, dictNumber, record, CurrentSearchOptions());
    if (!r.Changed) return;
    edtInp->setText(Q(r.FieldText));
    edtInp->selectAll();

    updatingTree_ = true;
    for (const DictSearchResult& d : r.Dicts) {
        if (!d.Listed || d.Position >= registry_.Dicts.size()) continue;
        const TDic& dic = registry_.Dicts[d.Position];
        auto* node = static_cast<QTreeWidgetItem*>(dic.Node);
        if (!node) continue;
        ListWords(node, dic.Number, d.Words);
    }
    updatingTree_ = false;

    if (!r.ok()) {
        // The search ended at an input/output error: the page keeps what it showed.
        ui::ShowError(Q(r.Error), QString(), this);
        return;
    }
    SetPageBody(r.Page);
    if (r.AllDictionaries) tvMain->expandAll();
}

void TfmMain::acRefreshExecute() {
    if (Busy != 0) return;
    edtInp->selectAll();
    RunSearch(U16(edtInp->text()), 0, true);
}

void TfmMain::acBackExecute() {
    if (auto q = history_.Back()) RunSearch(*q, 0, false);
}

void TfmMain::acFwdExecute() {
    if (auto q = history_.Fwd()) RunSearch(*q, 0, false);
}

void TfmMain::tvMainChange(QTreeWidgetItem* current) {
    if (updatingTree_ || !current) return;
    const int number = current->data(0, kItemDataRole).toInt();
    if (number <= 0) return;  // a dictionary item
    const std::u16string text = Trim(U16(current->text(0)));
    if (text.empty()) return;
    RunSearch(text, number, true);
}

// ---------------------------------------------------------------------------------------
// Fonts

bool TfmMain::PickFont(std::string& face, int32_t& size) {
    auto chosen = ui::AskFont({Q(face), size}, this);
    if (!chosen) return false;
    face = chosen->face.toStdString();
    size = chosen->size;
    return true;
}

void TfmMain::acInpFontExecute() {
    if (!PickFont(settings_.InpFontface, settings_.InpFontsize)) return;
    edtInp->setFont(MakeFont(settings_.InpFontface, settings_.InpFontsize));
    // The tree takes the input face (not its size) until the tree font is chosen again.
    QFont tree = tvMain->font();
    tree.setFamily(Q(settings_.InpFontface));
    tvMain->setFont(tree);
}

void TfmMain::acTreeFontExecute() {
    PickFont(settings_.TreFontface, settings_.TreFontsize);
    tvMain->setFont(MakeFont(settings_.TreFontface, settings_.TreFontsize));
}

void TfmMain::acChrFontExecute() {
    PickFont(settings_.ChrFontface, settings_.ChrFontsize);
}
void TfmMain::acPinFontExecute() {
    PickFont(settings_.PinFontface, settings_.PinFontsize);
}
void TfmMain::acDscFontExecute() {
    PickFont(settings_.DscFontface, settings_.DscFontsize);
}

void TfmMain::acStartWithDesktopExecute() {
    const Outcome r = SetAutostart(autostart_, acStartWithDesktop->isChecked());
    if (!r.ok) ui::ShowError(Q(MessageWithDetail(r)), QString(), this);
    acStartWithDesktop->setChecked(AutostartEnabled(autostart_.folder));
}

// ---------------------------------------------------------------------------------------
// Index builders

QString TfmMain::BeginIndexBuild(const QString& description, const QString& mask) {
    if (Busy != 0) {
        ui::ShowMessage(kBusyWaitMessage, QString(), this);
        return QString();
    }
    const QString path = ui::AskOpenFile(description, mask, this);
    if (path.isEmpty()) return path;
    Busy = 1;
    lastPercent_ = -1;
    return path;
}

void TfmMain::ShowBuildProgress(int percent) {
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    ShowStatus(kProgressText.arg(percent));
}

void TfmMain::RunIndexBuild(const QString& description, const QString& mask,
                            std::string_view failMessage,
                            const std::function<Outcome(const std::string& path)>& build) {
    const QString path = BeginIndexBuild(description, mask);
    if (path.isEmpty()) return;
    std::string message;
    try {
        message = MessageWithDetail(build(path.toStdString()));
    } catch (...) {
        // Busy and the status panel are cleared whatever ended the build.
        message = std::string(failMessage) + "\n" + CurrentExceptionDetail();
    }
    ShowStatus(QString());
    Busy = 0;
    if (!terminating_) ui::ShowMessage(Q(message), QString(), this);
}

void TfmMain::acMakeIndexExecute() {
    RunIndexBuild(QStringLiteral("CEDICT (UCS-2 text) (*.ced)"), QStringLiteral("*.ced"),
                  kIndexFailedMessage,
                  [this](const std::string& path) { return BuildIndexOf(path); });
}

Outcome TfmMain::BuildIndexOf(const std::string& path) {
    IndexBuildOptions options{acAddDescIndex->isChecked(), acAddPinIndex->isChecked()};
    IndexBuildCallbacks cb;
    cb.progress = [this](int percent) {
        ShowBuildProgress(percent);
        ui::ProcessPendingMessagesThrottled();
    };
    cb.cancelRequested = [this] { return terminating_; };
    cb.currentOptions = [this] {
        return IndexBuildOptions{acAddDescIndex->isChecked(), acAddPinIndex->isChecked()};
    };
    cb.warning = [this](const std::u16string& text) {
        if (!terminating_) ui::ShowMessage(Q(text), QString(), this);
    };
    cb.askName = [this](const std::u16string& initial) -> std::optional<std::u16string> {
        auto name = ui::AskText(QStringLiteral("Dictionary Description"),
                                QStringLiteral("Enter dictionary name:"), Q(initial), this);
        if (!name) return std::nullopt;
        return U16(*name);
    };
    return BuildIndex(path, options, cb).outcome;
}

void TfmMain::acUniIndexExecute() {
    RunIndexBuild(
        QStringLiteral("Unihan database file (*.txt)"), QStringLiteral("*.txt"),
        kUnihanFailedMessage, [this](const std::string& path) {
            UnihanBuildCallbacks cb;
            cb.progress = [this](int percent) { ShowBuildProgress(percent); };
            cb.processMessages = [] { ui::ProcessPendingMessagesThrottled(); };
            cb.cancelRequested = [this] { return terminating_; };
            return BuildUnihanIndex(path, JoinPath(folder_, kUnihanIndexName), cb).outcome;
        });
}

// ---------------------------------------------------------------------------------------
// The other windows

void TfmMain::acDictSetupExecute() {
    if (TfmDictSetup* w = forms_.fmDictSetup) w->showModal();
    ResetView();  // whatever the dialog's result
}

void TfmMain::acUserdictExecute() {
    if (TfmUserdict* w = forms_.fmUserdict) w->showModal();
}

void TfmMain::acDuplicatesExecute() {
    if (TfmDuplicates* w = forms_.fmDuplicates) w->showModal();
}

}  // namespace kes
