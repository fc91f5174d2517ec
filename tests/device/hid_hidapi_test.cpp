// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/hid_hidapi.h"
#include "device/link_factory.h"
#include "link_probe.h"
#include "support/virtual_scheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <thread>

namespace kestle::device {
namespace {

using namespace std::chrono_literals;
using test::LinkProbe;
using Log = std::vector<std::string>;

// A HID layer with scriptable devices; each written request is answered
// with the request character followed by 1..7.
struct FakeState {
    std::mutex m;
    std::condition_variable cv;
    std::map<std::string, std::deque<std::vector<std::uint8_t>>> attached; // path -> inbox
    std::string openError;
    int enumerations = 0;
    int reads = 0;       // read calls begun
    int readsAtPop = -1; // `reads` when a report was last taken off a device

    void attach(const std::string& path) {
        std::lock_guard lock(m);
        attached[path];
    }
    void detach(const std::string& path) {
        std::lock_guard lock(m);
        attached.erase(path);
        cv.notify_all();
    }
};

class FakePort : public HidPort {
  public:
    FakePort(std::shared_ptr<FakeState> s, std::string path) : s_(std::move(s)), path_(path) {}
    int read(std::uint8_t* data, std::size_t size, int timeoutMs) override {
        std::unique_lock lock(s_->m);
        ++s_->reads;
        auto ready = [&] {
            auto it = s_->attached.find(path_);
            return it == s_->attached.end() || !it->second.empty();
        };
        if (!s_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
            return 0;
        auto it = s_->attached.find(path_);
        if (it == s_->attached.end())
            return -1;
        auto report = it->second.front();
        it->second.pop_front();
        s_->readsAtPop = s_->reads;
        std::size_t n = std::min(size, report.size());
        std::copy(report.begin(), report.begin() + static_cast<long>(n), data);
        return static_cast<int>(n);
    }
    int write(const std::uint8_t* data, std::size_t size) override {
        std::lock_guard lock(s_->m);
        auto it = s_->attached.find(path_);
        if (it == s_->attached.end() || size != 9 || data[0] != 0)
            return -1;
        it->second.push_back({data[1], 1, 2, 3, 4, 5, 6, 7});
        s_->cv.notify_all();
        return static_cast<int>(size);
    }
    std::string error() override { return "device gone"; }

  private:
    std::shared_ptr<FakeState> s_;
    std::string path_;
};

class FakeSystem : public HidSystem {
  public:
    explicit FakeSystem(std::shared_ptr<FakeState> s) : s_(std::move(s)) {}
    std::vector<HidDeviceInfo> enumerate(int vendor, int product) override {
        std::lock_guard lock(s_->m);
        ++s_->enumerations;
        std::vector<HidDeviceInfo> out;
        for (const auto& [path, inbox] : s_->attached)
            out.push_back({path, vendor, product});
        return out;
    }
    Result<std::unique_ptr<HidPort>> open(const std::string& path) override {
        std::lock_guard lock(s_->m);
        if (!s_->openError.empty())
            return Error{s_->openError};
        return std::unique_ptr<HidPort>(std::make_unique<FakePort>(s_, path));
    }

