// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Drives a HidLink the way the application does: enables read notification
// on changed(), reads on every read notification, and logs what it saw.
#include "device/hid_link.h"
#include "device/trace_format.h"

#include <optional>
#include <string>
#include <vector>

namespace kestle::device::test {

struct LinkProbe {
    explicit LinkProbe(HidLink& l, bool enableOnChanged = true)
        : link(l), enable(enableOnChanged) {}

    HidEvents events() {
        HidEvents e;
        e.plugged = [this](DeviceHandle h) { log.push_back("plugged " + std::to_string(h)); };
        e.unplugged = [this](DeviceHandle h) { log.push_back("unplugged " + std::to_string(h)); };
        e.changed = [this] {
            log.push_back("changed");
            if (enable)
                link.setReadNotify(link.getHandle(kVendorId, kProductId), true);
        };
        e.read = [this](DeviceHandle h) {
            log.push_back("read " + std::to_string(h));
            Report in{};
            if (link.read(h, in)) {
                Answer a{};
                std::copy(in.begin() + 1, in.end(), a.begin());
                answers.push_back(a);
            }
        };
        return e;
    }

    Status send(char request) {
        Report out{};
        out[1] = static_cast<std::uint8_t>(request);
        return link.writeEx(kVendorId, kProductId, out);
    }

    HidLink& link;
    bool enable;
    std::vector<std::string> log;
    std::vector<Answer> answers;
};

} // namespace kestle::device::test
