#include "dsl/converter.h"

#include <bit>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <system_error>

#include "base/bytefile.h"
#include "base/ioerror.h"
#include "base/lines.h"
#include "base/paths.h"
#include "base/replacefile.h"
#include "base/text.h"
#include "dsl/ucs2reader.h"

namespace kes {

namespace {

using namespace std::string_view_literals;

struct Replacement {
    std::u16string_view from;
    std::u16string_view to;
};

// Applied in this order to a line that may be the pinyin line of a card.
constexpr Replacement kPinyinReplacements[] = {
    {u"\\["sv, u"?"sv}, {u"\\]"sv, u"?"sv},  {u"[b]"sv, u""sv},  {u"[/b]"sv, u""sv},
    {u"[i]"sv, u""sv},  {u"[/i]"sv, u""sv},  {u"[/m]"sv, u""sv}, {u"[c]"sv, u""sv},
    {u"[/c]"sv, u""sv}, {u"[m1]"sv, u"!"sv},
};

// Applied in this order to a line that may be a sense or an example.
constexpr Replacement kSenseReplacements[] = {
    {u"\\["sv, u"("sv},     {u"\\]"sv, u")"sv},    {u"[*]"sv, u""sv},      {u"[ex]"sv, u""sv},
    {u"[/ex]"sv, u""sv},    {u"[/*]"sv, u""sv},    {u"[/m]"sv, u""sv},     {u"[i]"sv, u""sv},
    {u"[/i]"sv, u""sv},     {u"[b]"sv, u"[bs]"sv}, {u"[/b]"sv, u"[be]"sv}, {u"[c]"sv, u"[cs]"sv},
    {u"[/c]"sv, u"[ce]"sv}, {u"/"sv, u""sv},
};

constexpr char16_t FoldAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

bool MatchesAt(std::u16string_view s, std::size_t pos, std::u16string_view pattern) {
    if (s.size() - pos < pattern.size()) return false;
    for (std::size_t k = 0; k < pattern.size(); ++k)
        if (FoldAscii(s[pos + k]) != FoldAscii(pattern[k])) return false;
    return true;
}

// The patterns of one rewrite, indexed for the scan. Every pattern but a final one-character
// removal starts with '[' or '\'; the candidates at a position are found by its first two
// characters.
struct ReplacementSet {
    std::span<const Replacement> reps;  // without a final one-character removal
    char16_t finalErase = 0;            // that removal's character (it has no letter case)
    uint32_t single[2] = {};            // one-character patterns, by first character
    uint32_t bySecond[2][128] = {};     // longer patterns, by first and folded second character
    uint32_t longByFirst[2] = {};       // longer patterns, by first character
};

int FirstIndex(char16_t c) {
    switch (c) {
        case u'[':
            return 0;
        case u'\\':
            return 1;
        default:
            return -1;
    }
}

ReplacementSet MakeSet(std::span<const Replacement> reps) {
    ReplacementSet set;
    // A final removal of one character is the plain erasure of that character from the
    // result of all the other replacements.
    if (!reps.empty() && reps.back().from.size() == 1 && reps.back().to.empty() &&
        FoldAscii(reps.back().from[0]) == reps.back().from[0]) {
        set.finalErase = reps.back().from[0];
        reps = reps.first(reps.size() - 1);
    }
    set.reps = reps;
    for (std::size_t i = 0; i < reps.size(); ++i) {
        int f = FirstIndex(reps[i].from[0]);
        uint32_t bit = uint32_t{1} << i;
        if (reps[i].from.size() == 1) {
            set.single[f] |= bit;
        } else {
            set.bySecond[f][FoldAscii(reps[i].from[1]) & 0x7F] |= bit;
            set.longByFirst[f] |= bit;
        }
    }
    return set;
}

template <std::size_t N>
constexpr bool Scannable(const Replacement (&reps)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        bool finalErase = i + 1 == N && reps[i].from.size() == 1 && reps[i].to.empty();
        if (!finalErase && reps[i].from[0] != u'[' && reps[i].from[0] != u'\\') return false;
    }
    return true;
}
static_assert(Scannable(kPinyinReplacements) && Scannable(kSenseReplacements));

// The position of the next '[' or '\' at or after pos, or n. Looks at four code units at a
// time: a lane of v ^ pattern is zero where the unit equals the pattern's.
std::size_t NextTagStart(const char16_t* p, std::size_t pos, std::size_t n) {
    constexpr uint64_t kOnes = 0x0001000100010001ULL;
    constexpr uint64_t kHigh = 0x8000800080008000ULL;
    constexpr uint64_t kOpen = 0x005B * kOnes;
    constexpr uint64_t kBackslash = 0x005C * kOnes;
    for (; pos + 4 <= n; pos += 4) {
        uint64_t v;
        std::memcpy(&v, p + pos, sizeof v);
        uint64_t a = v ^ kOpen, b = v ^ kBackslash;
        if ((((a - kOnes) & ~a) | ((b - kOnes) & ~b)) & kHigh) break;
    }
    for (; pos < n; ++pos)
        if (p[pos] == u'[' || p[pos] == u'\\') return pos;
    return n;
}

const ReplacementSet kPinyinSet = MakeSet(kPinyinReplacements);
const ReplacementSet kSenseSet = MakeSet(kSenseReplacements);

// Rewrites lines with a fixed list of case-insensitive replace-all operations, each applied
// to the result of the one before. The buffers are reused from line to line, and a pattern
// is only worked on when the current text contains it.
class LineRewriter {
  public:
    // out = the rewritten text of `in`.
    void apply(std::u16string_view in, std::u16string& out, const ReplacementSet& set) {
        if (!singlePass(in, out, set)) {
            out.assign(in);
            uint32_t present = scan(out, set);
            for (std::size_t i = 0; present != 0 && i < set.reps.size(); ++i) {
                uint32_t bit = uint32_t{1} << i;
                if ((present & bit) == 0) continue;
                replaceAll(out, set.reps[i]);
                // A replacement can make or break matches of the later patterns.
                present = scan(out, set) & ~((bit << 1) - 1);
            }
        }
        if (set.finalErase != 0) std::erase(out, set.finalErase);
    }

