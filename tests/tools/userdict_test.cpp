#include "tools/userdict.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "base/filesystem.h"
#include "base/text.h"
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
using test::Utf16Bytes;
using test::W;
using test::WriteBytes;
using test::Ws;

// A user dictionary in a scratch folder with every callback recorded.
class UserdictTest : public ::testing::Test {
  protected:
    UserdictTest() : dict(dir.file("userdict.txt")) {
        cb.showMessage = [this](const std::string& t) { messages.push_back(t); };
        cb.askYesNo = [this](const std::string& q) {
            questions.push_back(q);
            return answerYes;
        };
        cb.setStatus = [this](const std::string& t) { status = t; };
        cb.processEvents = [this] { ++processed; };
        cb.showError = [this](const std::string& t) { errors.push_back(t); };
    }
    void write(const std::string& bytes) { WriteBytes(dict.path(), bytes); }
    std::string bytes() const { return ReadBytes(dict.path()); }
    void load() {
        dict.LoadUserdict(cb);
        messages.clear();
    }
    bool add(const char* word, const char* pin, std::initializer_list<const char*> memo) {
        form = EntryForm{W(word), W(pin), Ws(memo), u""};
        return dict.AddOrChange(form, cb).ok;
    }
    EntryForm query(const char* word) {
        form = EntryForm{W(word), u"", {}, u""};
        dict.Query(form, cb);
        return form;
    }

    TempDir dir;
    Userdict dict;
    UserdictCallbacks cb;
    EntryForm form;
    std::vector<std::string> messages, questions, errors;
    std::string status;
    int processed = 0;
    bool answerYes = true;
};

const char kAsk[] = "WARNING: This word already present in user dictionary, change?";
const char kDone[] = "Word added/changed";

TEST_F(UserdictTest, LoadRecordsKeysOffsetsAndStatus) {
    write("\xFF\xFE" + Utf16Bytes("中国 [zhong1 guo2] /China/\r\n\r\n  \r\na b [p] /x/\nlast"));
    std::vector<std::string> statuses;
    cb.setStatus = [&](const std::string& t) { statuses.push_back(t); };
    dict.LoadUserdict(cb);
    EXPECT_TRUE(dict.Loaded);
    EXPECT_FALSE(dict.LimitReached);
    ASSERT_EQ(dict.WordCount, 4);
    EXPECT_EQ(dict.Words, Ws({"中国", "", "ab", "last"}));  // "  " is a record with key ""
    EXPECT_EQ(dict.WordPos, (std::vector<int64_t>{0, 2 + 2 * 26 + 2 * 2, 58 + 2 * 4, 66 + 2 * 12}));
    EXPECT_EQ(statuses, (std::vector<std::string>{"Start reading file userdict.txt",
                                                  "Readed: 1 records", "Readed: 2 records",
                                                  "Readed: 3 records", "Readed: 4 records"}));
    EXPECT_EQ(processed, 4);
    EXPECT_TRUE(messages.empty());
}

TEST_F(UserdictTest, MissingFileIsNotLoadedAndCommandsRefuse) {
    dict.LoadUserdict(cb);
    EXPECT_FALSE(dict.Loaded);
    EXPECT_EQ(status, "ERROR: Can't open dictionary file userdict.txt!");
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "ERROR: Can't open dictionary file userdict.txt!\nCannot open file (" +
                            std::string(std::strerror(ENOENT)) + "): " + dict.path()}));
    messages.clear();
    query("a");
    // Add/Change asks whether to create the file; No makes nothing.
    answerYes = false;
    EXPECT_FALSE(add("a", "p", {"x"}));
    EXPECT_EQ(messages, (std::vector<std::string>{"User dictionary was not loaded!"}));
    EXPECT_EQ(questions,
              (std::vector<std::string>{
                  "The user dictionary file userdict.txt does not exist yet. Create it?"}));
    EXPECT_FALSE(FileExists(dict.path()));

    // A directory in place of the file cannot be opened either, and is not replaced.
    ::mkdir(dict.path().c_str(), 0755);
    dict.LoadUserdict(cb);
    EXPECT_FALSE(dict.Loaded);
    messages.clear();
    EXPECT_FALSE(add("a", "p", {"x"}));
    EXPECT_EQ(messages, (std::vector<std::string>{"User dictionary was not loaded!"}));
    EXPECT_EQ(questions.size(), 1u);
}

TEST_F(UserdictTest, OddSizedFileReportsTheReadErrorAndKeepsRecordsRead) {
    write(Utf16Bytes("a [p] /x/\r\n") + "b");
    dict.LoadUserdict(cb);
    EXPECT_FALSE(dict.Loaded);  // never loaded before
    EXPECT_EQ(dict.WordCount, 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("userdict.txt"), std::string::npos);
}

