// The texts of the dictionary registry, byte for byte as the user meets them: the start text
// (the list of dictionaries found) and the About page that shows it, and the messages and the
// question of discovery and of saving the list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dict/builder.h"
#include "dict/dic.h"

namespace kes {

inline constexpr std::string_view kDictsNotSavedMessage =
    "ERROR: The list of dictionaries could not be saved to setup.ini!";

// The start text of the list (without the Unihan line).
std::string StartTextOf(const std::vector<TDic>& dicts);

// The About page: the start text, "<br />", the readme text.
std::string AboutPageHtml(const std::string& startText, const std::string& readmeText);

// The messages of the registry.
// The list is full (`limit` dictionaries): the file `name` is not used.
std::string LimitMessage(const std::string& name, int limit);
std::string StaleIndexMessage(const std::string& indexName, const std::string& dataName);
std::string RebuildQuestion(const std::string& indexName, const std::u16string& name,
                            const IndexBuildOptions& options);
// The command line's note: which index is stale, and the commands that rebuild it.
std::string StaleIndexHint(const std::string& indexPath, const std::string& dataPath,
                           const std::u16string& name, const IndexBuildOptions& options);
// A data file without its index whose index is still being written (a temporary file).
std::string UnfinishedIndexMessage(const std::string& indexName, const std::string& dataName);
// An index whose header cannot be read (damaged, or an unreadable file); `reason` is the
// error's text.
std::string UnreadableIndexMessage(const std::string& indexName, const std::string& dataName,
                                   const std::string& reason);

}  // namespace kes
