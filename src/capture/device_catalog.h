// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The cameras and microphones of the system, kept up to date: the first
// search runs on a thread of its own at construction, and devices that are
// plugged in or pulled later update the lists. In test mode the lists hold
// the test pattern and the test tone only, at once.
//
// Threads: current() from any thread; subscribe() on the window thread,
// and subscribers are called there after each change.
#include "capture/devices.h"
#include "support/scheduler.h"

#include <chrono>
#include <functional>
#include <memory>

namespace kestle::capture {

class DeviceCatalog {
  public:
    virtual ~DeviceCatalog() = default;
    // The lists as last found; a later search replaces them, so hold the
    // pointer while using them.
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
