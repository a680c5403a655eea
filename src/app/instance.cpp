#include "app/instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>

namespace kes {

namespace {

using Json = nlohmann::json;

constexpr char kVersionKey[] = "version";
constexpr char kCommandKey[] = "command";
constexpr char kQueryKey[] = "query";
constexpr char kOkKey[] = "ok";
constexpr char kMessageKey[] = "message";

std::string Dump(const Json& j) {
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The payload as a JSON object of this protocol version, or null with `error` set.
std::optional<Json> ParseObject(std::string_view payload, std::string& error) {
    Json j = Json::parse(payload.begin(), payload.end(), nullptr, false);
    if (j.is_discarded()) {
        error = "not a JSON document";
        return std::nullopt;
    }
    if (!j.is_object()) {
        error = "not a JSON object";
        return std::nullopt;
    }
    const auto v = j.find(kVersionKey);
    if (v == j.end() || !v->is_number_integer() || v->get<int64_t>() != kInstanceProtocolVersion) {
        error = "not protocol version " + std::to_string(kInstanceProtocolVersion);
        return std::nullopt;
    }
    return j;
}

// The text field `key` of `j` into `out`; false (with `error`) when present but not text.
bool TextField(const Json& j, const char* key, std::string& out, std::string& error) {
    const auto it = j.find(key);
    if (it == j.end()) return true;
    if (!it->is_string()) {
        error = std::string("\"") + key + "\" is not a text";
        return false;
    }
    out = it->get<std::string>();
    return true;
}

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

long long NowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

bool FillAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Waits until `fd` is ready for `events` or `deadline` (NowMs) passes.
bool WaitFor(int fd, short events, long long deadline) {
    for (;;) {
        const long long left = deadline - NowMs();
        if (left <= 0) return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left));
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) return false;
    }
}

bool WriteAll(int fd, const std::string& bytes, long long deadline) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(fd, POLLOUT, deadline)) return false;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

// A folder this user may keep the socket in: a real directory owned by `uid`, not writable
// by others (and, when `privateOnly`, with no permission at all for group and others).
std::string CheckFolder(const std::string& path, uid_t uid, bool privateOnly) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return Errno(path);
    if (!S_ISDIR(st.st_mode)) return path + " is not a folder";
    if (st.st_uid != uid) return path + " belongs to another user";
    const mode_t refused = privateOnly ? 077 : 022;
    if ((st.st_mode & refused) != 0) return path + " is open to other users";
    return {};
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Messages

std::string EncodeInstanceMessage(const InstanceMessage& message) {
    Json j;
    j[kVersionKey] = kInstanceProtocolVersion;
    j[kCommandKey] = message.command == InstanceCommand::Popup    ? "popup"
                     : message.command == InstanceCommand::Screen ? "screen"
                                                                  : "show";
    j[kQueryKey] = message.query;
    return Dump(j);
}

std::string EncodeInstanceReply(const InstanceReply& reply) {
    Json j;
    j[kVersionKey] = kInstanceProtocolVersion;
    j[kOkKey] = reply.ok;
    if (!reply.ok) j[kMessageKey] = reply.message;
    return Dump(j);
}

std::optional<InstanceMessage> DecodeInstanceMessage(std::string_view payload, std::string& error) {
    const std::optional<Json> j = ParseObject(payload, error);
    if (!j) return std::nullopt;
    std::string command;
    InstanceMessage m;
    if (!TextField(*j, kCommandKey, command, error) || !TextField(*j, kQueryKey, m.query, error))
        return std::nullopt;
    if (command == "show") {
        m.command = InstanceCommand::Show;
    } else if (command == "popup") {
        m.command = InstanceCommand::Popup;
    } else if (command == "screen") {
        m.command = InstanceCommand::Screen;
    } else {
        error = "unknown command \"" + CutUtf8(command, 64) + "\"";
        return std::nullopt;
    }
    if (m.query.size() > kMaxInstanceQueryBytes) {
        error = "query of " + std::to_string(m.query.size()) + " bytes";
        return std::nullopt;
    }
    return m;
}

std::optional<InstanceReply> DecodeInstanceReply(std::string_view payload, std::string& error) {
    const std::optional<Json> j = ParseObject(payload, error);
    if (!j) return std::nullopt;
    const auto ok = j->find(kOkKey);
    if (ok == j->end() || !ok->is_boolean()) {
        error = "no \"ok\"";
        return std::nullopt;
    }
    InstanceReply r;
    r.ok = ok->get<bool>();
    if (!TextField(*j, kMessageKey, r.message, error)) return std::nullopt;
    return r;
}

