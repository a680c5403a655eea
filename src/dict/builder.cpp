#include "dict/builder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>

#include "base/lines.h"
#include "base/replacefile.h"
#include "base/text.h"
#include "dict/indexformat.h"

namespace kes {

namespace {

// Size limits of one entry line, on the raw (untrimmed) parts.
constexpr std::size_t kMaxWordUnits = 30;
constexpr std::size_t kMaxPinyinUnits = 90;
constexpr std::size_t kMaxTranslationUnits = 10000;
// Shortest translation word that becomes a key.
constexpr std::size_t kMinTranslationWord = 4;

constexpr char16_t kFirstFolded = 0x00C0;
constexpr char16_t kLastFolded = 0x023F;

// For every code unit U+00C0..U+023F: the lowercase base letter for pinyin keys, or '*'
// when the unit is dropped.
constexpr std::array<char, kLastFolded - kFirstFolded + 1> MakePinyinFoldTable() {
    std::array<char, kLastFolded - kFirstFolded + 1> t{};
    for (char& c : t)
        c = '*';
    struct Range {
        char16_t from, to;
        char letter;
    };
    constexpr Range ranges[] = {
        {0x00C0, 0x00C5, 'a'}, {0x00E0, 0x00E5, 'a'}, {0x0100, 0x0105, 'a'}, {0x01CD, 0x01CE, 'a'},
        {0x01DE, 0x01E1, 'a'}, {0x01FA, 0x01FB, 'a'}, {0x0200, 0x0203, 'a'}, {0x0226, 0x0227, 'a'},
        {0x00C8, 0x00CB, 'e'}, {0x00E8, 0x00EB, 'e'}, {0x0112, 0x011B, 'e'}, {0x0204, 0x0207, 'e'},
        {0x0228, 0x0229, 'e'}, {0x00CC, 0x00CF, 'i'}, {0x00EC, 0x00EF, 'i'}, {0x0128, 0x0131, 'i'},
        {0x013A, 0x013A, 'i'}, {0x01CF, 0x01D0, 'i'}, {0x0208, 0x020B, 'i'}, {0x00D2, 0x00D6, 'o'},
        {0x00F2, 0x00F6, 'o'}, {0x014C, 0x0151, 'o'}, {0x01D1, 0x01D2, 'o'}, {0x020C, 0x020F, 'o'},
        {0x022A, 0x0231, 'o'}, {0x00D9, 0x00DC, 'u'}, {0x00F9, 0x00FC, 'u'}, {0x0168, 0x0173, 'u'},
        {0x01AF, 0x01B1, 'u'}, {0x01D3, 0x01DC, 'u'}, {0x0214, 0x0217, 'u'}, {0x01B2, 0x01B2, 'v'},
        {0x00DD, 0x00DD, 'y'}, {0x00FD, 0x00FD, 'y'}, {0x00FF, 0x00FF, 'y'}, {0x0176, 0x0178, 'y'},
        {0x01B3, 0x01B4, 'y'}, {0x0232, 0x0233, 'y'},
    };
    for (const Range& r : ranges) {
        for (char16_t c = r.from; c <= r.to; ++c)
            t[c - kFirstFolded] = r.letter;
    }
    return t;
}

constexpr std::array<char, kLastFolded - kFirstFolded + 1> PinyinFoldTable = MakePinyinFoldTable();
static_assert(PinyinFoldTable.size() == 384);

// Files the keys of one entry line. The parts of the line are views into the line itself
// or into buffers that are reused from line to line.
class LineFiler {
  public:
    LineFiler(IndexTree& tree, const IndexBuildCallbacks& callbacks)
        : tree_(tree), callbacks_(callbacks) {}

    void FileLine(std::u16string_view rawLine, int32_t offset, const IndexBuildOptions& options);

  private:
    void AddLineKey(std::u16string_view key, std::size_t minLength);
    // Headwords are mostly unique; translation words repeat often.
    void FileLineKeys(int32_t offset, bool repeated);
    void AddTranslationWords(std::u16string_view translation);
    void FilePinyinKeys(std::u16string_view pinyin, int32_t offset);

