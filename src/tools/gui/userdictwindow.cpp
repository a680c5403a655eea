#include "tools/gui/userdictwindow.h"

namespace kes {

TfmUserdict::TfmUserdict(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fmUserdict"));
    setWindowTitle(QStringLiteral("User dictionary file"));
    setModal(true);
}

int TfmUserdict::showModal() {
    return exec();
}

}  // namespace kes