std::string FrameInstancePayload(std::string_view payload) {
    const auto n = static_cast<uint32_t>(payload.size());
    std::string frame{static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                      static_cast<char>(n >> 8), static_cast<char>(n)};
    frame.append(payload);
    return frame;
}

InstanceFrameReader::State InstanceFrameReader::fail(std::string error) {
    error_ = std::move(error);
    payload_.clear();
    return state_ = State::Invalid;
}

InstanceFrameReader::State InstanceFrameReader::feed(const char* data, std::size_t size) {
    if (state_ == State::Invalid) return state_;
    if (state_ == State::Complete) return size == 0 ? state_ : fail("data after the message");
    while (size > 0 && headerBytes_ < sizeof header_) {
        header_[headerBytes_++] = static_cast<unsigned char>(*data++);
        --size;
        if (headerBytes_ == sizeof header_) {
            expected_ = (std::size_t{header_[0]} << 24) | (std::size_t{header_[1]} << 16) |
                        (std::size_t{header_[2]} << 8) | std::size_t{header_[3]};
            if (expected_ == 0) return fail("empty message");
            if (expected_ > kMaxInstanceMessageBytes)
                return fail("message of " + std::to_string(expected_) + " bytes (at most " +
                            std::to_string(kMaxInstanceMessageBytes) + ")");
            payload_.reserve(expected_);
        }
    }
    if (headerBytes_ < sizeof header_) return state_;
    const std::size_t take = std::min(size, expected_ - payload_.size());
    payload_.append(data, take);
    if (size > take) return fail("data after the message");
    if (payload_.size() == expected_) state_ = State::Complete;
    return state_;
}

std::string CutUtf8(std::string text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = maxBytes;
    // Back over continuation bytes to the start of the sequence that would be cut.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    return text;
}

// ---------------------------------------------------------------------------------------
// The socket's place

InstancePath InstanceSocketPath(const char* runtimeDir, const std::string& tmpFolder, uid_t uid) {
    InstancePath r;
    if (runtimeDir != nullptr && runtimeDir[0] == '/' &&
        CheckFolder(runtimeDir, uid, false).empty()) {
        r.path = std::string(runtimeDir) + "/" + kInstanceSocketName;
    } else {
        const std::string folder = tmpFolder + "/kestrune-" + std::to_string(uid);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            r.error = Errno("Cannot create " + folder);
            return r;
        }
        if (std::string why = CheckFolder(folder, uid, true); !why.empty()) {
            r.error = "Unsafe folder for the viewer's socket: " + why;
            return r;
        }
        r.path = folder + "/" + kInstanceSocketName;
    }
    sockaddr_un addr{};
    if (!FillAddress(r.path, addr)) {
        r.error = "The viewer's socket path is too long: " + r.path;
        r.path.clear();
    }
    return r;
}

InstancePath InstanceSocketPathOfThisUser() {
    return InstanceSocketPath(std::getenv("XDG_RUNTIME_DIR"), "/tmp", ::getuid());
}

bool PeerHasUid(int fd, uid_t uid, uid_t* peerUid) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof cred)
        return false;
    if (peerUid) *peerUid = cred.uid;
    return cred.uid == uid;
}

// ---------------------------------------------------------------------------------------
// The viewer's side

InstanceListener::InstanceListener(const std::string& socketPath) : path_(socketPath) {
    sockaddr_un addr{};
    if (!FillAddress(path_, addr)) {
        error_ = "The viewer's socket path is too long: " + path_;
        return;
    }
    const std::string lockPath = path_ + ".lock";
    lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd_ < 0) {
        error_ = Errno("Cannot open " + lockPath);
        return;
    }
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            status_ = Status::Taken;
        } else {
            error_ = Errno("Cannot lock " + lockPath);
        }
        ::close(lockFd_);
        lockFd_ = -1;
        return;
    }
    // The lock is ours: a socket file still there belongs to a viewer that has ended.
    ::unlink(path_.c_str());
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        error_ = Errno("Cannot create a socket");
        return;
    }
    // The file is created without permissions for others, then given exactly 0600.
    const mode_t old = ::umask(0177);
    const int bound = ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    ::umask(old);
    if (bound != 0 || ::chmod(path_.c_str(), 0600) != 0 || ::listen(listenFd_, kInstanceBacklog) != 0) {
        error_ = Errno("Cannot listen on " + path_);
        ::close(listenFd_);
        listenFd_ = -1;
        return;
    }
    status_ = Status::Listening;
}

