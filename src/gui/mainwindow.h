// The main window fmMain: the input field, the tree of dictionaries and the words they index,
// the page view, the menus with their actions and options, the status bar and the tray icon.
// It lives for the whole run, mostly hidden behind the tray icon; closing it only hides it.
#pragma once

#include <QClipboard>
#include <QMainWindow>
#include <QPointF>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/instance.h"
#include "app/queryflow.h"
#include "app/registry.h"
#include "app/settings.h"
#include "app/viewersession.h"
#include "gui/forms.h"
#include "tools/autostart.h"
#include "ui/pageloader.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QSplitter;
class QSystemTrayIcon;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace kes {

class TfmPopup;
class ScreenLookup;

class TfmMain : public QMainWindow {
    Q_OBJECT
  public:
    // Creates the window and runs its start-up (FormCreate) for the program folder: setup.ini
    // is read, the dictionaries are discovered and the view is reset. The window is not shown.
    // The page view is made by `pageFactory` when the window is first shown (it loads
    // empty.html then); until then, and after a release, the window keeps the page body itself.
    // A factory that fails leaves a message in the page's place; the rest of the window works.
    // "&Dictionaries", "&Edit user dictionary file" and "D&uplicates in CEDICT file" open the
    // windows of `forms`, which is read each time (the caller fills it after creating the
    // tool windows, which come after this one) and must outlive the window; an item whose
    // window is null does nothing.
    // The page view is made by `pageFactory` when the window is first shown. "Start with the
    // desktop" writes or removes the entry in autostart.folder (starting autostart.command);
    // without a folder the option is disabled.
    TfmMain(const std::string& programFolder, const Forms& forms, ui::PageFactory pageFactory,
            const AutostartPlace& autostart = {}, QWidget* parent = nullptr);
    ~TfmMain() override;

    // ---- Operations ----
    // The search: query, dictionary number (0 or less: all dictionaries) and whether to record
    // the query in the history.
    void RunSearch(const std::u16string& query, int dictNumber, bool record);
    // Rebuilds the dictionary items of the tree and shows the hint.
    void ResetView();
    // Makes `html` the page body (kept by the window while there is no page view).
    void SetPageBody(const std::string& html);
    // Makes the page view now unless it exists (showing the window does this); it gets the
    // page body and the scroll position kept by the window. False when the factory failed.
    bool CreatePageView();
    // Deletes the page view, keeping its body and scroll position for the next one (done when
    // the window has been hidden for ReleaseViewMinutes).
    void ReleasePageView();
    // "&Quit" and "Exit": asks first while Busy; writes setup.ini and ends the program (emits
    // terminated()). Returns false when the user chose to keep running.
    bool SaveSettingsAndQuit();
    // `kestrune show`: shows the window (as "Show" in the tray menu does); a query that is not
    // blank is then searched as if typed into the field and confirmed.
    void ShowQuery(const std::u16string& query);
    // `kestrune popup` and the scans: the popup for `text` near the mouse pointer (centred on
    // the screen where its position is unknown). A blank text takes the selection (where the
    // desktop has one) or else the clipboard; when that is blank too, nothing happens.
    void PopupText(const std::u16string& text);
    // What the window shows (input, tree, history, page body and scroll position), for a
    // viewer that starts itself afresh.
    ViewerSession session() const;
    // Shows `session` as it was taken, without searching; the page (made at the next show)
    // gets its body and scroll position. Tree items of dictionaries that are gone are skipped.
    void RestoreSession(const ViewerSession& session);
    // Writes setup.ini now (as quitting does); the outcome names the file and the reason.
    Outcome SaveSettingsNow();
    // Carries out a request of the viewer's socket.
    void HandleRequest(const InstanceMessage& request);
    // "Look up text on screen" and `kestrune popup --screen`: the text read in a region the
    // user picks opens the popup; a failure is told in a message box.
    void LookUpScreen();
    ScreenLookup* screenLookup() const { return screenLookup_; }

    // ---- State ----
    int Busy = 0;  // 1 while an index is being built
    const std::string& programFolder() const { return folder_; }
    std::string iniPath() const;
    const Settings& settings() const { return settings_; }
    Registry& registry() { return registry_; }
    const QueryHistory& history() const { return history_; }
    const std::string& readmeText() const { return readme_; }
    // The width of pnlLeft as it is saved.
    int pnlLeftWidth() const;
    // The page view; null before the first show, after a release and when it could not be made.
    ui::PageView* pageView() const { return view_; }
    // The popup, created at its first use.
    TfmPopup* popup();
    // The popup if it has been created.
    TfmPopup* popupIfCreated() const { return popup_.get(); }
    // The page body the window shows (or will show once it has a page view).
    const std::string& pageBody() const { return pageBody_; }
    // The message shown instead of the page when the page view could not be made.
    QString pageError() const;
    // How long the window stays hidden before the page view is released; 0: never. Set from
    // ReleaseViewMinutes at start; tests may set it shorter.
    int releaseDelayMs() const { return releaseDelayMs_; }
    void setReleaseDelayMs(int ms);
    // The text of status panel `index` (0 or 1).
    QString statusText(int index) const;
    // True once SaveSettingsAndQuit has decided to end the program.
    bool isTerminating() const { return terminating_; }
    // Whether the desktop has a tray. Without one the window is shown at start and closing it
    // ends the program like "&Quit". Detected at creation; tests may set it.
    bool trayAvailable() const { return trayAvailable_; }
    void setTrayAvailable(bool available);

