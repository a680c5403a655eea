#include "app/registrytexts.h"

#include <cctype>

#include "app/resultpage.h"
#include "base/paths.h"
#include "base/text.h"

namespace kes {

std::string LimitMessage(const std::string& name, int limit) {
    return "Limit of dictionaries count (" + std::to_string(limit) + ") was exceeded! File " +
           name + " wasn't used!";
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

std::string YesNo(bool on) {
    return on ? "yes" : "no";
}

// A shell word: single quotes unless it is plain.
std::string ShellWord(const std::string& s) {
    bool plain = !s.empty();
    for (char c : s) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '_' ||
              c == '-' || c == '+' || c == ',' || c == ':' || (c & 0x80)))
            plain = false;
    }
    if (plain) return s;
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

}  // namespace

std::string RebuildQuestion(const std::string& indexName, const std::u16string& name,
                            const IndexBuildOptions& options) {
    return "Rebuild index file " + indexName +
           " now with the same name and options?\n\nName: " + Utf16ToUtf8(name) +
           "\nTranslation words: " + YesNo(options.AddDescToIndex) +
           (options.MinWordLength == kShortestMinWordLength ? " (3 letters and more)" : "") +
           "\nPinyin: " + YesNo(options.AddPinToIndex);
}

std::string StaleIndexHint(const std::string& indexPath, const std::string& dataPath,
                           const std::u16string& name, const IndexBuildOptions& options) {
    return "Index file " + BaseName(indexPath) + " is out of date: " + BaseName(dataPath) +
           " changed after it was built. It was not used; rebuild it with:\n  rm " +
           ShellWord(indexPath) + " && kestrune index " + ShellWord(dataPath) + " --name " +
           ShellWord(Utf16ToUtf8(name)) + (options.AddDescToIndex ? " --words" : " --no-words") +
           (options.AddPinToIndex ? " --pinyin" : " --no-pinyin") +
           (options.MinWordLength == kShortestMinWordLength ? " --min-word=3" : "");
}

std::string UnreadableIndexMessage(const std::string& indexName, const std::string& dataName,
                                   const std::string& reason) {
    return "Index file " + indexName + " could not be read (" + reason + ")! File " + dataName +
           " wasn't used!";
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

}  // namespace kes