InstanceListener::InstanceListener(const std::string& socketPath, int lockFd, int listenFd)
    : path_(socketPath) {
    int listening = 0;
    socklen_t size = sizeof listening;
    struct stat lockStat {};
    if (lockFd >= 0 && listenFd >= 0 && ::fstat(lockFd, &lockStat) == 0 &&
        S_ISREG(lockStat.st_mode) &&
        ::getsockopt(listenFd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) == 0 && listening) {
        lockFd_ = lockFd;
        listenFd_ = listenFd;
        // Close-on-exec again, as a listener of our own has them, and never blocking.
        ::fcntl(lockFd_, F_SETFD, FD_CLOEXEC);
        ::fcntl(listenFd_, F_SETFD, FD_CLOEXEC);
        ::fcntl(listenFd_, F_SETFL, ::fcntl(listenFd_, F_GETFL) | O_NONBLOCK);
        status_ = Status::Listening;
        return;
    }
    error_ = "The viewer's socket was not passed on";
    if (lockFd >= 0) ::close(lockFd);
    if (listenFd >= 0) ::close(listenFd);
}

InstanceListener::~InstanceListener() {
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        ::unlink(path_.c_str());
    }
    if (lockFd_ >= 0) ::close(lockFd_);
}

bool WriteInstanceReply(int fd, const InstanceReply& reply) {
    return WriteAll(fd, FrameInstancePayload(EncodeInstanceReply(reply)),
                    NowMs() + kInstanceReadTimeoutMs);
}

// ---------------------------------------------------------------------------------------
// The client's side

namespace {

// Connects to the viewer's socket, retrying while no viewer listens yet (for connectRetryMs) or
// while its queue of waiting connections is full (for replyTimeoutMs). -1 when no connection
// was made: `r` then says why (its status stays NoViewer when no viewer came).
int ConnectToViewer(const std::string& socketPath, const sockaddr_un& addr, int replyTimeoutMs,
                    int connectRetryMs, SendResult& r) {
    const long long connectDeadline = NowMs() + connectRetryMs;
    // A viewer whose queue of waiting connections is full (it is busy, or stopped) is waited
    // for as long as for its reply; a blocking connect would wait for ever.
    const long long busyDeadline = NowMs() + replyTimeoutMs;
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            r.status = SendStatus::Failed;
            r.message = Errno("Cannot create a socket");
            return -1;
        }
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) return fd;
        const int e = errno;
        ::close(fd);
        if (e == EAGAIN) {
            if (NowMs() >= busyDeadline) {
                r.status = SendStatus::Failed;
                r.message = "The viewer did not take the request";
                return -1;
            }
            ::usleep(20 * 1000);
            continue;
        }
        if (e != ENOENT && e != ECONNREFUSED) {
            r.status = SendStatus::Failed;
            r.message = socketPath + ": " + std::strerror(e);
            return -1;
        }
        if (NowMs() >= connectDeadline) return -1;  // NoViewer
        ::usleep(50 * 1000);
    }
}

}  // namespace

SendResult SendToViewer(const std::string& socketPath, const InstanceMessage& message,
                        int replyTimeoutMs, int connectRetryMs) {
    SendResult r;
    sockaddr_un addr{};
    if (!FillAddress(socketPath, addr)) {
        r.status = SendStatus::Failed;
        r.message = "The viewer's socket path is too long: " + socketPath;
        return r;
    }
    const int fd = ConnectToViewer(socketPath, addr, replyTimeoutMs, connectRetryMs, r);
    if (fd < 0) return r;

    r.status = SendStatus::Failed;
    uid_t peer = 0;
    if (!PeerHasUid(fd, ::getuid(), &peer)) {
        ::close(fd);
        r.message = "Refused the viewer's socket " + socketPath + ": it belongs to user id " +
                    std::to_string(peer);
        return r;
    }
    const long long deadline = NowMs() + replyTimeoutMs;
    if (!WriteAll(fd, FrameInstancePayload(EncodeInstanceMessage(message)), deadline)) {
        ::close(fd);
        r.message = "The viewer did not take the request";
        return r;
    }
    InstanceFrameReader reader;
    char buf[4096];
    while (reader.state() == InstanceFrameReader::State::NeedMore) {
        if (!WaitFor(fd, POLLIN, deadline)) break;
        const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break;
        reader.feed(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (reader.state() != InstanceFrameReader::State::Complete) {
        r.message = reader.state() == InstanceFrameReader::State::Invalid
                        ? "The viewer's reply is invalid: " + reader.error()
                        : "The viewer did not answer";
        return r;
    }
    std::string error;
    const std::optional<InstanceReply> reply = DecodeInstanceReply(reader.payload(), error);
    if (!reply) {
        r.message = "The viewer's reply is invalid: " + error;
    } else if (!reply->ok) {
        r.message = "The viewer refused the request: " + reply->message;
    } else {
        r.status = SendStatus::Delivered;
    }
    return r;
}

}  // namespace kes