  private:
    // The patterns that can match at s[pos]: at most one does, as no pattern is the
    // beginning of another.
    static uint32_t candidatesAt(std::u16string_view s, std::size_t pos,
                                 const ReplacementSet& set) {
        char16_t c = s[pos];
        if (c > u'\\') return 0;  // most text: letters and CJK
        int f = FirstIndex(c);
        if (f < 0) return 0;
        uint32_t candidates = set.single[f];
        if (pos + 1 < s.size()) {
            char16_t second = FoldAscii(s[pos + 1]);
            if (second < 128) candidates |= set.bySecond[f][second];
        }
        return candidates;
    }

    // True when the end of `out` is the beginning of a pattern, so that the text which
    // follows could complete a match that did not exist before.
    static bool endsInPatternStart(std::u16string_view out, const ReplacementSet& set) {
        for (std::size_t len = 1; len <= 4 && len <= out.size(); ++len) {
            std::u16string_view tail = out.substr(out.size() - len);
            int f = FirstIndex(tail[0]);
            if (f < 0) continue;
            if (len == 1) {
                if (set.longByFirst[f] != 0) return true;
                continue;
            }
            char16_t second = FoldAscii(tail[1]);
            uint32_t candidates = second < 128 ? set.bySecond[f][second] : 0;
            while (candidates != 0) {
                const Replacement& rep = set.reps[std::countr_zero(candidates)];
                candidates &= candidates - 1;
                if (rep.from.size() > len && MatchesAt(rep.from, 0, tail)) return true;
            }
        }
        return false;
    }

    // All replacements in one left-to-right pass over s. This gives the same text as the
    // replacements one after the other as long as no removal or insertion joins text into a
    // new match: the occurrences of different patterns cannot overlap in a way that the
    // pattern order decides. When such a join is possible, false is returned.
    static bool singlePass(std::u16string_view s, std::u16string& out, const ReplacementSet& set) {
        const std::size_t n = s.size();
        std::size_t pos = 0, copied = 0;
        out.clear();
        while (pos < n) {
            pos = NextTagStart(s.data(), pos, n);
            if (pos == n) break;
            uint32_t candidates = candidatesAt(s, pos, set);
            const Replacement* hit = nullptr;
            while (candidates != 0) {
                int i = std::countr_zero(candidates);
                candidates &= candidates - 1;
                if (MatchesAt(s, pos, set.reps[i].from)) {
                    hit = &set.reps[i];
                    break;
                }
            }
            if (hit == nullptr) {
                ++pos;
                continue;
            }
            out.append(s.substr(copied, pos - copied));
            if (endsInPatternStart(out, set)) return false;
            if (!hit->to.empty()) {
                out.append(hit->to);
                if (endsInPatternStart(out, set)) return false;
            }
            pos += hit->from.size();
            copied = pos;
        }
        out.append(s.substr(copied));
        return true;
    }

