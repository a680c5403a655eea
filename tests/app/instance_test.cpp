// The socket of this user's viewer without the viewer: the protocol's frames and documents
// (including garbage and oversized frames), the choice of the socket's folder, the lock that
// leaves one owner, the peer check, and a request's round trip through a real local socket.
#include "app/instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "support/program.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::StandInViewer;
using test::TempDir;
namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

std::string Frame(std::string_view payload) {
    return FrameInstancePayload(payload);
}

TEST(InstanceProtocol, RequestsAndRepliesRoundTrip) {
    for (const InstanceMessage& m :
         {InstanceMessage{InstanceCommand::Show, ""},
          InstanceMessage{InstanceCommand::Show, "中国"},
          InstanceMessage{InstanceCommand::Popup, "学习 \"quoted\" \\ \n\t\x01 end"},
          InstanceMessage{InstanceCommand::Screen, ""}}) {
        const std::string payload = EncodeInstanceMessage(m);
        std::string error;
        const auto back = DecodeInstanceMessage(payload, error);
        ASSERT_TRUE(back) << payload << ": " << error;
        EXPECT_EQ(back->command, m.command);
        EXPECT_EQ(back->query, m.query);
    }
    EXPECT_EQ(EncodeInstanceMessage({InstanceCommand::Popup, "学习"}),
              "{\"command\":\"popup\",\"query\":\"学习\",\"version\":1}");
    EXPECT_EQ(EncodeInstanceMessage({InstanceCommand::Screen, ""}),
              "{\"command\":\"screen\",\"query\":\"\",\"version\":1}");
    EXPECT_EQ(EncodeInstanceReply({true, ""}), "{\"ok\":true,\"version\":1}");
    EXPECT_EQ(EncodeInstanceReply({false, "no"}),
              "{\"message\":\"no\",\"ok\":false,\"version\":1}");
    std::string error;
    auto reply = DecodeInstanceReply("{\"version\":1,\"ok\":false,\"message\":\"why\"}", error);
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply->ok);
    EXPECT_EQ(reply->message, "why");
    // Broken UTF-8 in a query goes out as U+FFFD, never as invalid JSON.
    const std::string payload = EncodeInstanceMessage({InstanceCommand::Show,
                                                       "a\xFF"
                                                       "b"});
    const auto back = DecodeInstanceMessage(payload, error);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->query,
              "a\xEF\xBF\xBD"
              "b");
    // Fields of later versions are ignored; the query may be missing.
    const auto extra =
        DecodeInstanceMessage("{\"version\":1,\"command\":\"show\",\"x\":[1,2]}", error);
    ASSERT_TRUE(extra);
    EXPECT_EQ(extra->query, "");
}

TEST(InstanceProtocol, GarbageIsRefusedWithAReason) {
    const std::string longQuery(kMaxInstanceQueryBytes + 1, 'a');
    const std::vector<std::pair<std::string, std::string>> cases{
        {"", "not a JSON document"},
        {"garbage \x01\xFF", "not a JSON document"},
        {"{\"version\":1,\"command\":\"show\"", "not a JSON document"},
        {"{\"version\":1,\"command\":\"show\",\"query\":\"\xFF\"}", "not a JSON document"},
        {"[1,2,3]", "not a JSON object"},
        {"\"show\"", "not a JSON object"},
        {"{\"command\":\"show\"}", "not protocol version 1"},
        {"{\"version\":2,\"command\":\"show\"}", "not protocol version 1"},
        {"{\"version\":\"1\",\"command\":\"show\"}", "not protocol version 1"},
        {"{\"version\":1}", "unknown command \"\""},
        {"{\"version\":1,\"command\":\"quit\"}", "unknown command \"quit\""},
        {"{\"version\":1,\"command\":7}", "\"command\" is not a text"},
        {"{\"version\":1,\"command\":\"show\",\"query\":null}", "\"query\" is not a text"},
        {"{\"version\":1,\"command\":\"popup\",\"query\":\"" + longQuery + "\"}",
         "query of 16385 bytes"},
    };
    for (const auto& [payload, reason] : cases) {
        std::string error;
        EXPECT_FALSE(DecodeInstanceMessage(payload, error)) << payload;
        EXPECT_EQ(error, reason) << payload;
    }
    std::string error;
    EXPECT_FALSE(DecodeInstanceReply("{\"version\":1}", error));
    EXPECT_EQ(error, "no \"ok\"");
    EXPECT_FALSE(DecodeInstanceReply("{\"version\":1,\"ok\":1}", error));
}