    IndexTree& tree_;
    const IndexBuildCallbacks& callbacks_;
    std::u16string withoutNotes_;  // the translation part when the line has notes
    std::u16string folded_;        // the translation part lowercased, Ё/ё read as е
    std::u16string pinyinKey_;
    // The line's key list; the views point into the line or into folded_.
    std::vector<std::u16string_view> keys_;
};

void LineFiler::FileLine(std::u16string_view rawLine, int32_t offset,
                         const IndexBuildOptions& options) {
    std::u16string_view line = TrimView(rawLine);
    if (line.empty() || line[0] == u'#' || line[0] == 0xFEFF) return;

    // The word part runs up to the first "[", the pinyin part from there up to the next
    // "]", the translation part is the rest; the brackets that end the parts belong to none.
    std::u16string_view word = line, pinyin, translation;
    if (std::size_t open = line.find(u'['); open != std::u16string_view::npos) {
        word = line.substr(0, open);
        pinyin = line.substr(open + 1);
        if (std::size_t close = pinyin.find(u']'); close != std::u16string_view::npos) {
            translation = pinyin.substr(close + 1);
            pinyin = pinyin.substr(0, close);
        }
    }
    // Notes ("|" up to the next "/") leave the translation part together with their "|"
    // and the "/" that closes them.
    if (translation.find(u'|') != std::u16string_view::npos) {
        withoutNotes_.clear();
        bool inNote = false;
        for (char16_t c : translation) {
            if (inNote) {
                if (c == u'/') inNote = false;
            } else if (c == u'|') {
                inNote = true;
            } else {
                withoutNotes_.push_back(c);
            }
        }
        translation = withoutNotes_;
    }
    if (word.size() > kMaxWordUnits || pinyin.size() > kMaxPinyinUnits ||
        translation.size() > kMaxTranslationUnits) {
        if (callbacks_.warning) {
            callbacks_.warning(u"WARNING: A string with word [" + std::u16string(word) +
                               u"] can't be added to index because of size limitations (word "
                               u"<= 30, pinyin <=90, translation <=10000 chars)");
        }
        return;
    }

    // The headword key: the first form of the word part.
    keys_.clear();
    std::u16string_view words = TrimView(word);
    AddLineKey(words.substr(0, words.find(u' ')), 1);
    FileLineKeys(offset, false);

    if (options.AddDescToIndex) {
        keys_.clear();
        AddTranslationWords(TrimView(translation));
        FileLineKeys(offset, true);
    }
    if (options.AddPinToIndex) FilePinyinKeys(TrimView(pinyin), offset);
}

void LineFiler::AddLineKey(std::u16string_view key, std::size_t minLength) {
    std::u16string_view k = TrimView(key);
    if (k.size() < minLength || k.empty()) return;
    for (std::u16string_view held : keys_) {
        if (held == k) return;
    }
    keys_.push_back(k);
}

void LineFiler::FileLineKeys(int32_t offset, bool repeated) {
    for (std::u16string_view key : keys_) {
        if (repeated)
            tree_.InsertRepeatedKey(key, offset);
        else
            tree_.InsertKey(0, key, 1, offset);
    }
}

// A word is a maximal run of Latin or of Cyrillic letters, lowercased, with Ё and ё read
// as е; a change of script ends a word as well. Words shorter than 4 letters are no keys.
void LineFiler::AddTranslationWords(std::u16string_view translation) {
    folded_.resize(translation.size());
    int wordClass = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < translation.size(); ++i) {
        char16_t c = translation[i];
        if (c == 0x0401 || c == 0x0451) c = 0x0435;
        int cls = 0;
        if (c >= u'A' && c <= u'Z') {
            cls = 1;
            c = static_cast<char16_t>(c + 0x20);
        } else if (c >= u'a' && c <= u'z') {
            cls = 1;
        } else if (c >= 0x0410 && c <= 0x044F) {
            cls = 2;
            if (c <= 0x042F) c = static_cast<char16_t>(c + 0x20);
        }
        folded_[i] = c;
        if (cls != wordClass) {
            if (wordClass != 0)
                AddLineKey(std::u16string_view(folded_).substr(start, i - start),
                           kMinTranslationWord);
            start = i;
            wordClass = cls;
        }
    }
    if (wordClass != 0) AddLineKey(std::u16string_view(folded_).substr(start), kMinTranslationWord);
}

// Pinyin keys: tone digits dropped, a space after a space dropped, accented letters folded
// to their base letter, lowercase; ";" and "," separate keys.
void LineFiler::FilePinyinKeys(std::u16string_view pinyin, int32_t offset) {
    pinyinKey_.resize(pinyin.size());
    std::size_t start = 0, end = 0;
    for (std::size_t i = 0; i < pinyin.size(); ++i) {
        char16_t c = pinyin[i];
        if (c >= u'0' && c <= u'9') continue;
        if (c == u' ' && i > 0 && pinyin[i - 1] == u' ') continue;
        if (c >= kFirstFolded && c <= kLastFolded) {
            char letter = PinyinFoldTable[c - kFirstFolded];
            if (letter == '*') continue;
            c = static_cast<char16_t>(letter);
        }
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 0x20);
        if (c == u';' || c == u',') {
            tree_.InsertRepeatedKey(
                TrimView(std::u16string_view(pinyinKey_).substr(start, end - start)), offset);
            start = end;
            continue;
        }
        pinyinKey_[end++] = c;
    }
    tree_.InsertRepeatedKey(TrimView(std::u16string_view(pinyinKey_).substr(start, end - start)),
                            offset);
}

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

}  // namespace

