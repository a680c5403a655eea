#include "tools/duplicates.h"

#include <algorithm>
#include <unordered_map>

#include "base/bytefile.h"
#include "base/lines.h"
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

}  // namespace

ScanResult ScanFile(const std::string& path, const ScanCallbacks& cb) {
    ScanResult result;
    std::vector<SeenRow> seen;
    seen.reserve(10000);
    std::unordered_map<std::u16string, WordChain> byWord;
    std::vector<int> matches;
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
            DuplicateKeys keys = DuplicateKeysOf(line);
            if (keys.Word.empty()) continue;
            const bool comparePinyin = cb.comparePinyin ? cb.comparePinyin() : false;

            // Every row this line duplicates, in ascending row order: only rows with the
            // same word can match, and they are chained in the order they were added.
            matches.clear();
            auto it = byWord.find(keys.Word);
            if (it != byWord.end()) {
                for (int j = it->second.First; j >= 0; j = seen[static_cast<std::size_t>(j)].Next) {
                    if (!comparePinyin || seen[static_cast<std::size_t>(j)].Pinyin == keys.Pinyin)
                        matches.push_back(j);
                }
            }
            for (int j : matches) {
                SeenRow& row = seen[static_cast<std::size_t>(j)];
                if (!row.Listed) {
                    back.seek(row.Position);
                    result.Rows.push_back({Trim(ReadUcs2Line(back)), row.Position, false});
                    row.Listed = true;
                }
                result.Rows.push_back({line, p, false});
            }
            if (matches.empty()) {
                const int index = static_cast<int>(seen.size());
                seen.push_back({std::move(keys.Pinyin), p, false, -1});
                if (it == byWord.end()) {
                    byWord.emplace(std::move(keys.Word), WordChain{index, index});
                } else {
                    seen[static_cast<std::size_t>(it->second.Last)].Next = index;
                    it->second.Last = index;
                }
            }
        }
        result.outcome.ok = true;
    } catch (...) {
        result.outcome.detail = CurrentExceptionDetail();
        result.outcome.message = std::string(kScanFailedMessage) + result.outcome.detail;
    }
    return result;
}

std::string DuplicatesOutputPath(const std::string& scannedFile) {
    return ChangeExtension(scannedFile, ".new");
}

SaveResult SaveDuplicates(const std::string& scannedFile, const std::vector<DuplicateRow>& rows,
                          const SaveCallbacks& cb) {
    SaveResult result;
    result.OutputPath = DuplicatesOutputPath(scannedFile);

    // (position, text) with the text of a checked row empty: that line is removed.
    struct Change {
        int64_t Position;
        const std::u16string* Text;
    };
    static const std::u16string kRemoved;
    std::vector<Change> changes;
    changes.reserve(rows.size());
    for (const auto& r : rows)
        changes.push_back({r.Position, r.Checked ? &kRemoved : &r.Text});
    std::stable_sort(changes.begin(), changes.end(),
                     [](const Change& a, const Change& b) { return a.Position < b.Position; });

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
            const Change& c = changes[i];
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