    // Bit i is set when set.reps[i].from occurs in s.
    static uint32_t scan(std::u16string_view s, const ReplacementSet& set) {
        uint32_t present = 0;
        const std::size_t n = s.size();
        for (std::size_t pos = 0; pos < n; ++pos) {
            int f = FirstIndex(s[pos]);
            if (f < 0) continue;
            uint32_t candidates = set.single[f];
            if (pos + 1 < n) {
                char16_t second = FoldAscii(s[pos + 1]);
                if (second < 128) candidates |= set.bySecond[f][second];
            }
            candidates &= ~present;
            while (candidates != 0) {
                int i = std::countr_zero(candidates);
                candidates &= candidates - 1;
                if (MatchesAt(s, pos, set.reps[i].from)) present |= uint32_t{1} << i;
            }
        }
        return present;
    }

    static std::size_t find(std::u16string_view s, std::size_t pos, std::u16string_view from) {
        for (; pos < s.size(); ++pos)
            if (s[pos] == from[0] && MatchesAt(s, pos, from)) return pos;
        return std::u16string_view::npos;
    }

    // Left to right; the text after a match is searched from its end, and inserted text is
    // never searched again.
    void replaceAll(std::u16string& s, const Replacement& rep) {
        std::size_t next = find(s, 0, rep.from);
        if (next == std::u16string_view::npos) return;
        scratch_.assign(s, 0, next);
        std::size_t pos = next;
        for (;;) {
            scratch_.append(rep.to);
            pos += rep.from.size();
            next = find(s, pos, rep.from);
            if (next == std::u16string_view::npos) break;
            scratch_.append(s, pos, next - pos);
            pos = next;
        }
        scratch_.append(s, pos, std::u16string::npos);
        s.swap(scratch_);
    }

    std::u16string scratch_;
};

bool IsHeadwordLine(std::u16string_view s) {
    for (char16_t c : s)
        if (c < 0x3400) return false;
    return true;
}

enum class CardState { Headwords, AwaitPinyin, Senses };

// Sense text of one card kept in memory before it is written out.
constexpr std::size_t kSpillUnits = 32 * 1024;

// The card machine: collects the headword lines, the pinyin line and the senses of one card
// at a time and writes each complete card as one output line.
class CardConverter {
  public:
    CardConverter(ByteFile& out, ByteFile& log) : out_(out), log_(log) {}

    int64_t count() const { return count_; }

    void line(std::u16string_view raw) {
        std::u16string_view s = TrimView(raw);
        if (s.empty()) return;
        if (s[0] == u'#' || s[0] == 0xFEFF || s[0] == u'{') return;
        if (IsHeadwordLine(s))
            headwordLine(s);
        else
            bodyLine(s);
    }

    void finish() {
        if (!headwords_.empty() && !pinyin_.empty() && hasSense()) {
            senses_.push_back(u'/');
            writeCard();
        } else if (!headwords_.empty()) {
            logMissed();
        }
    }

  private:
    void headwordLine(std::u16string_view s) {
        if (!headwords_.empty() && !pinyin_.empty() && hasSense() && state_ == CardState::Senses) {
            senses_.push_back(u'/');
            writeCard();
        } else if (pinyin_.empty() && !hasSense() && state_ == CardState::Headwords) {
            if (!headwords_.empty()) headwords_.push_back(u' ');
            headwords_.append(s);
            return;
        } else if (!headwords_.empty()) {
            logMissed();
        }
        headwords_.assign(s);
        pinyin_.clear();
        senses_.clear();
        state_ = CardState::Headwords;
    }

