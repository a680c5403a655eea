#include "tools/gui/dictsetupwindow.h"

namespace kes {

TfmDictSetup::TfmDictSetup(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fmDictSetup"));
    setWindowTitle(QStringLiteral("Dictionaries"));
    setModal(true);
}

int TfmDictSetup::showModal() {
    return exec();
}

}  // namespace kes
