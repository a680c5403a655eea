// The main window fmMain: the input field, the tree of dictionaries and the words they index,
// the page, the menus with their actions and options, the status bar and the tray icon.
// It lives for the whole run, mostly hidden behind the tray icon; closing it only hides it.
// The window wires its parts: the page (PageHost), the tree (WordTree), the popup and the
// scans (Scanner), the index builds (IndexJobs) and the tray (Tray). The options are the
// rows of SettingRows(), each shown by a checkable action that keeps its field of settings().
//
// A new command is one row of the table in CreateCommands (name, caption, what its error box
// calls it, what it runs, an icon for the toolbar); it then goes where its name is listed: a
// menu in CreateMenus, the tray menu's items (the Tray in the constructor) or the buttons
// beside the input field (the InputRow in CreateControls). A new option is one row of the
// settings table (SettingRows) and its action's name in a menu list.
//
// Controls and actions are found by their object names (the names of the window design:
// edtInp, tvMain, pnlLeft, pnlShow, ActionToolBar1, stMain, popupWeb, trayPopup, trayIcon,
// Show1, Close1, nwCopy, nwCopyAll and every action, ac...).
#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/instance.h"
#include "app/queryflow.h"
#include "app/registry.h"
#include "app/settings.h"
#include "app/viewersession.h"
#include "gui/actionset.h"
#include "gui/forms.h"
#include "gui/indexjobs.h"
#include "gui/pagehost.h"
#include "gui/scanner.h"
#include "tools/autostart.h"
#include "ui/pageloader.h"

class QLineEdit;
class QMenu;
class QSplitter;

namespace kes {

class ScreenLookup;
class TfmPopup;
class WordActions;
class TfmWritePad;
class Tray;
class WordTree;

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
    // window is null does nothing. "Start with the desktop" writes or removes the entry in
    // autostart.folder (starting autostart.command); without a folder the option is disabled.
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
    void SetPageBody(const std::string& html) { pages_->SetPageBody(html); }
    // Makes the page view now unless it exists (showing the window does this); it gets the
    // page body and the scroll position kept by the window. False when the factory failed.
    bool CreatePageView() { return pages_->CreatePageView(); }
    // Deletes the page view, keeping its body and scroll position for the next one (done when
    // the window has been hidden for ReleaseViewMinutes).
    void ReleasePageView() { pages_->ReleasePageView(); }
    // "&Quit" and "Exit": asks first while Busy; writes setup.ini and ends the program (emits
    // terminated()). Returns false when the user chose to keep running.
    bool SaveSettingsAndQuit();
    // The end of the desktop session (a signal, or the session manager's request to save):
    // what "&Quit" does, without any question or message box; a failed save is written to
    // standard error, naming `why`, the file and the reason. Saves nothing when the program
    // is ending already (it only makes sure the end goes on).
    void EndSession(const char* why);
    // `kestrune show`: shows the window (as "Show" in the tray menu does); a query that is not
    // blank is then searched as if typed into the field and confirmed.
    void ShowQuery(const std::u16string& query);
    // "Open in Kestrune" in the popup: shows the window and searches `searched` as the popup
    // did, with the window's options but "Translate text" as `translateAll` (the option itself
    // stays as it is). Does nothing but show the window while Busy.
    void ShowPopupSearch(const std::u16string& searched, bool translateAll);
    // `kestrune popup` and the scans: the popup for `text` near the mouse pointer (centred on
    // the screen where its position is unknown). A blank text takes the selection (where the
    // desktop has one) or else the clipboard; when that is blank too, nothing happens.
    void PopupText(const std::u16string& text) { scanner_->PopupText(text); }
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
    // "Show" in the tray menu: shows the window and brings it to the front.
    void Show1Click();
    // "Look up text on screen" and `kestrune popup --screen`: the text read in a region the
    // user picks opens the popup; a failure is told in a message box.
    void LookUpScreen();

