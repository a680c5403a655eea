#include "dict/builder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <utility>

#include "base/bytefile.h"
#include "base/dostime.h"
#include "base/filesystem.h"
#include "base/ioerror.h"
#include "base/text.h"
#include "dict/indexformat.h"
#include "support/faults.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::FileSizeLimit;
using test::FromHex;
using test::Hex;
using test::NamesIn;
using test::ReadBytes;
using test::TempDir;
using test::Ucs2File;
using test::WriteBytes;

using KeyMap = std::map<std::u16string, std::vector<int32_t>>;

struct Walked {
    KeyMap keys;  // every key that carries offsets
    // Every node's key with the edge units of its children in stored order.
    std::map<std::u16string, std::u16string> children;
};

// Walks a whole index file in stored order and collects its keys.
Walked WalkIndex(const std::string& indexPath) {
    Walked w;
    ByteFile f(indexPath, OpenMode::Read);
    NodeReader reader(f);
    std::vector<std::pair<int32_t, std::u16string>> stack{{kRootPosition, u""}};
    std::vector<int32_t> offsets;
    std::vector<ChildEntry> children;
    while (!stack.empty()) {
        auto [pos, key] = std::move(stack.back());
        stack.pop_back();
        reader.readOffsets(pos, offsets);
        reader.readChildren(children);
        if (!offsets.empty()) w.keys[key] = offsets;
        std::u16string units;
        for (const ChildEntry& c : children)
            units.push_back(c.Ch);
        w.children[key] = units;
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.emplace_back(it->Pos, key + it->Ch);
    }
    return w;
}

IndexBuildOptions Opts(bool words, bool pinyin) {
    IndexBuildOptions o;
    o.AddDescToIndex = words;
    o.AddPinToIndex = pinyin;
    return o;
}

class BuilderTest : public ::testing::Test {
  protected:
    // Writes the lines (each ended with CR LF) as FILE.ced and builds its index.
    IndexBuildResult Build(const std::vector<std::string>& lines, IndexBuildOptions options,
                           const std::string& name = "dict.ced") {
        data = dir.file(name);
        WriteBytes(data, Ucs2File(lines));
        return BuildIndex(data, options, callbacks);
    }
    KeyMap Keys(const std::vector<std::string>& lines, IndexBuildOptions options) {
        IndexBuildResult r = Build(lines, options);
        EXPECT_TRUE(r.outcome.ok) << r.outcome.detail;
        KeyMap keys = WalkIndex(r.indexPath).keys;
        RemoveFile(r.indexPath);
        return keys;
    }
    std::string idx() const { return dir.file("dict.idx"); }

    TempDir dir;
    std::string data;
    IndexBuildCallbacks callbacks;
};

// ---------------------------------------------------------------------------------------
// The written file, byte for byte

TEST_F(BuilderTest, TwoEntryIndexByteForByte) {
    data = dir.file("two.ced");
    std::string bytes = Ucs2File({"中国 [zhong1 guo2] /China/", "中 [zhong1] /middle/"});
    ASSERT_EQ(bytes.size(), 52u + 42u);
    WriteBytes(data, bytes);
    SetFileUnixTime(data, 1700000000);
    IndexBuildResult r = BuildIndex(data, Opts(false, false), callbacks);
    ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    EXPECT_EQ(r.indexPath, dir.file("two.idx"));
    EXPECT_EQ(r.outcome.message, "Index file created: two.idx");

    std::string idxBytes = ReadBytes(r.indexPath);
    ASSERT_EQ(idxBytes.size(), 310u);
    std::string desc = test::Utf16Bytes("CEDICT file two.ced");
    EXPECT_EQ(idxBytes.substr(0, desc.size()), desc);
    EXPECT_EQ(idxBytes.substr(desc.size(), 256 - desc.size()),
              std::string(256 - desc.size(), '\0'));
    IndexHeader h = ReadIndexHeaderOf(r.indexPath);
    EXPECT_EQ(h.DataSize, 94);
    EXPECT_EQ(h.DataSize, FileSizeOf(data));
    EXPECT_EQ(h.DataAge, FileDosTime(data));
    EXPECT_EQ(h.DataAge, UnixToDosTime(1700000000));
    EXPECT_EQ(idxBytes.substr(264, 8), std::string(8, '\0'));
    EXPECT_EQ(Hex(idxBytes.substr(272)),
              Hex(FromHex("00 00 · 01 00 00 00 · 2D 4E 1C 01 00 00"
                          "01 00 · 34 00 00 00 · 01 00 00 00 · FD 56 2C 01 00 00"
                          "01 00 · 00 00 00 00 · 00 00 00 00")));
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"two.ced", "two.idx"}));
}

