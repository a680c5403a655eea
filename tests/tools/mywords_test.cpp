// My words: the kept entry's line byte for byte, a word kept once, the file created where it is
// missing, the old bytes kept when the folder or the disk refuses the new file; the export
// parsed back as Anki's text import and as CSV, damaged lines counted and named, the list.
#include "tools/mywords.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/faultpoint.h"
#include "base/text.h"
#include "support/faults.h"
#include "support/tempdir.h"
#include "tools/userdict.h"

namespace kes {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::Ucs2File;
using test::Utf16Bytes;
using test::W;
using test::WriteBytes;

EntryFields Fields(const char* line) {
    return SplitEntryLine(W(line));
}

bool Add(const std::string& path, const char* line) {
    bool added = false;
    const Outcome o = AddToMyWords(path, Fields(line), added);
    EXPECT_TRUE(o.ok) << line << ": " << MessageWithDetail(o);
    return added;
}

TEST(AddToMyWords, CreatesTheFileWithTheEntrysLine) {
    TempDir dir;
    const std::string path = dir.file("userdict.txt");
    bool added = false;
    const Outcome o =
        AddToMyWords(path, Fields("中國 中国 [Zhong1 guo2] /China/Middle Kingdom/"), added);
    EXPECT_TRUE(o.ok);
    EXPECT_TRUE(added);
    EXPECT_EQ(o.message, "Added to my words: 中國 中国");
    EXPECT_EQ(ReadBytes(path), Utf16Bytes("中國 中国 [Zhong1 guo2] /China/Middle Kingdom/\r\n"));
    // The user dictionary window finds it by its key.
    Userdict u(path);
    u.LoadUserdict({});
    EXPECT_EQ(u.FindWord(u"中國中国"), 0);
}

TEST(AddToMyWords, AWordIsKeptOnce) {
    TempDir dir;
    const std::string path = dir.file("userdict.txt");
    EXPECT_TRUE(Add(path, "行 [xing2] /to walk/"));
    bool added = true;
    const Outcome again = AddToMyWords(path, Fields("行 [xing2] /to walk/to be OK/"), added);
    EXPECT_TRUE(again.ok);
    EXPECT_FALSE(added);
    EXPECT_EQ(again.message, "Already in my words: 行");
    // Letter case, blanks and the spelling of ü do not make another word; another reading does.
    EXPECT_FALSE(Add(path, "行 [Xing2] /to walk/"));
    EXPECT_TRUE(Add(path, "行 [hang2] /row/"));
    EXPECT_TRUE(Add(path, "綠 绿 [lu:4] /green/"));
    EXPECT_FALSE(Add(path, "綠 绿 [lv4] /green/"));
    EXPECT_FALSE(Add(path, "綠 绿 [lü4] /green/"));
    EXPECT_EQ(ReadBytes(path), Ucs2File({"行 [xing2] /to walk/", "行 [hang2] /row/",
                                         "綠 绿 [lu:4] /green/"}));
}

TEST(AddToMyWords, AppendsToTheFileAsItsWindowWould) {
    const struct {
        const char* name;
        std::string old;
        std::string expected;
    } rows[] = {
        {"ends with a line", Ucs2File({"舊 [jiu4] /old/"}),
         Ucs2File({"舊 [jiu4] /old/", "中 [zhong1] /middle/"})},
        {"last line open", Utf16Bytes("舊 [jiu4] /old/"),
         Ucs2File({"舊 [jiu4] /old/", "中 [zhong1] /middle/"})},
        {"byte-order mark and a line", "\xFF\xFE" + Ucs2File({"舊 [jiu4] /old/"}),
         "\xFF\xFE" + Ucs2File({"舊 [jiu4] /old/", "中 [zhong1] /middle/"})},
        {"byte-order mark only", "\xFF\xFE", Ucs2File({"中 [zhong1] /middle/"})},
        {"empty", "", Ucs2File({"中 [zhong1] /middle/"})},
        {"odd size", Utf16Bytes("a [b] /c/") + "x",
         Utf16Bytes("a [b] /c/") + std::string("x\0\r\0\n\0", 6) +
             Ucs2File({"中 [zhong1] /middle/"})},
    };
    for (const auto& r : rows) {
        TempDir dir;
        WriteBytes(dir.file("userdict.txt"), r.old);
        EXPECT_TRUE(Add(dir.file("userdict.txt"), "中 [zhong1] /middle/")) << r.name;
        EXPECT_EQ(test::Hex(ReadBytes(dir.file("userdict.txt"))), test::Hex(r.expected))
            << r.name;
    }
}

TEST(AddToMyWords, RefusesWhatCouldNotBeFoundAgain) {
    TempDir dir;
    const std::string path = dir.file("userdict.txt");
    for (const char* line : {"[zhong1] /middle/", "中 [] /middle/", "中 [zhong1]", "中/間 [x1] /y/",
                             "中] [x1] /y/"}) {
        bool added = true;
        const Outcome o = AddToMyWords(path, Fields(line), added);
        EXPECT_FALSE(o.ok) << line;
        EXPECT_FALSE(added) << line;
        EXPECT_EQ(o.message.rfind("ERROR: ", 0), 0u) << line;
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

// A folder that takes no new file (read-only, or the disk full): the old file keeps its bytes,
// no temporary file stays, the failure names the file and the reason.
TEST(AddToMyWords, AFolderThatRefusesTheNewFileKeepsTheOldBytes) {
    for (const int error : {EROFS, EACCES, ENOSPC}) {
        TempDir dir;
        const std::string path = dir.file("userdict.txt");
        const std::string old = Ucs2File({"舊 [jiu4] /old/"});
        WriteBytes(path, old);
        // The first open reads the old file; the second creates the new one.
        ArmFaults({.ops = static_cast<unsigned>(FileOp::Open), .nth = 2, .error = error});
        bool added = true;
        const Outcome o = AddToMyWords(path, Fields("中 [zhong1] /middle/"), added);
        EXPECT_TRUE(DisarmFaults());
        EXPECT_FALSE(o.ok);
        EXPECT_FALSE(added);
        EXPECT_EQ(o.message, "ERROR: Can't write changes to user dictionary!");
        EXPECT_NE(o.detail.find("userdict.txt"), std::string::npos) << o.detail;
        EXPECT_NE(o.detail.find(std::strerror(error)), std::string::npos) << o.detail;
        EXPECT_EQ(ReadBytes(path), old);
        EXPECT_EQ(test::NamesIn(dir.path()), std::vector<std::string>{"userdict.txt"});
    }
}

TEST(MyWordsIndex, MarksTheKeptWords) {
    TempDir dir;
    const std::string path = dir.file("userdict.txt");
    MyWordsIndex index;
    index.Load(path);  // no file: nothing kept
    EXPECT_EQ(index.size(), 0u);
    WriteBytes(path, Ucs2File({"中國 中国 [Zhong1 guo2] /China/", "", "broken line"}));
    index.Load(path);
    EXPECT_TRUE(index.Contains(Fields("中國 中国 [zhong1 guo2] /other/")));
    EXPECT_FALSE(index.Contains(Fields("中国 [zhong1 guo2] /China/")));
    EXPECT_FALSE(index.Contains(Fields("中國 中国 [zhong4 guo2] /China/")));
    index.Insert(Fields("中 [zhong1] /x/"));
    EXPECT_TRUE(index.Contains(Fields("中 [zhong1] /y/")));
}

// ---- Reading the export back ----

std::string HtmlText(std::string s) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#9;", "\t"}, {"&amp;", "&"}};
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        bool replaced = false;
        for (const auto& [from, to] : entities) {
            const std::size_t n = std::strlen(from);
            if (s.compare(i, n, from) == 0) {
                out += to;
                i += n;
                replaced = true;
                break;
            }
        }
        if (!replaced) out += s[i++];
    }
    return out;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out{""};
    for (char c : s) {
        if (c == sep) {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

// Anki's reading of a tab-separated file with HTML fields: header lines, then the records.
struct AnkiFile {
    std::vector<std::string> headers;
    std::vector<std::vector<std::string>> rows;
};
AnkiFile ParseAnki(const std::string& text) {
    AnkiFile f;
    std::vector<std::string> lines = Split(text, '\n');
    EXPECT_EQ(lines.back(), "");  // every line ends
    lines.pop_back();
    for (const std::string& l : lines) {
        if (!l.empty() && l[0] == '#') {
            EXPECT_TRUE(f.rows.empty()) << "header after a record: " << l;
            f.headers.push_back(l);
            continue;
        }
        std::vector<std::string> fields = Split(l, '\t');
        for (std::string& field : fields) {
            EXPECT_EQ(field.find('"'), std::string::npos) << "a raw quote would open a quoted field";
            field = HtmlText(field);
        }
        f.rows.push_back(fields);
    }
    return f;
}

// RFC 4180, as a spreadsheet reads it.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false, inQuotes = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                inQuotes = false;
            } else {
                field += c;
            }
        } else if (c == '"' && field.empty() && !quoted) {
            inQuotes = quoted = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
            quoted = false;
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            row.push_back(field);
            rows.push_back(row);
            row.clear();
            field.clear();
            quoted = false;
            ++i;
        } else {
            EXPECT_NE(c, '\n') << "a bare line feed outside quotes";
            field += c;
        }
    }
    EXPECT_TRUE(row.empty() && field.empty() && !inQuotes) << "the last record is not ended";
    return rows;
}

