#include "gui/instanceserver.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <iostream>

namespace kes {

struct InstanceServer::Connection {
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<QTimer> timer;
    InstanceFrameReader reader;
};

InstanceServer::InstanceServer(int listenFd, uid_t uid, Handler handler, Log log, QObject* parent)
    : QObject(parent),
      listenFd_(listenFd),
      uid_(uid),
      handler_(std::move(handler)),
      log_(std::move(log)) {
    if (!log_) log_ = [](const std::string& line) { std::cerr << line << '\n' << std::flush; };
    listenNotifier_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read, this);
    connect(listenNotifier_, &QSocketNotifier::activated, this, [this] { acceptPending(); });
    runTimer_ = new QTimer(this);
    runTimer_->setSingleShot(true);
    runTimer_->setInterval(0);
    connect(runTimer_, &QTimer::timeout, this, [this] { runNext(); });
}

InstanceServer::~InstanceServer() {
    destroying_ = true;
    while (!connections_.empty())
        close(connections_.begin()->first);
}

void InstanceServer::acceptPending() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) continue;
            return;  // EAGAIN: nothing more waits; other errors: the next notification retries
        }
        uid_t peer = 0;
        if (!PeerHasUid(fd, uid_, &peer)) {
            ++dropped_;
            log_("Kestrune: refused a connection of user id " + std::to_string(peer));
            ::close(fd);
            continue;
        }
        if (connections_.size() >= kMaxConnections) {
            ++dropped_;
            log_("Kestrune: refused a connection: too many at once");
            ::close(fd);
            continue;
        }
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        c->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(c->notifier.get(), &QSocketNotifier::activated, this, [this, fd] { readFrom(fd); });
        c->timer = std::make_unique<QTimer>();
        c->timer->setSingleShot(true);
        connect(c->timer.get(), &QTimer::timeout, this, [this, fd] {
            // The loop may have been kept from reading by the work before (or the process
            // was stopped): what has arrived counts.
            readFrom(fd);
            if (connections_.count(fd)) drop(fd, "no complete request in time");
        });
        c->timer->start(kInstanceReadTimeoutMs);
        connections_[fd] = std::move(c);
    }
}

void InstanceServer::readFrom(int fd) {
    const auto it = connections_.find(fd);
    if (it == connections_.end()) return;
    Connection& c = *it->second;
    char buf[8192];
    for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;  // wait for more
        if (n <= 0) {
            drop(fd, n == 0 ? "connection closed before a complete request" : "connection lost");
            return;
        }
        switch (c.reader.feed(buf, static_cast<std::size_t>(n))) {
            case InstanceFrameReader::State::NeedMore:
                continue;
            case InstanceFrameReader::State::Invalid:
                drop(fd, c.reader.error());
                return;
            case InstanceFrameReader::State::Complete:
                break;
        }
        std::string error;
        const std::optional<InstanceMessage> request =
            DecodeInstanceMessage(c.reader.payload(), error);
        if (!request) {
            WriteInstanceReply(fd, InstanceReply{false, error});
            drop(fd, error);
            return;
        }
        // A caller that has closed its end gave up waiting (the viewer was stopped or the
        // machine asleep): it has said that the viewer did not answer, so the request is not
        // carried out after all.
        char probe;
        if (::recv(fd, &probe, 1, MSG_DONTWAIT | MSG_PEEK) == 0) {
            drop(fd, "the caller gave up waiting");
            return;
        }
        if (queue_.size() >= kMaxQueuedRequests) {
            ++refused_;
            const std::string why =
                "the viewer is busy: " + std::to_string(queue_.size()) + " requests are waiting";
            log_("Kestrune: refused a request: " + why);
            WriteInstanceReply(fd, InstanceReply{false, why});
            close(fd);
            return;
        }
        ++accepted_;
        WriteInstanceReply(fd, InstanceReply{true, {}});
        queue_.push_back(*request);
        close(fd);
        // Carried out from the message loop, after this notification has returned.
        if (!running_) runTimer_->start();
        return;
    }
}

void InstanceServer::drop(int fd, const std::string& why) {
    ++dropped_;
    log_("Kestrune: dropped a request: " + why);
    close(fd);
}

void InstanceServer::close(int fd) {
    const auto it = connections_.find(fd);
    if (it == connections_.end()) return;
    it->second->notifier->setEnabled(false);
    // The objects may be inside their own signal: deleted once the loop is back.
    it->second->notifier.release()->deleteLater();
    it->second->timer->stop();
    it->second->timer.release()->deleteLater();
    connections_.erase(it);
    ::close(fd);
    checkIdle();
}

void InstanceServer::runNext() {
    if (queue_.empty() || running_) return;
    const InstanceMessage message = std::move(queue_.front());
    queue_.pop_front();
    running_ = true;
    // The handler may run a nested loop (a message box): the next request waits for it.
    handler_(message);
    running_ = false;
    if (!queue_.empty()) runTimer_->start();
    checkIdle();
}

void InstanceServer::checkIdle() {
    if (!destroying_ && idle()) Q_EMIT becameIdle();
}

}  // namespace kes
