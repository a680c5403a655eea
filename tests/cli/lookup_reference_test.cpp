// The three forms of a search (the page, plain text, JSON) over generated dictionaries and
// texts, compared byte for byte with the outputs kept in tests/cli/data/lookup/: the page of
// the viewer's search and of "lookup --html", and "lookup" plain and "--json". The kept files
// were made by the program before its search and its three writers were one path; a change to
// how an entry is shown changes them on purpose (a failing case writes what it got beside the
// test binary, as NAME.got, for review).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/queryflow.h"
#include "base/text.h"
#include "charinfo/unihan.h"
#include "dict/builder.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::ReadBytes;
using test::ShellQuote;
using test::TempDir;
using test::WriteBytes;

// A small generator with the same sequence on every platform.
struct Lcg {
    uint64_t s;
    uint32_t next() {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(s >> 33);
    }
    uint32_t below(uint32_t n) { return next() % n; }
    bool chance(uint32_t percent) { return below(100) < percent; }
    template <typename T>
    const T& pick(const std::vector<T>& v) {
        return v[below(static_cast<uint32_t>(v.size()))];
    }
};

// Traditional and simplified forms (equal where the character has one form).
const std::vector<std::pair<std::string, std::string>> kChars = {
    {"國", "国"}, {"學", "学"}, {"語", "语"}, {"說", "说"}, {"電", "电"}, {"話", "话"},
    {"書", "书"}, {"車", "车"}, {"馬", "马"}, {"門", "门"}, {"見", "见"}, {"長", "长"},
    {"東", "东"}, {"開", "开"}, {"問", "问"}, {"時", "时"}, {"們", "们"}, {"來", "来"},
    {"中", "中"}, {"我", "我"}, {"是", "是"}, {"人", "人"}, {"大", "大"}, {"小", "小"},
    {"好", "好"}, {"不", "不"}, {"在", "在"}, {"有", "有"}, {"生", "生"}, {"天", "天"}};
const std::vector<std::string> kSyllables = {"zhong1", "guo2", "xue2",  "sheng5", "yu3",
                                             "shuo1",  "dian4", "hua4", "shu1",   "che1",
                                             "ma3",    "men2",  "jian4", "Chang2", "dong1"};
const std::vector<std::string> kWords = {
    "country", "student", "language", "to speak", "electric", "word",   "book",
    "car",     "horse",   "door",     "to see",   "long",     "east",   "open",
    "to ask",  "time",    "people",   "to come",  "middle",   "I",      "to be",
    "person",  "big",     "small",    "good",     "not",      "at",     "to have",
    "pupil",   "sky",     "книга",    "день",     "ÆØÅ é",    "mid-day"};

std::string Sense(Lcg& g) {
    std::string s = g.pick(kWords);
    switch (g.below(14)) {
        case 0: s += "|note " + g.pick(kWords); break;
        case 1: s += " [br]" + g.pick(kWords); break;
        case 2: s = "[bs]" + s + "[be] " + g.pick(kWords); break;
        case 3: s += " [CS]ex[Ce]"; break;
        case 4: s += " <br>" + g.pick(kWords); break;
        case 5: s += " &amp; \"q\" back\\slash"; break;
        case 6: s += " <b>x</b>"; break;
        case 7: s += "|ex one[BR]ex two|ex three"; break;
        case 8: s += "\ttab\x01"; break;
        default: break;
    }
    return s;
}

std::string EntryLine(Lcg& g) {
    std::string trad, simp;
    const uint32_t len = 1 + g.below(3);
    for (uint32_t i = 0; i < len; ++i) {
        const auto& c = g.pick(kChars);
        trad += c.first;
        simp += c.second;
    }
    std::string line = trad;
    const uint32_t forms = g.below(10);
    if (forms < 6 && simp != trad) line += " " + simp;
    if (forms == 6) line += "  " + simp;             // two blanks: an empty form
    if (forms == 7) line += " " + simp + " " + trad;  // three forms
    if (g.chance(4)) return line;                     // no pinyin, no translation
    std::string pinyin;
    for (uint32_t i = 0; i < len; ++i)
        pinyin += (i ? " " : "") + g.pick(kSyllables);
    line += " [" + (g.chance(5) ? std::string() : pinyin) + "] ";
    const uint32_t senses = 1 + g.below(4);
    std::string t;
    for (uint32_t i = 0; i < senses; ++i)
        t += "/" + (g.chance(5) ? std::string() : Sense(g));
    if (!g.chance(8)) t += "/";
    if (g.chance(5)) t = t.substr(1);  // no opening slash
    return line + t;
}

// A dictionary with notes: its first line that is not blank is an entry (with a "#" line
// first it would be a CEDICT file, where "|" is no note; the kept outputs were made before
// that rule, so they show that a file with notes looks exactly as it always did).
std::vector<std::string> Dictionary(uint64_t seed, int entries) {
    Lcg g{seed};
    std::vector<std::string> lines = {"", "",
                                      "中國 中国 [zhong1 guo2] /China/Middle Kingdom|old name/",
                                      "學生 学生 [xue2 sheng5] /pupil/"};
    for (int i = 0; i < entries; ++i)
        lines.push_back(EntryLine(g));
    return lines;
}

std::string ChineseText(uint64_t seed, int chars) {
    Lcg g{seed};
    std::string text;
    for (int i = 0; i < chars; ++i) {
        const auto& c = g.pick(kChars);
        text += g.chance(50) ? c.first : c.second;
        if (g.chance(3)) text += "亻";  // a character no dictionary knows
    }
    return text;
}

struct Ran {
    int code = -1;
    std::string out;
    std::string err;
};

