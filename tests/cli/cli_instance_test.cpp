// "show", "popup" and the start without a command, on the side of the program entry: the
// request made of the words or standard input, and what happens with no viewer, a viewer that
// takes the request, one that refuses it, and an unusable socket folder.
#include "cli/cli_instance.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/entry.h"
#include "support/program.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::StandInViewer;
using test::TempDir;

TEST(InstanceCommands, TheEntryKnowsShowAndPopup) {
    EntryDecision d = DecideEntry({" SHOW ", "中国"});
    EXPECT_EQ(d.branch, EntryBranch::Show);
    EXPECT_EQ(d.args, std::vector<std::string>{"中国"});
    d = DecideEntry({"popup"});
    EXPECT_EQ(d.branch, EntryBranch::Popup);
    EXPECT_TRUE(d.args.empty());
}

TEST(InstanceCommands, TheQueryIsTheWordsOrStandardInput) {
    std::istringstream none;
    InstanceMessage m = InstanceRequestOf(InstanceCommand::Show, {"zhong", "guo"}, none);
    EXPECT_EQ(m.command, InstanceCommand::Show);
    EXPECT_EQ(m.query, "zhong guo");
    EXPECT_EQ(InstanceRequestOf(InstanceCommand::Popup, {}, none).query, "");
    // "-" means standard input only for popup, and only alone.
    EXPECT_EQ(InstanceRequestOf(InstanceCommand::Show, {"-"}, none).query, "-");
    EXPECT_EQ(InstanceRequestOf(InstanceCommand::Popup, {"-", "x"}, none).query, "- x");

    std::istringstream in("学习\n");
    m = InstanceRequestOf(InstanceCommand::Popup, {"-"}, in);
    EXPECT_EQ(m.command, InstanceCommand::Popup);
    EXPECT_EQ(m.query, "学习\n");

    // A long text is cut at a character boundary below the limit (3-byte characters).
    std::string big;
    while (big.size() <= kMaxInstanceQueryBytes + 10)
        big += "中";
    std::istringstream bigIn(big);
    m = InstanceRequestOf(InstanceCommand::Popup, {"-"}, bigIn);
    EXPECT_EQ(m.query.size(), kMaxInstanceQueryBytes / 3 * 3);
    EXPECT_EQ(m.query, big.substr(0, m.query.size()));
}

TEST(InstanceCommands, NoViewerStartsOneWithTheRequest) {
    TempDir run;
    std::ostringstream err;
    std::optional<InstanceMessage> started;
    int calls = 0;
    auto starter = [&](const std::optional<InstanceMessage>& start) {
        ++calls;
        started = start;
        return 7;
    };
    const InstanceMessage request{InstanceCommand::Popup, "学习"};
    EXPECT_EQ(ReachViewer(run.file("kestrune.sock"), "", request, request, starter, err), 7);
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(started);
    EXPECT_EQ(started->query, "学习");
    EXPECT_EQ(err.str(), "");

    // Without a usable socket folder: a warning, and the viewer all the same.
    EXPECT_EQ(ReachViewer("", "Unsafe folder for the viewer's socket: /tmp/x is not a folder",
                          request, std::nullopt, starter, err),
              7);
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(started);
    EXPECT_EQ(err.str(),
              "Kestrune: Unsafe folder for the viewer's socket: /tmp/x is not a folder\n");
}

TEST(InstanceCommands, ARunningViewerTakesItOrSaysWhyNot) {
    TempDir run;
    const std::string path = run.file("kestrune.sock");
    InstanceListener listener(path);
    ASSERT_EQ(listener.status(), InstanceListener::Status::Listening);
    int calls = 0;
    auto starter = [&](const std::optional<InstanceMessage>&) { return ++calls, 7; };
    std::ostringstream err;
    {
        StandInViewer viewer(listener.listenFd(), {true, ""});
        EXPECT_EQ(ReachViewer(path, "", {}, std::nullopt, starter, err), 0);
    }
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(err.str(), "");

    {
        StandInViewer viewer(listener.listenFd(), {false, "unknown command \"x\""});
        EXPECT_EQ(ReachViewer(path, "", {}, std::nullopt, starter, err), 1);
    }
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(err.str(), "Kestrune: The viewer refused the request: unknown command \"x\"\n");
}

}  // namespace
}  // namespace kes
