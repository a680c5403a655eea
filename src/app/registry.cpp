#include "app/registry.h"

#include <optional>
#include <utility>

#include "app/inifile.h"
#include "app/pinyin.h"
#include "app/registrytexts.h"
#include "app/settings.h"
#include "base/bytefile.h"
#include "base/dostime.h"
#include "base/filesystem.h"
#include "base/ioerror.h"
#include "base/paths.h"
#include "base/replacefile.h"
#include "base/text.h"
#include "dict/dictpairs.h"
#include "dict/indexformat.h"

namespace kes {

namespace {

void Say(const RegistryCallbacks& cb, const std::string& text) {
    if (cb.message) cb.message(text);
}

bool IsLatinLower(char16_t c) {
    return c >= u'a' && c <= u'z';
}
bool IsCyrillicLower(char16_t c) {
    return c >= 0x0430 && c <= 0x044F;
}

// A key of pinyin syllables as the builder files them: the reading that cuts it exactly at
// its spaces.
bool IsSyllableKey(const std::u16string& key) {
    for (const PinyinReading& r : PinyinReadings(key))
        for (const std::u16string& k : r.Keys)
            if (k == key) return true;
    return false;
}

void AppendDictionary(Registry& reg, const std::string& indexName, std::u16string description) {
    TDic dic;
    dic.FileName = indexName;
    // Decided once, here, through the view that the searches read the entries from (so that
    // the data file is opened once). A data file that cannot be read now keeps the note rule;
    // its lookups fail with their own message.
    try {
        ByteFile data;
        data.openView(reg.Views->get(DataPathOf(dic, reg.Folder)));
        dic.Convention = SenseConventionOfData(data);
    } catch (const IoError&) {
    }
    dic.Enabled = true;
    dic.Number = 0;
    dic.Node = nullptr;
    dic.Description = std::move(description);
    reg.Dicts.push_back(std::move(dic));
}

// Builds the index again after a stale-index question; true when the dictionary was added.
bool RebuildIndex(Registry& reg, const std::string& dataPath, const std::u16string& name,
                  const IndexBuildOptions& options, const RegistryCallbacks& cb) {
    IndexBuildCallbacks build;
    build.progress = cb.progress;
    build.warning = [&cb](const std::u16string& text) { Say(cb, Utf16ToUtf8(text)); };
    build.askName = [&name](const std::u16string&) { return std::optional<std::u16string>(name); };
    const IndexBuildResult r = BuildIndex(dataPath, options, build);
    if (!r.outcome.ok) {
        Say(cb, MessageWithDetail(r.outcome));
        return false;
    }
    AppendDictionary(reg, BaseName(r.indexPath), DescriptionText(MakeDescription(name)));
    return true;
}

}  // namespace

IndexBuildOptions IndexOptionsOf(const std::string& indexPath) {
    IndexBuildOptions found;
    found.AddDescToIndex = false;
    found.AddPinToIndex = false;
    ByteFile f(indexPath, OpenMode::Read);
    f.setReadAhead(4096);
    NodeReader reader(f);
    struct Item {
        int32_t pos;
        std::u16string key;
    };
    std::vector<Item> stack{{kRootPosition, u""}};
    std::vector<int32_t> offsets;
    std::vector<ChildEntry> children;
    // Pre-order in stored order: the records come in increasing file order.
    bool threeLetters = false;  // a translation word of three letters carries entries
    while (!stack.empty() && !(found.AddDescToIndex && found.AddPinToIndex && threeLetters)) {
        Item item = std::move(stack.back());
        stack.pop_back();
        reader.readOffsets(item.pos, offsets);
        reader.readChildren(children);
        const std::u16string& key = item.key;
        if (!offsets.empty() && !key.empty()) {
            const bool cyrillic = IsCyrillicLower(key[0]);
            const bool spaced = key.find(u' ') != std::u16string::npos;
            if (cyrillic) {
                found.AddDescToIndex = true;
                threeLetters = threeLetters || key.size() == 3;
            } else if (spaced || key.size() < 4) {
                if (IsSyllableKey(key))
                    found.AddPinToIndex = true;
                else if (!spaced && key.size() == 3)
                    threeLetters = true;
            } else if (IsSyllableKey(key)) {
                // One syllable of four letters or more ("zhong", "long"): either kind.
            } else {
                found.AddDescToIndex = true;
            }
        }
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            const char16_t c = it->Ch;
            const bool fits = key.empty() ? IsLatinLower(c) || IsCyrillicLower(c)
                              : IsCyrillicLower(key[0])
                                  ? IsCyrillicLower(c)
                                  : IsLatinLower(c) || (c == u' ' && key.back() != u' ');
            if (fits) stack.push_back({it->Pos, key + c});
        }
    }
    f.close();
    found.MinWordLength =
        threeLetters && found.AddDescToIndex ? kShortestMinWordLength : kDefaultMinWordLength;
    return found;
}

