// Every writer of the program under injected file faults: for each N the Nth open, read,
// write, sync, rename or close fails (EIO, then ENOSPC), or the process is killed right there.
// After each fault the old files hold their old bytes, no temporary file is left, and the
// failure is reported with the file's name and the system's reason; after a kill the next run
// removes the dead writer's temporary file and succeeds. A writer of a file pair (a dictionary
// and its index) is also checked after a kill as the next start finds it: the complete old or
// the complete new pair, listed and searchable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/queryflow.h"
#include "app/registry.h"
#include "app/settings.h"
#include "base/bytefile.h"
#include "base/faultpoint.h"
#include "base/filesystem.h"
#include "base/replacefile.h"
#include "charinfo/unihan.h"
#include "dict/builder.h"
#include "dict/dictpairs.h"
#include "dict/indexformat.h"
#include "dsl/converter.h"
#include "support/faults.h"
#include "support/tempdir.h"
#include "tools/cedictimport.h"
#include "tools/duplicates.h"
#include "tools/mywords.h"
#include "tools/userdict.h"

namespace kes {
namespace {

using test::NamesIn;
using test::ReadBytes;
using test::TempDir;
using test::Ucs2File;
using test::Utf16Bytes;
using test::W;
using test::WriteBytes;

// One user action that writes files, in a scratch folder.
struct Writer {
    std::string name;
    // The folder's files before the action (name -> bytes); written anew before every run.
    std::map<std::string, std::string> files;
    // Runs the action; what it reports.
    std::function<Outcome(const TempDir& dir)> run;
    // After a successful run a file may hold new bytes; which ones are written.
    std::vector<std::string> written;
    // Extra set-up after the files are written (loading a window's table, say).
    std::function<void(const TempDir& dir)> prepare;
    // Files that report on the run (a log): written after a failure too, so only checked to
    // be there.
    std::vector<std::string> reports;
    // The bytes compared with those of a complete run (a file holding the time of its writing
    // has it cleared). Empty: the bytes as they are.
    std::function<std::string(const std::string& name, const std::string& bytes)> comparable;
    // After a kill (and before the files are compared): what the next start finds, checked.
    std::function<void(const TempDir& dir, const std::map<std::string, std::string>& done,
                       const std::string& where)>
        startAfterKill;
};

Writer MakeWriter(std::string name, std::map<std::string, std::string> files,
                  std::function<Outcome(const TempDir&)> run, std::vector<std::string> written) {
    Writer w;
    w.name = std::move(name);
    w.files = std::move(files);
    w.run = std::move(run);
    w.written = std::move(written);
    return w;
}

void Reset(const TempDir& dir, const Writer& w) {
    for (const std::string& name : NamesIn(dir.path()))
        std::filesystem::remove_all(dir.file(name));
    for (const auto& [name, bytes] : w.files) {
        WriteBytes(dir.file(name), bytes);
        // A fixed time, so that what is derived from it (an index header) is the same each run.
        SetFileUnixTime(dir.file(name), 1700000000);
    }
    if (w.prepare) w.prepare(dir);
}

std::vector<std::string> NamesOf(const Writer& w) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : w.files)
        names.push_back(name);
    return names;
}

std::string Comparable(const TempDir& dir, const Writer& w, const std::string& name) {
    const std::string bytes = ReadBytes(dir.file(name));
    return w.comparable ? w.comparable(name, bytes) : bytes;
}

// The folder after a successful run: name -> bytes (as compared).
std::map<std::string, std::string> Snapshot(const TempDir& dir, const Writer& w) {
    std::map<std::string, std::string> out;
    for (const std::string& name : NamesIn(dir.path()))
        out[name] = Comparable(dir, w, name);
    return out;
}

