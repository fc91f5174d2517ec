#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a call on the window thread, so that
// a terminated session still closes its logs and writes its settings.
#include "support/scheduler.h"

#include <functional>
#include <thread>

namespace kestle {

// Blocks the signals in the calling thread; call first in main(), before any
// thread starts, so that every thread inherits the mask.
void blockTerminationSignals();

class TerminationWatch {
  public:
    // Blocks the signals in the calling thread (call before other threads
    // start, so they inherit the mask) and waits for them on a thread of its
    // own; each signal posts `onSignal` once through `sched`.
    TerminationWatch(Scheduler& sched, std::function<void()> onSignal);
    ~TerminationWatch();
    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;

  private:
    std::thread thread_;
};

} // namespace kestle