TEST(InstanceProtocol, FramesByteByByteAndBadFrames) {
    const std::string frame = Frame("{\"a\":1}");
    EXPECT_EQ(test::Hex(frame.substr(0, 4)), "00 00 00 07");
    InstanceFrameReader reader;
    for (std::size_t i = 0; i + 1 < frame.size(); ++i)
        EXPECT_EQ(reader.feed(&frame[i], 1), InstanceFrameReader::State::NeedMore) << i;
    EXPECT_EQ(reader.feed(&frame.back(), 1), InstanceFrameReader::State::Complete);
    EXPECT_EQ(reader.payload(), "{\"a\":1}");
    // Anything after the one frame of a connection spoils it.
    EXPECT_EQ(reader.feed("x", 1), InstanceFrameReader::State::Invalid);
    EXPECT_EQ(reader.error(), "data after the message");

    // A 10 MB message is refused by its header alone, before any of its bytes are kept.
    const std::string huge = Frame(std::string(10 * 1024 * 1024, 'x'));
    InstanceFrameReader big;
    EXPECT_EQ(big.feed(huge.data(), 4), InstanceFrameReader::State::Invalid);
    EXPECT_EQ(big.error(), "message of 10485760 bytes (at most 65536)");
    EXPECT_EQ(big.feed(huge.data() + 4, 100), InstanceFrameReader::State::Invalid);

    InstanceFrameReader limit;
    const std::string largest = Frame(std::string(kMaxInstanceMessageBytes, 'x'));
    EXPECT_EQ(limit.feed(largest.data(), largest.size()), InstanceFrameReader::State::Complete);
    InstanceFrameReader over;
    const std::string tooLarge = Frame(std::string(kMaxInstanceMessageBytes + 1, 'x'));
    EXPECT_EQ(over.feed(tooLarge.data(), tooLarge.size()), InstanceFrameReader::State::Invalid);

    InstanceFrameReader empty;
    EXPECT_EQ(empty.feed("\0\0\0\0", 4), InstanceFrameReader::State::Invalid);
    EXPECT_EQ(empty.error(), "empty message");

    const std::string two = Frame("ab") + "c";
    InstanceFrameReader trailing;
    EXPECT_EQ(trailing.feed(two.data(), two.size()), InstanceFrameReader::State::Invalid);
}

TEST(InstanceProtocol, TextsAreCutAtCharacterBoundaries) {
    EXPECT_EQ(CutUtf8("abc", 3), "abc");
    EXPECT_EQ(CutUtf8("abc", 2), "ab");
    EXPECT_EQ(CutUtf8("中国", 5), "中");  // not half of 国
    EXPECT_EQ(CutUtf8("中国", 3), "中");
    EXPECT_EQ(CutUtf8("中国", 2), "");
    EXPECT_EQ(CutUtf8("a\xF0\x9F\x98\x80", 4), "a");
}