TEST_F(UserdictTest, QueryShowsTheFirstRecordWithTheKey) {
    write(Ucs2File(
        {"中国 [zhong1 guo2] /China/Middle Kingdom/", "a b [p] /x/", "中国 [other] /second/"}));
    load();
    EntryForm f = query("  中国 ");
    EXPECT_EQ(f.Word, W("中国"));
    EXPECT_EQ(f.Pin, u"zhong1 guo2");
    EXPECT_EQ(f.Memo, Ws({"China", "Middle Kingdom"}));

    f = query("ab");  // the key has no blank; the field gets the stored word
    EXPECT_EQ(f.Word, u"a b");
    EXPECT_EQ(f.Pin, u"p");
    EXPECT_EQ(f.Memo, Ws({"x"}));

    form = EntryForm{u"a b", u"old", Ws({"old"}), u""};
    dict.Query(form, cb);  // not found: pinyin and memo emptied, the word stays
    EXPECT_EQ(form.Word, u"a b");
    EXPECT_EQ(form.Pin, u"");
    EXPECT_TRUE(form.Memo.empty());

    form = EntryForm{u"  ", u"keep", Ws({"keep"}), u""};
    dict.Query(form, cb);
    EXPECT_EQ(messages, (std::vector<std::string>{"ERROR: You must enter a word!"}));
    EXPECT_EQ(form.Pin, u"keep");
}

TEST_F(UserdictTest, AddAppendsAfterAProperLineEnd) {
    const std::string original = Ucs2File({"x [p] /a/"});
    write(original);
    load();
    ASSERT_TRUE(add("w", "p", {" a/b ", "", "c"}));
    EXPECT_EQ(form.Memo, Ws({"a&sl;b", "c"}));
    EXPECT_EQ(bytes(), original + Ucs2File({"w [p] /a&sl;b/c/"}));
    EXPECT_EQ(messages, (std::vector<std::string>{kDone}));
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(dict.WordCount, 2);  // reloaded
    EXPECT_EQ(dict.Words[1], u"w");

    // "a b" is not the key "ab": Add/Change appends a second line.
    write(Ucs2File({"a b [p] /x/"}));
    load();
    ASSERT_TRUE(add("a b", "q", {"y"}));
    EXPECT_EQ(bytes(), Ucs2File({"a b [p] /x/", "a b [q] /y/"}));
}

TEST_F(UserdictTest, AddAfterLastLineWithoutLineEnd) {
    write(Utf16Bytes("x [p] /a/"));
    load();
    ASSERT_TRUE(add("w", "p", {"b"}));
    EXPECT_EQ(Hex(bytes()), Hex(Utf16Bytes("x [p] /a/\r\nw [p] /b/\r\n")));
    // A last line ended by LF alone gets no extra line end.
    write(Utf16Bytes("x [p] /a/\n"));
    load();
    ASSERT_TRUE(add("v", "p", {"b"}));
    EXPECT_EQ(Hex(bytes()), Hex(Utf16Bytes("x [p] /a/\nv [p] /b/\r\n")));
}

TEST_F(UserdictTest, AddToEmptyAndTinyFiles) {
    write("");
    load();
    ASSERT_TRUE(dict.Loaded);
    ASSERT_TRUE(add("w", "p", {"b"}));
    EXPECT_EQ(Hex(bytes()), Hex(Utf16Bytes("w [p] /b/\r\n")));  // at 0, no byte-order mark

    // A lone byte-order mark is replaced by the line.
    write("\xFF\xFE");
    load();
    ASSERT_TRUE(add("w", "p", {"b"}));
    EXPECT_EQ(Hex(bytes()), Hex(Utf16Bytes("w [p] /b/\r\n")));

    // Two bytes that are a character: kept, and the new line starts after a line end.
    write(Utf16Bytes("z"));
    load();
    ASSERT_EQ(dict.WordCount, 1);
    ASSERT_TRUE(add("w", "p", {"b"}));
    EXPECT_EQ(Hex(bytes()), Hex(Utf16Bytes("z\r\nw [p] /b/\r\n")));

    // Two bytes that are a line feed: kept, no second line end.
    write(Utf16Bytes("\n"));
    load();
    ASSERT_TRUE(add("w", "p", {"b"}));
    EXPECT_EQ(Hex(bytes()), Hex(Utf16Bytes("\nw [p] /b/\r\n")));

    // One byte (the file changed after the last load): kept and completed to a code unit.
    write("");
    load();
    write("A");
    ASSERT_TRUE(add("w", "p", {"b"}));
    EXPECT_EQ(Hex(bytes()), Hex(Utf16Bytes("A\r\nw [p] /b/\r\n")));
    EXPECT_TRUE(errors.empty());
}

