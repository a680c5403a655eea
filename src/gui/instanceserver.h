// The viewer's side of the socket of this user's viewer: accepts the connections of `kestrune
// show`, `kestrune popup` and later starts, refuses peers of another user id, reads one
// request per connection as its bytes arrive (bounded in size and time), replies at once and
// queues the request. The queue is worked through in order of arrival, one request each time
// the message loop comes round, so that connections keep being read and answered while the
// window carries out the requests before them (a search, the first page view, a popup).
// Beyond kMaxQueuedRequests waiting requests a new one is refused with a reason the caller
// prints. Whatever a peer sends, the viewer goes on serving: a bad request is dropped with a
// line on stderr and its connection closed.
#pragma once

#include <sys/types.h>

#include <QObject>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/instance.h"

class QSocketNotifier;
class QTimer;

namespace kes {

class InstanceServer : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<void(const InstanceMessage& request)>;
    using Log = std::function<void(const std::string& line)>;

    // Serves the listening socket `listenFd` (non-blocking; stays owned by the caller and must
    // outlive this object) for peers running as `uid`. Each accepted request is answered, then
    // passed to `handler` from the message loop. `log` takes each line about a dropped
    // connection (default: stderr).
    InstanceServer(int listenFd, uid_t uid, Handler handler, Log log = {},
                   QObject* parent = nullptr);
    ~InstanceServer() override;

    // The most connections read at the same time; more are closed at once.
    static constexpr std::size_t kMaxConnections = 128;
    // The most requests answered but not yet carried out; more are refused.
    static constexpr std::size_t kMaxQueuedRequests = 64;

    int acceptedRequests() const { return accepted_; }
    int droppedConnections() const { return dropped_; }
    int refusedRequests() const { return refused_; }
    // No connection open and no request waiting or being carried out: nothing would be lost if
    // the process ended now (connections not yet accepted wait in the listening socket).
    bool idle() const { return connections_.empty() && queue_.empty() && !running_; }

  Q_SIGNALS:
    // The server has become idle().
    void becameIdle();

  private:
    struct Connection;
    void acceptPending();
    void readFrom(int fd);
    void drop(int fd, const std::string& why);
    void close(int fd);
    void runNext();
    void checkIdle();

    int listenFd_;
    uid_t uid_;
    Handler handler_;
    Log log_;
    QSocketNotifier* listenNotifier_;
    std::map<int, std::unique_ptr<Connection>> connections_;
    std::deque<InstanceMessage> queue_;
    QTimer* runTimer_;
    bool running_ = false;
    bool destroying_ = false;
    int accepted_ = 0;
    int dropped_ = 0;
    int refused_ = 0;
};

}  // namespace kes
