#include "app/dictchars.h"

#include "base/bytefile.h"

namespace kes {

DictionaryChars::DictionaryChars(const Registry& reg, bool searchBoth)
    : reg_(reg), both_(searchBoth) {}

DictionaryChars::~DictionaryChars() = default;

bool DictionaryChars::Has(char32_t ch) {
    if (ch == 0 || ch > 0xFFFF) return false;
    if (auto it = known_.find(ch); it != known_.end()) return it->second;
    if (!opened_) {
        opened_ = true;
        for (const TDic& dic : reg_.Dicts) {
            if (!dic.Enabled) continue;
            try {
                readers_.push_back(
                    std::make_unique<DicReader>(dic, reg_.Folder, both_, reg_.Views.get()));
            } catch (const IoError&) {
            }
        }
    }
    const std::u16string key(1, static_cast<char16_t>(ch));
    bool found = false;
    for (auto& reader : readers_) {
        if (!reader) continue;
        std::vector<int32_t> offsets;
        try {
            reader->Exact(key, offsets);
        } catch (const IoError&) {
            reader.reset();  // damaged: asked no more
            continue;
        }
        if (!offsets.empty()) {
            found = true;
            break;
        }
    }
    known_.emplace(ch, found);
    return found;
}

}  // namespace kes
