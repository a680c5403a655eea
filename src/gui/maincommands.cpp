// The main window's commands: what each item of the menus and each button beside the input
// field runs, and the tool windows they open on first use (the handwriting pad, the screen
// lookup).
#include <QAction>
#include <QKeySequence>
#include <QLineEdit>
#include <functional>
#include <string_view>

#include "app/registrytexts.h"
#include "gui/dictsetupwindow.h"
#include "gui/duplicateswindow.h"
#include "gui/fontchoice.h"
#include "gui/icons.h"
#include "gui/indexjobs.h"
#include "gui/mainwindow.h"
#include "gui/screenregion.h"
#include "gui/userdictwindow.h"
#include "gui/wordtree.h"
#include "gui/writepad.h"

namespace kes {

// The commands of the menus and the toolbar. Every one runs guarded: whatever it throws ends
// it with a message naming it, never the program.
void TfmMain::CreateCommands() {
    struct Command {
        const char* name;
        const char* caption;
        const char* what;  // for the error box: "ERROR: " what " failed!"
        std::function<void()> run;
        int icon = -1;  // an image of MainIcon, for the toolbar
    };
    const char* const font = "The font choice";
    const Command commands[] = {
        {"acInpFont", "&Input field font", font,
         [this] { ChooseInputFont(this, settings_, edtInp_, tvMain_); }},
        {"acTreeFont", "Tree font", font, [this] { ChooseTreeFont(this, settings_, tvMain_); }},
        {"acChrFont", "&Word output font", font,
         [this] { PickFont(this, settings_.ChrFontface, settings_.ChrFontsize); }},
        {"acPinFont", "&Pinyin output font", font,
         [this] { PickFont(this, settings_.PinFontface, settings_.PinFontsize); }},
        {"acDscFont", "&Translation output font", font,
         [this] { PickFont(this, settings_.DscFontface, settings_.DscFontsize); }},
        {"acExit", "&Quit", "Quitting", [this] { SaveSettingsAndQuit(); }},
        {"acMakeIndex", "&Create index for CEDICT file", "The index build",
         [this] { jobs_->MakeIndex(); }},
        {"acUniIndex", "C&reate index for Unihan", "The Unihan index build",
         [this] { jobs_->MakeUnihanIndex(); }},
        {"acDictSetup", "&Dictionaries", "The dictionary setup",
         [this] {
             if (TfmDictSetup* w = forms_.fmDictSetup) w->showModal();
             ResetView();  // whatever the dialog's result
         }},
        {"acUserdict", "&Edit user dictionary file", "The user dictionary",
         [this] {
             if (TfmUserdict* w = forms_.fmUserdict) w->showModal();
         }},
        {"acDuplicates", "D&uplicates in CEDICT file", "The duplicates check",
         [this] {
             if (TfmDuplicates* w = forms_.fmDuplicates) w->showModal();
         }},
        {"acHelpFile", "&Help file", "", nullptr},  // no handler: choosing it does nothing
        {"acAbout", "&About", "The About page",
         [this] { SetPageBody(AboutPageHtml(registry_.StartText, readme_)); }},
        {"acRefresh", "&Refresh", "The search", [this] { acRefreshExecute(); }, kImageRefresh},
        {"acBack", "B&ack", "The search", [this] { acBackExecute(); }, kImageBack},
        {"acFwd", "&Fwd", "The search", [this] { acFwdExecute(); }, kImageFwd},
        {"acWrite", "&Write", "The handwriting pad", [this] { OpenWritePad(); }},
        {"acScreenLookup", "Look up text on scree&n", "Looking up text on screen",
         [this] { LookUpScreen(); }},
    };
    for (const Command& c : commands) {
        QAction* a = actions_.Add(QString::fromLatin1(c.name), QString::fromUtf8(c.caption));
        if (c.icon >= 0) a->setIcon(MainIcon(c.icon));
        // The buttons beside the field show no mnemonics, so theirs (Alt+R, Alt+A, Alt+F,
        // Alt+W) are shortcuts of the window; the input field does not take Alt+letter itself.
        if (c.icon >= 0 || std::string_view(c.name) == "acWrite")
            a->setShortcut(QKeySequence::mnemonic(a->text()));
        if (!c.run) continue;
        connect(a, &QAction::triggered, this,
                [this, what = c.what, run = c.run] { RunGuarded(what, run); });
    }
}

// The handwriting pad, made when first opened: a chosen character is appended to the field
// and searched.
void TfmMain::OpenWritePad() {
    if (!writePad_) {
        writePad_ = std::make_unique<TfmWritePad>(
            TfmWritePad::Setup{iniPath(), kHandModelPath, &registry_,
                               [this] { return settings_.SearchBoth; },
                               [this] { return releaseDelayMs(); }},
            this);
        connect(writePad_.get(), &TfmWritePad::chosen, this, [this](const QString& ch) {
            edtInp_->setText(edtInp_->text() + ch);
            RunGuarded("The search", [this] { acRefreshExecute(); });
        });
    }
    writePad_->show();
    writePad_->raise();
    writePad_->activateWindow();
}

bool TfmMain::isLookingUpScreen() const {
    return screenLookup_ && screenLookup_->busy();
}

void TfmMain::LookUpScreen() {
    if (!screenLookup_)
        screenLookup_ =
            ScreenLookup::ForPopup(this, [this] { return terminating_ ? nullptr : popup(); });
    screenLookup_->Start();
}

}  // namespace kes
