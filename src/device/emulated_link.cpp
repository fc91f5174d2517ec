// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/emulated_link.h"

#include <cstdio>

namespace kestle::device {

namespace {

std::string hexId(int id) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(id) & 0xFFFFu);
    return text;
}

} // namespace

EmulatedLink::EmulatedLink(Scheduler& scheduler, Millis latency)
    : scheduler_(scheduler), latency_(latency < 0 ? 0 : latency) {}

EmulatedLink::~EmulatedLink() = default;

void EmulatedLink::notifyLater(std::function<void(const HidEvents&)> fn) {
    if (!connected_)
        return;
    unsigned connection = connection_;
    scheduler_.callAfter(0, life_.guard([this, connection, fn = std::move(fn)] {
        if (!connected_ || connection != connection_)
            return;
        // A copy, so a handler that disconnects does not pull the events away
        // from under the call.
        HidEvents events = events_;
        fn(events);
    }));
}

void EmulatedLink::reportArrival() {
    notifyLater([](const HidEvents& e) {
        if (e.plugged)
            e.plugged(kHandle);
    });
    notifyLater([](const HidEvents& e) {
        if (e.changed)
            e.changed();
    });
}

void EmulatedLink::connect(HidEvents events) {
    events_ = std::move(events);
    connected_ = true;
    ++connection_;
    if (attached_)
        reportArrival();
}

void EmulatedLink::disconnect() {
    connected_ = false;
    ++connection_;
    events_ = {};
}

int EmulatedLink::vendorId(DeviceHandle h) const {
    return h == kHandle ? kVendorId : 0;
}

int EmulatedLink::productId(DeviceHandle h) const {
    return h == kHandle ? kProductId : 0;
}

DeviceHandle EmulatedLink::getHandle(int vendor, int product) const {
    return attached_ && vendor == kVendorId && product == kProductId ? kHandle : 0;
}

void EmulatedLink::setReadNotify(DeviceHandle h, bool on) {
    if (h == kHandle && attached_)
        readNotify_ = on;
}

bool EmulatedLink::read(DeviceHandle h, Report& in) {
    if (h != kHandle || pending_.empty())
        return false;
    in = pending_.front();
    pending_.pop_front();
    return true;
}

Status EmulatedLink::writeEx(int vendor, int product, const Report& out) {
    if (vendor != kVendorId || product != kProductId)
        return Error{"no HID device " + hexId(vendor) + ":" + hexId(product) + " attached"};
    if (!attached_)
        return Error{"the Kestle is not attached"};
    unsigned epoch = plugEpoch_;
    scheduler_.callAfter(latency_, life_.guard([this, out, epoch] { deliver(out, epoch); }));
    return {};
}

void EmulatedLink::deliver(const Report& out, unsigned plugEpoch) {
    if (plugEpoch != plugEpoch_ || !attached_ || !readNotify_)
        return;
    auto bytes = answer(out);
    if (!bytes)
        return;
    Report in{};
    std::copy(bytes->begin(), bytes->end(), in.begin() + 1);
    if (pending_.size() == kMaxPending)
        pending_.pop_front();
    pending_.push_back(in);
    if (connected_ && events_.read) {
        HidEvents events = events_;
        events.read(kHandle);
    }
}

void EmulatedLink::plug() {
    if (attached_)
        return;
    attached_ = true;
    reportArrival();
}

void EmulatedLink::unplug() {
    if (!attached_)
        return;
    attached_ = false;
    ++plugEpoch_;
    readNotify_ = false;
    pending_.clear();
    notifyLater([](const HidEvents& e) {
        if (e.unplugged)
            e.unplugged(kHandle);
    });
}

} // namespace kestle::device