// Every file holds its old bytes or (for a file the action writes) its complete new bytes;
// nothing else is in the folder but temporary files when `tempsAllowed`.
void ExpectOldOrNew(const TempDir& dir, const Writer& w,
                    const std::map<std::string, std::string>& done, bool tempsAllowed,
                    const std::string& where) {
    for (const std::string& name : NamesIn(dir.path())) {
        if (std::find(w.reports.begin(), w.reports.end(), name) != w.reports.end()) continue;
        const std::string bytes = ReadBytes(dir.file(name));
        auto old = w.files.find(name);
        auto fresh = done.find(name);
        const bool isOld = old != w.files.end() && old->second == bytes;
        const bool isNew = fresh != done.end() && fresh->second == Comparable(dir, w, name);
        const bool isTemp = name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0;
        EXPECT_TRUE(isOld || isNew || (tempsAllowed && isTemp)) << where << ": " << name;
    }
    for (const auto& [name, bytes] : w.files)
        EXPECT_TRUE(std::filesystem::exists(dir.file(name))) << where << ": lost " << name;
}

void WalkErrors(const Writer& w) {
    TempDir dir;
    Reset(dir, w);
    ASSERT_TRUE(w.run(dir).ok) << w.name;
    const auto done = Snapshot(dir, w);
    for (int error : {EIO, ENOSPC}) {
        const std::string reason = "(" + std::string(std::strerror(error)) + ")";
        Outcome last;
        Reset(dir, w);
        const int64_t runs = test::WalkFileFaults(
            error, [&] { last = w.run(dir); },
            [&](int64_t n) {
                const std::string where = w.name + ", call " + std::to_string(n) + " " + reason;
                const std::string text = MessageWithDetail(last);
                EXPECT_FALSE(last.ok) << where;
                EXPECT_NE(text.find(reason), std::string::npos) << where << ": " << text;
                // The message names a file of the action, in the scratch folder.
                EXPECT_NE(text.find(dir.path() + "/"), std::string::npos) << where << ": " << text;
                EXPECT_EQ(NamesIn(dir.path()), NamesOf(w)) << where << ": " << text;
                // Only a file that was complete already may have been replaced.
                ExpectOldOrNew(dir, w, done, false, where);
                for (const auto& [name, bytes] : w.files) {
                    if (std::find(w.written.begin(), w.written.end(), name) == w.written.end() &&
                        std::find(w.reports.begin(), w.reports.end(), name) == w.reports.end()) {
                        EXPECT_EQ(ReadBytes(dir.file(name)), bytes) << where << ": " << name;
                    }
                }
                Reset(dir, w);
            });
        EXPECT_GT(runs, 2) << w.name;
        EXPECT_TRUE(last.ok) << w.name << ": " << MessageWithDetail(last);
        EXPECT_EQ(Snapshot(dir, w), done) << w.name;
    }
}

void WalkKills(const Writer& w) {
    TempDir dir;
    Reset(dir, w);
    ASSERT_TRUE(w.run(dir).ok) << w.name;
    const auto done = Snapshot(dir, w);
    int64_t n = 1;
    for (; n < 100000; ++n) {
        Reset(dir, w);
        const bool killed = test::RunKilledAt(n, [&] { w.run(dir); });
        const std::string where = w.name + ", killed at call " + std::to_string(n);
        if (w.startAfterKill) w.startAfterKill(dir, done, where);
        ExpectOldOrNew(dir, w, done, true, where);
        // The dead writer's temporary files, as old as a killed run's would be a while later:
        // the next run removes them and succeeds.
        for (const std::string& name : NamesIn(dir.path())) {
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0)
                test::AgeFile(dir.file(name), kStaleTemporaryAge + 5);
        }
        if (!killed) break;
        // The next run starts as the user would start it again (a window reloads its table).
        if (w.prepare) w.prepare(dir);
        const Outcome next = w.run(dir);
        EXPECT_TRUE(next.ok) << where << ": " << MessageWithDetail(next);
        EXPECT_EQ(Snapshot(dir, w), done) << where;
    }
    EXPECT_GT(n, 2) << w.name;
}

// --- the writers -----------------------------------------------------------------------

const std::string kOldIni = "[Setup]\nInpFontsize=20\n[Dicts]\na.idx=1\n[Other]\nkey=value\n";

Writer SettingsSave() {
    Settings s;
    s.InpFontsize = 31;
    return MakeWriter("setup.ini save", {{"setup.ini", kOldIni}},
                      [s](const TempDir& dir) { return SaveSettings(dir.file("setup.ini"), s); },
                      {"setup.ini"});
}

