// The list logic of the dictionary setup dialog: one row per open dictionary (its
// description, a check mark for "enabled", and its position in the list when the dialog was
// shown), moves of the selected row, and OK applying the rows' order and marks to the list
// and to section "Dicts" of setup.ini.
#pragma once

#include <string>
#include <vector>

#include "dict/dic.h"

namespace kes {

struct DictSetupRow {
    std::u16string Text;
    bool Checked = false;
    int Data = 0;  // the dictionary's position in the list when the dialog was shown

    bool operator==(const DictSetupRow&) const = default;
};

struct DictSetupList {
    std::vector<DictSetupRow> Rows;
    int Selected = -1;  // -1: no row selected

    // Refills the rows from the dictionaries (no selection).
    void FormShow(const std::vector<TDic>& dicts);
    // Swap the selected row with its neighbour; the selection moves with the row. Nothing
    // happens without a selection or at the first (up) or last (down) row.
    void MoveUp();
    void MoveDown();
};

inline const char* const kDictSetupCountError = "ERROR: Damn! How it can be?!! (List wasn't saved)";

// The OK button: reorders `dicts` by the rows and sets Enabled from the check marks, then
// rewrites section "Dicts" of `iniPath`. When the rows do not describe the dictionaries
// (another count, or positions that are not each dictionary exactly once) nothing changes
// and the error text is returned. A failed write keeps the new order for this run and
// returns kDictsNotSavedMessage with the file and the reason on the next line; otherwise
// the result is empty.
std::string AcceptDictSetup(const DictSetupList& list, std::vector<TDic>& dicts,
                            const std::string& iniPath);

}  // namespace kes
