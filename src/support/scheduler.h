#pragma once
// Timers and deferred calls for the window thread, and the clock the
// application reads. Every callback runs on the thread that drives the
// scheduler (the window thread); only post() may be called from other
// threads.
#include "support/datetime.h"

#include <cstdint>
#include <functional>

namespace kestle {

using Millis = std::int64_t;
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
};

} // namespace kestle
