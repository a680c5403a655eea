// The dictionary list: every ".ced" file of the program folder with a valid index, in the
// order and with the on/off flags of setup.ini section "Dicts"; the start text listing them;
// the Unihan index; and the texts of the tree's dictionary items. The texts it shows (the
// start text, the About page, the messages) are in app/registrytexts.h.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/result.h"
#include "charinfo/unihan.h"
#include "dict/builder.h"
#include "dict/dic.h"

namespace kes {

constexpr int kMaxDictionaries = 100;
inline const char* const kDictsSection = "Dicts";
// Image index of the dictionary items of the tree (normal and selected).
constexpr int kDictItemImage = 2;

struct RegistryCallbacks {
    // Shows a message (a modal box in the window, stderr on the command line).
    std::function<void(const std::string& text)> message;
    // Lets the window process pending messages (once per listed data file).
    std::function<void()> processMessages;
    // Asks a Yes/No question whose default answer is Yes; true for Yes. Empty = No.
    std::function<bool(const std::string& text)> ask;
    // The progress (percent) of an index rebuilt after a stale-index question. May be empty.
    std::function<void(int percent)> progress;
};

struct Registry {
    std::string Folder;       // the program folder
    std::vector<TDic> Dicts;  // search order, at most kMaxDictionaries
    std::string StartText;    // "Dictionaries found:" and the list, + the Unihan line
    UnihanIndex Unihan;       // loaded by DiscoverDictionaries
    // Memory views of the dictionaries' files, kept between searches.
    std::shared_ptr<FileViews> Views = std::make_shared<FileViews>();
};

struct DiscoverOptions {
    // Rewrite section "Dicts" of setup.ini after applying it (the viewer does; the command
    // line does not).
    bool writeDicts = true;
    // Leave an index that no longer matches its data file on disk and say how to rebuild it,
    // instead of deleting it and offering the rebuild (the command line, which changes no
    // file).
    bool keepStaleIndexes = false;
};

// Fills the registry from `folder`: lists "*.ced" (sorted by name), AddDictionary for each,
// applies and (optionally) rewrites section "Dicts" of folder + "setup.ini", builds the start
// text, loads the Unihan index and numbers the dictionaries (Number = position from 1). The
// window then builds the tree (ResetView: DictItemText, NumberDictionaries) and shows the
// hint. Descriptions go into the start text as they are (DescriptionHtml).
void DiscoverDictionaries(Registry& reg, const std::string& folder, const RegistryCallbacks& cb,
                          const DiscoverOptions& options = {});

// Adds the dictionary of one listed data file name (no folder), or reports why not: the
// limit message, silence for a missing data or index file, and a message for an index whose
// header cannot be read (the dictionary is skipped, the others are still used). An index
// that no longer matches its data file (size or time) is deleted with StaleIndexMessage;
// before that its name and options (IndexOptionsOf) are read, and then the question
// RebuildQuestion is asked: on Yes the index is built again with them (progress through
// cb.progress, failures through cb.message) and the dictionary added. With
// options.keepStaleIndexes the index stays and StaleIndexHint is shown instead. True when
// added.
bool AddDictionary(Registry& reg, const std::string& name, const RegistryCallbacks& cb,
                   const DiscoverOptions& options = {});

// The options an index was built with, read from its keys (the header does not record
// them): translation words when it holds a Cyrillic key or a Latin key of four or more
// letters that is not a single pinyin syllable; pinyin when it holds a key of pinyin
// syllables (several, space-separated, or one of fewer than four letters); words of three
// letters (MinWordLength 3) when it has translation words and a key of three Latin letters
// that is no pinyin syllable, or of three Cyrillic letters, carries entries (a lowercase headword
// of three letters reads the same). Only the keys of lowercase letters and spaces are walked.
// Throws IoError for an unreadable index.
IndexBuildOptions IndexOptionsOf(const std::string& indexPath);

// Applies the pairs of section "Dicts" (in file order) to the list: listed dictionaries
// move to the front in the section's order and take its flags ("1" enabled, anything else
// disabled); keys are compared with FileName exactly.
void ApplyDictsPairs(std::vector<TDic>& dicts,
                     const std::vector<std::pair<std::string, std::string>>& pairs);

// Erases section "Dicts" of the INI file and writes one key per dictionary in list order,
// FileName=1 when enabled, else 0; other sections stay. Fails with kDictsNotSavedMessage
// (app/registrytexts.h; the detail naming the file and the reason) when the file could not be
// written (or exists and could not be read).
Outcome WriteDictsSection(const std::string& iniPath, const std::vector<TDic>& dicts);

// ResetView's pure part: the tree item text of a dictionary (Description, + " (disabled)"
// when not enabled) and the numbering (Number = position from 1).
std::u16string DictItemText(const TDic& dic);
void NumberDictionaries(std::vector<TDic>& dicts);

}  // namespace kes
