#pragma once
// Real time on the Qt event loop: the window's scheduler.
#include "support/scheduler.h"

#include <QElapsedTimer>
#include <QObject>
#include <map>

class QTimer;

namespace kestle::ui {

class QtScheduler : public QObject, public Scheduler {
  public:
    QtScheduler();
    Millis nowMs() const override { return clock_.elapsed(); }
    LocalDateTime localNow() const override { return systemLocalNow(); }
    TimerId callAfter(Millis delayMs, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    void post(std::function<void()> fn) override;
    void stop() override;

  private:
    QElapsedTimer clock_;
    TimerId next_ = 1;
    std::map<TimerId, QTimer*> timers_;
};

} // namespace kestle::ui