    void bodyLine(std::u16string_view s) {
        if (state_ == CardState::Headwords) {
            state_ = CardState::AwaitPinyin;
            exampleState_ = 0;
        }
        if (state_ == CardState::AwaitPinyin) {
            rewriter_.apply(s, work_, kPinyinSet);
            std::u16string_view p = TrimView(work_);
            if (p.size() >= 2 && p[0] == u'!' && p.find_first_of(u"?[]") == p.npos) {
                pinyin_.assign(p.substr(1));
                state_ = CardState::Senses;
            }
            return;
        }
        rewriter_.apply(s, work_, kSenseSet);
        std::u16string_view t = work_;
        if (t.size() < 5) return;
        if (t.starts_with(u"[m2]")) {
            std::u16string_view text = TrimView(t.substr(4));
            if (text.empty()) return;
            senses_.push_back(u'/');
            senses_.append(text);
            exampleState_ = 1;
            spillSenses();
        } else if (t.starts_with(u"[m4]")) {
            std::u16string_view text = TrimView(t.substr(4));
            if (text.empty() || exampleState_ == 0) return;
            senses_.append(exampleState_ == 1 ? u"|"sv : u"[br]"sv);
            senses_.append(text);
            exampleState_ = 2;
            spillSenses();
        }
    }

    bool hasSense() const { return cardOpen_ || !senses_.empty(); }

    // A card with a sense is certain to be written (only a headword line or the end of the
    // input ends it), so a card that grows large is written out as it goes: the memory
    // stays small however long one card is.
    void spillSenses() {
        if (senses_.size() < kSpillUnits || headwords_.empty()) return;
        if (!cardOpen_) {
            line_.assign(headwords_);
            line_.append(u" ["sv);
            line_.append(pinyin_);
            line_.append(u"] "sv);
            writeUnits(line_);
            cardOpen_ = true;
        }
        writeUnits(senses_);
        senses_.clear();
    }

    void writeUnits(std::u16string_view s) {
        bytes_.resize(s.size() * 2);
        for (std::size_t i = 0; i < s.size(); ++i) {
            bytes_[2 * i] = static_cast<char>(s[i] & 0xFF);
            bytes_[2 * i + 1] = static_cast<char>(s[i] >> 8);
        }
        out_.write(bytes_.data(), bytes_.size());
    }

    void writeCard() {
        if (cardOpen_) {
            WriteUcs2Line(out_, senses_);
            cardOpen_ = false;
            ++count_;
            return;
        }
        line_.assign(headwords_);
        line_.append(u" ["sv);
        line_.append(pinyin_);
        line_.append(u"] "sv);
        line_.append(senses_);
        WriteUcs2Line(out_, line_);
        ++count_;
    }

    void logMissed() {
        line_.assign(u"PY or TRANS missed for: "sv);
        line_.append(headwords_);
        WriteUcs2Line(log_, line_);
    }

    ByteFile& out_;
    ByteFile& log_;
    LineRewriter rewriter_;
    std::u16string headwords_, pinyin_, senses_;
    std::u16string work_, line_;
    CardState state_ = CardState::Headwords;
    int exampleState_ = 0;  // 0: no sense yet, 1: last added a sense, 2: last added an example
    int64_t count_ = 0;
    bool cardOpen_ = false;  // the beginning of the current card is in the output
    std::string bytes_;
};

bool HasCedExtension(const std::string& path) {
    std::string name = BaseName(path);
    auto dot = name.find_last_of('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return ext == ".ced";
}

// True when both names lead to the same file: the same inode when both exist (hard links,
// symbolic links, letter case on case-insensitive file systems), else the same resolved path.
bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) {
        bool same = fs::equivalent(a, b, ec);
        if (!ec) return same;
    }
    std::error_code ea, eb;
    fs::path ca = fs::weakly_canonical(fs::absolute(a, ea), ea);
    fs::path cb = fs::weakly_canonical(fs::absolute(b, eb), eb);
    if (ea || eb) return a == b;
    return ca == cb;
}

// Ends a conversion that its cancel poll stopped.
struct ConversionCancelled {};

std::u16string Wide(std::string_view s) {
    return Utf8ToUtf16(s);
}

}  // namespace

std::u16string RewritePinyinLine(std::u16string_view line) {
    std::u16string s;
    LineRewriter().apply(line, s, kPinyinSet);
    return s;
}

std::u16string RewriteSenseLine(std::u16string_view line) {
    std::u16string s;
    LineRewriter().apply(line, s, kSenseSet);
    return s;
}