char PinyinFoldLetter(char16_t c) {
    if (c < kFirstFolded || c > kLastFolded) return '*';
    return PinyinFoldTable[c - kFirstFolded];
}

// ---------------------------------------------------------------------------------------
// IndexTree

IndexTree::IndexTree() {
    nodes_.emplace_back();  // the root
    edgeShift_ = 64 - 12;
    edges_.assign(std::size_t{1} << 12, Edge{0, 0, 0});
}

void IndexTree::Reserve(int64_t dataSize) {
    // About one node per 50 bytes of data with the default keys; capped so that a huge
    // file does not claim memory before it is read.
    const auto nodes = static_cast<std::size_t>(std::min<int64_t>(dataSize / 40, 1 << 22));
    nodes_.reserve(nodes);
    offsets_.reserve(nodes * 2);
    std::size_t slots = edges_.size();
    while (slots < 2 * nodes)
        slots *= 2;
    if (slots > edges_.size()) GrowEdges(slots);
}

std::size_t IndexTree::Slot(uint32_t parent, char16_t ch) const {
    uint64_t k = (static_cast<uint64_t>(parent) << 16) | ch;
    return static_cast<std::size_t>((k * 0x9E3779B97F4A7C15ull) >> edgeShift_);
}

void IndexTree::GrowEdges(std::size_t slots) {
    std::vector<Edge> old;
    old.swap(edges_);
    while ((std::size_t{1} << (64 - edgeShift_)) < slots)
        --edgeShift_;
    edges_.assign(slots, Edge{0, 0, 0});
    const std::size_t mask = edges_.size() - 1;
    for (const Edge& e : old) {
        if (e.child == 0) continue;
        std::size_t s = Slot(e.parent, e.ch);
        while (edges_[s].child != 0)
            s = (s + 1) & mask;
        edges_[s] = e;
    }
}

uint32_t IndexTree::FindOrAddChild(uint32_t parent, char16_t ch) {
    const std::size_t mask = edges_.size() - 1;
    std::size_t s = Slot(parent, ch);
    for (;;) {
        const Edge& e = edges_[s];
        if (e.child == 0) break;
        if (e.parent == parent && e.ch == ch) return e.child;
        s = (s + 1) & mask;
    }
    if (nodes_.size() >= std::numeric_limits<uint32_t>::max())
        throw std::length_error("Index tree has too many nodes");
    auto child = static_cast<uint32_t>(nodes_.size());
    TDicBase node;
    node.Ch = ch;
    node.Parent = parent;
    nodes_.push_back(node);
    TDicBase& p = nodes_[parent];
    if (p.LastChild == 0)
        p.FirstChild = child;
    else
        nodes_[p.LastChild].NextSibling = child;
    p.LastChild = child;
    ++p.ChildCount;

    edges_[s] = Edge{parent, child, ch};
    if (++edgeCount_ * 2 > edges_.size()) GrowEdges(edges_.size() * 2);
    return child;
}

void IndexTree::FileOffset(uint32_t node, int32_t offset) {
    TDicBase& n = nodes_[node];
    if (n.LastOffset == offset) return;
    n.LastOffset = offset;
    if (n.OffsetCount >= kMaxKeyOffsets) {
        if (!n.Overflowed) {
            n.Overflowed = true;
            if (overflowCount_ == 0) firstOverflow_ = node;
            ++overflowCount_;
        }
        return;
    }
    ++n.OffsetCount;
    offsets_.emplace_back(node, offset);
}

bool IndexTree::InsertKey(uint32_t node, std::u16string_view key, std::size_t depth,
                          int32_t offset) {
    if (key.empty() || depth < 1 || depth > key.size()) return true;
    std::size_t i = depth - 1;
    if (node == 0 && i == 0) {
        // Keys from the root: start below the longest prefix shared with the previous
        // such key (sorted dictionaries share long prefixes from line to line).
        std::size_t shared = 0;
        const std::size_t limit = std::min(key.size(), lastKey_.size());
        while (shared < limit && key[shared] == lastKey_[shared])
            ++shared;
        if (shared == key.size()) {
            FileOffset(lastPath_[shared - 1], offset);
            return true;
        }
        if (shared > 0) node = lastPath_[shared - 1];
        lastKey_.assign(key);
        lastPath_.resize(key.size());
        for (i = shared; i < key.size(); ++i)
            lastPath_[i] = node = FindOrAddChild(node, key[i]);
        FileOffset(node, offset);
        return true;
    }
    for (; i < key.size(); ++i)
        node = FindOrAddChild(node, key[i]);
    FileOffset(node, offset);
    return true;
}