TEST_F(BuilderTest, EmptyAndCommentOnlyFilesGiveTheBareRoot) {
    const std::string root = FromHex("00 00 00 00 00 00");
    for (const std::string& content :
         {std::string(), Ucs2File({"# CEDICT", "  # indented comment", "", "   \t"}),
          FromHex("FF FE") + Ucs2File({"#only a comment after the mark"})}) {
        TempDir d;
        WriteBytes(d.file("c.ced"), content);
        IndexBuildResult r = BuildIndex(d.file("c.ced"), Opts(true, true), {});
        ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
        std::string idxBytes = ReadBytes(r.indexPath);
        ASSERT_EQ(idxBytes.size(), 278u);
        EXPECT_EQ(idxBytes.substr(272), root);
        EXPECT_EQ(ReadIndexHeaderOf(r.indexPath).DataSize, static_cast<int32_t>(content.size()));
    }
}

TEST_F(BuilderTest, SingleLineIndexByteForByte) {
    data = dir.file("a.ced");
    WriteBytes(data, test::Utf16Bytes("A [a] /x/"));
    IndexBuildResult r = BuildIndex(data, Opts(false, false), callbacks);
    ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    std::string idxBytes = ReadBytes(r.indexPath);
    ASSERT_EQ(idxBytes.size(), 294u);
    EXPECT_EQ(Hex(idxBytes.substr(272)), Hex(FromHex("00 00 01 00 00 00 41 00 1C 01 00 00"
                                                     "01 00 00 00 00 00 00 00 00 00")));
}

TEST_F(BuilderTest, NameIsAskedWithTheInitialTextAndCutTo127Units) {
    std::u16string asked;
    callbacks.askName = [&](const std::u16string& initial) -> std::optional<std::u16string> {
        asked = initial;
        return std::u16string(200, u'名');
    };
    IndexBuildResult r = Build({"A [a] /x/"}, Opts(false, false), "My Dict.ced");
    ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    EXPECT_EQ(asked, u"CEDICT file My Dict.ced");
    EXPECT_EQ(r.outcome.message, "Index file created: My Dict.idx");
    IndexHeader h = ReadIndexHeaderOf(r.indexPath);
    EXPECT_EQ(DescriptionText(h.Description), std::u16string(127, u'名'));
    EXPECT_EQ(h.Description[127], 0);
}

TEST_F(BuilderTest, CancelledPromptStoresTheInitialName) {
    callbacks.askName = [](const std::u16string&) -> std::optional<std::u16string> {
        return std::nullopt;
    };
    IndexBuildResult r = Build({"A [a] /x/"}, Opts(false, false));
    ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    EXPECT_EQ(DescriptionText(ReadIndexHeaderOf(r.indexPath).Description), u"CEDICT file dict.ced");
}

// ---------------------------------------------------------------------------------------
// Keys

TEST_F(BuilderTest, HeadwordKeyIsTheFirstFormOnly) {
    KeyMap k = Keys({"學習 学习 [xue2 xi2] /to learn/"}, Opts(false, false));
    EXPECT_EQ(k, (KeyMap{{u"學習", {0}}}));

    // Two adjacent lines with the same first form are both filed, whatever the options.
    std::string first = "行 行 [xing2] /to walk/";
    int32_t second = static_cast<int32_t>(test::Utf16Bytes(first + "\r\n").size());
    for (auto o : {Opts(false, false), Opts(true, true)}) {
        KeyMap k2 = Keys({first, "行 行 [hang2] /row/"}, o);
        EXPECT_EQ(k2[u"行"], (std::vector<int32_t>{0, second}));
    }
}

