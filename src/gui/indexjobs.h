// The index builds of the main window: "&Create index for CEDICT file", "C&reate index for
// Unihan" and the rebuild of stale indexes while the dictionaries are discovered at start.
// Each shows its progress in the second panel of the status bar stMain, which only they write;
// Busy guards them against each other, against Refresh and against quitting unasked.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

#include "app/registry.h"
#include "base/result.h"
#include "dict/builder.h"

class QLabel;
class QStatusBar;
class QWidget;

namespace kes {

class IndexJobs : public QObject {
    Q_OBJECT
  public:
    struct Hooks {
        std::function<IndexBuildOptions()> options;  // the index options as checked now
        std::function<bool()> ending;                // true once the program ends
    };
    // Dialogs and messages open over `window`; the two panels go into `statusBar` (the first
    // 80 pixels wide and centred, the second for the progress); the Unihan index goes into
    // `programFolder`.
    IndexJobs(QWidget* window, QStatusBar* statusBar, std::string programFolder, Hooks hooks);

    // 1 while an index is being built.
    int Busy = 0;

    // "&Create index for CEDICT file" (acMakeIndexExecute).
    void MakeIndex();
    // "C&reate index for Unihan" (acUniIndexExecute).
    void MakeUnihanIndex();
    // Discovers the dictionaries of the program folder into `registry` (rebuilding a stale
    // index when the user agrees); an error ends the discovery with a message.
    void Discover(Registry& registry);

    // The text of status panel `index` (0 or 1).
    QString statusText(int index) const;
    // Clears the progress panel unless a build runs (it may still describe that build).
    void ClearStatusUnlessBusy();

  private:
    // The shared frame of both index builders: the busy test and the file choice (an
    // empty path when nothing is to be built; otherwise Busy is set), the progress text,
    // and the end (status cleared, Busy cleared, the closing message unless quitting),
    // whatever the build throws (then `failMessage` with the reason).
    QString BeginIndexBuild(const QString& description, const QString& mask);
    void ShowStatus(const QString& text);
    void ShowBuildProgress(int percent);
    void RunIndexBuild(const QString& description, const QString& mask,
                       std::string_view failMessage,
                       const std::function<Outcome(const std::string& path)>& build);
    Outcome BuildIndexOf(const std::string& path);

    QWidget* window_;
    std::string folder_;
    Hooks hooks_;
    QLabel* panel0_ = nullptr;
    QLabel* panel1_ = nullptr;
    int lastPercent_ = -1;
};

}  // namespace kes
