#include "tools/cedictimport.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/ioerror.h"
#include "base/lines.h"
#include "base/paths.h"
#include "base/replacefile.h"
#include "base/text.h"
#include "dict/dictpairs.h"

namespace kes {

namespace {

constexpr std::size_t kReadBlock = 1 << 16;

// The bytes of the source: gzip (by its magic bytes) through zlib, anything else as it is.
class SourceReader {
  public:
    explicit SourceReader(const std::string& path) : path_(path) {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) throw IoError(path, std::strerror(errno));
        if (!S_ISREG(st.st_mode)) throw IoError(path, "Not a regular file");
        plain_.open(path, OpenMode::Read);
        uint8_t magic[2] = {0, 0};
        if (plain_.size() >= 2) {
            plain_.read(magic, 2);
            plain_.seek(0);
        }
        if (magic[0] == 0x1F && magic[1] == 0x8B) {
            plain_.close();
            gz_ = ::gzopen(path.c_str(), "rb");
            if (gz_ == nullptr) throw IoError(path, "Cannot open the gzip file");
            ::gzbuffer(gz_, kReadBlock);
        }
    }
    ~SourceReader() {
        if (gz_ != nullptr) ::gzclose(gz_);
    }
    SourceReader(const SourceReader&) = delete;
    SourceReader& operator=(const SourceReader&) = delete;

    bool compressed() const { return gz_ != nullptr; }

    // Up to `n` bytes; 0 at the end. Throws IoError on damaged or unreadable input.
    std::size_t read(char* buffer, std::size_t n) {
        if (gz_ == nullptr) {
            const int64_t left = plain_.size() - plain_.position();
            const std::size_t k =
                left < static_cast<int64_t>(n) ? static_cast<std::size_t>(left) : n;
            if (k > 0) plain_.read(buffer, k);
            return k;
        }
        const int got = ::gzread(gz_, buffer, static_cast<unsigned>(n));
        int code = Z_OK;
        const char* text = got > 0 ? nullptr : ::gzerror(gz_, &code);
        // A stream cut short ends with 0 bytes and Z_BUF_ERROR, not with -1.
        if (got < 0 || (got == 0 && code != Z_OK)) {
            throw IoError(path_, std::string("Damaged gzip data (") +
                                     (text != nullptr ? text : "unknown error") + ")");
        }
        return static_cast<std::size_t>(got);
    }

  private:
    std::string path_;
    ByteFile plain_;
    gzFile gz_ = nullptr;
};

bool IsEntryLine(std::u16string_view trimmed) {
    const std::size_t open = trimmed.find(u'[');
    if (open == std::u16string_view::npos || open == 0) return false;
    const std::size_t close = trimmed.find(u']', open);
    if (close == std::u16string_view::npos) return false;
    const std::u16string_view rest = TrimView(trimmed.substr(close + 1));
    return rest.size() >= 2 && rest.front() == u'/' && rest.back() == u'/';
}

// The first line of an imported file whose source does not begin with a comment: the file
// then still begins with one, which marks it as a CEDICT file (dict/senserefs.h).
constexpr std::u16string_view kImportedHeader = u"# CEDICT file imported by kestrune import\n";

struct Conversion {
    int64_t entries = 0;
    int64_t comments = 0;
    int64_t bytesIn = 0;
    bool ccCedict = false;  // "# CC-CEDICT" among the leading comment lines
};

// Checks and converts the source into `out`; throws IoError naming the source and the line.
class Converter {
  public:
    Converter(const std::string& sourcePath, ByteFile& out, const CancelPoll& cancel)
        : path_(sourcePath), out_(out), cancel_(cancel) {}

