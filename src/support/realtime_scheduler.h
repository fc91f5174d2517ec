// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Real time without a window toolkit: a loop on the calling thread that runs
// calls when they fall due and sleeps in between. Serves headless runs
// without --clock. The window uses the Qt event loop instead. Short waits
// are run ahead of time within a small lead (see TimerQueue), so that a run
// of device exchanges does not wake the processor for each one.
#include "support/scheduler.h"
#include "support/timer_queue.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kestle {

// How far ahead of real time the schedulers' clocks may run, in ms.
inline constexpr Millis kSchedulerLeadMs = 20;

class RealTimeScheduler : public Scheduler {
  public:
    RealTimeScheduler();
    Millis nowMs() const override;
    LocalDateTime localNow() const override { return systemLocalNow(); }
    TimerId callAfter(Millis delayMs, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    void post(std::function<void()> fn) override;
    void stop() override;

    // Runs calls until stop().
    void run();

  private:
    using Clock = std::chrono::steady_clock;
    Millis realMs() const;

    Clock::time_point start_;
    mutable std::mutex m_;
    std::condition_variable cv_;
    bool stopped_ = false;
    bool waiting_ = false; // the loop sleeps: only then does a new call wake it
    TimerQueue queue_{kSchedulerLeadMs};
};

} // namespace kestle
