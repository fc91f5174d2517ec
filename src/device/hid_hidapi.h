// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link to a real Kestle through hidapi. hidapi 0.13 has no hot-plug
// callbacks, so a poll thread enumerates 04D8:FEF3 twice a second; each
// opened device has a reader thread that queues its input reports. Both
// reach the window thread only through Scheduler::post.
//
// Notifications: on arrival plugged(handle), then changed(); on removal
// unplugged(handle). Handles are small integers, never reused; vendorId and
// productId keep answering for handles of removed devices. Input reports
// that arrive while read notification is off for their device are dropped;
// each queued one raises read(handle).
//
// A device that is attached but cannot be opened (no permission yet) is
// still reported; writeEx then fails with the open error and opening is
// retried at each poll.
//
// Threads: all methods on the window thread; the Scheduler must outlive the
// link. disconnect() and the destructor join the threads; no notification
// is delivered after disconnect() returns.
#include "device/hid_link.h"
#include "device/hid_system.h"
#include "support/lifetime.h"
#include "support/scheduler.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace kestle::device {

class HidapiLink : public HidLink {
  public:
    static constexpr int kPollMs = 500;
    static constexpr int kReadTimeoutMs = 100; // bounds the wait in disconnect()

    HidapiLink(Scheduler& scheduler, std::unique_ptr<HidSystem> system, int pollMs = kPollMs);
    // On hidapi; fails when the library cannot be started.
    static Result<std::unique_ptr<HidapiLink>> create(Scheduler& scheduler);
    ~HidapiLink() override;
    HidapiLink(const HidapiLink&) = delete;
    HidapiLink& operator=(const HidapiLink&) = delete;

    void connect(HidEvents events) override;
    void disconnect() override;
    int vendorId(DeviceHandle h) const override;
    int productId(DeviceHandle h) const override;
    DeviceHandle getHandle(int vendor, int product) const override;
    void setReadNotify(DeviceHandle h, bool on) override;
    bool read(DeviceHandle h, Report& in) override;
    Status writeEx(int vendor, int product, const Report& out) override;

  private:
    static constexpr std::size_t kMaxPending = 64;
    // Any thread: hands a call with the events to the window thread, where
    // it runs unless its connection has ended by then.
    using Notify = std::function<void(std::function<void(const HidEvents&)>)>;

    struct Device {
        DeviceHandle handle = 0;
        std::string path;
        int vendor = 0, product = 0;
        // Guarded by mutex_.
        bool notify = false;
        std::deque<Report> pending;
        // Guarded by writeMutex; the poll thread opens and closes.
        std::mutex writeMutex;
        std::unique_ptr<HidPort> writer;
        std::string openError;
        // Owned by the poll thread (and disconnect once it has ended).
        std::thread reader;
        std::atomic<bool> stop{false};
        std::atomic<bool> failed{false};
        ~Device();
    };
    using DevicePtr = std::shared_ptr<Device>;

    void pollLoop(Notify notify);
    void poll(const Notify& notify);
    void open(Device& d, const Notify& notify);
    void close(Device& d);
    void readLoop(Device* d, std::unique_ptr<HidPort> port, Notify notify);
    DevicePtr find(DeviceHandle h) const; // call with mutex_ held

    Scheduler& scheduler_;
    std::unique_ptr<HidSystem> system_;
    int pollMs_;

    mutable std::mutex mutex_;
    std::map<DeviceHandle, DevicePtr> devices_;       // attached now
    std::map<DeviceHandle, std::pair<int, int>> ids_; // every handle given out
    DeviceHandle nextHandle_ = 1;
    bool stopPolling_ = false;
    std::condition_variable wake_;

    std::thread poller_;
    // Window thread only. A handler that disconnects keeps the events its
    // call runs with.
    std::shared_ptr<const HidEvents> events_;
    // The connection's: calls posted for it do nothing once it has ended.
    std::unique_ptr<Lifetime> connection_;
};

} // namespace kestle::device
