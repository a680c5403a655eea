#include "tools/duplicates.h"

#include <algorithm>
#include <unordered_map>

#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/ioerror.h"
#include "base/lines.h"
#include "base/paths.h"
#include "base/replacefile.h"
#include "base/text.h"
#include "dict/entry.h"

namespace kes {

DuplicateKeys DuplicateKeysOf(std::u16string_view line) {
    DuplicateKeys k;
    const EntryLayout l = LayoutOf(line);
    k.Word = Trim(HeadForm(line.substr(0, l.Open)));
    // The pinyin key keeps its opening bracket: "[]" and no brackets differ.
    if (l.Open != std::u16string_view::npos)
        k.Pinyin = Trim(line.substr(l.Open, l.Close == std::u16string_view::npos ? l.Close
                                                                                : l.Close - l.Open));
    return k;
}

bool IsDuplicateOf(const DuplicateKeys& line, const DuplicateKeys& seen, bool comparePinyin) {
    return line.Word == seen.Word && (!comparePinyin || line.Pinyin == seen.Pinyin);
}

namespace {

// One distinct key met so far. Rows with the same word are chained in ascending order.
struct SeenRow {
    std::u16string Pinyin;
    int64_t Position;
    bool Listed;
    int Next;  // the next row with the same word, or -1
};

struct WordChain {
    int First;
    int Last;
};

// The rows met so far, for finding the earlier rows that a new line duplicates.
class DuplicateIndex {
  public:
    DuplicateIndex() { seen_.reserve(10000); }

    // Adds the line at `position` of the file: when it duplicates earlier rows (the same
    // word, and when cb.comparePinyin says so, asked once for a line with a word, the same
    // pinyin), appends to `rows` each such row not listed yet (read again through `back`)
    // followed by the line, once per row matched.
    void Add(std::u16string line, int64_t position, const ScanCallbacks& cb, ByteFile& back,
             std::vector<DuplicateRow>& rows) {
        DuplicateKeys keys = DuplicateKeysOf(line);
        if (keys.Word.empty()) return;
        const bool comparePinyin = cb.comparePinyin ? cb.comparePinyin() : false;
        // Every row this line duplicates, in ascending row order: only rows with the same
        // word can match, and they are chained in the order they were added.
        matches_.clear();
        auto it = byWord_.find(keys.Word);
        if (it != byWord_.end()) {
            for (int j = it->second.First; j >= 0; j = seen_[static_cast<std::size_t>(j)].Next) {
                if (!comparePinyin || seen_[static_cast<std::size_t>(j)].Pinyin == keys.Pinyin)
                    matches_.push_back(j);
            }
        }
        for (int j : matches_) {
            SeenRow& row = seen_[static_cast<std::size_t>(j)];
            if (!row.Listed) {
                back.seek(row.Position);
                rows.push_back({Trim(ReadUcs2Line(back)), row.Position, false});
                row.Listed = true;
            }
            rows.push_back({line, position, false});
        }
        if (!matches_.empty()) return;
        const int index = static_cast<int>(seen_.size());
        seen_.push_back({std::move(keys.Pinyin), position, false, -1});
        if (it == byWord_.end()) {
            byWord_.emplace(std::move(keys.Word), WordChain{index, index});
        } else {
            seen_[static_cast<std::size_t>(it->second.Last)].Next = index;
            it->second.Last = index;
        }
    }

  private:
    std::vector<SeenRow> seen_;
    std::unordered_map<std::u16string, WordChain> byWord_;
    std::vector<int> matches_;
};

}  // namespace

ScanResult ScanFile(const std::string& path, const ScanCallbacks& cb) {
    ScanResult result;
    DuplicateIndex index;
    try {
        ByteFile reader(path, OpenMode::Read);
        ByteFile back(path, OpenMode::Read);
        const int64_t size = reader.size();
        while (!reader.eof()) {
            const int64_t p = reader.position();
            if (cb.progress) cb.progress(p, size);
            if (cb.processEvents) cb.processEvents();
            if (CancelRequested(cb.cancelRequested)) {
                result.outcome.cancelled = true;
                return result;
            }
            std::u16string line = Trim(ReadUcs2Line(reader));
            if (line.empty() || line[0] == u'#' || line[0] == 0xFEFF) continue;
            index.Add(std::move(line), p, cb, back, result.Rows);
        }
        result.outcome.ok = true;
    } catch (...) {
        result.outcome.detail = CurrentExceptionDetail();
        result.outcome.message = std::string(kScanFailedMessage) + result.outcome.detail;
    }
    return result;
}

namespace {

// (position, text) with the text of a checked row empty: that line is removed.
struct LineChange {
    int64_t Position;
    const std::u16string* Text;
};

const std::u16string kRemovedLine;

// The changes of the rows in the order of their lines (rows of one line keep their order).
std::vector<LineChange> ChangesOf(const std::vector<DuplicateRow>& rows) {
    std::vector<LineChange> changes;
    changes.reserve(rows.size());
    for (const auto& r : rows)
        changes.push_back({r.Position, r.Checked ? &kRemovedLine : &r.Text});
    std::stable_sort(changes.begin(), changes.end(), [](const LineChange& a, const LineChange& b) {
        return a.Position < b.Position;
    });
    return changes;
}

}  // namespace

std::string DuplicatesOutputPath(const std::string& scannedFile) {
    return ChangeExtension(scannedFile, ".new");
}

SaveResult SaveDuplicates(const std::string& scannedFile, const std::vector<DuplicateRow>& rows,
                          const SaveCallbacks& cb) {
    SaveResult result;
    result.OutputPath = DuplicatesOutputPath(scannedFile);

    const std::vector<LineChange> changes = ChangesOf(rows);

    try {
        if (result.OutputPath == scannedFile)
            throw IoError(scannedFile, "The output would replace the scanned file");
        ByteFile src(scannedFile, OpenMode::Read);
        const int64_t size = src.size();
        FileReplacement replacement(result.OutputPath);
        if (SameFileAs(replacement.realPath(), scannedFile))  // a ".new" link to the scanned file
            throw IoError(scannedFile, "The output would replace the scanned file");
        ByteFile& out = replacement.file();
        int64_t cur = 0;
        for (std::size_t i = 0; i < changes.size(); ++i) {
            const LineChange& c = changes[i];
            if (i > 0 && c.Position == changes[i - 1].Position) continue;  // applied once
            if (cb.processEvents) cb.processEvents();
            if (CancelRequested(cb.cancelRequested)) {
                result.outcome.cancelled = true;
                break;
            }
            if (c.Position < cur || c.Position >= size)
                throw IoError(scannedFile, "The file does not match the listed entries");
            CopyBytes(src, out, cur, c.Position);
            src.seek(c.Position);
            ReadUcs2Line(src);  // the row's own line
            cur = src.position();
            if (!c.Text->empty()) WriteUcs2Line(out, *c.Text);
        }
        CopyBytes(src, out, cur, size);
        replacement.commit();
    } catch (const IoError& e) {
        result.outcome.detail = e.what();
        result.outcome.message =
            "ERROR: Can't save changes to file: " + result.OutputPath + " (" + e.reason() + ")";
        return result;
    } catch (...) {
        result.outcome.detail = CurrentExceptionDetail();
        result.outcome.message = "ERROR: Can't save changes to file: " + result.OutputPath + " (" +
                                 result.outcome.detail + ")";
        return result;
    }
    result.outcome.ok = true;
    result.outcome.message = "Changes saved to file: " + result.OutputPath;
    return result;
}

}  // namespace kes