TEST(InstanceSocketPlace, RuntimeFolderOrAPrivateFolderInTmp) {
    TempDir runtime, tmp;
    const uid_t me = ::getuid();
    ASSERT_EQ(::chmod(runtime.path().c_str(), 0700), 0);
    InstancePath p = InstanceSocketPath(runtime.path().c_str(), tmp.path(), me);
    EXPECT_EQ(p.path, runtime.file("kestrune.sock"));
    EXPECT_EQ(p.error, "");

    // Unset, empty, relative, missing, open to others, or of another user: the private folder.
    const std::string fallback = tmp.file("kestrune-" + std::to_string(me));
    ASSERT_EQ(::chmod(runtime.path().c_str(), 0777), 0);
    for (const char* dir : {static_cast<const char*>(nullptr), "", "relative/dir",
                            "/nonexistent/run", runtime.path().c_str()}) {
        p = InstanceSocketPath(dir, tmp.path(), me);
        EXPECT_EQ(p.path, fallback + "/kestrune.sock") << (dir ? dir : "(unset)");
        struct stat st {};
        ASSERT_EQ(::lstat(fallback.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
}

// A private folder that is not private is never trusted: it may be another user's trap.
TEST(InstanceSocketPlace, UnsafeFoldersAreRefused) {
    TempDir tmp, elsewhere;
    const uid_t me = ::getuid();
    const std::string folder = tmp.file("kestrune-" + std::to_string(me));
    auto refused = [&](const std::string& why) {
        const InstancePath p = InstanceSocketPath(nullptr, tmp.path(), me);
        EXPECT_EQ(p.path, "");
        EXPECT_EQ(p.error, "Unsafe folder for the viewer's socket: " + folder + why);
    };
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    refused(" is open to other users");
    ASSERT_EQ(::chmod(folder.c_str(), 0770), 0);
    refused(" is open to other users");
    ASSERT_EQ(::rmdir(folder.c_str()), 0);
    fs::create_directory_symlink(elsewhere.path(), folder);
    refused(" is not a folder");
    fs::remove(folder);
    test::WriteBytes(folder, "");
    refused(" is not a folder");
    fs::remove(folder);

    // The folder made for another user id by this one is not that user's.
    InstancePath other = InstanceSocketPath(nullptr, tmp.path(), me + 1);
    EXPECT_EQ(other.path, "");
    EXPECT_EQ(other.error, "Unsafe folder for the viewer's socket: " +
                               tmp.file("kestrune-" + std::to_string(me + 1)) +
                               " belongs to another user");
    if (me == 0) {
        ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
        ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
        refused(" belongs to another user");
    }

    // A path the socket address cannot hold.
    const std::string deep = tmp.file(std::string(120, 'd'));
    ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0);
    const InstancePath tooLong = InstanceSocketPath(deep.c_str(), tmp.path(), me);
    EXPECT_EQ(tooLong.path, "");
    EXPECT_EQ(tooLong.error, "The viewer's socket path is too long: " + deep + "/kestrune.sock");
}

TEST(InstancePeer, TheUserIdOfThePeerIsChecked) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    uid_t peer = 12345;
    EXPECT_TRUE(PeerHasUid(fds[0], ::getuid(), &peer));
    EXPECT_EQ(peer, ::getuid());
    // The same peer, checked against another expected user id (as for a stranger).
    EXPECT_FALSE(PeerHasUid(fds[1], ::getuid() + 1, &peer));
    EXPECT_EQ(peer, ::getuid());
    ::close(fds[0]);
    ::close(fds[1]);
    // Not a socket at all.
    EXPECT_FALSE(PeerHasUid(-1, ::getuid()));
}

TEST(InstanceListenerTest, OneOwnerAStaleSocketIsReplacedAndRequestsGoThrough) {
    TempDir run;
    const std::string path = run.file("kestrune.sock");
    EXPECT_EQ(SendToViewer(path, {}, 1000).status, SendStatus::NoViewer);

    // A socket file left by a viewer that ended without removing it.
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, path.c_str());
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::close(fd);
    }
    ASSERT_TRUE(fs::exists(path));
    EXPECT_EQ(SendToViewer(path, {}, 1000).status, SendStatus::NoViewer);

    {
        InstanceListener first(path);
        ASSERT_EQ(first.status(), InstanceListener::Status::Listening) << first.error();
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISSOCK(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        // Whoever comes second, at once or later, finds it taken.
        InstanceListener second(path);
        EXPECT_EQ(second.status(), InstanceListener::Status::Taken);
        EXPECT_EQ(second.listenFd(), -1);

        StandInViewer viewer(first.listenFd(), {true, ""});
        const SendResult sent = SendToViewer(path, {InstanceCommand::Popup, "学习"}, 5000);
        EXPECT_EQ(sent.status, SendStatus::Delivered) << sent.message;
        ASSERT_EQ(viewer.received().size(), 1u);
        EXPECT_EQ(viewer.received()[0].command, InstanceCommand::Popup);
        EXPECT_EQ(viewer.received()[0].query, "学习");
    }
    // The owner removed its socket at the end.
    EXPECT_FALSE(fs::exists(path));
    InstanceListener next(path);
    EXPECT_EQ(next.status(), InstanceListener::Status::Listening);
    StandInViewer refusing(next.listenFd(), {false, "busy"});
    const SendResult sent = SendToViewer(path, {}, 5000);
    EXPECT_EQ(sent.status, SendStatus::Failed);
    EXPECT_EQ(sent.message, "The viewer refused the request: busy");
}

