#include "tools/gui/duplicateswindow.h"

namespace kes {

TfmDuplicates::TfmDuplicates(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fmDuplicates"));
    setWindowTitle(QStringLiteral("Duplicate entries"));
    setModal(true);
}

int TfmDuplicates::showModal() {
    return exec();
}

}  // namespace kes
