#include "gui/indexjobs.h"

#include <QLabel>
#include <QStatusBar>
#include <QWidget>
#include <exception>

#include "base/bytefile.h"
#include "base/paths.h"
#include "charinfo/unihan.h"
#include "ui/dialogs.h"

namespace kes {

namespace {

const QString kBusyWaitMessage = QStringLiteral("Program is busy now. Wait and then try again.");
const QString kProgressText = QStringLiteral(" Creating index file... %1%");

QString Q(const std::u16string& s) {
    return QString::fromStdU16String(s);
}
QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

IndexJobs::IndexJobs(QWidget* window, QStatusBar* statusBar, std::string programFolder,
                     Hooks hooks)
    : QObject(window),
      window_(window),
      folder_(std::move(programFolder)),
      hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("indexJobs"));
    panel0_ = new QLabel(statusBar);
    panel0_->setFixedWidth(80);
    panel0_->setAlignment(Qt::AlignCenter);
    panel1_ = new QLabel(statusBar);
    panel1_->setMinimumWidth(50);
    statusBar->addWidget(panel0_);
    statusBar->addWidget(panel1_, 1);
}

QString IndexJobs::statusText(int index) const {
    return index == 0 ? panel0_->text() : panel1_->text();
}

void IndexJobs::ShowStatus(const QString& text) {
    panel1_->setText(text);
}

void IndexJobs::ClearStatusUnlessBusy() {
    if (Busy == 0) ShowStatus(QString());
}

void IndexJobs::Discover(Registry& registry) {
    RegistryCallbacks cb;
    cb.message = [this](const std::string& text) { ui::ShowMessage(Q(text), QString(), window_); };
    cb.processMessages = [] { ui::ProcessPendingMessagesThrottled(); };
    // A stale index: rebuild it now with its old name and options? (Enter answers Yes.)
    cb.ask = [this](const std::string& text) {
        return ui::AskYesNo(Q(text), QString(), window_, /*defaultYes=*/true);
    };
    cb.progress = [this](int percent) {
        ShowBuildProgress(percent);
        ui::ProcessPendingMessagesThrottled();
    };
    try {
        DiscoverDictionaries(registry, folder_, cb);
    } catch (const std::exception& e) {
        // The rest of the start-up is skipped; the window still exists.
        ui::ShowError(Q(std::string(e.what())), QString(), window_);
    }
    ShowStatus(QString());
}

QString IndexJobs::BeginIndexBuild(const QString& description, const QString& mask) {
    if (Busy != 0) {
        ui::ShowMessage(kBusyWaitMessage, QString(), window_);
        return QString();
    }
    const QString path = ui::AskOpenFile(description, mask, window_);
    if (path.isEmpty()) return path;
    Busy = 1;
    lastPercent_ = -1;
    return path;
}

void IndexJobs::ShowBuildProgress(int percent) {
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    ShowStatus(kProgressText.arg(percent));
}

void IndexJobs::RunIndexBuild(const QString& description, const QString& mask,
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
    if (!hooks_.ending()) ui::ShowMessage(Q(message), QString(), window_);
}

void IndexJobs::MakeIndex() {
    RunIndexBuild(QStringLiteral("CEDICT (UCS-2 text) (*.ced)"), QStringLiteral("*.ced"),
                  kIndexFailedMessage,
                  [this](const std::string& path) { return BuildIndexOf(path); });
}

Outcome IndexJobs::BuildIndexOf(const std::string& path) {
    // A file that is no UTF-16LE text is refused as the command line refuses it.
    if (std::string refusal = NotUtf16LeRefusal(path); !refusal.empty())
        return Outcome{false, false, std::move(refusal), {}};
    IndexBuildCallbacks cb;
    cb.progress = [this](int percent) {
        ShowBuildProgress(percent);
        ui::ProcessPendingMessagesThrottled();
    };
    cb.cancelRequested = hooks_.ending;
    cb.currentOptions = hooks_.options;
    cb.warning = [this](const std::u16string& text) {
        if (!hooks_.ending()) ui::ShowMessage(Q(text), QString(), window_);
    };
    cb.askName = [this](const std::u16string& initial) -> std::optional<std::u16string> {
        auto name = ui::AskText(QStringLiteral("Dictionary Description"),
                                QStringLiteral("Enter dictionary name:"), Q(initial), window_);
        if (!name) return std::nullopt;
        return name->toStdU16String();
    };
    return BuildIndex(path, hooks_.options(), cb).outcome;
}

void IndexJobs::MakeUnihanIndex() {
    RunIndexBuild(
        QStringLiteral("Unihan database file (*.txt)"), QStringLiteral("*.txt"),
        kUnihanFailedMessage, [this](const std::string& path) {
            UnihanBuildCallbacks cb;
            cb.progress = [this](int percent) { ShowBuildProgress(percent); };
            cb.processMessages = [] { ui::ProcessPendingMessagesThrottled(); };
            cb.cancelRequested = hooks_.ending;
            return BuildUnihanIndex(path, JoinPath(folder_, kUnihanIndexName), cb).outcome;
        });
}

}  // namespace kes
