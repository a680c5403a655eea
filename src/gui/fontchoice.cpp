#include "gui/fontchoice.h"

#include <QWidget>

#include "ui/dialogs.h"

namespace kes {

QFont MakeFont(const std::string& face, int size) {
    QFont f(QString::fromStdString(face));
    if (size > 0) f.setPointSize(size);
    return f;
}

bool PickFont(QWidget* window, std::string& face, int32_t& size) {
    auto chosen = ui::AskFont({QString::fromStdString(face), size}, window);
    if (!chosen) return false;
    face = chosen->face.toStdString();
    size = chosen->size;
    return true;
}

void ChooseInputFont(QWidget* window, Settings& s, QWidget* field, QWidget* tree) {
    if (!PickFont(window, s.InpFontface, s.InpFontsize)) return;
    field->setFont(MakeFont(s.InpFontface, s.InpFontsize));
    QFont treeFont = tree->font();
    treeFont.setFamily(QString::fromStdString(s.InpFontface));
    tree->setFont(treeFont);
}

void ChooseTreeFont(QWidget* window, Settings& s, QWidget* tree) {
    PickFont(window, s.TreFontface, s.TreFontsize);
    tree->setFont(MakeFont(s.TreFontface, s.TreFontsize));
}

}  // namespace kes