TEST_F(UserdictTest, AddToOddSizedFileKeepsEveryByte) {
    write("");
    load();
    const std::string odd = Utf16Bytes("x [p] /a/") + "!";
    write(odd);
    ASSERT_TRUE(add("w", "p", {"b"}));
    EXPECT_EQ(Hex(bytes()), Hex(odd + FromHex("00") + Utf16Bytes("\r\nw [p] /b/\r\n")));
}

TEST_F(UserdictTest, ChangeKeepsEveryOtherByte) {
    const std::string head = "\xFF\xFE" + Utf16Bytes("first [f] /1/\r\n");
    const std::string tail = Utf16Bytes("third [t] /3/\nlast without end");
    write(head + Utf16Bytes("ab [old] /o/\r\n\r\n\n") + tail);
    load();
    ASSERT_TRUE(add("ab", "new", {"n"}));
    EXPECT_EQ(questions, (std::vector<std::string>{kAsk}));
    // The record's line and the empty lines after it give way to the new line.
    EXPECT_EQ(Hex(bytes()), Hex(head + Utf16Bytes("ab [new] /n/\r\n") + tail));
    EXPECT_EQ(messages, (std::vector<std::string>{kDone}));
}

TEST_F(UserdictTest, ChangeOfLastRecordRunsToTheEndOfTheFile) {
    const std::string head = Utf16Bytes("a [p] /x/\r\n");
    write(head + Utf16Bytes("b [p] /y/\r\n\r\n\r\n"));
    load();
    ASSERT_TRUE(add("b", "q", {"z"}));
    EXPECT_EQ(Hex(bytes()), Hex(head + Utf16Bytes("b [q] /z/\r\n")));
}

TEST_F(UserdictTest, ChangeOfTheFirstRecordReplacesTheByteOrderMark) {
    const std::string rest = Utf16Bytes("b [p] /y/\r\n");
    write("\xFF\xFE" + Utf16Bytes("a [p] /x/\r\n") + rest);
    load();
    ASSERT_TRUE(add("a", "q", {"z"}));
    EXPECT_EQ(Hex(bytes()), Hex(Utf16Bytes("a [q] /z/\r\n") + rest));
}

TEST_F(UserdictTest, ChangeUsesTheFirstOfTwoLinesWithOneKey) {
    write(Ucs2File({"k [1] /one/", "k [2] /two/"}));
    load();
    EXPECT_EQ(query("k").Pin, u"1");
    ASSERT_TRUE(add("k", "3", {"three"}));
    EXPECT_EQ(bytes(), Ucs2File({"k [3] /three/", "k [2] /two/"}));
}

TEST_F(UserdictTest, ChangeDropsTheImagePath) {
    write(Ucs2File({"w [p] /a/ [is]pic.png[ie]"}));
    load();
    EntryForm f = query("w");
    EXPECT_EQ(f.Memo, Ws({"a"}));
    ASSERT_TRUE(dict.AddOrChange(form, cb).ok);
    EXPECT_EQ(bytes(), Ucs2File({"w [p] /a/"}));
}

TEST_F(UserdictTest, ChangeAnsweredNoChangesNothing) {
    const std::string original = Ucs2File({"w [p] /a/"});
    write(original);
    load();
    answerYes = false;
    EXPECT_FALSE(add("w", "q", {"b"}));
    EXPECT_EQ(bytes(), original);
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(UserdictTest, IncompleteFieldsAreRefusedAfterNormalising) {
    write(Ucs2File({"w [p] /a/"}));
    load();
    const char kAll[] = "ERROR: You must enter something in all fields (except image path)!";
    EXPECT_FALSE(add(" w ", "  ", {"a"}));
    EXPECT_FALSE(add("", "p", {"a"}));
    // The window shows the normalised fields before the message.
    std::vector<std::string> events;
    cb.showFields = [&](const EntryForm& f) {
        events.push_back("fields " + Utf16ToUtf8(f.Word) + "|" + Utf16ToUtf8(f.Pin) + "|" +
                         std::to_string(f.Memo.size()));
    };
    cb.showMessage = [&](const std::string& t) {
        events.push_back(t);
        messages.push_back(t);
    };
    EXPECT_FALSE(add(" w ", " p ", {" ", ""}));
    EXPECT_TRUE(form.Memo.empty());
    EXPECT_EQ(events, (std::vector<std::string>{"fields w|p|0", kAll}));
    EXPECT_EQ(messages, (std::vector<std::string>{kAll, kAll, kAll}));
    events.clear();
    query("  ");
    EXPECT_EQ(events, (std::vector<std::string>{"fields ||0", "ERROR: You must enter a word!"}));
    EXPECT_EQ(bytes(), Ucs2File({"w [p] /a/"}));
}

TEST_F(UserdictTest, FailedWriteLeavesTheOldFileIntact) {
    const std::string original = Ucs2File({"w [p] /a/", "v [p] /b/"});
    write(original);
    load();
    {
        // The disk takes no more than the old file's size.
        FileSizeLimit limit(original.size());
        EXPECT_FALSE(add("w", "qqqq", {"c"}));  // change
        EXPECT_FALSE(add("n", "q", {"c"}));     // add
    }
    // The message names the file and the system's reason.
    const std::string failed = "ERROR: Can't write changes to user dictionary!\nWrite error (" +
                               std::string(std::strerror(EFBIG)) + "): " + dict.path();
    EXPECT_EQ(messages, (std::vector<std::string>{failed, failed}));
    EXPECT_EQ(bytes(), original);
    EXPECT_EQ(dict.WordCount, 2);
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"userdict.txt"}));

    // The next attempt works once the disk has room again, and leaves no temporary file.
    messages.clear();
    ASSERT_TRUE(add("n", "q", {"c"}));
    EXPECT_EQ(bytes(), original + Ucs2File({"n [q] /c/"}));
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"userdict.txt"}));
}