TEST_F(BuilderTest, HeadwordsThatArePrefixesOfEachOther) {
    // Lines of 24, 22, 26, 22 and 24 bytes with their CR LF.
    IndexBuildResult r = Build(
        {"ab [x] /y/", "a [x] /y/", "abc [x] /y/", "b [x] /y/", "ab [x] /y/"}, Opts(false, false));
    ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    Walked w = WalkIndex(r.indexPath);
    EXPECT_EQ(w.keys, (KeyMap{{u"a", {24}}, {u"ab", {0, 94}}, {u"abc", {46}}, {u"b", {72}}}));
    EXPECT_EQ(w.children[u""], u"ab");
    EXPECT_EQ(w.children[u"a"], u"b");
    EXPECT_EQ(w.children[u"ab"], u"c");
}

TEST_F(BuilderTest, TranslationWords) {
    KeyMap k = Keys({"走 [zou3] /to walk/Walkman (brand)/e-mail/Ёлка ёж/"}, Opts(true, false));
    EXPECT_EQ(k, (KeyMap{{u"走", {0}},
                         {u"walk", {0}},
                         {u"walkman", {0}},
                         {u"brand", {0}},
                         {u"mail", {0}},
                         {u"елка", {0}}}));

    // A change of script ends a word; digits, apostrophes and hyphens separate words.
    KeyMap k2 = Keys({"X [x] /abcdабвг wordслово don't 2000years/"}, Opts(true, false));
    EXPECT_EQ(k2, (KeyMap{{u"X", {0}},
                          {u"abcd", {0}},
                          {u"абвг", {0}},
                          {u"word", {0}},
                          {u"слово", {0}},
                          {u"years", {0}}}));
}

TEST_F(BuilderTest, ThreeLetterWordsWhenAskedButNoShortStopWords) {
    const std::vector<std::string> line = {
        "狗 [gou3] /dog/the cat and the car for sth/Кот etc/to eat/esp. its/but nor/"};
    IndexBuildOptions three = Opts(true, false);
    three.MinWordLength = 3;
    EXPECT_EQ(Keys(line, three), (KeyMap{{u"狗", {0}},
                                         {u"dog", {0}},
                                         {u"cat", {0}},
                                         {u"car", {0}},
                                         {u"кот", {0}},
                                         {u"eat", {0}}}));
    // The default, and every value but 3, files words of four letters and more only.
    for (int min : {4, 0, 2, 5, -1}) {
        IndexBuildOptions o = Opts(true, false);
        o.MinWordLength = min;
        EXPECT_EQ(Keys(line, o), (KeyMap{{u"狗", {0}}})) << min;
    }
}

TEST_F(BuilderTest, DefaultIndexIsTheSameByteForByteWithShortWordsInTheData) {
    const std::vector<std::string> lines = {"狗 [gou3] /dog/the cat/", "貓 猫 [mao1] /cat/"};
    IndexBuildResult r = Build(lines, Opts(true, true));
    ASSERT_TRUE(r.outcome.ok);
    IndexBuildOptions four = Opts(true, true);
    four.MinWordLength = 4;
    const std::string first = ReadBytes(r.indexPath);
    RemoveFile(r.indexPath);
    ASSERT_TRUE(BuildIndex(data, four, callbacks).outcome.ok);
    EXPECT_EQ(ReadBytes(r.indexPath), first);
    // Three letters: "cat" carries both lines.
    RemoveFile(r.indexPath);
    four.MinWordLength = 3;
    ASSERT_TRUE(BuildIndex(data, four, callbacks).outcome.ok);
    EXPECT_EQ(WalkIndex(r.indexPath).keys[u"cat"], (std::vector<int32_t>{0, 48}));
    EXPECT_EQ(WalkIndex(r.indexPath).keys[u"dog"], (std::vector<int32_t>{0}));
}

