// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/hid_hidapi.h"

#include <algorithm>
#include <set>
#include <vector>

namespace kestle::device {

HidapiLink::Device::~Device() {
    // Normally joined by the poll thread or disconnect(); this is a safety net.
    stop = true;
    if (reader.joinable())
        reader.join();
}

HidapiLink::HidapiLink(Scheduler& scheduler, std::unique_ptr<HidSystem> system, int pollMs)
    : scheduler_(scheduler), system_(std::move(system)), pollMs_(pollMs) {}

Result<std::unique_ptr<HidapiLink>> HidapiLink::create(Scheduler& scheduler) {
    auto system = openHidapi();
    if (!system)
        return Error{system.error()};
    return std::make_unique<HidapiLink>(scheduler, std::move(*system));
}

HidapiLink::~HidapiLink() {
    disconnect();
}

void HidapiLink::connect(HidEvents events) {
    disconnect();
    events_ = std::make_shared<const HidEvents>(std::move(events));
    connection_ = std::make_unique<Lifetime>();
    auto deliver = connection_->guard([this](const std::function<void(const HidEvents&)>& fn) {
        std::shared_ptr<const HidEvents> events = events_;
        fn(*events);
    });
    Notify notify = [&sched = scheduler_, deliver](std::function<void(const HidEvents&)> fn) {
        sched.post([deliver, fn = std::move(fn)]() mutable { deliver(fn); });
    };
    {
        std::lock_guard lock(mutex_);
        stopPolling_ = false;
    }
    poller_ = std::thread(&HidapiLink::pollLoop, this, std::move(notify));
}

void HidapiLink::disconnect() {
    if (connection_)
        connection_->end(); // calls already posted do nothing
    events_.reset();
    if (!poller_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stopPolling_ = true;
    }
    wake_.notify_all();
    poller_.join();
    std::map<DeviceHandle, DevicePtr> devices;
    {
        std::lock_guard lock(mutex_);
        devices.swap(devices_);
    }
    for (auto& [h, d] : devices)
        close(*d);
}

void HidapiLink::pollLoop(Notify notify) {
    std::unique_lock lock(mutex_);
    while (!stopPolling_) {
        lock.unlock();
        poll(notify);
        lock.lock();
        wake_.wait_for(lock, std::chrono::milliseconds(pollMs_), [this] { return stopPolling_; });
    }
}

void HidapiLink::poll(const Notify& notify) {
    std::vector<HidDeviceInfo> found = system_->enumerate(kVendorId, kProductId);
    std::set<std::string> paths;
    for (const auto& f : found)
        paths.insert(f.path);

    std::vector<DevicePtr> gone, arrived, all;
    {
        std::lock_guard lock(mutex_);
        for (auto it = devices_.begin(); it != devices_.end();) {
            if (paths.count(it->second->path) == 0) {
                gone.push_back(it->second);
                it = devices_.erase(it);
            } else {
                paths.erase(it->second->path);
                ++it;
            }
        }
        for (const auto& f : found) {
            if (paths.count(f.path) == 0)
                continue; // known already
            paths.erase(f.path);
            auto d = std::make_shared<Device>();
            d->handle = nextHandle_++;
            d->path = f.path;
            d->vendor = f.vendor;
            d->product = f.product;
            ids_[d->handle] = {f.vendor, f.product};
            devices_[d->handle] = d;
            arrived.push_back(d);
        }
        for (auto& [h, d] : devices_)
            all.push_back(d);
    }

    for (auto& d : gone) {
        close(*d);
        notify([h = d->handle](const HidEvents& e) {
            if (e.unplugged)
                e.unplugged(h);
        });
    }
    // Open before announcing, so the first request after changed() can go.
    for (auto& d : all) {
        if (d->failed) // the reader lost the device; start afresh
            close(*d);
        if (!d->reader.joinable())
            open(*d, notify);
    }
    for (auto& d : arrived) {
        notify([h = d->handle](const HidEvents& e) {
            if (e.plugged)
                e.plugged(h);
        });
        notify([](const HidEvents& e) {
            if (e.changed)
                e.changed();
        });
    }
}

void HidapiLink::open(Device& d, const Notify& notify) {
    // Separate handles for reading and writing: hidapi allows no two calls
    // on one device from different threads at the same time.
    auto readPort = system_->open(d.path);
    auto writePort = readPort ? system_->open(d.path) : Error{readPort.error()};
    std::lock_guard lock(d.writeMutex);
    if (!writePort) {
        d.openError = writePort.error();
        return;
    }
    d.openError.clear();
    d.writer = std::move(*writePort);
    d.stop = false;
    d.failed = false;
    d.reader = std::thread(&HidapiLink::readLoop, this, &d, std::move(*readPort), notify);
}

void HidapiLink::close(Device& d) {
    d.stop = true;
    if (d.reader.joinable())
        d.reader.join();
    std::lock_guard lock(d.writeMutex);
    d.writer.reset();
}

void HidapiLink::readLoop(Device* d, std::unique_ptr<HidPort> port, Notify notify) {
    std::uint8_t buf[64];
    while (!d->stop) {
        int n = port->read(buf, sizeof buf, kReadTimeoutMs);
        if (n < 0) {
            d->failed = true;
            return;
        }
        if (n == 0)
            continue;
        Report r{};
        std::copy(buf, buf + std::min<int>(n, 8), r.begin() + 1);
        {
            std::lock_guard lock(mutex_);
            if (!d->notify)
                continue;
            if (d->pending.size() == kMaxPending)
                d->pending.pop_front();
            d->pending.push_back(r);
        }
        notify([h = d->handle](const HidEvents& e) {
            if (e.read)
                e.read(h);
        });
    }
}

HidapiLink::DevicePtr HidapiLink::find(DeviceHandle h) const {
    auto it = devices_.find(h);
    return it == devices_.end() ? nullptr : it->second;
}

int HidapiLink::vendorId(DeviceHandle h) const {
    std::lock_guard lock(mutex_);
    auto it = ids_.find(h);
    return it == ids_.end() ? 0 : it->second.first;
}

int HidapiLink::productId(DeviceHandle h) const {
    std::lock_guard lock(mutex_);
    auto it = ids_.find(h);
    return it == ids_.end() ? 0 : it->second.second;
}

DeviceHandle HidapiLink::getHandle(int vendor, int product) const {
    std::lock_guard lock(mutex_);
    for (const auto& [h, d] : devices_)
        if (d->vendor == vendor && d->product == product)
            return h;
    return 0;
}

void HidapiLink::setReadNotify(DeviceHandle h, bool on) {
    std::lock_guard lock(mutex_);
    if (auto d = find(h))
        d->notify = on;
}

bool HidapiLink::read(DeviceHandle h, Report& in) {
    std::lock_guard lock(mutex_);
    auto d = find(h);
    if (!d || d->pending.empty())
        return false;
    in = d->pending.front();
    d->pending.pop_front();
    return true;
}

Status HidapiLink::writeEx(int vendor, int product, const Report& out) {
    DevicePtr d;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [h, dev] : devices_)
            if (dev->vendor == vendor && dev->product == product) {
                d = dev;
                break;
            }
    }
    if (!d)
        return Error{vendor == kVendorId && product == kProductId ? "no Kestle attached"
                                                                  : "no such HID device attached"};
    std::lock_guard lock(d->writeMutex);
    if (!d->writer)
        return Error{d->openError.empty() ? "the Kestle is not open yet" : d->openError};
    Report report = out;
    report[0] = 0; // the Kestle has no numbered reports
    if (d->writer->write(report.data(), report.size()) < 0)
        return Error{"writing to the Kestle failed: " + d->writer->error()};
    return {};
}

} // namespace kestle::device
