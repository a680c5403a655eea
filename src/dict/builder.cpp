#include "dict/builder.h"

#include <limits>
#include <memory>
#include <new>
#include <optional>

#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/ioerror.h"
#include "base/lines.h"
#include "base/paths.h"
#include "base/replacefile.h"
#include "base/text.h"
#include "base/textkind.h"
#include "dict/indexformat.h"
#include "dict/indextree.h"
#include "dict/linekeys.h"

namespace kes {

namespace {

std::u16string OverflowWarning(const IndexTree& tree) {
    std::u16string text = u"WARNING: Index key [" + tree.KeyOf(tree.firstOverflow()) +
                          u"] has more than 65535 entries; only its first 65535 entries are "
                          u"added to index";
    if (tree.overflowCount() > 1) {
        text += u" (" + U(std::to_string(tree.overflowCount())) +
                u" keys are cut to 65535 entries in all)";
    }
    return text;
}

std::string ExistsMessage(const std::string& indexPath) {
    return "Index file " + BaseName(indexPath) +
           " already exists! Delete it before creating a new one!";
}

// Files every line of the open data file (`dataSize` bytes) into `tree`; false when the build
// was cancelled before a line.
bool FileDataLines(ByteFile& data, int64_t dataSize, IndexTree& tree,
                   const IndexBuildOptions& options, const IndexBuildCallbacks& callbacks) {
    LineFiler filer(tree, callbacks.warning, options.MinWordLength);
    // The rule of "|", decided from the first lines as for every other reader of the file.
    const SenseConvention convention = SenseConventionOfData(data);
    data.seek(0);
    while (!data.eof()) {
        if (CancelRequested(callbacks.cancelRequested)) return false;
        const int64_t offset = data.position();
        if (callbacks.progress) callbacks.progress(static_cast<int>(100 * offset / dataSize));
        std::u16string line = ReadUcs2Line(data);
        const IndexBuildOptions now =
            callbacks.currentOptions ? callbacks.currentOptions() : options;
        filer.FileLine(line, static_cast<int32_t>(offset), now.AddDescToIndex, now.AddPinToIndex,
                       convention);
    }
    return true;
}

// The dictionary's name: what the user makes of "CEDICT file " + dataName, or that text when
// the question is cancelled or not asked.
std::u16string AskIndexName(const std::string& dataName, const IndexBuildCallbacks& callbacks) {
    const std::u16string initialName = u"CEDICT file " + Utf8ToUtf16(dataName);
    if (!callbacks.askName) return initialName;
    std::optional<std::u16string> answer = callbacks.askName(initialName);
    return answer ? *answer : initialName;
}

// Writes header and tree into a sealed, not yet committed replacement of `indexPath`.
std::unique_ptr<FileReplacement> WriteIndexFile(const std::string& indexPath, IndexTree& tree,
                                                const IndexHeader& header) {
    tree.LayoutNodes(kRootPosition, indexPath);
    auto replacement = std::make_unique<FileReplacement>(indexPath);
    WriteIndexHeader(replacement->file(), header);
    tree.WriteNodes(replacement->file());
    replacement->seal();
    return replacement;
}

}  // namespace

IndexBuildResult BuildIndexPending(const std::string& dataPath, const std::string& indexPath,
                                   const std::string& dataName, const IndexBuildOptions& options,
                                   const IndexBuildCallbacks& callbacks,
                                   std::unique_ptr<FileReplacement>& pending) {
    pending.reset();
    IndexBuildResult result;
    result.indexPath = indexPath;
    Outcome& outcome = result.outcome;
    try {
        ByteFile data(dataPath, OpenMode::Read);
        const int64_t dataSize = data.size();
        if (dataSize > std::numeric_limits<int32_t>::max())
            throw IoError(dataPath, "Data file is 2 GiB or larger, which an index cannot address");
        if (dataSize % 2 != 0) throw IoError(dataPath, "Data file has an odd byte size");

        IndexTree tree;
        tree.Reserve(dataSize);
        const bool filed = FileDataLines(data, dataSize, tree, options, callbacks);
        if (filed) data.close();
        if (filed && tree.overflowCount() > 0 && callbacks.warning)
            callbacks.warning(OverflowWarning(tree));
        if (!filed || CancelRequested(callbacks.cancelRequested)) {
            outcome.cancelled = true;
            outcome.message = kIndexCancelledMessage;
            return result;
        }

        IndexHeader header;
        header.Description = MakeDescription(AskIndexName(dataName, callbacks));
        header.DataSize = static_cast<int32_t>(dataSize);
        header.DataAge = FileDosTime(dataPath);
        pending = WriteIndexFile(indexPath, tree, header);
        outcome.ok = true;
        outcome.message = "Index file created: " + BaseName(indexPath);
        return result;
    } catch (const std::bad_alloc&) {
        outcome.detail = "Not enough memory to build the index of " + dataPath;
    } catch (...) {
        outcome.detail = CurrentExceptionDetail();
    }
    outcome.message = kIndexFailedMessage;
    return result;
}

IndexBuildResult BuildIndex(const std::string& dataPath, const IndexBuildOptions& options,
                            const IndexBuildCallbacks& callbacks) {
    const std::string indexPath = ChangeExtension(dataPath, ".idx");
    IndexBuildResult result;
    result.indexPath = indexPath;
    if (NameExists(indexPath)) {
        result.alreadyExists = true;
        result.outcome.message = ExistsMessage(indexPath);
        return result;
    }
    std::unique_ptr<FileReplacement> pending;
    result =
        BuildIndexPending(dataPath, indexPath, BaseName(dataPath), options, callbacks, pending);
    if (!pending) return result;
    try {
        if (!pending->commitNew()) {
            result.alreadyExists = true;
            result.outcome.ok = false;
            result.outcome.message = ExistsMessage(indexPath);
        }
    } catch (...) {
        result.outcome.ok = false;
        result.outcome.message = kIndexFailedMessage;
        result.outcome.detail = CurrentExceptionDetail();
    }
    return result;
}

std::string NotUtf16LeRefusal(const std::string& dataPath) {
    const std::optional<TextKind> kind = FileTextKind(dataPath);
    if (!kind || *kind == TextKind::Utf16Le) return {};
    return "Refused: " + dataPath + " is not UTF-16LE text (" + TextKindReason(*kind) +
           "); nothing was written.\nA CEDICT file in UTF-8 is added with: kestrune import " +
           dataPath;
}

}  // namespace kes
