// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a call on the window thread, so that
// a terminated session still closes its logs and writes its settings. The
// end does not depend on the window thread: if it has not finished within a
// grace period of the signal (it may be stuck), or a second signal comes,
// the watcher ends the process itself.
#include "support/scheduler.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace kestle {

// Blocks the signals in the calling thread; call first in main(), before any
// thread starts, so that every thread inherits the mask.
void blockTerminationSignals();
// Undoes it, for runs that have nothing to finish (a review, a report):
// the signals end them at once. Call before any thread starts.
void unblockTerminationSignals();

// Long enough for a normal shutdown, which finishes its files within 2 s.
inline constexpr std::chrono::milliseconds kTerminationGrace{5000};

class TerminationWatch {
  public:
    // Blocks the signals in the calling thread (call before other threads
    // start, so they inherit the mask) and waits for them on a thread of its
    // own. The first signal posts `onSignal` through `sched`; if this watch
    // is not destroyed within `grace` after it, or another signal arrives,
    // `onStuck(signal)` runs on the watcher thread. By default it writes a
    // line to standard error and ends the process with status 128 + signal.
    TerminationWatch(Scheduler& sched, std::function<void()> onSignal,
                     std::chrono::milliseconds grace = kTerminationGrace,
                     std::function<void(int)> onStuck = {});
    // Ends the watch; call once the session has ended.
    ~TerminationWatch();
    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;

  private:
    std::thread thread_;
    std::atomic<bool> finished_{false};
};

// For a command that reads and then ends (a check, a report): the first
// signal sets a flag that the work polls between two chunks and ends itself
// on; if the process has not ended within `grace` of it, or another signal
// comes, it ends at once with status 128 + signal. Make it first in main()
// (the signals blocked, as for TerminationWatch); any thread reads the flag.
class SignalStop {
  public:
    explicit SignalStop(std::chrono::milliseconds grace = kTerminationGrace);
    ~SignalStop();
    SignalStop(const SignalStop&) = delete;
    SignalStop& operator=(const SignalStop&) = delete;

    // Set by the first signal; shared with the work that polls it.
    const std::shared_ptr<std::atomic<bool>>& flag() const { return flag_; }
    // The signal that set it; 0 while none came.
    int signal() const { return signal_; }

  private:
    std::shared_ptr<std::atomic<bool>> flag_ = std::make_shared<std::atomic<bool>>(false);
    std::atomic<int> signal_{0};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

} // namespace kestle
