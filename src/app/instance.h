// One viewer per user: the local socket through which `kestrune show` and `kestrune popup` (and
// a second start) reach the running viewer, the lock that makes one viewer own it, and the
// message protocol spoken over it. Qt-free: the program entry uses the client side, the viewer
// the listening side.
//
// The socket is "kestrune.sock" in $XDG_RUNTIME_DIR (when that is a folder of this user that
// nobody else may write to), else in the private folder "/tmp/kestrune-UID" (created with mode
// 0700; refused when it exists with another owner, other modes, or as a symbolic link). The
// socket file has mode 0600, and both sides refuse a peer of another user id (SO_PEERCRED).
//
// Protocol (version 1): a connection carries one request and one reply. Each is a frame: four
// bytes of big-endian length N (1..kMaxInstanceMessageBytes), then N bytes of UTF-8 JSON:
//   request: {"version":1,"command":"show"|"popup"|"screen","query":"TEXT"}
//   reply:   {"version":1,"ok":true} or {"version":1,"ok":false,"message":"TEXT"}
// A frame that is too long, not JSON, of another version, or not complete within
// kInstanceReadTimeoutMs is dropped and the connection closed.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kes {

inline constexpr int kInstanceProtocolVersion = 1;
// The largest payload of one frame.
inline constexpr std::size_t kMaxInstanceMessageBytes = 64 * 1024;
// The longest query a request carries (longer texts are cut at a character boundary).
inline constexpr std::size_t kMaxInstanceQueryBytes = 16 * 1024;
// How long the viewer waits for the rest of a started request.
inline constexpr int kInstanceReadTimeoutMs = 2000;
inline constexpr char kInstanceSocketName[] = "kestrune.sock";
// Connections the listening socket keeps while the viewer has not accepted them yet.
inline constexpr int kInstanceBacklog = 128;

enum class InstanceCommand {
    Show,   // show the main window; with a query, search it as typed into the field
    Popup,  // the popup for the query (empty: the selection or the clipboard)
    Screen, // look up text on screen: the user picks a region, its text goes to the popup
};

struct InstanceMessage {
    InstanceCommand command = InstanceCommand::Show;
    std::string query;  // UTF-8, at most kMaxInstanceQueryBytes
};

struct InstanceReply {
    bool ok = false;
    std::string message;  // why not, when !ok
};

// The JSON payloads (no frame). Invalid UTF-8 in a text is replaced by U+FFFD.
std::string EncodeInstanceMessage(const InstanceMessage& message);
std::string EncodeInstanceReply(const InstanceReply& reply);
// Nothing (and the reason in `error`) for a payload that is not a request/reply of this
// protocol version: no JSON, no object, another version, an unknown command, a missing or
// non-text field, a query over kMaxInstanceQueryBytes. Unknown fields are ignored.
std::optional<InstanceMessage> DecodeInstanceMessage(std::string_view payload, std::string& error);
std::optional<InstanceReply> DecodeInstanceReply(std::string_view payload, std::string& error);

// The frame of `payload` (at most kMaxInstanceMessageBytes).
std::string FrameInstancePayload(std::string_view payload);

// Reassembles one frame from the bytes of a connection as they arrive.
class InstanceFrameReader {
  public:
    enum class State { NeedMore, Complete, Invalid };
    // Takes the next bytes. Once Complete or Invalid the state no longer changes, except that
    // bytes after a complete frame make it Invalid.
    State feed(const char* data, std::size_t size);
    State state() const { return state_; }
    // The payload once Complete.
    const std::string& payload() const { return payload_; }
    // Why, once Invalid.
    const std::string& error() const { return error_; }

  private:
    State fail(std::string error);

    State state_ = State::NeedMore;
    unsigned char header_[4] = {};
    std::size_t headerBytes_ = 0;
    std::size_t expected_ = 0;
    std::string payload_;
    std::string error_;
};

// The longest prefix of `text` of at most `maxBytes` bytes that does not end inside a UTF-8
// sequence.
std::string CutUtf8(std::string text, std::size_t maxBytes);

struct InstancePath {
    std::string path;   // the socket's path; empty on failure
    std::string error;  // why there is none
};

// The socket path for user `uid`: in `runtimeDir` when it is set, absolute, a directory owned
// by `uid` and writable by nobody else; otherwise in `tmpFolder`/kestrune-UID, created with
// mode 0700 when missing and accepted only as a real directory owned by `uid` with no
// permissions for group or others.
InstancePath InstanceSocketPath(const char* runtimeDir, const std::string& tmpFolder, uid_t uid);
// The same for this process: $XDG_RUNTIME_DIR, /tmp, the real user id.
InstancePath InstanceSocketPathOfThisUser();

// True when the peer of the connected local socket `fd` runs as `uid`; its user id goes to
// `peerUid` (when given) as far as it is known.
bool PeerHasUid(int fd, uid_t uid, uid_t* peerUid = nullptr);

// The listening side, owned by one viewer per socket path for its whole run. The owner holds
// an exclusive lock on SOCKET.lock; only the lock holder removes a socket file left by a
// viewer that has ended and binds a new one, so two viewers starting at once end with one.
class InstanceListener {
  public:
    enum class Status {
        Listening,  // this process owns the socket: listenFd() accepts the requests
        Taken,      // another viewer owns it (or is starting and will): send to it instead
        Failed,     // no socket (error() says why); the viewer runs alone
    };
    explicit InstanceListener(const std::string& socketPath);
    // Takes over the lock and listening socket that a viewer passed on when it started itself
    // afresh (`lockFd` and `listenFd` from lockFd() and listenFd() of its listener): Listening
    // when both are open and the socket listens, Failed (both closed) otherwise.
    InstanceListener(const std::string& socketPath, int lockFd, int listenFd);
    ~InstanceListener();
    InstanceListener(const InstanceListener&) = delete;
    InstanceListener& operator=(const InstanceListener&) = delete;

    Status status() const { return status_; }
    const std::string& error() const { return error_; }
    // The listening socket (non-blocking, close-on-exec), -1 unless Listening. Stays owned
    // by this object.
    int listenFd() const { return listenFd_; }
    // The lock held for as long as this viewer runs, -1 unless Listening.
    int lockFd() const { return lockFd_; }

  private:
    std::string path_;
    Status status_ = Status::Failed;
    std::string error_;
    int lockFd_ = -1;
    int listenFd_ = -1;
};

enum class SendStatus {
    Delivered,  // the viewer accepted the request
    NoViewer,   // nobody listens at the path
    Failed,     // a viewer was reached but the request did not go through (message says why)
};
struct SendResult {
    SendStatus status = SendStatus::NoViewer;
    std::string message;
};

// Sends one request to the viewer at `socketPath` and waits for its reply (at most
// `replyTimeoutMs`). While nobody listens, connecting is retried for `connectRetryMs`
// (0: one attempt); while the viewer's queue of connections is full, for `replyTimeoutMs`.
// Never blocks longer. A server of another user id is refused.
SendResult SendToViewer(const std::string& socketPath, const InstanceMessage& message,
                        int replyTimeoutMs, int connectRetryMs = 0);

// Writes a reply frame to the connected socket `fd` (never raises SIGPIPE). False on failure.
bool WriteInstanceReply(int fd, const InstanceReply& reply);

}  // namespace kes
