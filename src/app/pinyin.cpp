#include "app/pinyin.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "charinfo/pinyinfold.h"

namespace kes {

namespace {

// The standard Mandarin syllables, ü written as "v" ("lue" and "nue" are the common spellings
// of lüe and nüe), plus the erhua "r" that CEDICT writes as a syllable of its own.
constexpr const char* kSyllables[] = {
    "a",     "ai",    "an",     "ang",   "ao",     "ba",    "bai",   "ban",   "bang",   "bao",
    "bei",   "ben",   "beng",   "bi",    "bian",   "biao",  "bie",   "bin",   "bing",   "bo",
    "bu",    "ca",    "cai",    "can",   "cang",   "cao",   "ce",    "cen",   "ceng",   "cha",
    "chai",  "chan",  "chang",  "chao",  "che",    "chen",  "cheng", "chi",   "chong",  "chou",
    "chu",   "chua",  "chuai",  "chuan", "chuang", "chui",  "chun",  "chuo",  "ci",     "cong",
    "cou",   "cu",    "cuan",   "cui",   "cun",    "cuo",   "da",    "dai",   "dan",    "dang",
    "dao",   "de",    "dei",    "den",   "deng",   "di",    "dia",   "dian",  "diao",   "die",
    "ding",  "diu",   "dong",   "dou",   "du",     "duan",  "dui",   "dun",   "duo",    "e",
    "ei",    "en",    "eng",    "er",    "fa",     "fan",   "fang",  "fei",   "fen",    "feng",
    "fo",    "fou",   "fu",     "ga",    "gai",    "gan",   "gang",  "gao",   "ge",     "gei",
    "gen",   "geng",  "gong",   "gou",   "gu",     "gua",   "guai",  "guan",  "guang",  "gui",
    "gun",   "guo",   "ha",     "hai",   "han",    "hang",  "hao",   "he",    "hei",    "hen",
    "heng",  "hong",  "hou",    "hu",    "hua",    "huai",  "huan",  "huang", "hui",    "hun",
    "huo",   "ji",    "jia",    "jian",  "jiang",  "jiao",  "jie",   "jin",   "jing",   "jiong",
    "jiu",   "ju",    "juan",   "jue",   "jun",    "ka",    "kai",   "kan",   "kang",   "kao",
    "ke",    "kei",   "ken",    "keng",  "kong",   "kou",   "ku",    "kua",   "kuai",   "kuan",
    "kuang", "kui",   "kun",    "kuo",   "la",     "lai",   "lan",   "lang",  "lao",    "le",
    "lei",   "leng",  "li",     "lia",   "lian",   "liang", "liao",  "lie",   "lin",    "ling",
    "liu",   "lo",    "long",   "lou",   "lu",     "luan",  "lun",   "luo",   "lv",     "lve",
    "lue",   "ma",    "mai",    "man",   "mang",   "mao",   "me",    "mei",   "men",    "meng",
    "mi",    "mian",  "miao",   "mie",   "min",    "ming",  "miu",   "mo",    "mou",    "mu",
    "na",    "nai",   "nan",    "nang",  "nao",    "ne",    "nei",   "nen",   "neng",   "ni",
    "nian",  "niang", "niao",   "nie",   "nin",    "ning",  "niu",   "nong",  "nou",    "nu",
    "nuan",  "nun",   "nuo",    "nv",    "nve",    "nue",   "o",     "ou",    "pa",     "pai",
    "pan",   "pang",  "pao",    "pei",   "pen",    "peng",  "pi",    "pian",  "piao",   "pie",
    "pin",   "ping",  "po",     "pou",   "pu",     "qi",    "qia",   "qian",  "qiang",  "qiao",
    "qie",   "qin",   "qing",   "qiong", "qiu",    "qu",    "quan",  "que",   "qun",    "r",
    "ran",   "rang",  "rao",    "re",    "ren",    "reng",  "ri",    "rong",  "rou",    "ru",
    "rua",   "ruan",  "rui",    "run",   "ruo",    "sa",    "sai",   "san",   "sang",   "sao",
    "se",    "sen",   "seng",   "sha",   "shai",   "shan",  "shang", "shao",  "she",    "shei",
    "shen",  "sheng", "shi",    "shou",  "shu",    "shua",  "shuai", "shuan", "shuang", "shui",
    "shun",  "shuo",  "si",     "song",  "sou",    "su",    "suan",  "sui",   "sun",    "suo",
    "ta",    "tai",   "tan",    "tang",  "tao",    "te",    "teng",  "ti",    "tian",   "tiao",
    "tie",   "ting",  "tong",   "tou",   "tu",     "tuan",  "tui",   "tun",   "tuo",    "wa",
    "wai",   "wan",   "wang",   "wei",   "wen",    "weng",  "wo",    "wu",    "xi",     "xia",
    "xian",  "xiang", "xiao",   "xie",   "xin",    "xing",  "xiong", "xiu",   "xu",     "xuan",
    "xue",   "xun",   "ya",     "yan",   "yang",   "yao",   "ye",    "yi",    "yin",    "ying",
    "yo",    "yong",  "you",    "yu",    "yuan",   "yue",   "yun",   "za",    "zai",    "zan",
    "zang",  "zao",   "ze",     "zei",   "zen",    "zeng",  "zha",   "zhai",  "zhan",   "zhang",
    "zhao",  "zhe",   "zhei",   "zhen",  "zheng",  "zhi",   "zhong", "zhou",  "zhu",    "zhua",
    "zhuai", "zhuan", "zhuang", "zhui",  "zhun",   "zhuo",  "zi",    "zong",  "zou",    "zu",
    "zuan",  "zui",   "zun",    "zuo",
};
constexpr std::size_t kLongestSyllable = 6;

const std::unordered_set<std::string>& SyllableSet() {
    static const std::unordered_set<std::string> set(std::begin(kSyllables), std::end(kSyllables));
    return set;
}

// Vowels with a tone mark (lower and upper case); ü and its marked forms fold to "v".
constexpr char16_t kMarked[] = {
    u'à', u'á', u'ā', u'ǎ', u'À', u'Á', u'Ā', u'Ǎ', u'è', u'é', u'ē', u'ě', u'È', u'É', u'Ē', u'Ě',
    u'ì', u'í', u'ī', u'ǐ', u'Ì', u'Í', u'Ī', u'Ǐ', u'ò', u'ó', u'ō', u'ǒ', u'Ò', u'Ó', u'Ō', u'Ǒ',
    u'ù', u'ú', u'ū', u'ǔ', u'Ù', u'Ú', u'Ū', u'Ǔ', u'ǖ', u'ǘ', u'ǚ', u'ǜ', u'Ǖ', u'Ǘ', u'Ǚ', u'Ǜ'};
constexpr char16_t kUmlautForms[] = {u'ü', u'Ü', u'ǖ', u'ǘ', u'ǚ', u'ǜ', u'Ǖ', u'Ǘ', u'Ǚ', u'Ǜ'};

bool IsIn(char16_t c, const auto& list) {
    return std::find(std::begin(list), std::end(list), c) != std::end(list);
}

bool IsToneCombining(char16_t c) {
    return c == 0x0300 || c == 0x0301 || c == 0x0304 || c == 0x030C;
}

struct Letter {
    char c;
    bool marked;
};
using Run = std::vector<Letter>;

// Splits the query into runs of letters between spaces, apostrophes and tone digits; false
// when a code unit is no part of pinyin.
bool SplitRuns(std::u16string_view q, std::vector<Run>& runs) {
    Run cur;
    auto cut = [&] {
        if (!cur.empty()) runs.push_back(std::move(cur));
        cur.clear();
    };
    for (char16_t c : q) {
        if (c == u' ' || c == u'\t' || c == u'\'' || c == u'\u2019') {
            cut();
        } else if (c >= u'1' && c <= u'5') {
            if (cur.empty()) return false;  // a tone digit ends a syllable
            cut();
        } else if (c >= u'a' && c <= u'z') {
            cur.push_back({static_cast<char>(c), false});
        } else if (c >= u'A' && c <= u'Z') {
            cur.push_back({static_cast<char>(c - u'A' + u'a'), false});
        } else if (c == u':') {
            if (cur.empty() || cur.back().c != 'u') return false;
            cur.back().c = 'v';
        } else if (IsIn(c, kUmlautForms)) {
            cur.push_back({'v', IsIn(c, kMarked)});
        } else if (IsIn(c, kMarked)) {
            cur.push_back({PinyinFoldLetter(c), true});
        } else if (IsToneCombining(c)) {
            if (cur.empty() || cur.back().marked) return false;
            cur.back().marked = true;
        } else if (c == 0x0308) {  // combining diaeresis: u + it is ü
            if (cur.empty() || cur.back().c != 'u') return false;
            cur.back().c = 'v';
        } else {
            return false;
        }
    }
    cut();
    // After j, q, x and y the ü is written u.
    for (Run& run : runs)
        for (std::size_t i = 1; i < run.size(); ++i)
            if (run[i].c == 'v' && std::string_view("jqxy").find(run[i - 1].c) != std::string::npos)
                run[i].c = 'u';
    return !runs.empty();
}

// A syllable of the table, with at most one tone mark, in the canonical spelling.
bool SyllableAt(const Run& run, std::size_t at, std::size_t len, std::string& out) {
    if (at + len > run.size()) return false;
    out.clear();
    int marks = 0;
    for (std::size_t i = at; i < at + len; ++i) {
        out.push_back(run[i].c);
        marks += run[i].marked ? 1 : 0;
    }
    if (marks > 1 || !SyllableSet().contains(out)) return false;
    if (out == "lue" || out == "nue") out[1] = 'v';
    return true;
}

// Every cut of one run, longest syllable first at each point, at most `limit` of them.
std::vector<std::vector<std::string>> CutsOf(const Run& run, std::size_t limit) {
    const std::size_t n = run.size();
    std::vector<bool> completes(n + 1, false);  // the rest from here cuts into syllables
    completes[n] = true;
    std::string s;
    for (std::size_t i = n; i-- > 0;)
        for (std::size_t len = 1; len <= kLongestSyllable && !completes[i]; ++len)
            completes[i] = completes[std::min(n, i + len)] && SyllableAt(run, i, len, s);
    std::vector<std::vector<std::string>> cuts;
    if (!completes[0]) return cuts;
    std::vector<std::string> path;
    auto walk = [&](auto& self, std::size_t at) -> void {
        if (cuts.size() >= limit) return;
        if (at == n) {
            cuts.push_back(path);
            return;
        }
        std::string syl;
        for (std::size_t len = kLongestSyllable; len >= 1; --len) {
            if (at + len > n || !completes[at + len] || !SyllableAt(run, at, len, syl)) continue;
            path.push_back(syl);
            self(self, at + len);
            path.pop_back();
        }
    };
    walk(walk, 0);
    return cuts;
}

}  // namespace

bool IsPinyinSyllable(std::string_view letters) {
    return SyllableSet().contains(std::string(letters));
}

std::vector<PinyinReading> PinyinReadings(std::u16string_view query) {
    std::vector<Run> runs;
    if (!SplitRuns(query, runs)) return {};
    // The cartesian product of the runs' cuts, the first run varying slowest.
    std::vector<std::vector<std::string>> readings{{}};
    for (const Run& run : runs) {
        std::vector<std::vector<std::string>> cuts = CutsOf(run, kMaxPinyinReadings);
        if (cuts.empty()) return {};
        std::vector<std::vector<std::string>> next;
        for (const auto& head : readings)
            for (const auto& cut : cuts) {
                if (next.size() >= kMaxPinyinReadings) break;
                next.push_back(head);
                next.back().insert(next.back().end(), cut.begin(), cut.end());
            }
        readings = std::move(next);
    }
    std::vector<PinyinReading> out;
    for (const auto& syllables : readings) {
        bool umlaut = std::any_of(syllables.begin(), syllables.end(), [](const std::string& s) {
            return s.find('v') != std::string::npos;
        });
        PinyinReading reading;
        // CEDICT writes ü as "u:"; other data as "v" or as ü, which the builder folds to "u".
        for (const char* u : {"u:", "v", "u"}) {
            std::u16string key;
            for (const std::string& s : syllables) {
                if (!key.empty()) key += u' ';
                for (char c : s) {
                    if (c == 'v')
                        for (const char* p = u; *p; ++p)
                            key += static_cast<char16_t>(*p);
                    else
                        key += static_cast<char16_t>(c);
                }
            }
            reading.Keys.push_back(std::move(key));
            if (!umlaut) break;
        }
        out.push_back(std::move(reading));
    }
    return out;
}

}  // namespace kes