Ran Lookup(const TempDir& home, const std::vector<std::string>& args) {
    TempDir io;
    std::string cmd = "KESTRUNE_HOME=" + ShellQuote(home.path()) + " " +
                      ShellQuote(KESTRUNE_BINARY) + " lookup";
    for (const std::string& a : args)
        cmd += " " + ShellQuote(a);
    cmd += " >" + ShellQuote(io.file("out")) + " 2>" + ShellQuote(io.file("err"));
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(io.file("out")),
            ReadBytes(io.file("err"))};
}

std::string Kept(const std::string& name) {
    return std::string(KESTRUNE_SOURCE_DIR) + "/tests/cli/data/lookup/" + name;
}

// Compares with the kept file; on a difference writes NAME.got in the working folder.
void ExpectKept(const std::string& name, const std::string& got) {
    const std::string kept = ReadBytes(Kept(name));
    if (got == kept) return;
    WriteBytes(name + ".got", got);
    ADD_FAILURE() << name << ": differs from the kept output (" << got.size() << " bytes, kept "
                  << kept.size() << "); written to " << name << ".got";
}

class LookupReference : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        home_ = new TempDir;
        IndexBuildOptions words;  // headwords and translation words
        IndexBuildOptions heads;
        heads.AddDescToIndex = false;
        IndexBuildOptions pinyin;
        pinyin.AddPinToIndex = true;
        test::MakeDict(*home_, "alpha", "Alpha dictionary", Dictionary(1, 160), words);
        test::MakeDict(*home_, "beta", "Beta", Dictionary(2, 100), heads);
        test::MakeDict(*home_, "gamma", "Gamma pinyin", Dictionary(3, 100), pinyin);
        WriteBytes(home_->file("unihan.txt"),
                   "U+4E2D\tkDefinition\tcentre, middle\nU+4E2D\tkMandarin\tzhōng\n"
                   "U+570B\tkDefinition\tnation\n");
        ASSERT_TRUE(
            BuildUnihanIndex(home_->file("unihan.txt"), home_->file("unihan.idc")).outcome.ok);
    }
    static void TearDownTestSuite() {
        delete home_;
        home_ = nullptr;
    }
    static TempDir* home_;
};
TempDir* LookupReference::home_ = nullptr;

struct Case {
    const char* name;
    std::vector<std::string> args;  // the options; the query follows
    std::string query;
    int code;  // the exit code of every form
};

std::vector<Case> Cases() {
    return {
        {"char", {}, "中", 0},
        {"word", {}, "中国", 0},
        {"traditional", {}, "國", 0},
        {"no-both", {"--no-both"}, "國", 0},
        // Off, the order of the index: the outputs kept from before the option.
        {"english", {"--no-best-first"}, "student", 0},
        {"russian", {"--no-best-first"}, "КНИГА", 0},
        {"english-best", {}, "student", 0},
        {"russian-best", {"--best-first"}, "КНИГА", 0},
        {"pinyin", {"--dict", "gamma.idx"}, "Zhong1guo2", 0},
        {"pinyin-all", {}, "xuesheng", 0},
        {"text", {"--translate-all"}, ChineseText(7, 24), 0},
        {"text-no-both", {"--translate-all", "--no-both"}, ChineseText(8, 16), 0},
        {"notice", {"--translate-all", "--ucs2"}, "中国 学生", 1},
        {"unihan", {"--ucs2", "--unihan"}, "中", 0},
        {"nothing", {"--ucs2"}, "xyzzy", 1},
        {"one-dict", {"--dict", "beta.idx", "--translate-all"}, ChineseText(9, 12), 0},
    };
}

TEST_F(LookupReference, PlainJsonAndPageEqualTheKeptOutputs) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = c.args;
        args.push_back("--");
        args.push_back(c.query);
        Ran plain = Lookup(*home_, args);
        EXPECT_EQ(plain.code, c.code) << plain.err;
        EXPECT_EQ(plain.err, "");
        ExpectKept(std::string(c.name) + ".txt", plain.out);
        for (const char* form : {"--json", "--html"}) {
            std::vector<std::string> a = args;
            a.insert(a.begin(), form);
            Ran r = Lookup(*home_, a);
            EXPECT_EQ(r.code, c.code) << r.err;
            ExpectKept(std::string(c.name) + (form[2] == 'j' ? ".json" : ".html"), r.out);
        }
    }
}

// The viewer's own search (the page kept whole, not written out as it is made) gives the page
// that "lookup --html" printed.
TEST_F(LookupReference, TheViewersPageEqualsTheKeptPage) {
    Registry reg;
    DiscoverOptions d;
    d.writeDicts = false;
    DiscoverDictionaries(reg, home_->path(), RegistryCallbacks{}, d);
    ASSERT_EQ(reg.Dicts.size(), 3u);
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        SearchOptions o;
        bool only = false;
        for (std::size_t i = 0; i < c.args.size(); ++i) {
            const std::string& a = c.args[i];
            if (a == "--translate-all") o.TranslateAll = true;
            if (a == "--no-both") o.SearchBoth = false;
            if (a == "--no-best-first") o.BestFirst = false;
            if (a == "--ucs2") o.ShowUcs2 = true;
            if (a == "--unihan") o.ShowUnihan = true;
            if (a == "--dict") only = true;
        }
        if (only) continue;  // the viewer asks one dictionary only through its tree
        QueryHistory h;
        SearchResult r = RunSearch(reg, h, Utf8ToUtf16(c.query), 0, false, o);
        ASSERT_TRUE(r.ok()) << r.Error;
        ExpectKept(std::string(c.name) + ".html", r.Page);
    }
}

}  // namespace
}  // namespace kes
