// The window's state handed to a viewer that starts itself afresh: exact in every field, and
// refused whole when damaged.
#include "app/viewersession.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/tempdir.h"

namespace kes {
namespace {

ViewerSession Sample() {
    ViewerSession s;
    s.Input = u"中国 \u00a0x";
    s.Input.push_back(static_cast<char16_t>(0xD800));  // a lone surrogate stays as it is
    s.History.Record(u"学习");
    s.History.Record(u"learn");
    s.History.Back();
    s.Tree = {{1, true, {u"中国", u"中國人", std::u16string(u"\U00020000")}},
              {3, false, {}},
              {4, true, {u""}}};
    s.CurrentDict = 1;
    s.CurrentWord = 2;
    // A page body with every byte value, a NUL and broken UTF-8 included.
    for (int i = 0; i < 256; ++i)
        s.PageBody.push_back(static_cast<char>(i));
    s.PageBody += "<p>\xe4\xb8\xad</p>";
    s.ScrollX = 0.5;
    s.ScrollY = 1234.25;
    return s;
}

TEST(ViewerSession, RoundTripIsExact) {
    const ViewerSession s = Sample();
    std::string error;
    std::optional<ViewerSession> back = DecodeViewerSession(EncodeViewerSession(s), error);
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(*back == s);
    EXPECT_EQ(back->Input, s.Input);
    EXPECT_EQ(back->History.P, 9);
    EXPECT_EQ(back->History.H(10), u"learn");
    EXPECT_EQ(back->Tree[0].Words[2], std::u16string(u"\U00020000"));
    EXPECT_EQ(back->PageBody, s.PageBody);
    EXPECT_EQ(back->ScrollY, 1234.25);

    // An empty window, and a page of several megabytes.
    ViewerSession empty;
    back = DecodeViewerSession(EncodeViewerSession(empty), error);
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(*back == empty);
    ViewerSession big = s;
    big.PageBody.assign(5 << 20, 'x');
    back = DecodeViewerSession(EncodeViewerSession(big), error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->PageBody.size(), std::size_t{5} << 20);
}

TEST(ViewerSession, DamagedBytesAreRefusedWhole) {
    const std::string good = EncodeViewerSession(Sample());
    std::string error;
    // Every cut short, including inside the body.
    for (std::size_t n = 0; n < good.size(); n += (n < 400 ? 1 : 37)) {
        error.clear();
        EXPECT_FALSE(DecodeViewerSession(good.substr(0, n), error)) << n;
        EXPECT_FALSE(error.empty()) << n;
    }
    // A byte too many, a foreign file, a description that is not the expected one.
    EXPECT_FALSE(DecodeViewerSession(good + "x", error));
    EXPECT_EQ(error, "the session is damaged: the page body is not of its recorded size");
    EXPECT_FALSE(DecodeViewerSession("[Setup]\nReleaseViewMinutes=1\n", error));
    EXPECT_EQ(error, "not a saved viewer session");
    auto withDescription = [](const std::string& json) {
        return "KESTRUNE-SESSION 1\n" + std::to_string(json.size()) + "\n" + json;
    };
    const std::string slots = R"([[],[],[],[],[],[],[],[],[],[]])";
    const std::string rest =
        R"(,"tree":[],"current":{"dictionary":0,"word":-1},"scroll":{"x":0,"y":0},"body":0})";
    EXPECT_TRUE(DecodeViewerSession(withDescription(R"({"input":[65],"history":{"slots":)" + slots +
                                                    R"(,"position":0})" + rest),
                                    error))
        << error;
    for (const std::string& bad :
         {R"({"input":[65536],"history":{"slots":)" + slots + R"(,"position":0})" + rest,
          R"({"input":"A","history":{"slots":)" + slots + R"(,"position":0})" + rest,
          R"({"input":[65],"history":{"slots":[[]],"position":0})" + rest,
          R"({"input":[65],"history":{"slots":)" + slots + R"(,"position":11})" + rest,
          R"({"input":[-1],"history":{"slots":)" + slots + R"(,"position":0})" + rest,
          std::string(R"({"input":[65]})"), std::string("{not json")}) {
        EXPECT_FALSE(DecodeViewerSession(withDescription(bad), error)) << bad;
        EXPECT_EQ(error.rfind("the session is damaged: ", 0), 0u) << error;
    }
    EXPECT_FALSE(DecodeViewerSession("KESTRUNE-SESSION 1\n99999999999999999999999\n{}", error));
    EXPECT_EQ(error, "the session's description is cut short");
}

#ifdef KESTRUNE_VIEWER_BINARY
// The real viewer started afresh with a damaged session (cut inside the page body, foreign
// bytes, nothing at all) in its memory file: it says why, starts with an empty window and
// shows its first page, never crashes.
TEST(ViewerSession, ADamagedSessionStartsAnEmptyWindow) {
    using test::ReadBytes;
    using test::TempDir;
    using test::WriteBytes;
    const std::string good = EncodeViewerSession(Sample());
    const struct {
        std::string bytes;
        const char* why;
    } cases[] = {
        {good.substr(0, good.size() - 5),
         "the session is damaged: the page body is not of its recorded size"},
        {"\x7f" "ELF\x02\x01\x01", "not a saved viewer session"},
        {"", "not a saved viewer session"},
    };
    for (const auto& c : cases) {
        TempDir home, run, io;
        WriteBytes(home.file("empty.html"), ReadBytes(KESTRUNE_SOURCE_DIR "/data/empty.html"));
        const int session = ::memfd_create("kestrune-session", 0);
        ASSERT_GE(session, 0);
        ASSERT_EQ(::write(session, c.bytes.data(), c.bytes.size()),
                  static_cast<ssize_t>(c.bytes.size()));
        const std::string err = io.file("stderr");
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, 2);
            ::setenv("KESTRUNE_HOME", home.path().c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", run.path().c_str(), 1);
            ::setenv("KESTRUNE_EXIT_WHEN_IDLE", "1", 1);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
            ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 1);
            const std::string fdText = std::to_string(session);
            ::execl(KESTRUNE_VIEWER_BINARY, KESTRUNE_VIEWER_BINARY, "--program-folder",
                    home.path().c_str(), "--resume", fdText.c_str(), "-1", "-1",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(session);
        int status = -1;
        for (int i = 0; i < 1200 && ::waitpid(pid, &status, WNOHANG) == 0; ++i)
            ::usleep(50 * 1000);
        if (::waitpid(pid, &status, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            FAIL() << c.why << ": the viewer did not end";
        }
        const std::string said = ReadBytes(err);
        ASSERT_TRUE(WIFEXITED(status)) << c.why << "\n" << said;
        EXPECT_EQ(WEXITSTATUS(status), 0) << said;
        EXPECT_NE(said.find(std::string("Kestrune: the window's state was not taken over: ") +
                            c.why + "\n"),
                  std::string::npos)
            << said;
        EXPECT_NE(said.find("Kestrune: started afresh after the page was released (the window's "
                            "state was lost)\n"),
                  std::string::npos)
            << said;
        EXPECT_NE(said.find("Kestrune: first page shown"), std::string::npos) << said;
    }
}
#endif

}  // namespace
}  // namespace kes
