#include "cli/cli_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "app/queryflow.h"
#include "base/text.h"
#include "dict/builder.h"
#include "support/faults.h"
#include "support/program.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::MakeDict;
using test::W;

using test::ReadBytes;
using test::TempDir;
using test::Ucs2File;
using test::WriteBytes;

using Outcome = test::ProgramRun;

// Runs the program binary with KESTRUNE_HOME = home; standard output goes to `outPath` when
// given (then Outcome::out stays empty).
Outcome Lookup(const TempDir& home, const std::vector<std::string>& args,
               const std::string& stdinText = "", const std::string& outPath = "") {
    std::vector<std::string> all{"lookup"};
    all.insert(all.end(), args.begin(), args.end());
    return test::RunProgram(KESTRUNE_BINARY, all,
                            {.env = {{"KESTRUNE_HOME", home.path().c_str()}},
                             .input = stdinText,
                             .outputPath = outPath});
}

class LookupCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeDict(home, "main", "Main dictionary",
                 {"中國 中国 [zhong1 guo2] /China/Middle Kingdom|old name[br]poetic/",
                  "中 [zhong1] /middle/[bs]centre[be]/", "我 [wo3] /I/", "是 [shi4] /to be/",
                  "學生 学生 [xue2 sheng5] /student/"});
        MakeDict(home, "other", "Other", {"中 [zhong4] /to hit/"});
    }
    std::string PageOf(const char* q, const SearchOptions& o) {
        Registry reg;
        DiscoverOptions d;
        d.writeDicts = false;
        DiscoverDictionaries(reg, home.path(), RegistryCallbacks{}, d);
        QueryHistory h;
        SearchResult r = RunSearch(reg, h, W(q), 0, false, o);
        EXPECT_TRUE(r.ok()) << r.Error;
        return r.Page;
    }
    TempDir home;
};

