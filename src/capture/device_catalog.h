#pragma once
// The cameras and microphones of the system, kept up to date: the first
// search runs on a thread of its own at construction, and devices that are
// plugged in or pulled later update the lists. In test mode the lists hold
// the test pattern and the test tone only, at once.
//
// Threads: lists() and subscribe() on the window thread; current() from any
// thread. Subscribers are called on the window thread after each change.
#include "capture/devices.h"
#include "support/scheduler.h"

#include <chrono>
#include <functional>
#include <memory>

namespace kestle::capture {

class DeviceCatalog {
  public:
    virtual ~DeviceCatalog() = default;
    virtual const DeviceLists& lists() const = 0;
    virtual std::shared_ptr<const DeviceLists> current() const = 0;
    virtual void subscribe(std::function<void()> changed) = 0;
    // Any thread but the window's: waits at most `limit` for the first
    // search to end; true when it has.
    virtual bool waitSearched(std::chrono::milliseconds limit) const = 0;
};

// The fixed lists of `--capture test`.
std::shared_ptr<DeviceCatalog> makeTestCatalog();
// The system's devices through the GStreamer device monitor.
std::shared_ptr<DeviceCatalog> makeSystemCatalog(Scheduler& sched);

} // namespace kestle::capture
