#include "gui/guarded.h"

#include <QString>

#include "base/result.h"
#include "ui/dialogs.h"

namespace kes {

void RunGuardedAction(QWidget* window, const std::string& action, const std::function<void()>& run,
                      const std::function<void()>& cleanup) {
    try {
        run();
        return;
    } catch (...) {
        const std::string text = "ERROR: " + action + " failed!\n" + CurrentExceptionDetail();
        try {
            if (cleanup) cleanup();
            ui::ShowError(QString::fromStdString(text), QString(), window);
        } catch (...) {
        }
    }
}

}  // namespace kes
