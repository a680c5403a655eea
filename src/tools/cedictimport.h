// Import of a CEDICT file as people download it (UTF-8, optionally gzip-compressed) into the
// program folder: the UTF-16LE data file "<stem>.ced" and its index "<stem>.idx" (translation
// words and pinyin), published together.
//
// Contract:
// - The input is read once. Gzip is recognised by its magic bytes (1F 8B), whatever the file
//   is called; anything else is read as it is. Every line must be strict UTF-8 without U+0000;
//   a line that is neither empty, a comment ("#" first) nor an entry ("FORMS [pinyin] /.../")
//   is refused. A file without entries (or without any byte) is refused.
// - Lines are copied character for character (comments, blank lines and line ends included),
//   without a UTF-8 byte-order mark. Only a source that does not begin with a comment line
//   gets one added before its first line, "# CEDICT file imported by kestrune import" and LF,
//   so that every imported file begins with "#" and is read as a CEDICT file, whose "|"
//   separates the two forms of a reference (dict/senserefs.h).
// - Without `replace`, an existing "<stem>.ced" or "<stem>.idx" (or a link of that name) is
//   left alone and the import refused. With `replace`, both are replaced as one (CommitPair):
//   the new pair is written completely first; a failure at any point leaves the old pair as
//   it was, byte for byte; a kill at any point leaves the old or the new pair complete once
//   the next import or start has finished the leftovers (FinishDictionaryReplacements). At no
//   point is a data file used next to an index built from other data.
// - On failure nothing new is left in the folder: no temporary file, no ".ced", no ".idx".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/result.h"
#include "dict/builder.h"

namespace kes {

struct ImportRequest {
    std::string sourcePath;           // the CEDICT file (.u8, .txt, optionally gzip)
    std::string folder;               // the program folder that receives the dictionary
    std::optional<std::string> name;  // the dictionary's name (UTF-8); see ImportName
    bool replace = false;             // replace an existing dictionary of the same stem
};

struct ImportResult {
    Outcome outcome;  // message: what was done (several lines), or what went wrong
    int64_t entries = 0;
    int64_t comments = 0;
    std::string dataPath;   // folder + "<stem>.ced"
    std::string indexPath;  // folder + "<stem>.idx"
    std::string name;       // the name stored in the index (UTF-8)
    bool replaced = false;  // an existing dictionary was replaced
    bool exists = false;    // refused without `replace`: the dictionary's files exist
};

// The stem of the dictionary files: the source's file name without ".gz" (any case) and then
// without its last extension ("cedict_ts.u8.gz" -> "cedict_ts"). Empty when nothing is left.
std::string ImportStem(const std::string& sourcePath);

// The name stored in the index: `requested` when given; else "CC-CEDICT" when the file's
// leading comment block has the line "# CC-CEDICT" (how the CC-CEDICT download begins); else
// the name the index command gives, "CEDICT file <stem>.ced".
std::string ImportName(const std::optional<std::string>& requested, bool looksLikeCcCedict,
                       const std::string& stem);

// Runs the import. The callbacks report the index build's progress and warnings and are
// polled for cancelling (also during the conversion); askName is not used.
ImportResult ImportCedict(const ImportRequest& request, const IndexBuildCallbacks& callbacks);

}  // namespace kes