class FlashcardExport : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteBytes(dict, Ucs2File({
                             "中國 中国 [Zhong1 guo2] /China/Middle Kingdom|old name/",
                             "",
                             "綠 [lu:4] /green/either &sl; or/",
                             "說 说 [shuo1] /to say \"hi\"/a\ttab/x < y > z & co, ltd/",
                             "no brackets here",
                             "壞 [huai4]",
                         }));
    }
    TempDir dir;
    std::string dict = dir.file("userdict.txt");
};

TEST_F(FlashcardExport, AnkiReadsEveryFieldBack) {
    MyWordList list;
    const Outcome o =
        ExportFlashcards(dict, dir.file("cards.txt"), FlashcardFormat::Anki, list);
    ASSERT_TRUE(o.ok) << MessageWithDetail(o);
    EXPECT_EQ(o.message, "Exported 5 words to " + dir.file("cards.txt"));
    const AnkiFile f = ParseAnki(ReadBytes(dir.file("cards.txt")));
    EXPECT_EQ(f.headers, (std::vector<std::string>{
                             "#separator:tab", "#html:true", "#tags:kestrune",
                             "#columns:Simplified\tTraditional\tPinyin\tPinyin (stored)\tMeaning"}));
    const std::vector<std::vector<std::string>> expected = {
        {"中国", "中國", "Zhōng guó", "Zhong1 guo2", "China<br>Middle Kingdom<br>old name"},
        {"绿", "綠", "lǜ", "lu:4", "green<br>either / or"},
        {"说", "說", "shuō", "shuo1", "to say \"hi\"<br>a\ttab<br>x [ y ] z & co, ltd"},
        {"no brackets here", "no brackets here", "", "", "no brackets here"},
        {"壞", "壞", "huài", "huai4", "壞 [huai4]"},
    };
    ASSERT_EQ(f.rows.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(f.rows[i], expected[i]) << "record " << i;
    EXPECT_EQ(list.Damaged, 2);
}

TEST_F(FlashcardExport, CsvReadsEveryFieldBack) {
    MyWordList list;
    ASSERT_TRUE(ExportFlashcards(dict, dir.file("cards.csv"), FlashcardFormat::Csv, list).ok);
    const auto rows = ParseCsv(ReadBytes(dir.file("cards.csv")));
    const std::vector<std::vector<std::string>> expected = {
        {"Simplified", "Traditional", "Pinyin", "Pinyin (stored)", "Meaning"},
        {"中国", "中國", "Zhōng guó", "Zhong1 guo2", "China\nMiddle Kingdom\nold name"},
        {"绿", "綠", "lǜ", "lu:4", "green\neither / or"},
        {"说", "說", "shuō", "shuo1", "to say \"hi\"\na\ttab\nx [ y ] z & co, ltd"},
        {"no brackets here", "no brackets here", "", "", "no brackets here"},
        {"壞", "壞", "huài", "huai4", "壞 [huai4]"},
    };
    EXPECT_EQ(rows, expected);
}

TEST_F(FlashcardExport, DamagedLinesAreCountedAndNamed) {
    MyWordList list;
    ASSERT_TRUE(ExportFlashcards(dict, dir.file("cards.txt"), FlashcardFormat::Anki, list).ok);
    EXPECT_EQ(DamageReport("userdict.txt", list, "exported as it stands"),
              "userdict.txt: line 5: no pinyin in [ ]: exported as it stands\n"
              "userdict.txt: line 6: no meaning between / /: exported as it stands\n"
              "userdict.txt: 2 damaged lines\n");
}

TEST_F(FlashcardExport, NeverChangesTheWordListAndRefusesBadTargets) {
    const std::string before = ReadBytes(dict);
    MyWordList list;
    ::mkdir(dir.file("folder").c_str(), 0755);
    Outcome o = ExportFlashcards(dict, dir.file("folder"), FlashcardFormat::Anki, list);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(MessageWithDetail(o),
              "ERROR: Can't write the flashcards!\n" + dir.file("folder") +
                  ": is a folder, not a file name");
    o = ExportFlashcards(dict, dict, FlashcardFormat::Csv, list);
    EXPECT_FALSE(o.ok);
    o = ExportFlashcards(dict, dir.file("missing/cards.txt"), FlashcardFormat::Csv, list);
    EXPECT_FALSE(o.ok);
    EXPECT_NE(o.detail.find("missing/cards.txt"), std::string::npos) << o.detail;
    o = ExportFlashcards(dir.file("none.txt"), dir.file("cards.txt"), FlashcardFormat::Csv, list);
    EXPECT_EQ(o.message, "ERROR: Can't read userdict.txt!");
    EXPECT_FALSE(std::filesystem::exists(dir.file("cards.txt")));
    EXPECT_EQ(ReadBytes(dict), before);
}

TEST_F(FlashcardExport, TheListAsJson) {
    WriteBytes(dict, Ucs2File({"中國 中国 [Zhong1 guo2] /China/", "no brackets"}));
    EXPECT_EQ(MyWordsJson(ReadMyWords(dict)),
              "[\n"
              "  {\n"
              "    \"line\": 1,\n"
              "    \"word\": \"中國 中国\",\n"
              "    \"traditional\": \"中國\",\n"
              "    \"simplified\": \"中国\",\n"
              "    \"pinyin\": \"Zhong1 guo2\",\n"
              "    \"pinyin_marks\": \"Zhōng guó\",\n"
              "    \"meaning\": [\n"
              "      \"China\"\n"
              "    ]\n"
              "  },\n"
              "  {\n"
              "    \"line\": 2,\n"
              "    \"word\": \"no brackets\",\n"
              "    \"traditional\": \"no brackets\",\n"
              "    \"simplified\": \"no brackets\",\n"
              "    \"pinyin\": \"\",\n"
              "    \"pinyin_marks\": \"\",\n"
              "    \"meaning\": [\n"
              "      \"no brackets\"\n"
              "    ],\n"
              "    \"damaged\": \"no pinyin in [ ]\"\n"
              "  }\n"
              "]\n");
    EXPECT_EQ(MyWordsText(ReadMyWords(dict)), "中國 中国 [Zhong1 guo2] /China/\nno brackets\n");
}

}  // namespace
}  // namespace kes
