#include "tools/gui/editstringwindow.h"

namespace kes {

TfmEditString::TfmEditString(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fmEditString"));
    setWindowTitle(QStringLiteral("Edit"));
    setModal(true);
}

int TfmEditString::showModal() {
    return exec();
}

}  // namespace kes
