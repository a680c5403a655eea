// What searches leave behind in the viewer, given back once it is quiet: the pages of the
// dictionary files and fonts that were read (mapped files count in the process's memory as
// they are touched, and scattered reads touch most of them in the end) and the free memory its
// heap keeps. Each search or request calls noteActivity(); the release runs kQuietMs after the
// last one, and at once after every kEveryActivities of them, so that a long burst of requests
// gives back as it goes. A release costs a millisecond or two; the next search takes its pages
// from the page cache again (minor faults, tens of microseconds).
#pragma once

#include <QObject>
#include <functional>

class QTimer;

namespace kes {

class IdleRelease : public QObject {
    Q_OBJECT
  public:
    static constexpr int kQuietMs = 1000;
    static constexpr int kEveryActivities = 100;

    // `release` gives the memory back (run from the message loop of this thread).
    explicit IdleRelease(std::function<void()> release, QObject* parent = nullptr);

    void noteActivity();
    int releases() const { return releases_; }

  private:
    void run();

    std::function<void()> release_;
    QTimer* quiet_;
    int pending_ = 0;
    int releases_ = 0;
};

}  // namespace kes
