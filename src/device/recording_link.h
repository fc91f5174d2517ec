// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Wraps any link and writes every exchange to a trace (see trace_format.h)
// that ReplayLink can play back. Everything is forwarded to the inner link;
// each successful read() adds one line: the request character of the latest
// successful writeEx and the 8 answer bytes. The application has one
// request in flight at a time, so the latest request is the one answered.
// Each line is flushed as it is written.
//
// Threads: window thread only, like the link it wraps.
#include "device/hid_link.h"

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>

namespace kestle::device {

class RecordingLink : public HidLink {
  public:
    // Writes to `sink`, which must outlive the link.
    RecordingLink(std::unique_ptr<HidLink> inner, std::ostream& sink);
    // Creates (or empties) the trace file; the error names the file.
    static Result<std::unique_ptr<RecordingLink>> open(std::unique_ptr<HidLink> inner,
                                                       const std::filesystem::path& path);
    ~RecordingLink() override;

    void connect(HidEvents events) override { inner_->connect(std::move(events)); }
    void disconnect() override { inner_->disconnect(); }
    int vendorId(DeviceHandle h) const override { return inner_->vendorId(h); }
    int productId(DeviceHandle h) const override { return inner_->productId(h); }
    DeviceHandle getHandle(int vendor, int product) const override {
        return inner_->getHandle(vendor, product);
    }
    void setReadNotify(DeviceHandle h, bool on) override { inner_->setReadNotify(h, on); }
    bool read(DeviceHandle h, Report& in) override;
    Status writeEx(int vendor, int product, const Report& out) override;

    HidLink& inner() { return *inner_; }
    // The inner link's plugging, nullptr when it has none.
    Pluggable* pluggable();
    // Each line then ends in a comment with the time of its answer,
    // " # t=MS" (milliseconds of `now`).
    void stampTimes(std::function<long long()> now) { now_ = std::move(now); }
    // Failed once a line could not be written; recording goes on trying.
    const Status& status() const { return status_; }

  private:
    RecordingLink(std::unique_ptr<HidLink> inner, std::unique_ptr<std::ostream> owned);
    void record(const Report& in);

    std::unique_ptr<HidLink> inner_;
    std::unique_ptr<std::ostream> owned_;
    std::ostream* sink_;
    char request_ = 0; // 0: nothing requested yet
    Status status_;
    std::function<long long()> now_;
};

} // namespace kestle::device
