#pragma once
// Real time without a window toolkit: a loop on the calling thread that runs
// calls when they fall due and sleeps in between. Serves headless runs
// without --clock. The window uses the Qt event loop instead.
#include "support/scheduler.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

namespace kestle {

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
    Clock::time_point start_;
    mutable std::mutex m_;
    std::condition_variable cv_;
    bool stopped_ = false;
    TimerId next_ = 1;
    std::map<std::pair<Millis, TimerId>, std::function<void()>> queue_;
    std::map<TimerId, Millis> due_;
};

} // namespace kestle