    // False when cancelled.
    bool Run(Conversion& c) {
        SourceReader source(path_);
        std::string buffer(kReadBlock, '\0');
        std::string line;
        for (;;) {
            const std::size_t got = source.read(buffer.data(), buffer.size());
            if (got == 0) break;
            c.bytesIn += static_cast<int64_t>(got);
            std::size_t from = 0;
            while (from < got) {
                const void* lf = std::memchr(buffer.data() + from, '\n', got - from);
                const std::size_t end =
                    lf != nullptr
                        ? static_cast<std::size_t>(static_cast<const char*>(lf) - buffer.data())
                        : got;
                line.append(buffer, from, end - from);
                if (line.size() > kMaxLineBytes)
                    Fail("is longer than " + std::to_string(kMaxLineUnits) + " characters");
                if (lf == nullptr) break;
                Line(line, true, c);
                line.clear();
                from = end + 1;
                if ((lineNumber_ & 1023) == 0 && CancelRequested(cancel_)) return false;
            }
        }
        if (c.bytesIn == 0) throw IoError(path_, "The file is empty");
        if (!line.empty()) Line(line, false, c);
        if (c.entries == 0)
            throw IoError(path_,
                          "The file holds no CEDICT entries (lines \"TRADITIONAL SIMPLIFIED [pin1 "
                          "yin1] /translation/\")");
        return true;
    }

  private:
    static constexpr std::size_t kMaxLineBytes = 4 * static_cast<std::size_t>(kMaxLineUnits);

    [[noreturn]] void Fail(const std::string& what) const {
        throw IoError(path_, "Line " + std::to_string(lineNumber_ + 1) + " " + what);
    }

