#include "app/programfolder.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <stdexcept>

#include "app/registry.h"
#include "base/filesystem.h"
#include "base/paths.h"
#include "dict/dic.h"
#include "support/faults.h"
#include "support/tempdir.h"

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::MakeDict;
using test::NamesIn;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(ProgramFolderChoice, EnvironmentThenPortableThenUserFolder) {
    TempDir exe;
    // KESTRUNE_HOME wins, whatever the executable's folder holds.
    WriteBytes(exe.file("empty.html"), "<html></html>");
    ProgramFolderChoice c = ChooseProgramFolder(exe.path(), "/some/home", "/xdg", "/home/u");
    EXPECT_EQ(c.kind, ProgramFolderKind::Environment);
    EXPECT_EQ(c.folder, "/some/home");
    // A relative one is made absolute from the working folder (a relative file URL for the
    // page would leave it blank).
    c = ChooseProgramFolder(exe.path(), "some/./home/", "/xdg", "/home/u");
    EXPECT_EQ(c.folder, (fs::current_path() / "some/home").string());
    // A folder with empty.html is its own program folder (build tree, portable copy).
    c = ChooseProgramFolder(exe.path(), "", "/xdg", "/home/u");
    EXPECT_EQ(c.kind, ProgramFolderKind::Portable);
    EXPECT_EQ(c.folder, exe.path());
    // Installed: the user folder, seeded from ../share/kestrune beside the executable.
    fs::remove(exe.file("empty.html"));
    fs::create_directory(exe.file("bin"));
    c = ChooseProgramFolder(exe.file("bin"), nullptr, "/xdg", "/home/u");
    EXPECT_EQ(c.kind, ProgramFolderKind::User);
    EXPECT_EQ(c.folder, "/xdg/kestrune");
    EXPECT_EQ(c.installedData, exe.file("share/kestrune"));
    EXPECT_EQ(InstalledDataFolder(exe.file("bin")), exe.file("share/kestrune"));
    // XDG_DATA_HOME unset, empty or relative: the default under HOME.
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
        c = ChooseProgramFolder(exe.file("bin"), nullptr, xdg, "/home/u");
        EXPECT_EQ(c.folder, "/home/u/.local/share/kestrune");
    }
    c = ChooseProgramFolder(exe.file("bin"), nullptr, nullptr, nullptr);
    EXPECT_EQ(c.kind, ProgramFolderKind::User);
    EXPECT_EQ(c.folder, "");
    EXPECT_FALSE(SeedUserFolder(c.folder, c.installedData).ok);
}

