// The tree tvMain of the main window: one item per dictionary (in list order, numbered from 1)
// and below each the indexed words a search listed. Choosing a word item asks for a search of
// that word in that dictionary.
#pragma once

#include <QTreeWidget>
#include <string>
#include <vector>

#include "app/queryflow.h"
#include "app/viewersession.h"
#include "dict/dic.h"

namespace kes {

class WordTree : public QTreeWidget {
    Q_OBJECT
  public:
    // The tree fills its panel pnlLeft (at least kMinPnlLeft wide), made as a child of
    // `parent`.
    explicit WordTree(QWidget* parent);

    QWidget* panel() const { return panel_; }
    // The width of pnlLeft that shows every dictionary item's text whole and about
    // `wordChars` Chinese characters of a word item, in the tree's font, after the style's
    // indentation, icon and margins (with room for the frame and a vertical scroll bar).
    int FittingWidth(int wordChars) const;

    // Makes one item per dictionary (renumbering them; each TDic::Node is its item).
    void Reset(std::vector<TDic>& dicts);
    // Replaces the word items of the dictionaries that `result` listed.
    void ShowResult(const std::vector<TDic>& dicts, const SearchResult& result);
    // Expands every dictionary item (the word items below have no children to show).
    void ExpandDictionaries();
    // The tree's part of a session: the words, expanded items and the current item.
    void SaveTo(const std::vector<TDic>& dicts, ViewerSession& session) const;
    // Shows the tree of `session` without searching; items of dictionaries gone are skipped.
    void RestoreFrom(const std::vector<TDic>& dicts, const ViewerSession& session);

  Q_SIGNALS:
    // A word item became the current item (tvMainChange): its text, trimmed and not empty.
    void wordChosen(const std::u16string& word, int dictNumber);

  private:
    // Makes `words` the word items under the dictionary item `node` (dictionary `dictNumber`).
    static void ListWords(QTreeWidgetItem* node, int dictNumber,
                          const std::vector<std::u16string>& words);
    void CurrentChanged(QTreeWidgetItem* current);

    QWidget* panel_;
    bool updating_ = false;  // items change: no search for the current item
};

}  // namespace kes