TEST_F(BuilderTest, NotesAreLeftOutOfTheWordIndex) {
    KeyMap k = Keys({"去 [qu4] /to go|to go home/to walk/"}, Opts(true, false));
    EXPECT_EQ(k, (KeyMap{{u"去", {0}}, {u"goto", {0}}, {u"walk", {0}}}));
}

// In a CEDICT file (its first non-blank line a comment) "|" separates the forms of a
// reference: the words after it are filed. Without that header it opens a note.
TEST_F(BuilderTest, WordsAfterAReferenceBarAreFiledInCedictFiles) {
    const std::string line =
        "敲開 敲开 [qiao1 kai1] /to get sth open by tapping or striking it/(figuratively, when "
        "followed by sth like ∼的大門|∼的大门) to open the door to ~/to gain access to ~/";
    struct Case {
        std::vector<std::string> lines;
        bool door;
    };
    const Case cases[] = {
        {{"# CC-CEDICT", line}, true},
        {{"", "  ", "#", line}, true},
        {{line}, false},
        {{line, "# a comment after the first entry"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines[0]);
        KeyMap k = Keys(c.lines, Opts(true, false));
        EXPECT_EQ(k.count(u"door"), c.door ? 1u : 0u);
        EXPECT_EQ(k.count(u"access"), 1u);  // the next sense, either way
        EXPECT_EQ(k.count(u"followed"), 1u);
    }
}

TEST_F(BuilderTest, PinyinKeys) {
    struct Case {
        const char* pinyin;
        std::vector<std::u16string> keys;
    };
    const Case cases[] = {
        {"Ni3 hao3", {u"ni hao"}},
        {"lü4", {u"lu"}},
        {"lv4", {u"lv"}},
        {"xi1 an1", {u"xi an"}},
        {"xi1  an1", {u"xi an"}},
        {"hang2; xing2", {u"hang", u"xing"}},
        {"nǐ hǎo", {u"ni hao"}},
        {"ÆÇÑa,b", {u"a", u"b"}},
        {"5", {}},
        {"ǖǘǚǜ ĺ Ʋ ÿ", {u"uuuu i v y"}},
    };
    for (const Case& c : cases) {
        KeyMap k = Keys({std::string("字 [") + c.pinyin + "] /a/"}, Opts(false, true));
        KeyMap expected{{u"字", {0}}};
        for (const auto& key : c.keys)
            expected[key] = {0};
        EXPECT_EQ(k, expected) << c.pinyin;
    }
}

TEST_F(BuilderTest, ChildrenKeepFirstFilingOrder) {
    // Headword, then translation words, then pinyin keys; line by line.
    IndexBuildResult r = Build({"z [b1] /yyyy/", "c [a1] /xxxx/"}, Opts(true, true));
    ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    Walked w = WalkIndex(r.indexPath);
    EXPECT_EQ(w.children[u""], u"zybcxa");
    EXPECT_EQ(w.keys[u"z"], (std::vector<int32_t>{0}));
    EXPECT_EQ(w.keys[u"b"], (std::vector<int32_t>{0}));
}

TEST_F(BuilderTest, WordSizeLimitWarnsAndSkipsTheLine) {
    std::vector<std::u16string> warnings;
    callbacks.warning = [&](const std::u16string& t) { warnings.push_back(t); };
    std::string form15, form14;
    for (int i = 0; i < 15; ++i)
        form15 += "字";
    for (int i = 0; i < 14; ++i)
        form14 += "字";
    std::string longLine = form15 + " " + form15 + " [zi4] /x/";
    std::string okLine = form14 + " " + form14 + " [zi4] /x/";
    IndexBuildResult r = Build({longLine, okLine}, Opts(false, false));
    ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0],
              u"WARNING: A string with word [" + Utf8ToUtf16(form15 + " " + form15 + " ") +
                  u"] can't be added to index because of size limitations (word <= 30, "
                  u"pinyin <=90, translation <=10000 chars)");
    int32_t second = static_cast<int32_t>(test::Utf16Bytes(longLine + "\r\n").size());
    EXPECT_EQ(WalkIndex(r.indexPath).keys, (KeyMap{{Utf8ToUtf16(form14), {second}}}));
}

