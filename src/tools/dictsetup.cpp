#include "tools/dictsetup.h"

#include <utility>

#include "app/registry.h"

namespace kes {

void DictSetupList::FormShow(const std::vector<TDic>& dicts) {
    Rows.clear();
    Selected = -1;
    for (std::size_t i = 0; i < dicts.size(); ++i)
        Rows.push_back({dicts[i].Description, dicts[i].Enabled, static_cast<int>(i)});
}

void DictSetupList::MoveUp() {
    const int k = Selected;
    if (k <= 0 || k >= static_cast<int>(Rows.size())) return;
    std::swap(Rows[static_cast<std::size_t>(k)], Rows[static_cast<std::size_t>(k - 1)]);
    Selected = k - 1;
}

void DictSetupList::MoveDown() {
    const int k = Selected;
    if (k < 0 || k >= static_cast<int>(Rows.size()) - 1) return;
    std::swap(Rows[static_cast<std::size_t>(k)], Rows[static_cast<std::size_t>(k + 1)]);
    Selected = k + 1;
}

std::string AcceptDictSetup(const DictSetupList& list, std::vector<TDic>& dicts,
                            const std::string& iniPath) {
    if (list.Rows.size() != dicts.size()) return kDictSetupCountError;
    std::vector<bool> used(dicts.size(), false);
    for (const auto& row : list.Rows) {
        if (row.Data < 0 || static_cast<std::size_t>(row.Data) >= dicts.size() ||
            used[static_cast<std::size_t>(row.Data)])
            return kDictSetupCountError;
        used[static_cast<std::size_t>(row.Data)] = true;
    }
    std::vector<TDic> ordered;
    ordered.reserve(dicts.size());
    for (const auto& row : list.Rows) {
        TDic d = dicts[static_cast<std::size_t>(row.Data)];
        d.Enabled = row.Checked;
        ordered.push_back(std::move(d));
    }
    dicts = std::move(ordered);
    // A failed write leaves the new order for this run, and says why it was not kept.
    const Outcome written = WriteDictsSection(iniPath, dicts);
    return written.ok ? std::string() : MessageWithDetail(written);
}

}  // namespace kes
