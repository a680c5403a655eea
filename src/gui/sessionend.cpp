#include "gui/sessionend.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <iostream>

namespace kes {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int g_pipe[2] = {-1, -1};

void OnSignal(int signo) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    // The pipe does not block: when it is full, ends are pending already.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

const char* SignalName(int signo) {
    switch (signo) {
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        case SIGINT:
            return "SIGINT";
        default:
            return "a signal";
    }
}

}  // namespace

SessionEnd::SessionEnd(QObject* parent, std::function<void(const char* why)> end)
    : QObject(parent), end_(std::move(end)) {
    // The pipe and the handlers are made once and kept until the process ends.
    static const bool installed = [] {
        if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            std::cerr << "Kestrune: the end of the session cannot be noticed (pipe: "
                      << std::strerror(errno) << "); settings are kept only by Quit.\n";
            return false;
        }
        for (const int signo : kSignals) {
            struct sigaction sa {};
            sa.sa_handler = OnSignal;
            sigemptyset(&sa.sa_mask);
            sa.sa_flags = SA_RESTART;
            ::sigaction(signo, &sa, nullptr);
        }
        return true;
    }();
    if (installed) {
        // Signals that came before this object (or after the last one) are not its own.
        unsigned char stale[64];
        while (::read(g_pipe[0], stale, sizeof stale) > 0) {
        }
        notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &SessionEnd::ReadSignals);
    }
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { Request("the session manager"); });
}

SessionEnd::~SessionEnd() = default;

void SessionEnd::ReadSignals() {
    unsigned char bytes[64];
    int first = 0;
    for (;;) {
        const ssize_t n = ::read(g_pipe[0], bytes, sizeof bytes);
        if (n > 0) {
            if (first == 0) first = bytes[0];
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;  // drained (EAGAIN) or closed
    }
    if (first != 0) Request(SignalName(first));
}

void SessionEnd::Request(const char* why) {
    if (requested_) return;
    requested_ = true;
    end_(why);
}

}  // namespace kes