TEST_F(BuilderTest, PinyinSizeLimitCountsRawUnits) {
    std::vector<std::u16string> warnings;
    callbacks.warning = [&](const std::u16string& t) { warnings.push_back(t); };
    std::string p90 = std::string(89, 'a') + " ";  // 90 raw units: accepted
    std::string p91 = std::string(90, 'a') + " ";  // 91 raw units: refused
    KeyMap k = Keys({"A [" + p90 + "] /x/", "B [" + p91 + "] /x/"}, Opts(false, false));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(u"word [B ]"), std::u16string::npos);
    EXPECT_EQ(k.count(u"A"), 1u);
    EXPECT_EQ(k.count(u"B"), 0u);
}

TEST_F(BuilderTest, OptionsAreReadForEveryLineAndProgressIsReported) {
    std::vector<int> percents;
    int calls = 0;
    callbacks.progress = [&](int p) { percents.push_back(p); };
    callbacks.currentOptions = [&] { return Opts(++calls == 2, false); };
    std::string l1 = "A [a] /first/";
    KeyMap k = Keys({l1, "B [b] /second/", "C [c] /third/"}, Opts(true, true));
    int32_t o2 = static_cast<int32_t>(test::Utf16Bytes(l1 + "\r\n").size());
    EXPECT_EQ(k.count(u"first"), 0u);
    EXPECT_EQ(k[u"second"], (std::vector<int32_t>{o2}));
    EXPECT_EQ(k.count(u"third"), 0u);
    EXPECT_EQ(calls, 3);
    int32_t total = static_cast<int32_t>(FileSizeOf(data));
    EXPECT_EQ(percents, (std::vector<int>{0, 100 * o2 / total, 100 * (2 * o2 + 2) / total}));
}

TEST_F(BuilderTest, LongKeysAndLongLines) {
    // A translation word thousands of units long builds a deep tree without trouble.
    std::string word(9000, 'q');
    KeyMap k = Keys({"Q [q] /" + word + "/"}, Opts(true, false));
    EXPECT_EQ(k[Utf8ToUtf16(word)], (std::vector<int32_t>{0}));

    // A line longer than one read comes back in pieces; the second piece is filed at the
    // offset where it starts.
    std::string line = "L [l] /" + std::string(9992, 'w') + " tail/";
    KeyMap k2 = Keys({line}, Opts(false, false));
    EXPECT_EQ(k2, (KeyMap{{u"L", {0}}, {u"tail/", {2 * 9999}}}));
}

// ---------------------------------------------------------------------------------------
// The offset limit of a key

TEST_F(BuilderTest, KeyWithMoreThan65535OffsetsKeepsTheFirst65535) {
    std::vector<std::u16string> warnings;
    callbacks.warning = [&](const std::u16string& t) { warnings.push_back(t); };
    std::vector<std::string> lines(65537, "K [k] /kkkk/");
    lines.push_back("Z [z] /zz/");
    IndexBuildResult r = Build(lines, Opts(true, false));
    ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0],
              u"WARNING: Index key [K] has more than 65535 entries; only its first 65535 entries "
              u"are added to index (2 keys are cut to 65535 entries in all)");
    KeyMap k = WalkIndex(r.indexPath).keys;
    const int32_t lineBytes = 2 * 14;
    for (const char16_t* key : {u"K", u"kkkk"}) {
        const auto& offs = k[key];
        ASSERT_EQ(offs.size(), 65535u);
        for (std::size_t i = 0; i < offs.size(); ++i)
            ASSERT_EQ(offs[i], static_cast<int32_t>(i) * lineBytes);
    }
    EXPECT_EQ(k[u"Z"], (std::vector<int32_t>{65537 * lineBytes}));
}

