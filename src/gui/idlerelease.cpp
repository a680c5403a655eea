#include "gui/idlerelease.h"

#include <QTimer>

namespace kes {

IdleRelease::IdleRelease(std::function<void()> release, QObject* parent)
    : QObject(parent), release_(std::move(release)), quiet_(new QTimer(this)) {
    quiet_->setSingleShot(true);
    quiet_->setInterval(kQuietMs);
    connect(quiet_, &QTimer::timeout, this, [this] { run(); });
}

void IdleRelease::noteActivity() {
    if (++pending_ >= kEveryActivities)
        run();
    else
        quiet_->start();
}

void IdleRelease::run() {
    quiet_->stop();
    pending_ = 0;
    ++releases_;
    if (release_) release_();
}

}  // namespace kes