Writer DictsSave() {
    std::vector<TDic> dicts(2);
    dicts[0].FileName = "b.idx";
    dicts[1].FileName = "a.idx";
    dicts[1].Enabled = false;
    return MakeWriter(
        "setup.ini dictionary list", {{"setup.ini", kOldIni}},
        [dicts](const TempDir& dir) { return WriteDictsSection(dir.file("setup.ini"), dicts); },
        {"setup.ini"});
}

// The user dictionary, loaded before the action as its window loads it. A failure of the
// reload after a write is reported through the window's error box.
struct UserdictState {
    std::optional<Userdict> dict;
    UserdictCallbacks cb;
    std::vector<std::string> errors;
};

Writer UserdictWrite(const char* name, const char* word, std::shared_ptr<UserdictState> state) {
    Writer w =
        MakeWriter(name, {{"userdict.txt", Ucs2File({"舊 [jiu4] /old/", "中 [zhong1] /middle/"})}},
                   [state, word](const TempDir&) {
                       EntryForm form{W(word), u"xin1", {u"new", u"second\u00A0sense"}, u""};
                       state->errors.clear();
                       Outcome o = state->dict->AddOrChange(form, state->cb);
                       // A word written but not read back (the reload failed) is a change the
                       // user is told about twice: the failure, then the change.
                       if (!state->errors.empty()) {
                           o.ok = false;
                           o.detail = state->errors.front();
                       }
                       return o;
                   },
                   {"userdict.txt"});
    w.prepare = [state](const TempDir& dir) {
        state->cb.askYesNo = [](const std::string&) { return true; };
        state->cb.showError = [raw = state.get()](const std::string& t) {
            raw->errors.push_back(t);
        };
        state->cb.showMessage = [raw = state.get()](const std::string& t) {
            if (t.rfind("ERROR", 0) == 0) raw->errors.push_back(t);
        };
        state->dict.emplace(dir.file("userdict.txt"));
        state->dict->LoadUserdict(state->cb);
    };
    return w;
}

// "Add to my words" on the page, and the export for flashcards (which only reads userdict.txt).
Writer MyWordsAdd() {
    return MakeWriter("my words add", {{"userdict.txt", Ucs2File({"舊 [jiu4] /old/"})}},
                      [](const TempDir& dir) {
                          bool added = false;
                          return AddToMyWords(dir.file("userdict.txt"),
                                              SplitEntryLine(u"中國 中国 [zhong1 guo2] /China/"),
                                              added);
                      },
                      {"userdict.txt"});
}

Writer FlashcardsExport() {
    return MakeWriter("flashcard export",
                      {{"userdict.txt", Ucs2File({"舊 旧 [jiu4] /old/"})},
                       {"cards.txt", "an earlier export"}},
                      [](const TempDir& dir) {
                          MyWordList list;
                          return ExportFlashcards(dir.file("userdict.txt"), dir.file("cards.txt"),
                                                  FlashcardFormat::Anki, list);
                      },
                      {"cards.txt"});
}

Writer DuplicatesSave() {
    auto rows = std::make_shared<std::vector<DuplicateRow>>();
    Writer w =
        MakeWriter("duplicates save",
                   {{"cedict.u8", Ucs2File({"中 [zhong1] /a/", "中 [zhong1] /b/", "乙 [yi3] /c/"})},
                    {"cedict.new", Ucs2File({"an earlier save"})}},
                   [rows](const TempDir& dir) {
                       return SaveDuplicates(dir.file("cedict.u8"), *rows, {}).outcome;
                   },
                   {"cedict.new"});
    w.prepare = [rows](const TempDir& dir) {
        *rows = ScanFile(dir.file("cedict.u8"), {}).Rows;
        if (rows->size() != 2) throw std::runtime_error("the scan found no duplicates");
        (*rows)[0].Checked = true;
        (*rows)[1].Text = u"中 [zhong1] /a/b/";
    };
    return w;
}

Writer IndexBuild() {
    return MakeWriter(
        "index build",
        {{"cedict.ced", Ucs2File({"中国 [zhong1 guo2] /China/", "中 [zhong1] /middle/"})}},
        [](const TempDir& dir) {
            // An index that is there already (completed before a kill) is left alone; a
            // failed build never leaves one (checked by the walks).
            IndexBuildResult r = BuildIndex(dir.file("cedict.ced"), {}, {});
            Outcome o = r.outcome;
            if (r.alreadyExists) o.ok = true;
            return o;
        },
        {});
}

