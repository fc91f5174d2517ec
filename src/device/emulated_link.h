// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Common ground of the in-process Kestles (simulated and replayed): one
// device with a fixed handle that a script can detach and attach, answers
// that arrive after a latency on the scheduler, and the notifications of a
// real unit.
//
// Threads: window thread only, like the scheduler callbacks it uses.
// Behaviour:
// - connect() reports an attached device by plugged(handle), then
//   changed(), each from its own scheduler call.
// - An answer is due `latency` ms after writeEx. When it is due and read
//   notification is on for the handle, it becomes the pending input report
//   (report ID 0, then the 8 bytes) and read(handle) follows at once. An
//   answer due while read notification is off is dropped, so a later
//   exchange never receives a stale report.
// - unplug() drops due and pending answers, turns read notification off and
//   reports unplugged(handle); writeEx fails until plug(), which reports
//   plugged(handle) and changed() again.
// - vendorId/productId answer for the handle also while it is detached, so
//   the unplugged notification can be told apart.
#include "device/hid_link.h"
#include "device/trace_format.h"
#include "support/lifetime.h"
#include "support/scheduler.h"

#include <deque>
#include <memory>
#include <optional>

namespace kestle::device {

class EmulatedLink : public HidLink, public Pluggable {
  public:
    static constexpr DeviceHandle kHandle = 1;

    ~EmulatedLink() override;
    EmulatedLink(const EmulatedLink&) = delete;
    EmulatedLink& operator=(const EmulatedLink&) = delete;

    void connect(HidEvents events) override;
    void disconnect() override;
    int vendorId(DeviceHandle h) const override;
    int productId(DeviceHandle h) const override;
    DeviceHandle getHandle(int vendor, int product) const override;
    void setReadNotify(DeviceHandle h, bool on) override;
    bool read(DeviceHandle h, Report& in) override;
    Status writeEx(int vendor, int product, const Report& out) override;

    void plug() override;
    void unplug() override;
    bool attached() const { return attached_; }

  protected:
    EmulatedLink(Scheduler& scheduler, Millis latency);
    // The device's answer to one output report, asked when the answer is
    // due and read notification is on; nullopt: the device stays silent.
    virtual std::optional<Answer> answer(const Report& out) = 0;
    Scheduler& scheduler() const { return scheduler_; }

  private:
    static constexpr std::size_t kMaxPending = 64;

    // Schedules `fn` for the current connection; dropped after disconnect
    // or destruction.
    void notifyLater(std::function<void(const HidEvents&)> fn);
    void reportArrival();
    void deliver(const Report& out, unsigned plugEpoch);

    Scheduler& scheduler_;
    Millis latency_;
    HidEvents events_;
    bool connected_ = false;
    unsigned connection_ = 0; // bumped by each connect and disconnect
    bool attached_ = true;
    unsigned plugEpoch_ = 0; // bumped by each unplug
    bool readNotify_ = false;
    std::deque<Report> pending_;
    // Ends first, with the link: calls scheduled for it do nothing then.
    Lifetime life_;
};

} // namespace kestle::device