    void Line(std::string_view bytes, bool ended, Conversion& c) {
        if (lineNumber_ == 0 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
        std::size_t bad = 0;
        if (!Utf8ToUtf16Strict(bytes, units_, bad))
            Fail("is not UTF-8 (invalid byte at position " + std::to_string(bad + 1) + ")");
        if (units_.find(u'\0') != std::u16string::npos)
            Fail("holds a NUL character (not a text file)");
        if (units_.size() > static_cast<std::size_t>(kMaxLineUnits))
            Fail("is longer than " + std::to_string(kMaxLineUnits) + " characters");
        const std::u16string_view trimmed = TrimView(units_);
        if (!trimmed.empty() && trimmed.front() == u'#') {
            ++c.comments;
            if (leadingComments_ && trimmed == u"# CC-CEDICT") c.ccCedict = true;
        } else if (!trimmed.empty()) {
            leadingComments_ = false;
            if (!IsEntryLine(trimmed))
                Fail(
                    "is not a CEDICT entry (\"TRADITIONAL SIMPLIFIED [pin1 yin1] /translation/\")");
            ++c.entries;
        }
        const bool header = lineNumber_ == 0 && (trimmed.empty() || trimmed.front() != u'#');
        if (ended) units_.push_back(u'\n');
        if (header) units_.insert(0, kImportedHeader);
        outBytes_ += 2 * static_cast<int64_t>(units_.size());
        if (outBytes_ > std::numeric_limits<int32_t>::max())
            throw IoError(path_,
                          "The dictionary would be 2 GiB or larger, which an index cannot address");
        bytes_.resize(2 * units_.size());
        for (std::size_t i = 0; i < units_.size(); ++i) {
            bytes_[2 * i] = static_cast<char>(units_[i] & 0xFF);
            bytes_[2 * i + 1] = static_cast<char>(units_[i] >> 8);
        }
        out_.write(bytes_.data(), bytes_.size());
        ++lineNumber_;
    }

    std::string path_;
    ByteFile& out_;
    const CancelPoll& cancel_;
    int64_t lineNumber_ = 0;
    int64_t outBytes_ = 0;
    bool leadingComments_ = true;
    std::u16string units_;
    std::string bytes_;
};

// The refusal to overwrite an existing dictionary; names the first file of the pair taken.
std::string TakenMessage(const ImportResult& r, const std::string& folder) {
    const std::string& taken = NameExists(r.dataPath) ? r.dataPath : r.indexPath;
    return "ERROR: " + BaseName(taken) + " already exists in " + folder +
           "! Use --replace to replace the dictionary.";
}

std::string OptionsText(const IndexBuildOptions& o) {
    return o.AddPinToIndex ? "translation words and pinyin" : "translation words";
}

// An imported dictionary is indexed with translation words (three letters and more) and
// pinyin.
IndexBuildOptions ImportIndexOptions() {
    IndexBuildOptions options;
    options.AddDescToIndex = true;
    options.AddPinToIndex = true;
    options.MinWordLength = kShortestMinWordLength;
    return options;
}

// Builds the index of the converted data file (not yet committed) under the dictionary's
// name, leaving it sealed in `index`.
IndexBuildResult BuildImportIndex(const FileReplacement& data, const ImportResult& result,
                                  const std::string& stem, const IndexBuildCallbacks& callbacks,
                                  std::unique_ptr<FileReplacement>& index) {
    IndexBuildCallbacks build = callbacks;
    const std::u16string name = Utf8ToUtf16(result.name);
    build.askName = [&name](const std::u16string&) { return std::optional<std::u16string>(name); };
    build.currentOptions = nullptr;
    return BuildIndexPending(data.tempPath(), result.indexPath, stem + ".ced", ImportIndexOptions(),
                             build, index);
}

}  // namespace

std::string ImportStem(const std::string& sourcePath) {
    std::string name = BaseName(sourcePath);
    auto endsNoCase = [](const std::string& s, const std::string& suffix) {
        if (s.size() < suffix.size()) return false;
        for (std::size_t i = 0; i < suffix.size(); ++i) {
            char c = s[s.size() - suffix.size() + i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
            if (c != suffix[i]) return false;
        }
        return true;
    };
    if (endsNoCase(name, ".gz")) name.resize(name.size() - 3);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

std::string ImportName(const std::optional<std::string>& requested, bool looksLikeCcCedict,
                       const std::string& stem) {
    if (requested) return *requested;
    if (looksLikeCcCedict) return "CC-CEDICT";
    return "CEDICT file " + stem + ".ced";
}

ImportResult ImportCedict(const ImportRequest& request, const IndexBuildCallbacks& callbacks) {
    ImportResult result;
    Outcome& outcome = result.outcome;
    const std::string stem = ImportStem(request.sourcePath);
    const std::string sourceName = BaseName(request.sourcePath);
    if (stem.empty()) {
        outcome.message =
            "ERROR: Cannot import " + sourceName + ": no file name is left for the dictionary";
        return result;
    }
    result.dataPath = JoinPath(request.folder, stem + ".ced");
    result.indexPath = JoinPath(request.folder, stem + ".idx");
    const std::string failed = "ERROR: " + sourceName + " was not imported";
    // What an earlier import (or any dictionary replacement) left when it was killed.
    FinishDictionaryReplacements(request.folder);
    if (!request.replace && (NameExists(result.dataPath) || NameExists(result.indexPath))) {
        outcome.message = TakenMessage(result, request.folder);
        result.exists = true;
        return result;
    }
    try {
        auto data = std::make_unique<FileReplacement>(result.dataPath);
        Conversion c;
        if (!Converter(request.sourcePath, data->file(), callbacks.cancelRequested).Run(c)) {
            outcome.cancelled = true;
            outcome.message = failed + ": the import was cancelled";
            return result;
        }
        data->seal();
        result.entries = c.entries;
        result.comments = c.comments;
        result.name = ImportName(request.name, c.ccCedict, stem);

        std::unique_ptr<FileReplacement> index;
        const IndexBuildResult built = BuildImportIndex(*data, result, stem, callbacks, index);
        if (!index) {
            outcome = built.outcome;
            outcome.message = built.outcome.cancelled ? failed + ": the import was cancelled"
                                                      : failed + ": " + built.outcome.message;
            return result;
        }
        result.replaced =
            request.replace && (NameExists(data->realPath()) || NameExists(index->realPath()));
        if (!CommitPair(*data, *index, request.replace)) {
            outcome.message = TakenMessage(result, request.folder);
            result.exists = true;
            return result;
        }
    } catch (...) {
        outcome.message = failed;
        outcome.detail = CurrentExceptionDetail();
        return result;
    }
    outcome.ok = true;
    outcome.message = std::string(result.replaced ? "Replaced" : "Imported") + " " +
                      std::to_string(result.entries) + " entries from " + sourceName + " into " +
                      result.dataPath + "\nIndex file created: " + result.indexPath + " (\"" +
                      result.name + "\", " + OptionsText(ImportIndexOptions()) + ")";
    return result;
}

}  // namespace kes