TEST_F(BuilderTest, SingleOverflowingKeyIsNamedAlone) {
    std::vector<std::u16string> warnings;
    callbacks.warning = [&](const std::u16string& t) { warnings.push_back(t); };
    std::vector<std::string> lines(65536, "鍵 [x] /x/");
    IndexBuildResult r = Build(lines, Opts(true, false));
    ASSERT_TRUE(r.outcome.ok) << r.outcome.detail;
    EXPECT_EQ(warnings, (std::vector<std::u16string>{
                            u"WARNING: Index key [鍵] has more than 65535 entries; only its first "
                            u"65535 entries are added to index"}));
    EXPECT_EQ(WalkIndex(r.indexPath).keys[u"鍵"].size(), 65535u);
}

// ---------------------------------------------------------------------------------------
// Failures

TEST_F(BuilderTest, ExistingIndexIsLeftAlone) {
    WriteBytes(idx(), "old index");
    SetFileUnixTime(idx(), 1600000000);
    bool asked = false;
    callbacks.askName = [&](const std::u16string&) -> std::optional<std::u16string> {
        asked = true;
        return std::nullopt;
    };
    IndexBuildResult r = Build({"A [a] /x/"}, Opts(true, true));
    EXPECT_TRUE(r.alreadyExists);
    EXPECT_EQ(r.outcome.message,
              "Index file dict.idx already exists! Delete it before creating a new one!");
    EXPECT_FALSE(asked);
    EXPECT_EQ(ReadBytes(idx()), "old index");
    struct stat st;
    ASSERT_EQ(::stat(idx().c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1600000000);
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"dict.ced", "dict.idx"}));

    // A folder of that name counts as an existing index as well.
    TempDir d2;
    std::filesystem::create_directory(d2.file("x.idx"));
    WriteBytes(d2.file("x.ced"), Ucs2File({"A [a] /x/"}));
    EXPECT_TRUE(BuildIndex(d2.file("x.ced"), Opts(true, false), {}).alreadyExists);
}

TEST_F(BuilderTest, IndexAppearingDuringTheBuildIsNotReplaced) {
    callbacks.askName = [&](const std::u16string&) -> std::optional<std::u16string> {
        WriteBytes(idx(), "someone else's");
        return std::nullopt;
    };
    IndexBuildResult r = Build({"A [a] /x/"}, Opts(true, false));
    EXPECT_TRUE(r.alreadyExists);
    EXPECT_EQ(ReadBytes(idx()), "someone else's");
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"dict.ced", "dict.idx"}));
}

void ExpectFailedWithoutTrace(const IndexBuildResult& r, const std::string& folder,
                              const std::vector<std::string>& files) {
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_FALSE(r.outcome.cancelled);
    EXPECT_FALSE(r.alreadyExists);
    EXPECT_EQ(r.outcome.message, "ERROR: Unknown error when creating index file!");
    EXPECT_FALSE(r.outcome.detail.empty());
    EXPECT_EQ(NamesIn(folder), files);
}

TEST_F(BuilderTest, OddSizedDataFileFails) {
    data = dir.file("dict.ced");
    WriteBytes(data, Ucs2File({"A [a] /x/", "B [b] /y/"}) + "Z");
    bool asked = false;
    callbacks.askName = [&](const std::u16string&) -> std::optional<std::u16string> {
        asked = true;
        return std::nullopt;
    };
    IndexBuildResult r = BuildIndex(data, Opts(true, false), callbacks);
    ExpectFailedWithoutTrace(r, dir.path(), {"dict.ced"});
    EXPECT_NE(r.outcome.detail.find("odd byte size"), std::string::npos) << r.outcome.detail;
    EXPECT_FALSE(asked);
}

