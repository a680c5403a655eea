// The end of the desktop session as a quit: SIGTERM, SIGHUP and SIGINT (how a session ends
// its programs at log-out or shutdown, and Ctrl+C in a terminal) and the session manager's
// request to save (commitDataRequest) each run one callback, once, on the GUI thread.
//
// The signal handlers only write the signal's number into a pipe (nothing else is safe in a
// handler); a notifier on its other end runs the callback from the message loop. The
// handlers stay in place for the rest of the process, so a second signal while the callback
// runs (the settings being saved) or while the program winds down only writes one more byte,
// which is ignored: it can neither cut the save short nor kill the program half-way.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace kes {

class SessionEnd : public QObject {
    Q_OBJECT
  public:
    // Installs the handlers of the three signals (once per process) and connects the
    // application's commitDataRequest. `end` gets what asked for the end ("SIGTERM",
    // "SIGHUP", "SIGINT" or "the session manager") and runs at most once. Only one
    // SessionEnd at a time.
    SessionEnd(QObject* parent, std::function<void(const char* why)> end);
    ~SessionEnd() override;

    // Runs the end now, as a signal would (once, like the others).
    void Request(const char* why);
    bool requested() const { return requested_; }

  private:
    void ReadSignals();

    std::function<void(const char*)> end_;
    QSocketNotifier* notifier_ = nullptr;
    bool requested_ = false;
};

}  // namespace kes
