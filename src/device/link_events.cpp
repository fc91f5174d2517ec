// SPDX-License-Identifier: GPL-3.0-or-later
// Binding of the link and its four notifications.
#include "device/acquisition.h"

namespace kestle::device {

Acquisition::Acquisition(Scheduler& sched, forms::UiHost& host, HidLink& hid, forms::MainForm& f,
                         forms::MainState& st)
    : sched_(sched), host_(host), hid_(hid), f_(f), st_(st), waiter_(sched) {
    wire();
}

Acquisition::~Acquisition() {
    waiter_.cancel();
    cycle_.reset();
    if (connected_)
        hid_.disconnect();
}

void Acquisition::connect_hid() {
    HidEvents ev;
    ev.plugged = [this](DeviceHandle h) { OnPlugged(h); };
    ev.unplugged = [this](DeviceHandle h) { OnUnplugged(h); };
    ev.changed = [this] { OnChanged(); };
    ev.read = [this](DeviceHandle h) { OnRead(h); };
    hid_.connect(std::move(ev));
    connected_ = true;
}

void Acquisition::disconnect_hid() {
    // A cycle still waiting for the Kestle is dropped with the link.
    waiter_.cancel();
    cycle_.reset();
    st_.state = 0;
    if (connected_)
        hid_.disconnect();
    connected_ = false;
}

void Acquisition::OnPlugged(DeviceHandle h) {
    if (hid_.vendorId(h) == kVendorId && hid_.productId(h) == kProductId) {
        f_.Frame7->setVisible(false);
        if (onPresence)
            onPresence(true);
    }
}

void Acquisition::OnUnplugged(DeviceHandle h) {
    if (hid_.vendorId(h) == kVendorId) {
        f_.Frame7->setVisible(true);
        // A sender waiting for this unit gives up at once.
        waiter_.failed();
        if (onPresence)
            onPresence(false);
    }
}

void Acquisition::OnChanged() {
    DeviceHandle h = hid_.getHandle(kVendorId, kProductId);
    hid_.setReadNotify(h, true);
}

void Acquisition::OnRead(DeviceHandle h) {
    if (hid_.read(h, st_.inbuf)) {
        st_.dataread = 1;
        waiter_.answered();
    }
}

Task Acquisition::exchange(char command, bool pumpFirst) {
    st_.dataread = 0;
    waiter_.expectAnswer();
    st_.outbuf[0] = 0;
    st_.outbuf[1] = static_cast<std::uint8_t>(command);
    if (!hid_.writeEx(kVendorId, kProductId, st_.outbuf).ok())
        co_return false;
    if (pumpFirst)
        co_await waiter_.turn();
    if (st_.dataread == 0) {
        const bool answered = co_await waiter_.answer();
        if (!answered)
            co_return false;
    }
    co_return true;
}

void Acquisition::noAnswer() {
    st_.state = 0;
    // Shown once per run of failed cycles, not on every tick.
    if (!noAnswerShown_)
        host_.status(kNoAnswerText);
    noAnswerShown_ = true;
}

} // namespace kestle::device