Writer UnihanBuild() {
    return MakeWriter(
        "Unihan build",
        {{"unihan.txt", "U+4E00\tkDefinition\tone\nU+4E01\tkDefinition\tadult\n"},
         {"unihan.idc", std::string("\x00\x4E\x00\x00\x00\x00\x00\x00", 8)}},
        [](const TempDir& dir) {
            return BuildUnihanIndex(dir.file("unihan.txt"), dir.file("unihan.idc")).outcome;
        },
        {"unihan.idc"});
}

Writer DslConversion() {
    std::string source;
    for (const char* l : {"中文", "\t[m1]zhōng wén[/m]", "\t[m2]Chinese language[/m]"})
        source += Utf16Bytes(std::string(l) + "\n");
    Writer w = MakeWriter("DSL conversion",
                          {{"dict.dsl", source},
                           {"dict.ced", Ucs2File({"舊 [jiu4] /old/"})},
                           {"convertlog.txt", Ucs2File({"an earlier log"})}},
                          [](const TempDir& dir) {
                              DslResult r = ConvertDsl(dir.file("dict.dsl"), dir.path());
                              return r.outcome;
                          },
                          {"dict.ced"});
    w.reports = {"convertlog.txt"};
    return w;
}

// --- the import of a CEDICT file: a dictionary and its index, replaced as one ---------------

const std::string kImportSource =
    "# CC-CEDICT\n中 [zhong1] /centre newer/\n中國 中国 [Zhong1 guo2] /China/\n";

// An index holds the time its data file was written: cleared for the comparison with the
// files of a run in another second (the start checks it against the data file).
std::string WithoutDataTime(const std::string& name, const std::string& bytes) {
    constexpr std::size_t kDataAgeAt = 2 * kDescriptionUnits + 4;
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".idx") != 0 ||
        bytes.size() < static_cast<std::size_t>(kIndexHeaderSize))
        return bytes;
    return bytes.substr(0, kDataAgeAt) + std::string(4, '\0') + bytes.substr(kDataAgeAt + 4);
}

// "cedict.ced" and its index as an earlier import left them, with the time Reset gives.
std::map<std::string, std::string> OlderDictionary() {
    TempDir dir;
    const std::string data = Ucs2File({"中 [zhong1] /centre older/"});
    WriteBytes(dir.file("cedict.ced"), data);
    SetFileUnixTime(dir.file("cedict.ced"), 1700000000);
    IndexBuildCallbacks cb;
    cb.askName = [](const std::u16string&) { return std::optional<std::u16string>(u"Older"); };
    const IndexBuildResult built = BuildIndex(dir.file("cedict.ced"), {}, cb);
    if (!built.outcome.ok) throw std::runtime_error(built.outcome.message);
    return {{"cedict.ced", data}, {"cedict.idx", ReadBytes(dir.file("cedict.idx"))}};
}

