// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link to the Kestle: the calls the application makes into a HID layer
// and the four notifications it receives. Backends: hidapi (real unit), the
// simulated Kestle, a replayed trace; a recording decorator wraps any of
// them.
//
// Threads: every method is called on the window thread, and every
// notification is delivered on the window thread (backends that read on a
// thread of their own post through the Scheduler).
#include "support/result.h"

#include <array>
#include <cstdint>
#include <functional>

namespace kestle::device {

inline constexpr int kVendorId = 0x04D8;  // 1240
inline constexpr int kProductId = 0xFEF3; // 65267

// Report ID in byte 0, then 8 data bytes.
using Report = std::array<std::uint8_t, 9>;
using DeviceHandle = std::intptr_t; // 0 means none

struct HidEvents {
    std::function<void(DeviceHandle)> plugged;
    std::function<void(DeviceHandle)> unplugged;
    std::function<void()> changed;
    std::function<void(DeviceHandle)> read; // an input report is pending
};

class HidLink {
  public:
    virtual ~HidLink() = default;

    // Starts notifications. A Kestle that is already attached is reported
    // by plugged, then changed, after connect returns.
    virtual void connect(HidEvents events) = 0;
    // Stops notifications; no event is delivered after it returns.
    virtual void disconnect() = 0;

    virtual int vendorId(DeviceHandle h) const = 0;
    virtual int productId(DeviceHandle h) const = 0;
    // Handle of the attached device with these ids, 0 when none.
    virtual DeviceHandle getHandle(int vendor, int product) const = 0;
    // From now on, each input report of that device raises the read
    // notification.
    virtual void setReadNotify(DeviceHandle h, bool on) = 0;
    // Copies the oldest pending input report into `in`; false when none.
    virtual bool read(DeviceHandle h, Report& in) = 0;
    // Sends one output report (9 bytes, report ID first) to the device with
    // these ids. Fails when no such device is attached or the write fails.
    virtual Status writeEx(int vendor, int product, const Report& out) = 0;
};

// Backends whose device can be detached and attached from a script.
class Pluggable {
  public:
    virtual ~Pluggable() = default;
    virtual void plug() = 0;
    virtual void unplug() = 0;
};

} // namespace kestle::device
