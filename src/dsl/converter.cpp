#include "dsl/converter.h"

#include <filesystem>
#include <span>
#include <string_view>
#include <system_error>

#include "dict/bytefile.h"
#include "dict/lines.h"
#include "dict/text.h"

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

// Rewrites lines with a fixed list of case-insensitive replace-all operations, each applied
// to the result of the one before. The buffers are reused from line to line, and a pattern
// is only worked on when the current text contains it.
class LineRewriter {
  public:
    void apply(std::u16string& s, std::span<const Replacement> reps) {
        uint32_t present = scan(s, reps);
        for (std::size_t i = 0; present != 0 && i < reps.size(); ++i) {
            uint32_t bit = uint32_t{1} << i;
            if ((present & bit) == 0) continue;
            replaceAll(s, reps[i]);
            // A replacement can make or break matches of the later patterns.
            present = scan(s, reps) & ~((bit << 1) - 1);
        }
    }

  private:
    // Bit i is set when reps[i].from occurs in s. Every pattern starts with '[', '\' or '/'.
    static uint32_t scan(std::u16string_view s, std::span<const Replacement> reps) {
        uint32_t present = 0;
        for (std::size_t pos = 0; pos < s.size(); ++pos) {
            char16_t c = s[pos];
            if (c != u'[' && c != u'\\' && c != u'/') continue;
            for (std::size_t i = 0; i < reps.size(); ++i)
                if (reps[i].from[0] == c && MatchesAt(s, pos, reps[i].from))
                    present |= uint32_t{1} << i;
        }
        return present;
    }

    // Left to right; the text after a match is searched from its end, and inserted text is
    // never searched again.
    void replaceAll(std::u16string& s, const Replacement& rep) {
        scratch_.clear();
        std::size_t pos = 0;
        while (pos < s.size()) {
            if (MatchesAt(s, pos, rep.from)) {
                scratch_.append(rep.to);
                pos += rep.from.size();
            } else {
                scratch_.push_back(s[pos++]);
            }
        }
        s.swap(scratch_);
    }

    std::u16string scratch_;
};

std::u16string_view TrimView(std::u16string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] <= 0x20)
        ++b;
    while (e > b && s[e - 1] <= 0x20)
        --e;
    return s.substr(b, e - b);
}

bool IsHeadwordLine(std::u16string_view s) {
    for (char16_t c : s)
        if (c < 0x3400) return false;
    return true;
}

enum class CardState { Headwords, AwaitPinyin, Senses };

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
        if (!headwords_.empty() && !pinyin_.empty() && !senses_.empty()) {
            senses_.push_back(u'/');
            writeCard();
        } else if (!headwords_.empty()) {
            logMissed();
        }
    }

  private:
    void headwordLine(std::u16string_view s) {
        if (!headwords_.empty() && !pinyin_.empty() && !senses_.empty() &&
            state_ == CardState::Senses) {
            senses_.push_back(u'/');
            writeCard();
        } else if (pinyin_.empty() && senses_.empty() && state_ == CardState::Headwords) {
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
        work_.assign(s);
        if (state_ == CardState::AwaitPinyin) {
            if (work_.find_first_of(u"[\\") != std::u16string::npos)
                rewriter_.apply(work_, kPinyinReplacements);
            std::u16string_view p = TrimView(work_);
            if (p.size() >= 2 && p[0] == u'!' && p.find_first_of(u"?[]") == p.npos) {
                pinyin_.assign(p.substr(1));
                state_ = CardState::Senses;
            }
            return;
        }
        if (work_.find_first_of(u"[\\/") != std::u16string::npos)
            rewriter_.apply(work_, kSenseReplacements);
        std::u16string_view t = work_;
        if (t.size() < 5) return;
        if (t.starts_with(u"[m2]")) {
            std::u16string_view text = TrimView(t.substr(4));
            if (text.empty()) return;
            senses_.push_back(u'/');
            senses_.append(text);
            exampleState_ = 1;
        } else if (t.starts_with(u"[m4]")) {
            std::u16string_view text = TrimView(t.substr(4));
            if (text.empty() || exampleState_ == 0) return;
            senses_.append(exampleState_ == 1 ? u"|"sv : u"[br]"sv);
            senses_.append(text);
            exampleState_ = 2;
        }
    }

    void writeCard() {
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

std::u16string Wide(std::string_view s) {
    return Utf8ToUtf16(s);
}

}  // namespace

std::u16string RewritePinyinLine(std::u16string_view line) {
    std::u16string s(line);
    LineRewriter().apply(s, kPinyinReplacements);
    return s;
}

std::u16string RewriteSenseLine(std::u16string_view line) {
    std::u16string s(line);
    LineRewriter().apply(s, kSenseReplacements);
    return s;
}

std::string ConvertedText(int64_t count) {
    return "Converted: " + std::to_string(count) + " terms";
}

DslResult ConvertDsl(const std::string& inputPath, const std::string& programFolder) {
    DslResult r;
    r.outputPath = ChangeExtension(inputPath, ".ced");
    r.logPath = JoinPath(programFolder, "convertlog.txt");
    r.message = ConvertedText(0);

    // Refusals, before anything is created: the output or the log would empty the input.
    if (HasCedExtension(inputPath) || SameFile(inputPath, r.outputPath)) {
        r.error = "Refused: the output file " + r.outputPath + " would overwrite the input file " +
                  inputPath;
        return r;
    }
    if (SameFile(inputPath, r.logPath)) {
        r.error =
            "Refused: the log file " + r.logPath + " would overwrite the input file " + inputPath;
        return r;
    }
    if (SameFile(r.outputPath, r.logPath)) {
        r.error = "Refused: the output file " + r.outputPath + " is the log file " + r.logPath;
        return r;
    }

    ByteFile in, out, log;
    int64_t count = 0;
    try {
        // The input is opened first, so that an unreadable input leaves no emptied output.
        in.open(inputPath, OpenMode::Read);
        out.open(r.outputPath, OpenMode::Create);
        log.open(r.logPath, OpenMode::Create);
        WriteUcs2Line(log, u"--- conversion started ---");
        WriteUcs2Line(log, u"input file: " + Wide(inputPath));
        WriteUcs2Line(log, u"output file: " + Wide(r.outputPath));

        CardConverter cards(out, log);
        try {
            while (!in.eof())
                cards.line(ReadUcs2Line(in));
            cards.finish();
        } catch (...) {
            count = cards.count();
            throw;
        }
        count = cards.count();
        in.close();
        out.close();
        WriteUcs2Line(log, u"words/terms count:" + Wide(std::to_string(count)));
        WriteUcs2Line(log, u"--- end of conversion ---");
        WriteUcs2Line(log, u"");
        log.close();
        r.ok = true;
    } catch (const IoError& e) {
        std::string what;
        if (e.fileName() == inputPath)
            what = "input file";
        else if (e.fileName() == r.outputPath)
            what = "output file";
        else if (e.fileName() == r.logPath)
            what = "log file";
        else
            what = "file";
        r.error = "Conversion failed: " + what + " " + e.fileName() + ": " + e.reason();
        if (e.fileName() == inputPath && in.isOpen()) {
            try {
                if (in.size() % 2 != 0) r.error += " (odd byte count: the file is not UTF-16)";
            } catch (const IoError&) {
            }
        }
    } catch (const std::exception& e) {
        r.error = std::string("Conversion failed: ") + e.what();
    }
    r.count = count;
    r.message = ConvertedText(count);
    return r;
}

}  // namespace kes