std::string ConvertedText(int64_t count) {
    return "Converted: " + std::to_string(count) + " terms";
}

namespace {

// Why a conversion is refused before anything is created (the output or the log would empty
// the input, or be the same file), or "".
std::string RefusalOf(const std::string& inputPath, const std::string& outputPath,
                      const std::string& logPath) {
    if (HasCedExtension(inputPath) || SameFile(inputPath, outputPath))
        return "Refused: the output file " + outputPath + " would overwrite the input file " +
               inputPath;
    if (SameFile(inputPath, logPath))
        return "Refused: the log file " + logPath + " would overwrite the input file " + inputPath;
    if (SameFile(outputPath, logPath))
        return "Refused: the output file " + outputPath + " is the log file " + logPath;
    return {};
}

// Converts every line of `in` into `out`, logging into `log`; `count` is the number of
// terms written so far, also when this throws.
void ConvertLines(ByteFile& in, ByteFile& out, ByteFile& log, const CancelPoll& cancelRequested,
                  int64_t& count) {
    CardConverter cards(out, log);
    try {
        Ucs2LineReader reader(in);
        std::u16string line;
        while (!reader.atEnd()) {
            if (CancelRequested(cancelRequested)) throw ConversionCancelled();
            reader.next(line);
            cards.line(line);
        }
        cards.finish();
    } catch (...) {
        count = cards.count();
        throw;
    }
    count = cards.count();
}

// The failure text of an IoError, naming the file by its role.
std::string FailureText(const IoError& e, ByteFile& in, const std::string& inputPath,
                        const DslResult& r) {
    const std::string& name = e.fileName();
    std::string what;
    if (name == inputPath)
        what = "input file";
    else if (name == r.outputPath)
        what = "output file";
    else if (name == r.logPath)
        what = "log file";
    else
        what = "file";
    std::string error = "Conversion failed: " + what + " " + name + ": " + e.reason();
    if (name == inputPath && in.isOpen()) {
        try {
            if (in.size() % 2 != 0) error += " (odd byte count: the file is not UTF-16)";
        } catch (const IoError&) {
        }
    }
    return error;
}

}  // namespace

DslResult ConvertDsl(const std::string& inputPath, const std::string& programFolder,
                     const CancelPoll& cancelRequested) {
    DslResult r;
    r.outputPath = ChangeExtension(inputPath, ".ced");
    r.logPath = JoinPath(programFolder, "convertlog.txt");
    r.outcome.message = ConvertedText(0);
    std::string& error = r.outcome.detail;
    error = RefusalOf(inputPath, r.outputPath, r.logPath);
    if (!error.empty()) return r;

    ByteFile in;
    // The output and the log are written into temporary files beside them: an earlier
    // output stays as it was until the new one is complete.
    std::optional<FileReplacement> out, log;
    int64_t count = 0;
    try {
        // The input is opened first, so that an unreadable input creates nothing.
        in.open(inputPath, OpenMode::Read);
        out.emplace(r.outputPath);
        log.emplace(r.logPath);
        ByteFile& logFile = log->file();
        WriteUcs2Line(logFile, u"--- conversion started ---");
        WriteUcs2Line(logFile, u"input file: " + Wide(inputPath));
        WriteUcs2Line(logFile, u"output file: " + Wide(r.outputPath));
        ConvertLines(in, out->file(), logFile, cancelRequested, count);
        in.close();
        out->commit();
        WriteUcs2Line(logFile, u"words/terms count:" + Wide(std::to_string(count)));
        WriteUcs2Line(logFile, u"--- end of conversion ---");
        WriteUcs2Line(logFile, u"");
        log->commit();
        r.outcome.ok = true;
    } catch (const ConversionCancelled&) {
        r.outcome.cancelled = true;
        error = "Conversion cancelled";
    } catch (const IoError& e) {
        error = FailureText(e, in, inputPath, r);
    } catch (...) {
        error = "Conversion failed: " + CurrentExceptionDetail();
    }
    if (!r.outcome.ok && log) {
        // The log of a failed or cancelled conversion tells how far it got.
        try {
            log->commit();
        } catch (...) {
        }
    }
    r.count = count;
    r.outcome.message = ConvertedText(count);
    return r;
}

}  // namespace kes