TEST_F(BuilderTest, UnreadableDataFileFails) {
    IndexBuildResult missing = BuildIndex(dir.file("missing.ced"), Opts(true, false), {});
    ExpectFailedWithoutTrace(missing, dir.path(), {});
    EXPECT_NE(missing.outcome.detail.find("missing.ced"), std::string::npos)
        << missing.outcome.detail;
    EXPECT_EQ(missing.indexPath, dir.file("missing.idx"));

    std::filesystem::create_directory(dir.file("folder.ced"));
    IndexBuildResult folder = BuildIndex(dir.file("folder.ced"), Opts(true, false), {});
    ExpectFailedWithoutTrace(folder, dir.path(), {"folder.ced"});

    IndexBuildResult noDir = BuildIndex(dir.file("nowhere/x.ced"), Opts(true, false), {});
    ExpectFailedWithoutTrace(noDir, dir.path(), {"folder.ced"});
}

TEST_F(BuilderTest, UnwritableIndexLeavesNothingBehind) {
    // The disk takes no more than 20 bytes of the index.
    WriteBytes(dir.file("dict.ced"), Ucs2File({"A [a] /x/"}));
    IndexBuildResult r;
    {
        FileSizeLimit limit(20);
        r = BuildIndex(dir.file("dict.ced"), Opts(true, false), callbacks);
    }
    ExpectFailedWithoutTrace(r, dir.path(), {"dict.ced"});
    EXPECT_NE(r.outcome.detail.find(std::strerror(EFBIG)), std::string::npos) << r.outcome.detail;
    EXPECT_NE(r.outcome.detail.find(idx()), std::string::npos) << r.outcome.detail;
}

TEST_F(BuilderTest, FailureInTheNamePromptLeavesNothingBehind) {
    callbacks.askName = [](const std::u16string&) -> std::optional<std::u16string> {
        throw IoError("prompt", "Prompt failed");
    };
    IndexBuildResult r = Build({"A [a] /x/"}, Opts(true, false));
    ExpectFailedWithoutTrace(r, dir.path(), {"dict.ced"});
    EXPECT_EQ(r.outcome.detail, "Prompt failed: prompt");
}

TEST_F(BuilderTest, CancelledBuildStopsAndLeavesNothingBehind) {
    // Cancelled while the lines are read, and again once all are read (before the name).
    for (int stopAt : {2, 4}) {
        TempDir d;
        data = d.file("dict.ced");
        WriteBytes(data, Ucs2File({"A [a] /x/", "B [b] /y/", "C [c] /z/"}));
        int polls = 0;
        int lines = 0;
        bool asked = false;
        callbacks.progress = [&](int) { ++lines; };
        callbacks.cancelRequested = [&] { return ++polls >= stopAt; };
        callbacks.askName = [&](const std::u16string&) -> std::optional<std::u16string> {
            asked = true;
            return std::nullopt;
        };
        IndexBuildResult r = BuildIndex(data, Opts(true, false), callbacks);
        EXPECT_FALSE(r.outcome.ok);
        EXPECT_TRUE(r.outcome.cancelled);
        EXPECT_EQ(r.outcome.message, "Index file was not created: the build was cancelled");
        EXPECT_EQ(lines, stopAt - 1);
        EXPECT_FALSE(asked);
        EXPECT_EQ(NamesIn(d.path()), (std::vector<std::string>{"dict.ced"}));
    }
}

TEST_F(BuilderTest, DataFileOf2GiBFails) {
    data = dir.file("huge.ced");
    int fd = ::open(data.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    int rc = ::ftruncate(fd, int64_t{1} << 31);  // sparse: takes no disk space
    ::close(fd);
    if (rc != 0) GTEST_SKIP() << "file system cannot hold a sparse 2 GiB file";
    bool progressed = false;
    callbacks.progress = [&](int) { progressed = true; };
    IndexBuildResult r = BuildIndex(data, Opts(true, false), callbacks);
    ExpectFailedWithoutTrace(r, dir.path(), {"huge.ced"});
    EXPECT_NE(r.outcome.detail.find("2 GiB"), std::string::npos) << r.outcome.detail;
    EXPECT_FALSE(progressed);
}

}  // namespace
}  // namespace kes
