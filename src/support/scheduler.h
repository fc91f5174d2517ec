// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Timers and deferred calls for the window thread, and the clock the
// application reads. Every callback runs on the thread that drives the
// scheduler (the window thread); only post() may be called from other
// threads.
#include "support/datetime.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace kestle {

using Millis = std::int64_t;

// When a call made at `now` after `delay` is due: a negative delay is none,
// and a delay past the end of time saturates instead of overflowing.
inline Millis dueTime(Millis now, Millis delay) {
    const Millis wait = delay < 0 ? 0 : delay;
    return wait > std::numeric_limits<Millis>::max() - now ? std::numeric_limits<Millis>::max()
                                                           : now + wait;
}
using TimerId = std::uint64_t;

class Scheduler {
  public:
    virtual ~Scheduler() = default;

    // Milliseconds since the scheduler started (monotonic).
    virtual Millis nowMs() const = 0;
    // Local calendar time now.
    virtual LocalDateTime localNow() const = 0;

    // Runs `fn` once after `delayMs` (0: as soon as possible, after calls
    // already due). Returns an id for cancel(); ids are never 0.
    virtual TimerId callAfter(Millis delayMs, std::function<void()> fn) = 0;
    // Cancels a pending call; unknown or finished ids are ignored.
    virtual void cancel(TimerId id) = 0;

    // Thread-safe: runs `fn` on the window thread as soon as possible.
    virtual void post(std::function<void()> fn) = 0;

    // Ends the loop that drives this scheduler once the current call returns.
    virtual void stop() = 0;

    // Work handed to another thread whose result comes back as a call on
    // the window thread. Call expectResult() (window thread) before handing
    // the work over; the other thread delivers with postResult() (any
    // thread), exactly once. A virtual clock stands still while a result is
    // outstanding, so virtual-time runs stay reproducible.
    void expectResult() { ++outstanding_; }
    void postResult(std::function<void()> fn);
    int resultsOutstanding() const { return outstanding_.load(); }
    // Runs `fn` on the window thread once no result is outstanding (at once
    // when none is). Window thread.
    void whenResultsIn(std::function<void()> fn);

  private:
    std::atomic<int> outstanding_{0};
    std::vector<std::function<void()>> waitingForResults_;
};

} // namespace kestle
