// The lines of a multi-line memo as wide strings, for the entry-text rules of the core.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace kes {

inline std::u16string ToU16(const QString& s) {
    return s.toStdU16String();
}
inline QString FromU16(const std::u16string& s) {
    return QString::fromStdU16String(s);
}

// The memo's lines; an empty memo has no line.
inline std::vector<std::u16string> MemoLines(const QPlainTextEdit* memo) {
    std::vector<std::u16string> lines;
    const QString text = memo->toPlainText();
    if (text.isEmpty()) return lines;
    for (const QString& l : text.split(QLatin1Char('\n')))
        lines.push_back(ToU16(l));
    return lines;
}

inline void SetMemoLines(QPlainTextEdit* memo, const std::vector<std::u16string>& lines) {
    QStringList list;
    for (const auto& l : lines)
        list << FromU16(l);
    memo->setPlainText(list.join(QLatin1Char('\n')));
}

}  // namespace kes
