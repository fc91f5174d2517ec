// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/hid_system.h"

#include <hidapi.h>

#include <cwchar>
#include <mutex>

namespace kestle::device {

namespace {

std::string narrow(const wchar_t* w) {
    if (w == nullptr)
        return "unknown error";
    std::string out;
    for (; *w != L'\0'; ++w)
        out += *w < 0x80 ? static_cast<char>(*w) : '?';
    return out;
}

// hid_init and hid_exit are process-wide.
std::mutex gLibraryMutex;
int gLibraryUsers = 0;

// hidapi's enumerate and open keep global state; one caller at a time.
std::mutex gCallMutex;

class HidapiPort : public HidPort {
  public:
    explicit HidapiPort(hid_device* dev) : dev_(dev) {}
    ~HidapiPort() override { hid_close(dev_); }
    int read(std::uint8_t* data, std::size_t size, int timeoutMs) override {
        return hid_read_timeout(dev_, data, size, timeoutMs);
    }
    int write(const std::uint8_t* data, std::size_t size) override {
        return hid_write(dev_, data, size);
    }
    std::string error() override { return narrow(hid_error(dev_)); }

  private:
    hid_device* dev_;
};

class HidapiSystem : public HidSystem {
  public:
    ~HidapiSystem() override {
        std::lock_guard lock(gLibraryMutex);
        if (--gLibraryUsers == 0)
            hid_exit();
    }

    std::vector<HidDeviceInfo> enumerate(int vendor, int product) override {
        std::lock_guard lock(gCallMutex);
        std::vector<HidDeviceInfo> out;
        hid_device_info* list = hid_enumerate(static_cast<unsigned short>(vendor),
                                              static_cast<unsigned short>(product));
        for (auto* d = list; d != nullptr; d = d->next)
            out.push_back({d->path ? d->path : "", d->vendor_id, d->product_id});
        hid_free_enumeration(list);
        return out;
    }

    Result<std::unique_ptr<HidPort>> open(const std::string& path) override {
        std::lock_guard lock(gCallMutex);
        hid_device* dev = hid_open_path(path.c_str());
        if (dev == nullptr)
            return Error{"cannot open " + path + ": " + narrow(hid_error(nullptr))};
        return std::unique_ptr<HidPort>(std::make_unique<HidapiPort>(dev));
    }
};

} // namespace

Result<std::unique_ptr<HidSystem>> openHidapi() {
    std::lock_guard lock(gLibraryMutex);
    if (gLibraryUsers == 0 && hid_init() != 0)
        return Error{"cannot start the HID library: " + narrow(hid_error(nullptr))};
    ++gLibraryUsers;
    return std::unique_ptr<HidSystem>(std::make_unique<HidapiSystem>());
}

} // namespace kestle::device