TEST_F(LookupCommand, PlainTextAndExitCodes) {
    Outcome r = Lookup(home, {"中国"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "Main dictionary\n"
              "中國 [中国]  zhong1 guo2\n"
              "  China\n"
              "  Middle Kingdom\n"
              "    old name\n"
              "    poetic\n");
    EXPECT_EQ(r.err, "");

    r = Lookup(home, {"中"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out,
              "Main dictionary\n中  zhong1\n  middle\n  centre\n"
              "\n"
              "Other\n中  zhong4\n  to hit\n");

    r = Lookup(home, {"没有"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "kestrune lookup: nothing found for \"没有\" as one word; --translate-all cuts it "
              "into words\n");
    // Cut already, a single character, or not Chinese: nothing to advise.
    for (const char* q : {"没", "no such", "没有a"}) {
        r = Lookup(home, {q});
        EXPECT_EQ(r.code, 1) << q;
        EXPECT_EQ(r.err, "") << q;
    }
    r = Lookup(home, {"--translate-all", "没有"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "");

    r = Lookup(home, {"   "});
    EXPECT_EQ(r.code, 1);
}

// A read-only command changes no file: a stale index stays as it is, and stderr says which
// one it is and how to rebuild it; the other dictionaries still answer.
TEST_F(LookupCommand, StaleIndexIsReportedNotDeleted) {
    WriteBytes(home.file("other.ced"), Ucs2File({"中 [zhong4] /to hit/", "國 [guo2] /land/"}));
    const std::string index = ReadBytes(home.file("other.idx"));
    const auto names = test::NamesIn(home.path());
    Outcome r = Lookup(home, {"中"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err,
              "Index file other.idx is out of date: other.ced changed after it was built. "
              "It was not used; rebuild it with:\n  rm " +
                  home.file("other.idx") + " && kestrune index " + home.file("other.ced") +
                  " --name Other --no-words --no-pinyin\n");
    EXPECT_NE(r.out.find("Main dictionary"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("to hit"), std::string::npos) << r.out;
    EXPECT_EQ(ReadBytes(home.file("other.idx")), index);
    EXPECT_EQ(test::NamesIn(home.path()), names);  // no setup.ini either
    // The same with the stale dictionary not even asked for.
    r = Lookup(home, {"--dict", "main.idx", "中"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err.rfind("Index file other.idx is out of date", 0), 0u) << r.err;
    EXPECT_EQ(ReadBytes(home.file("other.idx")), index);
}

TEST_F(LookupCommand, PinyinAsTypedSaysWhatWasSearched) {
    IndexBuildOptions pin;
    pin.AddPinToIndex = true;
    MakeDict(home, "pin", "Pinyin",
             {"中國 中国 [Zhong1 guo2] /China/", "西安 [Xi1 an1] /Xi'an/", "先 [xian1] /first/"},
             pin);
    Outcome r = Lookup(home, {"--dict", "pin.idx", "Zhong1guo2"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Results for zhong guo\n\nPinyin\n中國 [中国]  Zhong1 guo2\n  China\n");
    // Both readings; found as typed ("xian"), the other reading that finds entries follows.
    const std::string xiAn = "\nResults for xi an\n\nPinyin\n西安  Xi1 an1\n  Xi'an\n";
    for (const char* q : {"xian1", "xian"}) {
        r = Lookup(home, {"--dict", "pin.idx", q});
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.out, (q == std::string("xian") ? "" : "Results for xian\n\n") +
                             std::string("Pinyin\n先  xian1\n  first\n") + xiAn)
            << q;
    }
    r = Lookup(home, {"--dict", "pin.idx", "--json", "xian"});
    EXPECT_EQ(nlohmann::json::parse(r.out)["searched"],
              nlohmann::json::parse(R"(["xian", "xi an"])"));
    r = Lookup(home, {"--html", "zhongguo"});
    EXPECT_EQ(r.code, 0);
    SearchOptions o;
    EXPECT_EQ(r.out, PageOf("zhongguo", o));
    EXPECT_EQ(r.out.rfind("<p><font color=\"#777777\"><i>Results for </i></font><font "
                          "color=\"#000000\">zhong guo</font></p>",
                          0),
              0u);
    r = Lookup(home, {"zhongguoren"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
}

// A CEDICT file (a "#" header) has no notes: a reference stays in its sense, in every form.
// The same line in a file without the header keeps the note rule.
TEST_F(LookupCommand, CedictReferencesStayWholeAndPinyinIsShownAsAsked) {
    using nlohmann::json;
    const std::string line = "電腦 电脑 [dian4 nao3] /computer/CL:臺|台[tai2]/";
    MakeDict(home, "cedict", "CC-CEDICT", {"# CC-CEDICT", line});
    MakeDict(home, "plain", "Plain", {line});
    Outcome r = Lookup(home, {"--json", "电脑"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(json::parse(r.out), json::parse(R"({
      "query": "电脑", "searched": ["电脑"], "dictionaries": [
        {"name": "CC-CEDICT", "file": "cedict.idx", "pieces": [{"text": "电脑", "entries": [{
          "traditional": "電腦", "simplified": "电脑", "forms": ["電腦", "电脑"],
          "pinyin": "dian4 nao3", "pinyin_marks": "diàn nǎo", "zhuyin": "ㄉㄧㄢˋ ㄋㄠˇ",
          "senses": [{"text": "computer", "notes": []},
                     {"text": "CL:臺|台[tai2]", "notes": []}]}]}]},
        {"name": "Plain", "file": "plain.idx", "pieces": [{"text": "电脑", "entries": [{
          "traditional": "電腦", "simplified": "电脑", "forms": ["電腦", "电脑"],
          "pinyin": "dian4 nao3", "pinyin_marks": "diàn nǎo", "zhuyin": "ㄉㄧㄢˋ ㄋㄠˇ",
          "senses": [{"text": "computer", "notes": []},
                     {"text": "CL:臺", "notes": ["台[tai2]"]}]}]}]}]})"));

    struct Case {
        std::vector<std::string> args;
        std::string out;
    };
    const Case cases[] = {
        {{"--dict=cedict.idx", "电脑"},
         "CC-CEDICT\n電腦 [电脑]  dian4 nao3\n  computer\n  CL:臺|台[tai2]\n"},
        {{"--dict=cedict.idx", "--pinyin=stored", "电脑"},
         "CC-CEDICT\n電腦 [电脑]  dian4 nao3\n  computer\n  CL:臺|台[tai2]\n"},
        {{"--dict=cedict.idx", "--pinyin=marks", "电脑"},
         "CC-CEDICT\n電腦 [电脑]  diàn nǎo\n  computer\n  CL:臺|台[tái]\n"},
        {{"--dict=cedict.idx", "--pinyin=zhuyin", "电脑"},
         "CC-CEDICT\n電腦 [电脑]  ㄉㄧㄢˋ ㄋㄠˇ\n  computer\n  CL:臺|台[ㄊㄞˊ]\n"},
        {{"--dict=plain.idx", "--pinyin=marks", "电脑"},
         "Plain\n電腦 [电脑]  diàn nǎo\n  computer\n  CL:臺\n    台[tái]\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1]);
        r = Lookup(home, c.args);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
    r = Lookup(home, {"--pinyin=colour", "电脑"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("kestrune lookup: --pinyin takes stored, marks or zhuyin, not "
                          "\"colour\"\nusage: kestrune lookup",
                          0),
              0u);
}

TEST_F(LookupCommand, BestFirstUnlessTurnedOff) {
    IndexBuildOptions three;
    three.MinWordLength = 3;
    MakeDict(home, "dogs", "Dogs",
             {"熱狗 热狗 [re4 gou3] /hot dog/", "犬 [quan3] /dog/", "狗 [gou3] /dog/"}, three);
    const std::string ranked =
        "Dogs\n狗  gou3\n  dog\n犬  quan3\n  dog\n熱狗 [热狗]  re4 gou3\n  hot dog\n";
    const std::string asFound =
        "Dogs\n熱狗 [热狗]  re4 gou3\n  hot dog\n犬  quan3\n  dog\n狗  gou3\n  dog\n";
    EXPECT_EQ(Lookup(home, {"--dict", "dogs.idx", "dog"}).out, ranked);
    EXPECT_EQ(Lookup(home, {"--dict", "dogs.idx", "--no-best-first", "dog"}).out, asFound);
    // setup.ini turns it off; the flag turns it on again for one run.
    WriteBytes(home.file("setup.ini"), "[Setup]\nBestFirst=0\n");
    EXPECT_EQ(Lookup(home, {"--dict", "dogs.idx", "dog"}).out, asFound);
    EXPECT_EQ(Lookup(home, {"--dict", "dogs.idx", "--best-first", "dog"}).out, ranked);
}

TEST_F(LookupCommand, JsonParsesBackWithTheSameLibrary) {
    using nlohmann::json;
    Outcome r = Lookup(home, {"--json", "中国"});
    EXPECT_EQ(r.code, 0) << r.err;
    json doc = json::parse(r.out);
    EXPECT_EQ(doc, json::parse(R"({
      "query": "中国", "searched": ["中国"],
      "dictionaries": [{"name": "Main dictionary", "file": "main.idx", "pieces": [
        {"text": "中国", "entries": [{
          "traditional": "中國", "simplified": "中国", "forms": ["中國", "中国"],
          "pinyin": "zhong1 guo2", "pinyin_marks": "zhōng guó", "zhuyin": "ㄓㄨㄥ ㄍㄨㄛˊ",
          "senses": [{"text": "China", "notes": []},
                     {"text": "Middle Kingdom", "notes": ["old name", "poetic"]}]}]}]}]})"));

    // A cut text: one piece per word, per dictionary; the second form is the simplified one.
    r = Lookup(home, {"--json", "--translate-all", "我是學生"});
    EXPECT_EQ(r.code, 0);
    doc = json::parse(r.out);
    ASSERT_EQ(doc["dictionaries"].size(), 1u);
    std::vector<std::string> pieces;
    for (const json& p : doc["dictionaries"][0]["pieces"])
        pieces.push_back(p["text"]);
    EXPECT_EQ(pieces, (std::vector<std::string>{"我", "是", "學生"}));
    EXPECT_EQ(doc["dictionaries"][0]["pieces"][2]["entries"][0]["simplified"], "学生");
    EXPECT_EQ(doc["dictionaries"][0]["pieces"][0]["entries"][0]["simplified"], "我");

    // Nothing found: the document still comes, exit code 1; the notice and UCS-2 codes too.
    r = Lookup(home, {"--json", "--translate-all", "--ucs2", "xyz"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(json::parse(r.out),
              json::parse(R"({"query": "xyz", "searched": ["xyz"], "dictionaries": [],
                "ucs2": ["0078", "0079", "007A"],
                "notice": "NOTICE: 'Translate text (instead of word)' option was blocked by non-chinese characters in input."})"));

    // Quotes, backslashes and control characters in a sense survive the round trip.
    MakeDict(home, "odd", "Odd \"name\"",
             {"怪 [guai4] /say \"hi\"/back\\slash|C:\\dir\\/tab\there\x01\x1f end/"});
    r = Lookup(home, {"--json", "--dict", "odd.idx", "怪"});
    EXPECT_EQ(r.code, 0) << r.err;
    doc = json::parse(r.out);
    EXPECT_EQ(doc["dictionaries"][0]["name"], "Odd \"name\"");
    EXPECT_EQ(doc["dictionaries"][0]["pieces"][0]["entries"][0]["senses"],
              json::parse(R"([{"text": "say \"hi\"", "notes": []},
                              {"text": "back\\slash", "notes": ["C:\\dir\\"]},
                              {"text": "tab\there\u0001\u001f end", "notes": []}])"));
    EXPECT_NE(r.out.find(R"(tab\there\u0001\u001f end)"), std::string::npos);

    // --json with --html is a usage error; errors stay on standard error.
    r = Lookup(home, {"--json", "--html", "中"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
}

TEST_F(LookupCommand, HtmlIsThePageBodyExactly) {
    SearchOptions o;  // the defaults of a missing setup.ini
    Outcome r = Lookup(home, {"--html", "中"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, PageOf("中", o));
    EXPECT_EQ(r.out.rfind("<p style=\"margin:2; border-bottom: #777777 1px solid;\"><i>Main "
                          "dictionary</i></p><table width=\"100%\" height=\"10\"",
                          0),
              0u);

    o.TranslateAll = true;
    o.ShowUcs2 = true;
    r = Lookup(home, {"--translate-all", "--ucs2", "--html", "我是学生"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, PageOf("我是学生", o));

    // Options from setup.ini apply; flags override them for this run only.
    WriteBytes(home.file("setup.ini"), "[Setup]\nTranslateAll=1\nSearchBoth=0\n");
    o.ShowUcs2 = false;
    o.SearchBoth = false;
    r = Lookup(home, {"--html", "我是学生"});
    EXPECT_EQ(r.out, PageOf("我是学生", o));
    o.SearchBoth = true;
    r = Lookup(home, {"--html", "--both", "我是学生"});
    EXPECT_EQ(r.out, PageOf("我是学生", o));
    EXPECT_EQ(ReadBytes(home.file("setup.ini")), "[Setup]\nTranslateAll=1\nSearchBoth=0\n");
}

TEST_F(LookupCommand, QueryFromStandardInputAndAfterDashes) {
    Outcome r = Lookup(home, {"--translate-all", "-"}, "我是\xE5\xAD\xA6\xE7\x94\x9F\n");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "Main dictionary\n我  wo3\n  I\n是  shi4\n  to be\n學生 [学生]  xue2 sheng5\n  student\n");
    // Broken UTF-8 is searched with U+FFFD in its place: nothing is found.
    r = Lookup(home, {"-"}, "\xE4\xB8");
    EXPECT_EQ(r.code, 1);
    r = Lookup(home, {"--", "--html"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
}

TEST_F(LookupCommand, DictionaryChoiceAndTheDictsSection) {
    WriteBytes(home.file("setup.ini"), "[Dicts]\nother.idx=1\nmain.idx=0\n");
    Outcome r = Lookup(home, {"中"});
    EXPECT_EQ(r.out, "Other\n中  zhong4\n  to hit\n");
    // A named dictionary is searched even when setup.ini disables it.
    r = Lookup(home, {"--dict", "main.idx", "中"});
    EXPECT_EQ(r.out, "Main dictionary\n中  zhong1\n  middle\n  centre\n");
    r = Lookup(home, {"--dict=main.idx", "--dict", "other.idx", "中"});
    EXPECT_EQ(r.out.rfind("Other\n", 0), 0u);  // registry order
    EXPECT_EQ(ReadBytes(home.file("setup.ini")), "[Dicts]\nother.idx=1\nmain.idx=0\n");
}

TEST_F(LookupCommand, ErrorsExitWithTwo) {
    Outcome r = Lookup(home, {"--frobnicate", "中"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("kestrune lookup: unknown option --frobnicate\n", 0), 0u) << r.err;
    EXPECT_EQ(Lookup(home, {}).code, 2);
    EXPECT_EQ(Lookup(home, {"中", "国"}).code, 2);
    EXPECT_EQ(Lookup(home, {"--dict"}).code, 2);
    r = Lookup(home, {"--dict", "none.idx", "中"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("none.idx"), std::string::npos);
    // An index cut off after its header: the search meets a record past the end.
    std::string idx = ReadBytes(home.file("main.idx"));
    WriteBytes(home.file("main.idx"), idx.substr(0, 274));
    r = Lookup(home, {"中"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("kestrune lookup: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("main.idx"), std::string::npos) << r.err;
}

// Output that cannot be written (a full disk behind the redirect) is an error, in every
// form, also when a long page has been written in part.
TEST_F(LookupCommand, OutputThatCannotBeWrittenExitsWithTwo) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::string longText;
    for (int i = 0; i < 20000; ++i)
        longText += i % 3 == 0 ? "中國" : (i % 3 == 1 ? "我是" : "學生");
    const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
        {{"中"}, ""},
        {{"--html", "中"}, ""},
        {{"--json", "中"}, ""},
        {{"--translate-all", "-"}, longText},
        {{"--translate-all", "--html", "-"}, longText},
    };
    for (const auto& [args, input] : runs) {
        Outcome r = Lookup(home, args, input, "/dev/full");
        EXPECT_EQ(r.code, 2) << args[0];
        EXPECT_EQ(r.err, "kestrune lookup: No space left on device: standard output\n") << args[0];
    }
    // The same long page written where there is room is complete.
    Outcome ok = Lookup(home, {"--translate-all", "--html", "-"}, longText);
    EXPECT_EQ(ok.code, 0);
    SearchOptions o;
    o.TranslateAll = true;
    EXPECT_GT(ok.out.size(), 2 * PageBuffer::kSinkPieceBytes);
    EXPECT_TRUE(ok.out == PageOf(longText.c_str(), o));
}

}  // namespace
}  // namespace kes
