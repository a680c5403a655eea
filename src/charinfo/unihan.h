// The Unihan database support: the position index unihan.idc of unihan.txt (one record per
// run of lines of one code point), its loading at start, and the information block that
// lists the Unihan lines of the query's first character.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace kes {

inline const char* const kUnihanTextName = "unihan.txt";
inline const char* const kUnihanIndexName = "unihan.idc";

// One record of unihan.idc: 8 bytes, little-endian.
struct UnihanRecord {
    int32_t Code = 0;    // the code point
    int32_t Offset = 0;  // byte offset in unihan.txt of the first line of the run
};

// The index loaded once at start.
struct UnihanIndex {
    std::vector<UnihanRecord> Records;  // the whole of unihan.idc in file order
    bool Available = false;             // true when the index was loaded
    std::string TextPath;               // program folder + "unihan.txt"
};

struct UnihanBuildCallbacks {
    // Called before every line with the share of the source read so far (0 for the first
    // line, never 100); the window shows " Creating index file... " + percent + "%".
    std::function<void(int percent)> progress;
    // Lets the window process pending messages (before and after each progress call).
    std::function<void()> processMessages;
    // Polled before every line; a cancelled build leaves the previous index in place.
    CancelPoll cancelRequested;
};

struct UnihanBuildResult {
    Outcome outcome;      // the closing message to show; the detail names file and reason
    int32_t records = 0;  // records written
};

inline constexpr std::string_view kUnihanCreatedMessage = "Index file unihan.idc created";
inline constexpr std::string_view kUnihanFailedMessage =
    "ERROR: Unknown error when creating index file!";
inline constexpr std::string_view kUnihanCancelledMessage =
    "Index file unihan.idc was not created: the build was cancelled";

// Builds `indexPath` (program folder + "unihan.idc") from the Unihan database file
// `sourcePath`. The index is written to a temporary file beside it and renamed into place
// only when complete, so a failed build leaves the previous index (or none) in place.
// Never throws: failures give kUnihanFailedMessage with the reason in the detail.
// A source that is no Unihan database file is refused and nothing is written: one that is not
// UTF-8 text (judged from its first bytes, as FileTextKind does), or one without a single
// Unihan line ("U+", the code, a TAB, the tag; the value after a further TAB). The message is
// then UnihanRefusal's, with no detail.
UnihanBuildResult BuildUnihanIndex(const std::string& sourcePath, const std::string& indexPath,
                                   const UnihanBuildCallbacks& callbacks = {});

// "Refused: " + sourcePath + " is no Unihan database file (" + reason + "); nothing was
// written."
std::string UnihanRefusal(const std::string& sourcePath, std::string_view reason);
inline constexpr std::string_view kNoUnihanLinesReason = "it holds no Unihan lines";

// The largest unihan.idc that is loaded (a real one is under 1 MiB); a larger one counts as
// missing.
inline constexpr int64_t kMaxUnihanIndexBytes = 64 << 20;

inline constexpr std::string_view kUnihanFoundLine =
    "<p style=\"margin:2;\"><font face=\"Tahoma\">#. <i>Unihan index found</i></font></p>";

// Loads program folder + "unihan.idc" when it and "unihan.txt" both exist (count = size / 8,
// a shorter tail ignored). Returns kUnihanFoundLine for the start text when loaded, else an
// empty string (and index.Available = false: the window unchecks and disables the option).
// An index that cannot be read counts as missing.
std::string LoadUnihanIndex(const std::string& programFolder, UnihanIndex& index);

inline constexpr std::string_view kUnihanSpacer = "<table height=\"10\"><tr><td></td></tr></table>";
inline constexpr std::string_view kUnihanHeader =
    "<p style=\"font-size:10pt; margin:2; margin-bottom:6; border-bottom: #777777 1px "
    "solid;\"><font color=\"#777777\"><i>Unicode:</i></font></p>";

// The block for the first code unit of `query`: empty unless the index is available,
// showUnihan is set and unihan.txt exists; otherwise the spacer, and for a character with
// Unihan lines the header, the large character (wordFace) and one table of tag/value rows
// (translationFace) of every run of that code point, then the spacer. "<", ">" and "&" of
// the file's ASCII text are written as "&lt;", "&gt;", "&amp;"; non-ASCII characters as
// "&#N;". Throws IoError when unihan.txt cannot be read.
std::string UnihanInfoHtml(std::u16string_view query, const UnihanIndex& index, bool showUnihan,
                           const std::string& wordFace, const std::string& translationFace);

// The same lines as text for the command line: tag and value of every Unihan line of the
// query's first code unit, in file order (UTF-8 as in the file, malformed bytes replaced).
// Empty under the same conditions as the block. Throws IoError like UnihanInfoHtml.
struct UnihanLine {
    std::string Tag;
    std::string Value;
};
std::vector<UnihanLine> UnihanLinesOf(std::u16string_view query, const UnihanIndex& index,
                                      bool showUnihan);

}  // namespace kes
