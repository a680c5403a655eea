// The index builder: reads a dictionary data file once, files every entry line under its
// keys in an in-memory character tree, and writes the index file (header, then the node
// records in pre-order) beside the data file.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/replacefile.h"
#include "base/result.h"
#include "dict/linekeys.h"

namespace kes {

// Which keys besides the headword a build files.
struct IndexBuildOptions {
    bool AddDescToIndex = true;
    bool AddPinToIndex = false;
    // The shortest translation word that becomes a key: 4 (the index of old), or 3, which
    // files the three-letter words too except the function words of kShortStopWords
    // (dict/linekeys.h). Other values count as 4.
    int MinWordLength = kDefaultMinWordLength;
};

struct IndexBuildCallbacks {
    // Called before each line with the integer percent (100*offset/size). May be empty.
    // The GUI uses it to update the status text and process pending messages.
    std::function<void(int percent)> progress;
    // The options as they are now; read anew for every line. Empty = use the options argument.
    std::function<IndexBuildOptions()> currentOptions;
    // A warning to show and wait on (the size-limit warning, the 65535 warning). May be empty.
    std::function<void(const std::u16string& text)> warning;
    // Ask for the name: gets the initial text, returns the edited text, or std::nullopt when
    // the user cancels (then the initial text is the name). Empty = the initial text.
    std::function<std::optional<std::u16string>(const std::u16string& initial)> askName;
    // Polled before every line and before the name is asked for; a cancelled build writes
    // nothing.
    CancelPoll cancelRequested;
};

struct IndexBuildResult {
    // ok when the index was created. The message is the exact text to show the user; the
    // detail of a failure is the underlying error (e.g. IoError::what()).
    Outcome outcome;
    bool alreadyExists = false;  // an index (or anything) had the index's name: left alone
    std::string indexPath;       // data path with ".idx"
};

inline constexpr std::string_view kIndexFailedMessage =
    "ERROR: Unknown error when creating index file!";
inline constexpr std::string_view kIndexCancelledMessage =
    "Index file was not created: the build was cancelled";

// Builds FILE.idx beside FILE.ced. Never touches an index that exists already; the index
// appears only complete (it is written to a temporary file that is renamed at the end), and
// a failed or cancelled build leaves neither the index nor the temporary file behind.
IndexBuildResult BuildIndex(const std::string& dataPath, const IndexBuildOptions& options,
                            const IndexBuildCallbacks& callbacks);

// The same build for a caller that publishes the index itself (next to other files): reads
// `dataPath` and, when the result is ok, leaves the finished index sealed in `pending`, a
// replacement of `indexPath` that is not committed yet (dropping it removes the temporary
// file). The header records the size and time that `dataPath` has now, so the data file may
// be renamed, but not rewritten, before the index is used. `dataName` is the file name the
// initial name offered to askName refers to ("CEDICT file " + dataName). Whether `indexPath`
// exists already is the caller's concern. `pending` is empty after any failure.
IndexBuildResult BuildIndexPending(const std::string& dataPath, const std::string& indexPath,
                                   const std::string& dataName, const IndexBuildOptions& options,
                                   const IndexBuildCallbacks& callbacks,
                                   std::unique_ptr<FileReplacement>& pending);

// The refusal of a data file that is not UTF-16LE text, judged from its first bytes
// (FileTextKind): "Refused: " + dataPath + " is not UTF-16LE text (" + the reason + "); nothing
// was written." and a second line naming the import of a CEDICT file in UTF-8. Empty when the
// file may be UTF-16LE text, or cannot be read (the build then reports why). The command line
// and the window refuse with it before anything is built.
std::string NotUtf16LeRefusal(const std::string& dataPath);

}  // namespace kes
