// The duplicates checker: finds the entries of a UTF-16LE dictionary file that share their
// first headword form (and, optionally, their pinyin), and writes the file again with the
// listed lines edited or removed as a ".new" file beside it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace kes {

// The keys a line is compared by (the line already trimmed).
struct DuplicateKeys {
    std::u16string Word;    // up to the first blank or "[", trimmed
    std::u16string Pinyin;  // from the first "[" (kept) up to the next "]", trimmed; may be empty
};

DuplicateKeys DuplicateKeysOf(std::u16string_view line);
// `line` duplicates `seen` when the words are equal and, if asked, the pinyins too.
bool IsDuplicateOf(const DuplicateKeys& line, const DuplicateKeys& seen, bool comparePinyin);

// One listed entry: its line's text, the byte offset of the line in the scanned file, and
// the check mark (checked = remove the line).
struct DuplicateRow {
    std::u16string Text;
    int64_t Position = 0;
    bool Checked = false;

    bool operator==(const DuplicateRow&) const = default;
};

struct ScanCallbacks {
    // The rule's flag; read once for every line compared, so it may change during a scan.
    std::function<bool()> comparePinyin;
    // Before every line: the line's byte offset and the file size.
    std::function<void(int64_t position, int64_t size)> progress;
    std::function<void()> processEvents;
    CancelPoll cancelRequested;  // polled before every line
};

struct ScanResult {
    // ok when the whole file was read. A failed scan's message is the text to show, its
    // detail the error with the file name; a cancelled scan has no message.
    Outcome outcome;
    std::vector<DuplicateRow> Rows;  // in the order they were found
};

inline constexpr std::string_view kScanFailedMessage =
    "ERROR: The file could not be read to its end: ";

// Scans a file: the first line with a key is listed when its first duplicate turns up, and
// every duplicate gets a row of its own. Empty lines and comment lines ("#") are skipped.
// A read error ends the scan with the rows found so far.
ScanResult ScanFile(const std::string& path, const ScanCallbacks& cb);

// The output path of a save: the scanned path with the extension ".new".
std::string DuplicatesOutputPath(const std::string& scannedFile);

struct SaveCallbacks {
    std::function<void()> processEvents;  // before every row
    CancelPoll cancelRequested;           // polled before every row
};

struct SaveResult {
    // The message is "Changes saved to file: " + path, or what failed; the detail of a
    // failure is the error with the file name. A cancelled save is still ok: rows after the
    // cancel were not applied, and the file is complete.
    Outcome outcome;
    std::string OutputPath;
};

// Writes the scanned file to its ".new" file with each row's line replaced by the row's text
// (a checked row's line left out with its line end) and every other byte copied unchanged.
// The rows may come in any order; rows with one position are applied once (the first in
// list order). The output is written to a temporary file and renamed when complete.
SaveResult SaveDuplicates(const std::string& scannedFile, const std::vector<DuplicateRow>& rows,
                          const SaveCallbacks& cb);

}  // namespace kes