bool AddDictionary(Registry& reg, const std::string& name, const RegistryCallbacks& cb,
                   const DiscoverOptions& options) {
    if (reg.Dicts.size() >= static_cast<std::size_t>(kMaxDictionaries)) {
        Say(cb, LimitMessage(name, kMaxDictionaries));
        return false;
    }
    const std::string indexName = TrimA(ChangeExtension(name, ".idx"));
    const std::string dataName = TrimA(ChangeExtension(name, ".ced"));
    const std::string indexPath = JoinPath(reg.Folder, indexName);
    const std::string dataPath = JoinPath(reg.Folder, dataName);
    if (!FileExists(dataPath)) return false;
    if (!FileExists(indexPath)) {
        // An index build that was killed leaves its temporary file; it goes once stale. One
        // that stays belongs to a build still running (or stopped a moment ago).
        RemoveStaleTemporaries(indexPath);
        if (!TemporariesOf(indexPath).empty()) Say(cb, UnfinishedIndexMessage(indexName, dataName));
        return false;
    }

    IndexHeader header;
    int64_t dataTime = 0;
    int64_t size = 0;
    try {
        dataTime = FileUnixTime(dataPath);
        size = FileSizeOf(dataPath);
        header = ReadIndexHeaderOf(indexPath);
    } catch (const IoError& e) {
        // A damaged index (shorter than its header) or an unreadable file: this dictionary
        // is left out, the others are still used.
        Say(cb, UnreadableIndexMessage(indexName, dataName, e.what()));
        return false;
    }
    // The index records the data file's time on the clock of the zone it was built in; a
    // move to another zone (a packaged index, a traveller) must not make it stale.
    if (header.DataSize != size || !DosTimeMatches(header.DataAge, dataTime)) {
        const std::u16string oldName = DescriptionText(header.Description);
        IndexBuildOptions oldOptions;  // the builder's defaults when the keys cannot be read
        try {
            oldOptions = IndexOptionsOf(indexPath);
        } catch (const IoError&) {
        }
        if (options.keepStaleIndexes) {
            Say(cb, StaleIndexHint(indexPath, dataPath, oldName, oldOptions));
            return false;
        }
        RemoveFile(indexPath);
        Say(cb, StaleIndexMessage(indexName, dataName));
        if (!cb.ask || !cb.ask(RebuildQuestion(indexName, oldName, oldOptions))) return false;
        return RebuildIndex(reg, dataPath, oldName, oldOptions, cb);
    }
    AppendDictionary(reg, indexName, DescriptionText(header.Description));
    return true;
}

void ApplyDictsPairs(std::vector<TDic>& dicts, const std::vector<IniPair>& pairs) {
    std::vector<const IniPair*> kept;
    for (const IniPair& p : pairs) {
        for (const TDic& d : dicts) {
            if (d.FileName == p.first) {
                kept.push_back(&p);
                break;
            }
        }
    }
    for (std::size_t k = 0; k < kept.size() && k < dicts.size(); ++k) {
        for (std::size_t j = k; j < dicts.size(); ++j) {
            if (dicts[j].FileName != kept[k]->first) continue;
            dicts[j].Enabled = kept[k]->second == "1";
            if (j != k) std::swap(dicts[k], dicts[j]);
            break;
        }
    }
}

namespace {

void WriteDicts(IniFile& ini, const std::vector<TDic>& dicts) {
    ini.eraseSection(kDictsSection);
    for (const TDic& d : dicts)
        ini.appendKey(kDictsSection, d.FileName, d.Enabled ? "1" : "0");
}

}  // namespace

Outcome WriteDictsSection(const std::string& iniPath, const std::vector<TDic>& dicts) {
    return EditIniFile(
        iniPath, [&](IniFile& ini) { WriteDicts(ini, dicts); }, kDictsNotSavedMessage);
}

void DiscoverDictionaries(Registry& reg, const std::string& folder, const RegistryCallbacks& cb,
                          const DiscoverOptions& options) {
    reg.Folder = folder;
    reg.Dicts.clear();
    reg.StartText.clear();
    reg.Views->clear();
    // A replacement of a dictionary that was killed half-way is completed or undone first, so
    // that no data file is met beside the index of other data.
    FinishDictionaryReplacements(folder);
    for (const std::string& name : ListFiles(folder, ".ced")) {
        if (cb.processMessages) cb.processMessages();
        AddDictionary(reg, name, cb, options);
    }
    // Section "Dicts": order and flags; a file that cannot be read or written leaves the
    // list as far as it got.
    const std::string iniPath = JoinPath(folder, kSetupIniName);
    IniFile ini;
    if (ini.load(iniPath)) {
        ApplyDictsPairs(reg.Dicts, ini.readSection(kDictsSection));
        if (options.writeDicts) {
            // Writing back only normalises what was read; a read-only program folder is no
            // fault of the start (the order and flags hold for this run).
            WriteDicts(ini, reg.Dicts);
            try {
                ini.save(iniPath);
            } catch (const IoError&) {
            }
        }
    }
    reg.StartText = StartTextOf(reg.Dicts);
    reg.StartText += LoadUnihanIndex(folder, reg.Unihan);
    NumberDictionaries(reg.Dicts);
}

std::u16string DictItemText(const TDic& dic) {
    return dic.Enabled ? dic.Description : dic.Description + u" (disabled)";
}

void NumberDictionaries(std::vector<TDic>& dicts) {
    for (std::size_t i = 0; i < dicts.size(); ++i)
        dicts[i].Number = static_cast<int32_t>(i + 1);
}

}  // namespace kes