// A viewer that starts itself afresh passes its lock and socket on: requests keep arriving on
// the same socket, nobody else can take it in between, and descriptors that are not a
// listening socket and a lock are refused and closed.
TEST(InstanceListenerTest, PassedOnLockAndSocketKeepServing) {
    TempDir run;
    const std::string path = run.file("kestrune.sock");
    auto first = std::make_unique<InstanceListener>(path);
    ASSERT_EQ(first->status(), InstanceListener::Status::Listening) << first->error();
    // What the fresh process gets: the same open files under other numbers.
    const int lock = ::dup(first->lockFd());
    const int listen = ::dup(first->listenFd());
    InstanceListener again(path, lock, listen);
    ASSERT_EQ(again.status(), InstanceListener::Status::Listening) << again.error();
    EXPECT_EQ(again.lockFd(), lock);
    EXPECT_EQ(again.listenFd(), listen);
    EXPECT_EQ(::fcntl(listen, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    EXPECT_EQ(InstanceListener(path).status(), InstanceListener::Status::Taken);
    {
        StandInViewer viewer(again.listenFd(), {true, ""});
        const SendResult sent = SendToViewer(path, {InstanceCommand::Show, "中国"}, 5000);
        EXPECT_EQ(sent.status, SendStatus::Delivered) << sent.message;
        ASSERT_EQ(viewer.received().size(), 1u);
        EXPECT_EQ(viewer.received()[0].query, "中国");
    }

    // A plain file as the socket, a socket as the lock, closed numbers: refused, and the
    // descriptors it was given are closed.
    const int file = ::open(run.file("plain").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    const int unbound = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    InstanceListener wrong(path, unbound, file);
    EXPECT_EQ(wrong.status(), InstanceListener::Status::Failed);
    EXPECT_EQ(wrong.error(), "The viewer's socket was not passed on");
    EXPECT_EQ(wrong.listenFd(), -1);
    EXPECT_EQ(::fcntl(file, F_GETFD), -1);
    EXPECT_EQ(::fcntl(unbound, F_GETFD), -1);
    EXPECT_EQ(InstanceListener(path, -1, -1).status(), InstanceListener::Status::Failed);
}

TEST(InstanceListenerTest, ManyStartingAtOnceLeaveOneOwner) {
    TempDir run;
    const std::string path = run.file("kestrune.sock");
    std::atomic<int> listening{0}, taken{0};
    std::vector<std::unique_ptr<InstanceListener>> listeners(8);
    std::vector<std::thread> threads;
    for (auto& l : listeners)
        threads.emplace_back([&] {
            l = std::make_unique<InstanceListener>(path);
            (l->status() == InstanceListener::Status::Listening ? listening : taken)++;
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(listening, 1);
    EXPECT_EQ(taken, 7);
}

TEST(InstanceListenerTest, AViewerThatDoesNotAnswerIsReported) {
    TempDir run;
    const std::string path = run.file("kestrune.sock");
    InstanceListener silent(path);
    ASSERT_EQ(silent.status(), InstanceListener::Status::Listening);
    // Accepted by the kernel, never read: the client gives up after its time.
    const SendResult sent = SendToViewer(path, {}, 300);
    EXPECT_EQ(sent.status, SendStatus::Failed);
    EXPECT_EQ(sent.message, "The viewer did not answer");
}

// Run as root only: a process of user "nobody" against the viewer's socket of this user.
TEST(InstancePeer, AnotherUserCannotReachTheViewer) {
    if (::getuid() != 0) GTEST_SKIP() << "needs root to run a process as another user";
    TempDir run;
    ASSERT_EQ(::chmod(run.path().c_str(), 0755), 0);  // the folder alone does not keep it out
    const std::string path = run.file("kestrune.sock");
    InstanceListener owner(path);
    ASSERT_EQ(owner.status(), InstanceListener::Status::Listening);

    // What the other user's process sees: the socket refuses it (mode 0600)...
    auto asNobody = [&](int expectedStatus) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(9);
            const SendResult r = SendToViewer(path, {}, 500);
            ::_exit(static_cast<int>(r.status));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), expectedStatus);
    };
    asNobody(static_cast<int>(SendStatus::Failed));
    const int pending = ::accept4(owner.listenFd(), nullptr, nullptr, SOCK_NONBLOCK);
    EXPECT_EQ(pending, -1);  // it never got through

    // ...and with the file opened up by mistake, the peer check on the owner's side refuses it.
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    asNobody(static_cast<int>(SendStatus::Failed));  // no answer within its time
    const int fd = ::accept4(owner.listenFd(), nullptr, nullptr, 0);
    ASSERT_GE(fd, 0);
    uid_t peer = 0;
    EXPECT_FALSE(PeerHasUid(fd, ::getuid(), &peer));
    EXPECT_EQ(peer, kNobody);
    ::close(fd);

    // A client refuses a viewer's socket served by another user.
    TempDir other;
    ASSERT_EQ(::chmod(other.path().c_str(), 0777), 0);
    const std::string foreign = other.file("kestrune.sock");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t server = ::fork();
    if (server == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(9);
        InstanceListener l(foreign);
        ::chmod(foreign.c_str(), 0666);
        const char ok = l.status() == InstanceListener::Status::Listening ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        ::sleep(10);
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, 'y');
    const SendResult sent = SendToViewer(foreign, {}, 1000);
    ::kill(server, SIGKILL);
    ::waitpid(server, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(sent.status, SendStatus::Failed);
    EXPECT_EQ(sent.message, "Refused the viewer's socket " + foreign + ": it belongs to user id " +
                                std::to_string(kNobody));
}

}  // namespace
}  // namespace kes