TEST_F(UserdictTest, SymlinkedPrivateFileKeepsLinkAndMode) {
    std::filesystem::create_directory(dir.file("private"));
    const std::string real = dir.file("private/words.txt");
    WriteBytes(real, Ucs2File({"w [p] /a/"}));
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    std::filesystem::create_symlink("private/words.txt", dict.path());
    load();
    ASSERT_TRUE(add("n", "q", {"c"}));
    answerYes = true;
    ASSERT_TRUE(add("w", "p", {"b"}));
    EXPECT_TRUE(std::filesystem::is_symlink(dict.path()));
    EXPECT_EQ(ReadBytes(real), Ucs2File({"w [p] /b/", "n [q] /c/"}));
    struct stat st;
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(NamesIn(dir.file("private")), (std::vector<std::string>{"words.txt"}));
}

TEST_F(UserdictTest, AddThatCannotOpenTheFile) {
    write(Ucs2File({"w [p] /a/"}));
    load();
    RemoveFile(dict.path());
    EXPECT_FALSE(add("n", "q", {"c"}));
    EXPECT_EQ(messages,
              (std::vector<std::string>{"ERROR: Can't open userdict.txt!\nCannot open file (" +
                                        std::string(std::strerror(ENOENT)) + "): " + dict.path()}));
    EXPECT_FALSE(FileExists(dict.path()));
}

TEST_F(UserdictTest, ChangeRefusesWhenTheFileChangedSinceLoading) {
    write(Ucs2File({"w [p] /a/", "v [p] /b/"}));
    load();
    const std::string changed = Ucs2File({"v [p] /b/"});
    write(changed);
    EXPECT_FALSE(add("v", "q", {"c"}));  // its offset now lies beyond the end of the file
    EXPECT_FALSE(add("w", "q", {"c"}));  // its offset now holds another key
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "ERROR: Can't write changes to user dictionary!\nRecord offset "
                            "beyond end of file: " +
                                dict.path(),
                            "ERROR: Can't write changes to user dictionary!\nFile changed since it "
                            "was loaded: " +
                                dict.path()}));
    EXPECT_EQ(bytes(), changed);
}

TEST_F(UserdictTest, RecordLimitLoadsOnlyTheFirstRecords) {
    std::string data;
    data.reserve(2 * 12 * (kUserdictMaxRecords + 2));
    for (int i = 0; i < kUserdictMaxRecords; ++i)
        data += Utf16Bytes("k" + std::to_string(i) + " [p] /x/\r\n");
    const std::string after = Utf16Bytes("\r\nbeyond [p] /y/\r\nmore [p] /z/\r\n");
    write(data + after);
    load();
    ASSERT_EQ(dict.WordCount, kUserdictMaxRecords);
    EXPECT_TRUE(dict.LimitReached);
    EXPECT_EQ(dict.FindWord(u"beyond"), -1);

    // Changing the last loaded record replaces only its own line; later lines stay.
    const std::string lastLine = Utf16Bytes("k99999 [p] /x/\r\n");
    ASSERT_TRUE(add("k99999", "q", {"new"}));
    std::string expected =
        data.substr(0, data.size() - lastLine.size()) + Utf16Bytes("k99999 [q] /new/\r\n") + after;
    EXPECT_TRUE(bytes() == expected) << "file differs after changing the last loaded record";

    // A word stored beyond the limit is not found, so Add/Change appends it again.
    EXPECT_FALSE(dict.FindWord(u"beyond") >= 0);
    ASSERT_TRUE(add("beyond", "p", {"again"}));
    EXPECT_TRUE(bytes() == expected + Utf16Bytes("beyond [p] /again/\r\n"));
}

}  // namespace
}  // namespace kes
