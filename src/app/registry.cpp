#include "app/registry.h"

#include <utility>

#include "app/inifile.h"
#include "app/settings.h"
#include "base/bytefile.h"
#include "base/replacefile.h"
#include "base/text.h"
#include "dict/indexformat.h"

namespace kes {

std::string LimitMessage(const std::string& name) {
    return "Limit of dictionaries count (" + std::to_string(kMaxDictionaries) +
           ") was exceeded! File " + name + " wasn't used!";
}

std::string StaleIndexMessage(const std::string& indexName, const std::string& dataName) {
    return "Index file " + indexName + " was deleted because of changes in " + dataName +
           " datafile!";
}

std::string UnfinishedIndexMessage(const std::string& indexName, const std::string& dataName) {
    return "Index file " + indexName +
           " is still being created (or its build was stopped "
           "less than a minute ago)! File " +
           dataName + " wasn't used!";
}

namespace {

void Say(const RegistryCallbacks& cb, const std::string& text) {
    if (cb.message) cb.message(text);
}

}  // namespace

bool AddDictionary(Registry& reg, const std::string& name, const RegistryCallbacks& cb) {
    if (reg.Dicts.size() >= static_cast<std::size_t>(kMaxDictionaries)) {
        Say(cb, LimitMessage(name));
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
    int32_t age = 0;
    int64_t size = 0;
    try {
        age = FileDosTime(dataPath);
        size = FileSizeOf(dataPath);
        header = ReadIndexHeaderOf(indexPath);
    } catch (const IoError& e) {
        // A damaged index (shorter than its header) or an unreadable file: this dictionary
        // is left out, the others are still used.
        Say(cb, "Index file " + indexName + " could not be read (" + e.what() + ")! File " +
                    dataName + " wasn't used!");
        return false;
    }
    if (header.DataSize != size || header.DataAge != age) {
        RemoveFile(indexPath);
        Say(cb, StaleIndexMessage(indexName, dataName));
        return false;
    }
    TDic dic;
    dic.FileName = indexName;
    dic.Enabled = true;
    dic.Number = 0;
    dic.Node = nullptr;
    dic.Description = DescriptionText(header.Description);
    reg.Dicts.push_back(std::move(dic));
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

std::string StartTextOf(const std::vector<TDic>& dicts) {
    std::string text =
        "<p style=\"margin:2;\"><font face=\"Tahoma\" color=\"#102060\">Dictionaries "
        "found:</font></p>";
    for (std::size_t i = 0; i < dicts.size(); ++i) {
        text += "<p style=\"margin:2;\"><font face=\"Tahoma\"><i><b>" + std::to_string(i + 1) +
                ".</b> " + DescriptionHtml(dicts[i].Description) + "</i></font></p>";
    }
    return text;
}

std::string AboutPageHtml(const std::string& startText, const std::string& readmeText) {
    return startText + "<br />" + readmeText;
}

void DiscoverDictionaries(Registry& reg, const std::string& folder, const RegistryCallbacks& cb,
                          const DiscoverOptions& options) {
    reg.Folder = folder;
    reg.Dicts.clear();
    reg.StartText.clear();
    reg.Views->clear();
    for (const std::string& name : ListFiles(folder, ".ced")) {
        if (cb.processMessages) cb.processMessages();
        AddDictionary(reg, name, cb);
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