bool IsTemporary(const std::string& name) {
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

// The next start in `dir`: no message; either no dictionary (there was none before) or one
// complete pair, old or new, listed under its own name and found by a search; besides it
// only the source and temporary files.
void ExpectOnePairAtStart(const TempDir& dir, const Writer& w,
                          const std::map<std::string, std::string>& done,
                          const std::string& where) {
    Registry reg;
    RegistryCallbacks cb;
    std::string said;
    cb.message = [&said](const std::string& t) { said += t + "\n"; };
    DiscoverOptions options;
    options.writeDicts = false;
    DiscoverDictionaries(reg, dir.path(), cb, options);
    EXPECT_EQ(said, "") << where;
    for (const std::string& name : NamesIn(dir.path())) {
        EXPECT_TRUE(name == "cedict.u8" || name == "cedict.ced" || name == "cedict.idx" ||
                    IsTemporary(name))
            << where << ": " << name;
    }
    const bool data = FileExists(dir.file("cedict.ced"));
    EXPECT_EQ(FileExists(dir.file("cedict.idx")), data) << where;
    if (!data) {
        EXPECT_EQ(w.files.count("cedict.ced"), 0u) << where << ": the old pair is lost";
        EXPECT_TRUE(reg.Dicts.empty()) << where;
        return;
    }
    const auto old = w.files.find("cedict.ced");
    const bool isOld = old != w.files.end() && ReadBytes(dir.file("cedict.ced")) == old->second;
    if (isOld) {
        EXPECT_EQ(ReadBytes(dir.file("cedict.idx")), w.files.at("cedict.idx")) << where;
    } else {
        EXPECT_EQ(Comparable(dir, w, "cedict.ced"), done.at("cedict.ced")) << where;
        EXPECT_EQ(Comparable(dir, w, "cedict.idx"), done.at("cedict.idx")) << where;
    }
    ASSERT_EQ(reg.Dicts.size(), 1u) << where;
    EXPECT_EQ(reg.Dicts[0].Description, isOld ? u"Older" : u"Newer") << where;
    QueryHistory history;
    const SearchResult found = RunSearch(reg, history, u"中", 0, false, SearchOptions{});
    EXPECT_NE(found.Page.find(isOld ? "centre older" : "centre newer"), std::string::npos)
        << where << ": " << found.Page;
}

Writer Import(const char* name, bool replace) {
    std::map<std::string, std::string> files = {{"cedict.u8", kImportSource}};
    if (replace) files.merge(OlderDictionary());
    Writer w = MakeWriter(name, std::move(files),
                          [replace](const TempDir& dir) {
                              ImportRequest request;
                              request.sourcePath = dir.file("cedict.u8");
                              request.folder = dir.path();
                              request.name = "Newer";
                              request.replace = replace;
                              ImportResult r = ImportCedict(request, {});
                              // The new pair, completed by the start after a kill, is there
                              // already.
                              if (r.exists && !replace) r.outcome.ok = true;
                              return r.outcome;
                          },
                          // A failure leaves both files of the old pair as they were.
                          {});
    w.comparable = WithoutDataTime;
    w.startAfterKill = [w](const TempDir& dir, const std::map<std::string, std::string>& done,
                           const std::string& where) { ExpectOnePairAtStart(dir, w, done, where); };
    return w;
}

// Every writer of the program. A new one (a command that imports files, say) joins the walks
// with one entry here.
std::vector<Writer> AllWriters() {
    return {SettingsSave(),
            DictsSave(),
            UserdictWrite("userdict add", "新", std::make_shared<UserdictState>()),
            UserdictWrite("userdict change", "中", std::make_shared<UserdictState>()),
            MyWordsAdd(),
            FlashcardsExport(),
            DuplicatesSave(),
            IndexBuild(),
            UnihanBuild(),
            DslConversion(),
            Import("import", false),
            Import("import --replace", true)};
}

TEST(FileFaults, EveryWriterReportsEveryFaultAndKeepsTheOldBytes) {
    for (const Writer& w : AllWriters())
        WalkErrors(w);
}

TEST(FileFaults, EveryWriterSurvivesAKillAtEveryCall) {
    for (const Writer& w : AllWriters())
        WalkKills(w);
}

// A failed conversion still leaves a complete log that says why; the earlier output stays.
TEST(FileFaults, DslOutputFailureKeepsTheEarlierOutput) {
    const Writer w = DslConversion();
    TempDir dir;
    Reset(dir, w);
    FaultPlan plan;
    plan.ops = static_cast<unsigned>(FileOp::Rename);
    plan.error = ENOSPC;
    ArmFaults(plan);
    const Outcome o = w.run(dir);
    EXPECT_TRUE(DisarmFaults());
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.detail, "Conversion failed: output file " + dir.file("dict.ced") +
                            ": Cannot replace file (" + std::strerror(ENOSPC) + ")");
    EXPECT_EQ(ReadBytes(dir.file("dict.ced")), w.files.at("dict.ced"));
    EXPECT_EQ(NamesIn(dir.path()), NamesOf(w));
}