    // ---- Controls (names of the window design) ----
    QWidget* pnlLeft = nullptr;
    QSplitter* Splitter1 = nullptr;
    QTreeWidget* tvMain = nullptr;
    QLabel* lblInput = nullptr;
    QLineEdit* edtInp = nullptr;
    QToolBar* ActionToolBar1 = nullptr;
    QWidget* pnlShow = nullptr;
    QStatusBar* stMain = nullptr;
    QSystemTrayIcon* trayIcon = nullptr;
    QMenu* trayPopup = nullptr;
    QMenu* popupWeb = nullptr;
    QAction* nwCopy = nullptr;
    QAction* nwCopyAll = nullptr;
    QAction* Show1 = nullptr;
    QAction* Close1 = nullptr;

    // ---- Actions ----
    QAction* acShowUcs2 = nullptr;
    QAction* acShowUnihan = nullptr;
    QAction* acInpFont = nullptr;
    QAction* acTreeFont = nullptr;
    QAction* acChrFont = nullptr;
    QAction* acPinFont = nullptr;
    QAction* acDscFont = nullptr;
    QAction* acExit = nullptr;
    QAction* acTranslateAllWords = nullptr;
    QAction* acSearchBoth = nullptr;
    QAction* acScanClipboard = nullptr;
    QAction* acScanSelection = nullptr;  // hidden and disabled without a selection (X11 only)
    QAction* acScreenLookup = nullptr;   // "Look up text on screen" (gui/screenregion.h)
    QAction* acStartWithDesktop = nullptr;
    QAction* acMakeIndex = nullptr;
    QAction* acUniIndex = nullptr;
    QAction* acAddDescIndex = nullptr;
    QAction* acAddPinIndex = nullptr;
    QAction* acDictSetup = nullptr;
    QAction* acUserdict = nullptr;
    QAction* acDuplicates = nullptr;
    QAction* acHelpFile = nullptr;
    QAction* acAbout = nullptr;
    QAction* acRefresh = nullptr;
    QAction* acBack = nullptr;
    QAction* acFwd = nullptr;

  public Q_SLOTS:
    void acRefreshExecute();
    void acBackExecute();
    void acFwdExecute();
    void acAboutExecute();
    void acMakeIndexExecute();
    void acUniIndexExecute();
    void acDictSetupExecute();
    void acUserdictExecute();
    void acDuplicatesExecute();
    void acInpFontExecute();
    void acTreeFontExecute();
    void acChrFontExecute();
    void acPinFontExecute();
    void acDscFontExecute();
    // "Start with the desktop": writes the autostart entry when checked, removes it when not;
    // on failure says why and shows the state the file is in.
    void acStartWithDesktopExecute();
    void Show1Click();

  Q_SIGNALS:
    // The program ends: the viewer leaves its message loop.
    void terminated();
    // A page body has reached the page view (emitted for every body applied).
    void pageBodyApplied();
    // The page view has been made (true) or released (false).
    void pageViewChanged(bool present);

  protected:
    void closeEvent(QCloseEvent* event) override;  // FormClose
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Makes `words` the word items under the dictionary item `node` (dictionary `dictNumber`).
    void ListWords(QTreeWidgetItem* node, int dictNumber, const std::vector<std::u16string>& words);
    void CreateControls();
    void CreateActions();
    void CreateMenus();
    void FormCreate();
    void LoadWindowPlacement();
    void ApplyOptions();
    Settings CollectSettings() const;
    SearchOptions CurrentSearchOptions() const;
    void tvMainChange(QTreeWidgetItem* current);
    void ShowStatus(const QString& text);
    // Runs a user action; whatever it throws ends it with an error box naming the action and
    // the reason (the status panel cleared unless a build runs), never the program.
    void RunGuarded(const char* action, const std::function<void()>& run);
    std::function<void()> Guarded(const char* action, void (TfmMain::*handler)());
    void QuitExecute();
    // The shared frame of both index builders: the busy test and the file choice (an
    // empty path when nothing is to be built; otherwise Busy is set), the progress text,
    // and the end (status cleared, Busy cleared, the closing message unless quitting),
    // whatever the build throws (then `failMessage` with the reason).
    QString BeginIndexBuild(const QString& description, const QString& mask);
    void ShowBuildProgress(int percent);
    void RunIndexBuild(const QString& description, const QString& mask,
                       std::string_view failMessage,
                       const std::function<Outcome(const std::string& path)>& build);
    Outcome BuildIndexOf(const std::string& path);
    bool PickFont(std::string& face, int32_t& size);
    // A change of the clipboard or the selection: pops up when its option is on, the change
    // did not come from this program, and the text passes IsScanText.
    void ScanChanged(QClipboard::Mode mode);

    std::string folder_;
    const Forms& forms_;
    AutostartPlace autostart_;
    Settings settings_;
    Registry registry_;
    QueryHistory history_;
    std::string readme_;
    ui::PageFactory pageFactory_;
    ui::PageView* view_ = nullptr;  // owned by pnlShow
    QLabel* pageError_ = nullptr;   // in the page's place when the view could not be made
    std::string pageBody_;
    QPointF scroll_;
    QTimer* releaseTimer_ = nullptr;
    int releaseDelayMs_ = 0;
    QLabel* stPanel0_ = nullptr;
    QLabel* stPanel1_ = nullptr;
    int pnlLeftWidth_ = 60;
    bool updatingTree_ = false;
    bool terminating_ = false;
    bool trayAvailable_ = false;
    int lastPercent_ = -1;
    std::unique_ptr<TfmPopup> popup_;
    ScreenLookup* screenLookup_ = nullptr;  // made at its first use, with its OcrClient
    // The selection changes with every move of a drag: it is read once it has settled.
    QTimer* selectionSettled_ = nullptr;
};

}  // namespace kes