namespace {

uint64_t HashKey(std::u16string_view key) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (char16_t c : key)
        h = (h ^ c) * 0x100000001b3ull;
    return h ^ (h >> 29);
}

// Keys are short: a plain loop beats a library call.
bool SameUnits(std::u16string_view key, const char16_t* units) {
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (key[i] != units[i]) return false;
    }
    return true;
}

}  // namespace

void IndexTree::GrowKeyCache() {
    std::vector<CachedKey> old;
    old.swap(keyCache_);
    keyCache_.assign(old.empty() ? 4096 : old.size() * 2, CachedKey{0, 0, 0, 0});
    const std::size_t mask = keyCache_.size() - 1;
    for (const CachedKey& e : old) {
        if (e.node == 0) continue;
        std::size_t s = static_cast<std::size_t>(e.hash) & mask;
        while (keyCache_[s].node != 0)
            s = (s + 1) & mask;
        keyCache_[s] = e;
    }
}

void IndexTree::InsertRepeatedKey(std::u16string_view key, int32_t offset) {
    if (key.empty()) return;
    if (keyCache_.empty()) GrowKeyCache();
    const uint64_t h = HashKey(key);
    const std::size_t mask = keyCache_.size() - 1;
    std::size_t s = static_cast<std::size_t>(h) & mask;
    for (;;) {
        const CachedKey& e = keyCache_[s];
        if (e.node == 0) break;
        if (e.hash == h && e.length == key.size() && SameUnits(key, keyPool_.data() + e.poolPos)) {
            FileOffset(e.node, offset);
            return;
        }
        s = (s + 1) & mask;
    }
    uint32_t node = 0;
    for (char16_t c : key)
        node = FindOrAddChild(node, c);
    FileOffset(node, offset);
    keyCache_[s] = CachedKey{h, node, static_cast<uint32_t>(keyPool_.size()),
                             static_cast<uint32_t>(key.size())};
    keyPool_.insert(keyPool_.end(), key.begin(), key.end());
    if (++keyCacheCount_ * 2 > keyCache_.size()) GrowKeyCache();
}

std::u16string IndexTree::KeyOf(uint32_t node) const {
    std::u16string key;
    while (node != 0) {
        key.push_back(nodes_[node].Ch);
        node = nodes_[node].Parent;
    }
    return std::u16string(key.rbegin(), key.rend());
}

int64_t IndexTree::LayoutNodes(int64_t position, const std::string& fileName) {
    // Pre-order without recursion: down to the first child, else on to the next sibling
    // of the nearest node on the way up that has one.
    uint32_t n = 0;
    for (;;) {
        TDicBase& node = nodes_[n];
        if (position > std::numeric_limits<int32_t>::max())
            throw IoError(fileName,
                          "Index file would reach 2 GiB, which the format cannot address");
        node.FilePos = static_cast<int32_t>(position);
        position += 2 + 4 * static_cast<int64_t>(node.OffsetCount) + 4 +
                    6 * static_cast<int64_t>(node.ChildCount);
        if (node.FirstChild != 0) {
            n = node.FirstChild;
            continue;
        }
        while (n != 0 && nodes_[n].NextSibling == 0)
            n = nodes_[n].Parent;
        if (n == 0) break;
        n = nodes_[n].NextSibling;
    }
    if (position > std::numeric_limits<int32_t>::max())
        throw IoError(fileName, "Index file would reach 2 GiB, which the format cannot address");
    return position;
}

