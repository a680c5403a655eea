// The user dictionary: userdict.txt in the program folder, a UTF-16LE file of entry lines.
// The table holds the key and the byte offset of every record (non-empty line); a query
// reads the record's line again at its offset. Adding or changing a word replaces the file in
// one step (base/replacefile.h), so the old file stays whole until the new one is complete.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "tools/entrytext.h"

namespace kes {

// The user dictionary's file name in the program folder.
inline const char* const kUserdictName = "userdict.txt";

// The most records one load holds; later lines are not loaded.
constexpr int kUserdictMaxRecords = 100000;

inline constexpr std::string_view kWordWithMarksMessage =
    "ERROR: The word must not contain \"[\", \"]\" or \"/\": they mark the transcription and "
    "the senses in userdict.txt, so the word could not be found again!";
inline constexpr std::string_view kCreateUserdictQuestion =
    "The user dictionary file userdict.txt does not exist yet. Create it?";

// How the user dictionary talks to its window (or a test). Any member may be empty.
struct UserdictCallbacks {
    std::function<void(const std::string& text)> showMessage;   // box with OK
    std::function<bool(const std::string& question)> askYesNo;  // true for Yes
    std::function<void(const std::string& text)> setStatus;     // status panel 0
    std::function<void()> processEvents;                        // after every loaded record
    // A read error while loading (the application's error report); gets the error text.
    std::function<void(const std::string& text)> showError;
    // The fields as they are now (trimmed, memo normalised, or filled by a query), before
    // any message about them is shown.
    std::function<void(const EntryForm& form)> showFields;
};

// How a line is appended to a userdict.txt of `size` bytes whose last unit is `last` (its last
// two bytes as a little-endian unit; for an odd size its last byte): the old bytes kept in
// front of the new line, a zero byte that completes an odd file's last unit, and CR LF that
// ends a last line without a line feed. A lone byte-order mark is replaced by the line.
struct UserdictAppend {
    int64_t keep = 0;
    bool padByte = false;
    bool addLineEnd = false;
};
UserdictAppend PlanUserdictAppend(int64_t size, uint16_t last);

class Userdict {
  public:
    explicit Userdict(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // Reads the keys and offsets of the records (at most kUserdictMaxRecords).
    void LoadUserdict(const UserdictCallbacks& cb);
    // The lowest index whose key equals `word` exactly, or -1.
    int FindWord(std::u16string_view word) const;
    // The "Query" command on the window's fields.
    void Query(EntryForm& form, const UserdictCallbacks& cb) const;
    // The "Add/Change" command on the window's fields: ok when the file changed. Every
    // message is also shown through the callbacks; a file failure's detail (shown on a line
    // of its own) names the file and the reason. Declining to change a present word gives a
    // cancelled outcome.
    // A word holding "[", "]" or "/" is refused (kWordWithMarksMessage). Where the file does
    // not exist, the user is asked (kCreateUserdictQuestion) whether to create it (empty)
    // before the word is added; No changes nothing.
    Outcome AddOrChange(EntryForm& form, const UserdictCallbacks& cb);

    std::vector<std::u16string> Words;  // keys, in file order
    std::vector<int64_t> WordPos;       // byte offset of each record's line
    int WordCount = 0;
    bool Loaded = false;
    // The last load stopped at the record limit with more of the file unread.
    bool LimitReached = false;

  private:
    Outcome ChangeRecord(int index, std::u16string_view line);
    Outcome AppendRecord(std::u16string_view line);

    std::string path_;
};

}  // namespace kes