// A kill during the clean-up of a killed import (at the next start), or during the undoing of
// a failed one (a replacement marked as undone), still ends as one complete pair; an undone
// replacement as the old pair.
TEST(FileFaults, ImportLeftoversSurviveAKillDuringTheirCleanUp) {
    const Writer w = Import("import --replace", true);
    TempDir dir;
    Reset(dir, w);
    ASSERT_TRUE(w.run(dir).ok);
    const auto done = Snapshot(dir, w);
    const std::vector<std::string> oldPair = {"cedict.ced", "cedict.idx"};
    int64_t n = 1;
    for (; n < 10000; ++n) {
        for (const bool undo : {false, true}) {
            for (int64_t m = 1; m < 100; ++m) {
                Reset(dir, w);
                if (!test::RunKilledAt(n, [&] { w.run(dir); })) goto walked;
                bool marked = false;
                for (const std::string& name : NamesIn(dir.path())) {
                    const std::string mark = ".new";
                    if (undo && name.rfind("cedict.idx.", 0) == 0 &&
                        name.compare(name.size() - mark.size(), mark.size(), mark) == 0) {
                        std::filesystem::rename(
                            dir.file(name),
                            dir.file(name.substr(0, name.size() - mark.size()) + ".drop"));
                        marked = true;
                    }
                }
                if (undo && !marked) break;
                const std::string where = "killed at call " + std::to_string(n) +
                                          (undo ? ", undone" : "") + ", clean-up killed at " +
                                          std::to_string(m);
                const bool killed =
                    test::RunKilledAt(m, [&] { FinishDictionaryReplacements(dir.path()); });
                ExpectOnePairAtStart(dir, w, done, where);
                if (marked) {
                    for (const std::string& name : oldPair)
                        EXPECT_EQ(ReadBytes(dir.file(name)), w.files.at(name)) << where;
                }
                if (!killed) break;
            }
        }
    }
walked:
    EXPECT_GT(n, 10);
}

// --- stale temporary files -------------------------------------------------------------

TEST(StaleTemporaries, OnlyUnlockedOldFilesOfTheTargetsOwnNamingGo) {
    TempDir dir;
    const std::string target = dir.file("x.idx");
    const std::vector<std::string> names = {
        "x.idx.0123456789ab.tmp",  // stale: removed
        "x.idx.0123456789AB.tmp",  // not the writer's naming (upper case)
        "x.idx.0123456789a.tmp",   // 11 digits
        "x.idx.tmp",               // no digits
        "y.idx.0123456789ab.tmp",  // another target's
        "x.idx.abcdefabcdef.tmp",  // too recent: a writer may be about to lock it
    };
    for (const std::string& n : names)
        WriteBytes(dir.file(n), "partial");
    for (std::size_t i = 0; i + 1 < names.size(); ++i)
        test::AgeFile(dir.file(names[i]), kStaleTemporaryAge + 5);
    // A folder and a link with the naming are left alone.
    std::filesystem::create_directory(dir.file("x.idx.111111111111.tmp"));
    std::filesystem::create_symlink("x.idx", dir.file("x.idx.222222222222.tmp"));

    EXPECT_EQ(RemoveStaleTemporaries(target), 1);
    std::vector<std::string> left = NamesIn(dir.path());
    EXPECT_EQ(left, (std::vector<std::string>{"x.idx.0123456789AB.tmp", "x.idx.0123456789a.tmp",
                                              "x.idx.111111111111.tmp", "x.idx.222222222222.tmp",
                                              "x.idx.abcdefabcdef.tmp", "x.idx.tmp",
                                              "y.idx.0123456789ab.tmp"}));
}

TEST(StaleTemporaries, ALiveWritersFileStaysHoweverOld) {
    TempDir dir;
    const std::string target = dir.file("setup.ini");
    WriteBytes(target, "old");
    FileReplacement live(target);
    live.file().write("new", 3);
    test::AgeFile(live.tempPath(), 3600);
    // Another writer of the same file starts (and cleans up) meanwhile.
    ReplaceFileContents(target, [](ByteFile& f) { f.write("other", 5); });
    EXPECT_TRUE(FileExists(live.tempPath()));
    EXPECT_EQ(RemoveStaleTemporaries(target), 0);
    live.commit();
    EXPECT_EQ(ReadBytes(target), "new");
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"setup.ini"}));
}

}  // namespace
}  // namespace kes
