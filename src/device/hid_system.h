// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The few calls HidapiLink makes into the operating system's HID layer,
// behind an interface so that the link's threads can be tested without a
// device. openHidapi() gives the real one (hidapi, hidraw backend).
#include "support/result.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestle::device {

// One opened device. Each object is used by one thread at a time.
class HidPort {
  public:
    virtual ~HidPort() = default;
    // Waits up to `timeoutMs` for one input report and copies its data
    // bytes (without report ID) into `data`. Returns the byte count, 0 on
    // time-out, -1 on error (see error()).
    virtual int read(std::uint8_t* data, std::size_t size, int timeoutMs) = 0;
    // Sends one output report, report ID first. Returns the bytes written,
    // -1 on error.
    virtual int write(const std::uint8_t* data, std::size_t size) = 0;
    // Text of the last failure.
    virtual std::string error() = 0;
};

struct HidDeviceInfo {
    std::string path; // stable while the device stays attached
    int vendor = 0;
    int product = 0;
};

// Thread-safe: enumerate() and open() may be called from any thread.
class HidSystem {
  public:
    virtual ~HidSystem() = default;
    virtual std::vector<HidDeviceInfo> enumerate(int vendor, int product) = 0;
    virtual Result<std::unique_ptr<HidPort>> open(const std::string& path) = 0;
};

// Initialises hidapi (released when the last such system is destroyed);
// the library's error text when that fails.
Result<std::unique_ptr<HidSystem>> openHidapi();

} // namespace kestle::device
