#include "gui/fontchoice.h"

#include <QWidget>
#include <algorithm>

#include "ui/dialogs.h"

namespace kes {

QFont MakeFont(const std::string& face, int size) {
    QFont f(QString::fromStdString(face));
    if (size > 0) f.setPointSize(std::clamp(size, kMinFontSize, kMaxFontSize));
    return f;
}

bool PickFont(QWidget* window, std::string& face, int32_t& size) {
    auto chosen = ui::AskFont({QString::fromStdString(face), size}, window);
    if (!chosen) return false;
    face = chosen->face.toStdString();
    size = std::clamp(chosen->size, kMinFontSize, kMaxFontSize);
    if (size != chosen->size)
        ui::ShowMessage(QStringLiteral("Font sizes go from %1 to %2 points: %3 points are used "
                                       "instead of %4.")
                            .arg(kMinFontSize)
                            .arg(kMaxFontSize)
                            .arg(size)
                            .arg(chosen->size),
                        QString(), window);
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