void IndexTree::WriteNodes(ByteFile& f) const {
    // Group the kept offsets by node; the pairs arrive in filing order, so each group
    // stays ascending.
    std::vector<uint32_t> start(nodes_.size() + 1, 0);
    for (std::size_t i = 0; i < nodes_.size(); ++i)
        start[i + 1] = start[i] + nodes_[i].OffsetCount;
    std::vector<int32_t> grouped(offsets_.size());
    {
        std::vector<uint32_t> next(start.begin(), start.end() - 1);
        for (const auto& [node, offset] : offsets_)
            grouped[next[node]++] = offset;
    }

    std::vector<uint8_t> buf;
    constexpr std::size_t kFlushAt = 1 << 20;
    buf.reserve(kFlushAt + 64);
    auto put16 = [&buf](uint32_t v) {
        buf.push_back(static_cast<uint8_t>(v));
        buf.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto put32 = [&buf](uint32_t v) {
        buf.push_back(static_cast<uint8_t>(v));
        buf.push_back(static_cast<uint8_t>(v >> 8));
        buf.push_back(static_cast<uint8_t>(v >> 16));
        buf.push_back(static_cast<uint8_t>(v >> 24));
    };
    auto flush = [&] {
        f.write(buf.data(), buf.size());
        buf.clear();
    };

    uint32_t n = 0;
    for (;;) {
        const TDicBase& node = nodes_[n];
        put16(node.OffsetCount);
        for (uint32_t i = start[n]; i < start[n + 1]; ++i) {
            put32(static_cast<uint32_t>(grouped[i]));
            if (buf.size() >= kFlushAt) flush();
        }
        put32(node.ChildCount);
        for (uint32_t c = node.FirstChild; c != 0; c = nodes_[c].NextSibling) {
            put16(nodes_[c].Ch);
            put32(static_cast<uint32_t>(nodes_[c].FilePos));
            if (buf.size() >= kFlushAt) flush();
        }
        if (node.FirstChild != 0) {
            n = node.FirstChild;
            continue;
        }
        while (n != 0 && nodes_[n].NextSibling == 0)
            n = nodes_[n].Parent;
        if (n == 0) break;
        n = nodes_[n].NextSibling;
    }
    flush();
}

// ---------------------------------------------------------------------------------------
// BuildIndex

namespace {

std::string ExistsMessage(const std::string& indexPath) {
    return "Index file " + BaseName(indexPath) +
           " already exists! Delete it before creating a new one!";
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
        LineFiler filer(tree, callbacks);
        while (!data.eof()) {
            if (CancelRequested(callbacks.cancelRequested)) {
                outcome.cancelled = true;
                outcome.message = kIndexCancelledMessage;
                return result;
            }
            const int64_t offset = data.position();
            if (callbacks.progress) callbacks.progress(static_cast<int>(100 * offset / dataSize));
            std::u16string line = ReadUcs2Line(data);
            filer.FileLine(line, static_cast<int32_t>(offset),
                           callbacks.currentOptions ? callbacks.currentOptions() : options);
        }
        data.close();
        if (tree.overflowCount() > 0 && callbacks.warning) callbacks.warning(OverflowWarning(tree));

        const std::u16string initialName = u"CEDICT file " + Utf8ToUtf16(dataName);
        std::u16string name = initialName;
        if (CancelRequested(callbacks.cancelRequested)) {
            outcome.cancelled = true;
            outcome.message = kIndexCancelledMessage;
            return result;
        }
        if (callbacks.askName) {
            std::optional<std::u16string> answer = callbacks.askName(initialName);
            if (answer) name = *answer;
        }

        IndexHeader header;
        header.Description = MakeDescription(name);
        header.DataSize = static_cast<int32_t>(dataSize);
        header.DataAge = FileDosTime(dataPath);

        tree.LayoutNodes(kRootPosition, indexPath);
        auto replacement = std::make_unique<FileReplacement>(indexPath);
        WriteIndexHeader(replacement->file(), header);
        tree.WriteNodes(replacement->file());
        replacement->seal();
        pending = std::move(replacement);
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

int FinishDictionaryReplacements(const std::string& folder) {
    std::vector<std::string> stems;
    auto addStem = [&stems](const std::string& name) {
        const std::string ext = name.size() > 4 ? name.substr(name.size() - 4) : std::string();
        if (ext == ".ced" || ext == ".idx") stems.push_back(name.substr(0, name.size() - 4));
    };
    // One reading of the folder. A linked dictionary keeps its leftovers beside the real
    // files (its link may dangle while the real file has stepped aside).
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        names.push_back(it->path().filename().string());
        std::error_code linkError;  // an entry that went meanwhile ends nothing
        if (it->is_symlink(linkError)) addStem(names.back());
    }
    for (const std::string& name : PairLeftoverTargets(names))
        addStem(name);
    std::sort(stems.begin(), stems.end());
    stems.erase(std::unique(stems.begin(), stems.end()), stems.end());
    int finished = 0;
    for (const std::string& stem : stems) {
        try {
            finished += FinishInterruptedPairs(JoinPath(folder, stem + ".ced"),
                                               JoinPath(folder, stem + ".idx"));
        } catch (const IoError&) {
            // An unreadable link: the pair is left for the next start.
        }
    }
    return finished;
}

}  // namespace kes