    // ---- State ----
    // The index builds and their busy flag (Busy: 1 while an index is being built).
    IndexJobs& indexJobs() const { return *jobs_; }
    int busy() const { return jobs_->Busy; }
    const std::string& programFolder() const { return folder_; }
    std::string iniPath() const;
    // The settings as they would be saved now (options as checked, fonts as chosen; the
    // panel width and the placement are taken when saving).
    const Settings& settings() const { return settings_; }
    Registry& registry() { return registry_; }
    const QueryHistory& history() const { return history_; }
    const std::string& readmeText() const { return readme_; }
    // The width of pnlLeft as it is saved.
    int pnlLeftWidth() const { return pnlLeftWidth_; }
    // The page view; null before the first show, after a release and when it could not be made.
    ui::PageView* pageView() const { return pages_->pageView(); }
    // The popup, created at its first use.
    TfmPopup* popup() { return scanner_->popup(); }
    // The popup if it has been created.
    TfmPopup* popupIfCreated() const { return scanner_->popupIfCreated(); }
    TfmWritePad* writePadIfCreated() const { return writePad_.get(); }
    // The speaker and "Add to my words" of the page and the popup.
    WordActions* wordActions() const { return words_; }
    // True while the clipboard or the selection is scanned.
    bool isScanning() const { return scanner_->isScanning(); }
    // True while a region of the screen is being picked or read.
    bool isLookingUpScreen() const;
    // The page body the window shows (or will show once it has a page view).
    const std::string& pageBody() const { return pages_->pageBody(); }
    // The message shown instead of the page when the page view could not be made.
    QString pageError() const { return pages_->pageError(); }
    // How long the window stays hidden before the page view is released; 0: never. Set from
    // ReleaseViewMinutes at start; tests may set it shorter.
    int releaseDelayMs() const { return pages_->releaseDelayMs(); }
    void setReleaseDelayMs(int ms) { pages_->setReleaseDelayMs(ms); }
    // The text of status panel `index` (0 or 1).
    QString statusText(int index) const { return jobs_->statusText(index); }
    // True once SaveSettingsAndQuit has decided to end the program.
    bool isTerminating() const { return terminating_; }
    // Whether the desktop has a tray. Without one the window is shown at start and closing it
    // ends the program like "&Quit". Detected at creation; tests may set it.
    bool trayAvailable() const { return trayAvailable_; }
    void setTrayAvailable(bool available);

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

  private:
    void CreateActions();
    void CreateCommands();
    void CreateControls();
    void CreateMenus();
    void CreatePinyinMenu(QMenu* setup);
    void FormCreate();
    void SizeTreePanel();
    void RunSearch(const std::u16string& query, int dictNumber, bool record,
                   const SearchOptions& options);
    Settings CollectSettings() const;
    void Terminate();
    // Runs a user action; whatever it throws ends it with an error box naming the action and
    // the reason (the status panel cleared unless a build runs), never the program.
    void RunGuarded(const char* action, const std::function<void()>& run);
    void acRefreshExecute();
    void acBackExecute();
    void acFwdExecute();
    void acStartWithDesktopExecute();
    void OpenWritePad();
    // The search options of the viewer's pages: the settings' and the entry links.
    SearchOptions PageSearchOptions();
    // A clicked link of the main window's page.
    void PageLinkClicked(const QUrl& url);

    std::string folder_;
    const Forms& forms_;
    AutostartPlace autostart_;
    Settings settings_;
    Registry registry_;
    QueryHistory history_;
    std::string readme_;
    ActionSet actions_{this};
    QLineEdit* edtInp_ = nullptr;
    WordTree* tvMain_ = nullptr;
    QSplitter* splitter_ = nullptr;
    PageHost* pages_ = nullptr;
    Scanner* scanner_ = nullptr;
    IndexJobs* jobs_ = nullptr;
    Tray* tray_ = nullptr;
    WordActions* words_ = nullptr;
    std::unique_ptr<TfmWritePad> writePad_;  // the handwriting pad, made when first opened
    ScreenLookup* screenLookup_ = nullptr;   // made at its first use, with its OcrClient
    int pnlLeftWidth_ = 60;
    bool terminating_ = false;
    bool trayAvailable_ = false;
};

}  // namespace kes
