// The lines of a multi-line memo as wide strings, for the entry-text rules of the core. What
// is read is exactly what the memo holds: every character of a line as the core gave it
// (U+00A0, U+2028, lone surrogates), never the display form of QPlainTextEdit::toPlainText,
// which turns U+00A0 into a space and U+2028/U+2029 into line breaks.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVariant>
#include <string>
#include <vector>

namespace kes {

inline std::u16string ToU16(const QString& s) {
    return s.toStdU16String();
}
inline QString FromU16(const std::u16string& s) {
    return QString::fromStdU16String(s);
}

namespace memo_detail {

// The memo's lines set last (property "memoLines") and how many paragraphs of the document
// each became ("memoParagraphs"): a line holding U+2029 is shown as several paragraphs.
inline const char* const kLinesProperty = "memoLines";
inline const char* const kParagraphsProperty = "memoParagraphs";

// The document's paragraphs, character for character.
inline QStringList Paragraphs(const QPlainTextEdit* memo) {
    QStringList out;
    for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next())
        out << b.text();
    if (out.size() == 1 && out.front().isEmpty()) out.clear();  // an empty memo: no line
    return out;
}

// How many paragraphs a line becomes when inserted: inserted text breaks at CR, U+2029 and
// the frame marks U+FDD0/U+FDD1.
inline qsizetype ParagraphCount(const QString& line) {
    qsizetype n = 1;
    for (QChar c : line)
        if (c == QLatin1Char('\r') || c == QChar::ParagraphSeparator || c == QChar(0xFDD0) ||
            c == QChar(0xFDD1))
            ++n;
    return n;
}

}  // namespace memo_detail

// The memo's lines; an empty memo has no line. The paragraphs the user left as SetMemoLines
// put them give the lines as they were set (a U+2029 inside a line included); every other
// paragraph is one line as it stands.
inline std::vector<std::u16string> MemoLines(const QPlainTextEdit* memo) {
    using namespace memo_detail;
    const QStringList now = Paragraphs(memo);
    const QStringList set = memo->property(kLinesProperty).toStringList();
    const QStringList shown = memo->property(kParagraphsProperty).toStringList();
    std::vector<std::u16string> lines;
    if (now == shown) {
        for (const QString& l : set)
            lines.push_back(ToU16(l));
        return lines;
    }
    // Paragraph counts of each set line, to keep the lines the user did not touch.
    std::vector<qsizetype> parts;
    for (const QString& l : set)
        parts.push_back(ParagraphCount(l));
    qsizetype total = 0;
    for (qsizetype p : parts)
        total += p;
    if (total != shown.size()) {
        for (const QString& l : now)
            lines.push_back(ToU16(l));
        return lines;
    }
    // Untouched lines at the start and at the end keep their exact text.
    qsizetype head = 0, headParas = 0;
    while (head < set.size() && headParas + parts[head] <= now.size() &&
           now.mid(headParas, parts[head]) == shown.mid(headParas, parts[head])) {
        headParas += parts[head];
        ++head;
    }
    qsizetype tail = set.size(), tailParas = 0;
    while (tail > head && tailParas + parts[tail - 1] <= now.size() - headParas &&
           now.mid(now.size() - tailParas - parts[tail - 1], parts[tail - 1]) ==
               shown.mid(shown.size() - tailParas - parts[tail - 1], parts[tail - 1])) {
        tailParas += parts[tail - 1];
        --tail;
    }
    for (qsizetype i = 0; i < head; ++i)
        lines.push_back(ToU16(set[i]));
    for (qsizetype i = headParas; i < now.size() - tailParas; ++i)
        lines.push_back(ToU16(now[i]));
    for (qsizetype i = tail; i < set.size(); ++i)
        lines.push_back(ToU16(set[i]));
    return lines;
}

inline void SetMemoLines(QPlainTextEdit* memo, const std::vector<std::u16string>& lines) {
    using namespace memo_detail;
    QStringList list;
    for (const auto& l : lines)
        list << FromU16(l);
    // Line by line, so that a line ending in CR does not join the line break after it.
    memo->setPlainText(QString());
    QTextCursor cursor(memo->document());
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i > 0) cursor.insertBlock();
        cursor.insertText(list[i]);
    }
    memo->document()->clearUndoRedoStacks();
    memo->moveCursor(QTextCursor::Start);
    memo->setProperty(kLinesProperty, list);
    memo->setProperty(kParagraphsProperty, Paragraphs(memo));
}

}  // namespace kes
