// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Builds the device link the command line asks for.
#include "device/hid_link.h"
#include "support/scheduler.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kestle::device {

// `deviceOption`: "hid" (a real Kestle through hidapi), "sim" (the simulated
// Kestle with `simSeed`), or "replay:FILE" (a recorded trace). A non-empty
// `recordPath` wraps the link in a RecordingLink writing that file. Errors:
// an unknown option, a trace that cannot be read, a record file that cannot
// be created, a HID library that does not start.
Result<std::unique_ptr<HidLink>> makeHidLink(std::string_view deviceOption, Scheduler& scheduler,
                                             std::uint32_t simSeed, const std::string& recordPath);

// The link's plugging, also through a recording link; nullptr for a real
// device.
Pluggable* asPluggable(HidLink& link);

} // namespace kestle::device