// Name -> bytes and modification time of every file of a folder.
std::map<std::string, std::pair<std::string, int64_t>> Snapshot(const std::string& folder) {
    std::map<std::string, std::pair<std::string, int64_t>> m;
    for (const std::string& n : NamesIn(folder)) {
        struct stat st;
        ::lstat(JoinPath(folder, n).c_str(), &st);
        m[n] = {ReadBytes(JoinPath(folder, n)),
                static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    }
    return m;
}

struct Installed {
    TempDir root;
    std::string data = root.file("share/kestrune");
    std::string user = root.file("home/.local/share/kestrune");
    Installed() {
        fs::create_directories(data);
        WriteBytes(JoinPath(data, "empty.html"), "<html><body></body></html>");
        WriteBytes(JoinPath(data, "readme.html"), "<p>About</p>");
        WriteBytes(JoinPath(data, "cedict.ced"),
                   test::Ucs2File({"中國 中国 [Zhong1 guo2] /China/", "中 [zhong1] /middle/"}));
        // Times in the past, as a package installs them; the index records the data file's.
        for (const std::string& n : NamesIn(data))
            SetFileUnixTime(JoinPath(data, n), 1600000001);
        IndexBuildCallbacks cb;
        cb.askName = [](const std::u16string&) {
            return std::optional<std::u16string>(u"CC-CEDICT");
        };
        if (!BuildIndex(JoinPath(data, "cedict.ced"), IndexBuildOptions{true, true}, cb).outcome.ok)
            throw std::runtime_error("no index");
        fs::permissions(data, fs::perms::owner_read | fs::perms::owner_exec);
    }
    ~Installed() { fs::permissions(data, fs::perms::owner_all); }
    // The dictionaries the user folder's registry accepts; stale indexes fail the test.
    std::vector<TDic> Registered() const {
        Registry reg;
        RegistryCallbacks cb;
        cb.message = [](const std::string& m) { ADD_FAILURE() << m; };
        DiscoverOptions o;
        o.writeDicts = false;
        DiscoverDictionaries(reg, user, cb, o);
        return reg.Dicts;
    }
};

TEST(SeedUserFolder, CopiesKeepTimesSoIndexesStayValid) {
    Installed in;
    const auto before = Snapshot(in.data);
    const Outcome r = SeedUserFolder(in.user, in.data);
    ASSERT_TRUE(r.ok) << MessageWithDetail(r);
    EXPECT_EQ(r.message,
              "Copied into " + in.user + ": empty.html readme.html cedict.ced cedict.idx");
    EXPECT_EQ(Snapshot(in.user), before);  // same bytes, same times
    EXPECT_EQ(Snapshot(in.data), before);  // nothing written into the installed folder
    const std::vector<TDic> dicts = in.Registered();
    ASSERT_EQ(dicts.size(), 1u);
    EXPECT_EQ(dicts[0].Description, u"CC-CEDICT");
    // The copy is the user's: writable, and found by a search.
    EXPECT_EQ(::access(JoinPath(in.user, "cedict.ced").c_str(), W_OK), 0);
    DicReader reader(dicts[0], in.user, false);
    std::vector<int32_t> found;
    reader.Exact(u"中國", found);
    EXPECT_EQ(found.size(), 1u);

    // A second start copies nothing and keeps the user's changes.
    WriteBytes(JoinPath(in.user, "readme.html"), "mine");
    const Outcome again = SeedUserFolder(in.user, in.data);
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(again.message, "");
    EXPECT_EQ(ReadBytes(JoinPath(in.user, "readme.html")), "mine");
}

TEST(SeedUserFolder, InterruptedSeedIsCompletedAndLeftoversIgnored) {
    Installed in;
    fs::create_directories(in.user);
    // A start killed after the data file was renamed into place, with the next temporary
    // file half written.
    const auto data = JoinPath(in.data, "cedict.ced");
    fs::copy_file(data, JoinPath(in.user, "cedict.ced"));
    struct stat st;
    ::stat(data.c_str(), &st);
    SetFileUnixTime(JoinPath(in.user, "cedict.ced"), st.st_mtime);
    WriteBytes(JoinPath(in.user, "cedict.idx.0123456789ab.tmp"), "half");
    const Outcome r = SeedUserFolder(in.user, in.data);
    ASSERT_TRUE(r.ok) << MessageWithDetail(r);
    EXPECT_EQ(r.message, "Copied into " + in.user + ": empty.html readme.html cedict.idx");
    EXPECT_EQ(in.Registered().size(), 1u);
}

TEST(SeedUserFolder, UserDictionariesAreNeverOverwritten) {
    Installed in;
    fs::create_directories(in.user);
    // The user re-imported the dictionary (other data, no index yet): nothing is copied for it.
    WriteBytes(JoinPath(in.user, "cedict.ced"), "their own data");
    Outcome r = SeedUserFolder(in.user, in.data);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(ReadBytes(JoinPath(in.user, "cedict.ced")), "their own data");
    EXPECT_FALSE(fs::exists(JoinPath(in.user, "cedict.idx")));
    // A newer package brings another dictionary: it arrives at the next start.
    fs::permissions(in.data, fs::perms::owner_all);
    MakeDict(in.data, "extra", "Extra");
    r = SeedUserFolder(in.user, in.data);
    EXPECT_EQ(r.message, "Copied into " + in.user + ": extra.ced extra.idx");
    EXPECT_EQ(ReadBytes(JoinPath(in.user, "cedict.ced")), "their own data");
}

TEST(SeedUserFolder, FailureIsReportedWithTheFile) {
    Installed in;
    fs::create_directories(in.root.file("home/.local/share"));
    WriteBytes(in.user, "a file where the folder should be");
    Outcome r = SeedUserFolder(in.user, in.data);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "Cannot prepare the user folder " + in.user);
    EXPECT_NE(r.detail.find(in.user), std::string::npos) << r.detail;
    // A full disk: the copies that fit stay whole, nothing half-written remains.
    fs::remove(in.user);
    {
        test::FileSizeLimit limit(100);
        r = SeedUserFolder(in.user, in.data);
    }
    EXPECT_FALSE(r.ok);
    for (const std::string& n : NamesIn(in.user))
        EXPECT_EQ(ReadBytes(JoinPath(in.user, n)), ReadBytes(JoinPath(in.data, n))) << n;
    EXPECT_TRUE(SeedUserFolder(in.user, in.data).ok);
    EXPECT_EQ(in.Registered().size(), 1u);
}

}  // namespace
}  // namespace kes
