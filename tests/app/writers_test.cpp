// The writers of a search: the plain text of one entry, and that the search reads every data
// file once whatever it is written as. Whole outputs are compared with the kept ones in
// tests/cli/lookup_reference_test.cpp.
#include "app/textwriter.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

#include "app/resultpage.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::W;

TEST(EntryPlainTextForm, FormsSensesNotesAndTokens) {
    EXPECT_EQ(EntryPlainText(W("a b c [p] /x/y/"), true), "a [b, c]  p\n  x\n  y\n");
    EXPECT_EQ(EntryPlainText(W("國 [guo2] /country/"), true), "國 (国)  guo2\n  country\n");
    EXPECT_EQ(EntryPlainText(W("國 [guo2] /country/"), false), "國  guo2\n  country\n");
    EXPECT_EQ(EntryPlainText(W("word"), true), "word\n");
    // As on the page, angle brackets become square ones and "[br]" breaks the line.
    EXPECT_EQ(EntryPlainText(W("w [p] /[BS]bold[be] <b>x|ex1[BR]ex2<br>ex3|ex4/"), true),
              "w  p\n  bold [b]x\n    ex1\n    ex2\n    ex3\n    ex4\n");
    EXPECT_EQ(EntryPlainText(W("w [p] no slashes"), true), "w  p\n  no slashes\n");
    // Style tokens written with angle brackets style the page, so plain text drops them too.
    EXPECT_EQ(EntryPlainText(W("w [p] /<bs>bold<be> <CS>ex<ce>/"), true), "w  p\n  bold ex\n");
}

TEST(PlainTextOfHtml, TheNoticeInWords) {
    EXPECT_EQ(PlainTextOfHtml(kNoticeHtml),
              "NOTICE: 'Translate text (instead of word)' option was blocked by non-chinese "
              "characters in input.");
}

// How often each file of `names` in `folder` is opened while `command` runs.
std::map<std::string, int> OpensDuring(const test::TempDir& folder,
                                       const std::vector<std::string>& names,
                                       const std::string& command) {
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) throw std::runtime_error("inotify_init1 failed");
    std::map<int, std::string> watches;
    for (const std::string& n : names)
        watches[inotify_add_watch(fd, folder.file(n).c_str(), IN_OPEN)] = n;
    const int status = std::system(command.c_str());
    std::map<std::string, int> opens;
    for (const std::string& n : names)
        opens[n] = 0;
    alignas(inotify_event) char buf[4096];
    for (ssize_t got; (got = read(fd, buf, sizeof buf)) > 0;) {
        for (char* p = buf; p < buf + got;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(p);
            if (ev->mask & IN_OPEN) ++opens[watches[ev->wd]];
            p += sizeof(inotify_event) + ev->len;
        }
    }
    close(fd);
    if (status != 0) opens["exit status"] = status;
    return opens;
}

TEST(LookupReadsOnce, EachDataFileIsOpenedOnceInEveryForm) {
    test::TempDir home;
    test::MakeDict(home, "a", "A", {"中 [zhong1] /middle/", "中國 中国 [zhong1 guo2] /China/"});
    test::MakeDict(home, "b", "B", {"中 [zhong4] /to hit/", "國 [guo2] /country/"});
    const std::vector<std::string> files = {"a.ced", "a.idx", "b.ced", "b.idx"};
    for (const char* form : {"", "--json ", "--html "}) {
        const std::string cmd = "KESTRUNE_HOME=" + test::ShellQuote(home.path()) + " " +
                                test::ShellQuote(KESTRUNE_BINARY) + " lookup " + form +
                                "--translate-all 中国中國 >/dev/null";
        const std::map<std::string, int> expected = {
            {"a.ced", 1}, {"a.idx", 2}, {"b.ced", 1}, {"b.idx", 2}};
        EXPECT_EQ(OpensDuring(home, files, cmd), expected) << form;
    }
}

}  // namespace
}  // namespace kes