  private:
    std::shared_ptr<FakeState> s_;
};

// Runs the posted notifications until `done` holds or two seconds pass.
template <typename Pred> bool waitFor(VirtualScheduler& sched, Pred done) {
    auto until = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < until) {
        sched.run();
        if (done())
            return true;
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

struct HidapiFixture : ::testing::Test {
    std::shared_ptr<FakeState> fake = std::make_shared<FakeState>();
    VirtualScheduler sched;
    HidapiLink link{sched, std::make_unique<FakeSystem>(fake), /*pollMs=*/10};
    LinkProbe probe{link};

    bool logIs(const Log& expected) {
        return waitFor(sched, [&] { return probe.log == expected; });
    }
};

TEST_F(HidapiFixture, ReportsArrivalExchangesAndRemoval) {
    fake->attach("/dev/hidraw3");
    link.connect(probe.events());
    ASSERT_TRUE(logIs({"plugged 1", "changed"})) << ::testing::PrintToString(probe.log);
    EXPECT_EQ(link.getHandle(kVendorId, kProductId), 1);

    ASSERT_TRUE(probe.send('>'));
    ASSERT_TRUE(waitFor(sched, [&] { return probe.answers.size() == 1; }));
    EXPECT_EQ(probe.answers[0], (Answer{'>', 1, 2, 3, 4, 5, 6, 7}));

    fake->detach("/dev/hidraw3");
    ASSERT_TRUE(logIs({"plugged 1", "changed", "read 1", "unplugged 1"}));
    EXPECT_EQ(link.getHandle(kVendorId, kProductId), 0);
    EXPECT_EQ(link.vendorId(1), kVendorId); // the unplugged handler still asks
    Status s = probe.send('>');
    ASSERT_FALSE(s);
    EXPECT_EQ(s.error(), "no Kestle attached");

    fake->attach("/dev/hidraw4");
    ASSERT_TRUE(logIs({"plugged 1", "changed", "read 1", "unplugged 1", "plugged 2", "changed"}));
    ASSERT_TRUE(probe.send('/'));
    ASSERT_TRUE(waitFor(sched, [&] { return probe.answers.size() == 2; }));
    link.disconnect();
}

TEST_F(HidapiFixture, ReportsArrivingBeforeSetReadNotifyAreDropped) {
    probe.enable = false;
    fake->attach("/dev/hidraw0");
    link.connect(probe.events());
    ASSERT_TRUE(logIs({"plugged 1", "changed"}));
    ASSERT_TRUE(probe.send('%'));
    // The reader takes the answer off the device and drops it: once it
    // reads again, it is done with that answer.
    ASSERT_TRUE(waitFor(sched, [&] {
        std::lock_guard lock(fake->m);
        return fake->attached["/dev/hidraw0"].empty() && fake->readsAtPop >= 0 &&
               fake->reads > fake->readsAtPop;
    }));
    sched.run();
    EXPECT_EQ(probe.log, (Log{"plugged 1", "changed"}));
    Report in;
    EXPECT_FALSE(link.read(1, in));

    link.setReadNotify(1, true);
    ASSERT_TRUE(probe.send('='));
    ASSERT_TRUE(waitFor(sched, [&] { return probe.answers.size() == 1; }));
    EXPECT_EQ(probe.answers[0][0], '=');
}

TEST_F(HidapiFixture, DeviceThatCannotBeOpenedIsReportedAndRetried) {
    fake->openError = "cannot open /dev/hidraw0: Permission denied";
    fake->attach("/dev/hidraw0");
    link.connect(probe.events());
    ASSERT_TRUE(logIs({"plugged 1", "changed"}));
    Status s = probe.send('>');
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().find("Permission denied"), std::string::npos);

    {
        std::lock_guard lock(fake->m);
        fake->openError.clear();
    }
    ASSERT_TRUE(waitFor(sched, [&] { return bool(probe.send('>')); }));
    ASSERT_TRUE(waitFor(sched, [&] { return !probe.answers.empty(); }));
}

TEST_F(HidapiFixture, NothingIsDeliveredAfterDisconnect) {
    fake->attach("/dev/hidraw0");
    link.connect(probe.events());
    ASSERT_TRUE(logIs({"plugged 1", "changed"}));
    // Answers and the next arrival are posted but not yet run.
    ASSERT_TRUE(probe.send('>'));
    fake->attach("/dev/hidraw1");
    auto until = std::chrono::steady_clock::now() + 2s;
    while (sched.idle() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
    ASSERT_FALSE(sched.idle());
    link.disconnect();
    sched.run();
    EXPECT_EQ(probe.log, (Log{"plugged 1", "changed"}));
    EXPECT_EQ(link.getHandle(kVendorId, kProductId), 0);
}

// The real library, its scans counted: a scan has ended once the next begins.
class CountedScans : public HidSystem {
  public:
    explicit CountedScans(std::unique_ptr<HidSystem> real) : real_(std::move(real)) {}
    std::vector<HidDeviceInfo> enumerate(int vendor, int product) override {
        ++scans;
        return real_->enumerate(vendor, product);
    }
    Result<std::unique_ptr<HidPort>> open(const std::string& path) override {
        return real_->open(path);
    }
    std::atomic<int> scans{0};

  private:
    std::unique_ptr<HidSystem> real_;
};

TEST(HidapiLink, RealLibraryWithoutDevice) {
    VirtualScheduler sched;
    auto made = HidapiLink::create(sched);
    if (!made) {
        EXPECT_FALSE(made.error().empty());
        GTEST_SKIP() << made.error();
    }
    auto real = openHidapi();
    ASSERT_TRUE(real) << real.error();
    auto counted = std::make_unique<CountedScans>(std::move(*real));
    const std::atomic<int>& scans = counted->scans;
    HidapiLink link(sched, std::move(counted), /*pollMs=*/10);
    LinkProbe probe(link);
    link.connect(probe.events());
    ASSERT_TRUE(waitFor(sched, [&] { return scans >= 2; }));
    sched.run();
    EXPECT_TRUE(probe.log.empty()); // this machine has no Kestle
    EXPECT_EQ(link.getHandle(kVendorId, kProductId), 0);
    Status s = probe.send('>');
    ASSERT_FALSE(s);
    EXPECT_EQ(s.error(), "no Kestle attached");
    link.disconnect();
    link.connect(probe.events()); // connecting again works, and the destructor stops it
}

TEST(HidapiLink, FactoryGivesARealLinkWithoutPlugging) {
    VirtualScheduler sched;
    auto a = makeHidLink("hid", sched, 0, "");
    auto b = makeHidLink("hid", sched, 0, ""); // the library is shared
    if (!a)
        GTEST_SKIP() << a.error();
    ASSERT_TRUE(b) << b.error();
    EXPECT_EQ(asPluggable(**a), nullptr);
}

} // namespace
} // namespace kestle::device
