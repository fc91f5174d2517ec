// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Virtual time: calls run in time order without real waiting. Serves
// headless runs with --clock and all tests. While a result of work on
// another thread is outstanding (see Scheduler::expectResult), the clock
// does not move: calls due now still run, then the loop waits in real time
// for the result, so that work elsewhere takes no virtual time.
#include "support/scheduler.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace kestle {

class VirtualScheduler : public Scheduler {
  public:
    explicit VirtualScheduler(LocalDateTime start = {});

    Millis nowMs() const override { return now_; }
    LocalDateTime localNow() const override;
    TimerId callAfter(Millis delayMs, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    void post(std::function<void()> fn) override;
    void stop() override { stopped_ = true; }

    // Runs the earliest pending call, advancing the clock to its time.
    // False when nothing is pending.
    bool runOne();
    // Runs every call due up to `t` (inclusive), then sets the clock to `t`.
    void runUntil(Millis t);
    void advance(Millis ms) { runUntil(now_ + ms); }
    // Runs until nothing is pending or stop() was called.
    void run();
    bool stopped() const { return stopped_; }
    bool idle();

  private:
    void takePosted();
    // Waits for posted calls while results are outstanding and nothing is
    // due at the present time.
    void awaitResults();

    LocalDateTime start_;
    Millis now_ = 0;
    TimerId next_ = 1;
    bool stopped_ = false;
    // Ordered by (due time, id), so equal times keep their order of creation.
    std::map<std::pair<Millis, TimerId>, std::function<void()>> queue_;
    std::map<TimerId, Millis> due_;
    std::mutex postMutex_;
    std::condition_variable postedCv_;
    std::vector<std::function<void()>> posted_;
};

} // namespace kestle
