// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Real time on the Qt event loop: the window's scheduler. Due calls wait in
// one queue behind one timer, short waits run ahead within a small lead
// (see TimerQueue), and calls posted from other threads arrive in batches,
// so that each costs the event loop as little as possible.
#include "support/realtime_scheduler.h"
#include "support/scheduler.h"
#include "support/timer_queue.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <mutex>
#include <vector>

namespace kestle::ui {

inline constexpr Millis kWindowSchedulerLeadMs = 100;

class QtScheduler : public QObject, public Scheduler {
  public:
    QtScheduler();
    Millis nowMs() const override { return queue_.now(clock_.elapsed()); }
    LocalDateTime localNow() const override { return systemLocalNow(); }
    TimerId callAfter(Millis delayMs, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    void post(std::function<void()> fn) override;
    void stop() override;

  private:
    void runDue();
    void arm();
    void runPosted();

    QElapsedTimer clock_;
    QTimer timer_;
    // Each turn of the window's event loop costs more than a headless one,
    // so its calls gather over a longer lead.
    TimerQueue queue_{kWindowSchedulerLeadMs};
    bool running_ = false; // runDue() is at work: it arms the timer at its end
    std::mutex postedMutex_;
    std::vector<std::function<void()>> posted_; // guarded by postedMutex_
    bool postPending_ = false;                  // guarded by postedMutex_
};

} // namespace kestle::ui
