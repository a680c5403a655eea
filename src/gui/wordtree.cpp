#include "gui/wordtree.h"

#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "app/registry.h"
#include "app/settings.h"
#include "base/text.h"
#include "gui/icons.h"

namespace kes {

namespace {

// Data value of a tree item: 0 for a dictionary item, the dictionary's Number for a word item.
constexpr int kItemDataRole = Qt::UserRole;

QTreeWidgetItem* NodeOf(const TDic& dic) {
    return static_cast<QTreeWidgetItem*>(dic.Node);
}

}  // namespace

WordTree::WordTree(QWidget* parent) : QTreeWidget(nullptr), panel_(new QWidget(parent)) {
    panel_->setObjectName(QStringLiteral("pnlLeft"));
    panel_->setMinimumWidth(kMinPnlLeft);
    auto* layout = new QVBoxLayout(panel_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(this);
    setObjectName(QStringLiteral("tvMain"));
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(19);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setMinimumWidth(0);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { CurrentChanged(current); });
}

int WordTree::FittingWidth(int wordChars) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QFontMetrics metrics(font());
    const int rootIndent = rootIsDecorated() ? indentation() : 0;
    // What an item needs besides its text: the icon and the margins of the style.
    int besidesText = iconSize().width() +
                      2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 4;
    int widest = 0;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = topLevelItem(i);
        const int hint = itemDelegate()->sizeHint(option, indexFromItem(item)).width();
        besidesText = std::max(besidesText, hint - metrics.horizontalAdvance(item->text(0)));
        widest = std::max(widest, rootIndent + hint);
    }
    // A word item is one level further in, with an icon of the same size.
    const int word = rootIndent + indentation() + besidesText +
                     metrics.horizontalAdvance(QString(wordChars, QChar(0x4E2D)));  // 中
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return std::max({widest, word, int{kMinPnlLeft}}) + 2 * frameWidth() + scrollBar;
}

void WordTree::Reset(std::vector<TDic>& dicts) {
    updating_ = true;
    clear();
    NumberDictionaries(dicts);
    QList<QTreeWidgetItem*> items;
    for (TDic& dic : dicts) {
        auto* item = new QTreeWidgetItem(QStringList(QString::fromStdU16String(DictItemText(dic))));
        item->setIcon(0, MainIcon(kImageDictionary));
        item->setData(0, kItemDataRole, 0);
        dic.Node = item;
        items << item;
    }
    addTopLevelItems(items);
    updating_ = false;
}

void WordTree::ListWords(QTreeWidgetItem* node, int dictNumber,
                         const std::vector<std::u16string>& words) {
    qDeleteAll(node->takeChildren());
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<qsizetype>(words.size()));
    const QIcon wordIcon = MainIcon(kImageWord);
    for (const std::u16string& w : words) {
        auto* item = new QTreeWidgetItem(QStringList(QString::fromStdU16String(w)));
        item->setIcon(0, wordIcon);
        item->setData(0, kItemDataRole, dictNumber);
        children << item;
    }
    node->addChildren(children);
}

void WordTree::ShowResult(const std::vector<TDic>& dicts, const SearchResult& r) {
    updating_ = true;
    for (const DictSearchResult& d : r.Dicts) {
        if (!d.Listed || d.Position >= dicts.size()) continue;
        const TDic& dic = dicts[d.Position];
        if (QTreeWidgetItem* node = NodeOf(dic)) ListWords(node, dic.Number, d.Words);
    }
    updating_ = false;
}

void WordTree::ExpandDictionaries() {
    // Not expandAll(): that marks every word item expanded too, and the view keeps the mark
    // (a persistent index) of each word item after the item is deleted, for good.
    for (int i = 0; i < topLevelItemCount(); ++i) topLevelItem(i)->setExpanded(true);
}

void WordTree::SaveTo(const std::vector<TDic>& dicts, ViewerSession& s) const {
    const QTreeWidgetItem* current = currentItem();
    for (const TDic& dic : dicts) {
        const QTreeWidgetItem* node = NodeOf(dic);
        if (!node) continue;
        ViewerSession::DictItem item;
        item.Number = dic.Number;
        item.Expanded = node->isExpanded();
        for (int i = 0; i < node->childCount(); ++i) {
            item.Words.push_back(node->child(i)->text(0).toStdU16String());
            if (node->child(i) == current) {
                s.CurrentDict = dic.Number;
                s.CurrentWord = i;
            }
        }
        if (node == current) s.CurrentDict = dic.Number;
        s.Tree.push_back(std::move(item));
    }
}

void WordTree::RestoreFrom(const std::vector<TDic>& dicts, const ViewerSession& s) {
    updating_ = true;
    for (const ViewerSession::DictItem& item : s.Tree) {
        for (const TDic& dic : dicts) {
            QTreeWidgetItem* node = NodeOf(dic);
            if (dic.Number != item.Number || !node) continue;
            ListWords(node, dic.Number, item.Words);
            node->setExpanded(item.Expanded);
            if (dic.Number == s.CurrentDict)
                setCurrentItem(s.CurrentWord < 0 ? node : node->child(s.CurrentWord));
        }
    }
    updating_ = false;
}

void WordTree::CurrentChanged(QTreeWidgetItem* current) {
    if (updating_ || !current) return;
    const int number = current->data(0, kItemDataRole).toInt();
    if (number <= 0) return;  // a dictionary item
    const std::u16string text = Trim(current->text(0).toStdU16String());
    if (text.empty()) return;
    Q_EMIT wordChosen(text, number);
}

}  // namespace kes
