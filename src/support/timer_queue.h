// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The calls a real-time scheduler holds, in the order they fall due, on a
// clock that may run ahead of real time by at most `lead` ms: a call due
// within `lead` of now runs at once and moves the clock on to its time. A
// chain of short waits (a report, its answer a millisecond later, the next
// report) then costs one wake-up per `lead` instead of one per wait, while
// the pace over any longer span stays that of real time. Single thread.
#include "support/scheduler.h"

#include <functional>
#include <map>
#include <optional>

namespace kestle {

class TimerQueue {
  public:
    explicit TimerQueue(Millis lead) : lead_(lead) {}

    // The scheduler's time at real time `real` (ms): never behind it.
    Millis now(Millis real) const { return real > clock_ ? real : clock_; }
    // A call due `delay` ms after now(real).
    TimerId add(Millis real, Millis delay, std::function<void()> fn);
    void cancel(TimerId id);
    bool empty() const { return queue_.empty(); }
    // The next call that may run at real time `real`, taken out of the
    // queue (the clock moves on to its due time); nullptr when none may.
    std::function<void()> take(Millis real);
    // How long to sleep from real time `real` until the next call is due
    // (then it and what follows it within the lead run together); nullopt
    // when nothing is queued.
    std::optional<Millis> sleepFor(Millis real) const;

  private:
    Millis lead_;
    Millis clock_ = 0;
    TimerId next_ = 1;
    std::map<std::pair<Millis, TimerId>, std::function<void()>> queue_;
    std::map<TimerId, Millis> due_;
};

} // namespace kestle
