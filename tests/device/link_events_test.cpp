// SPDX-License-Identifier: GPL-3.0-or-later
// The four link notifications and the presence frame.
#include "acquisition_rig.h"

#include <map>

namespace kestle::device {
namespace {

// Several devices on the bus; only what the notifications look at.
struct Bus : HidLink {
    void connect(HidEvents e) override { events = std::move(e); }
    void disconnect() override { events = {}; }
    int vendorId(DeviceHandle h) const override { return ids.count(h) ? ids.at(h).first : 0; }
    int productId(DeviceHandle h) const override { return ids.count(h) ? ids.at(h).second : 0; }
    DeviceHandle getHandle(int v, int p) const override {
        for (auto& [h, id] : ids)
            if (id == std::make_pair(v, p))
                return h;
        return 0;
    }
    void setReadNotify(DeviceHandle h, bool on) override { notified.emplace_back(h, on); }
    bool read(DeviceHandle, Report& in) override {
        if (!readOk)
            return false;
        in = next;
        return true;
    }
    Status writeEx(int, int, const Report&) override { return {}; }

    std::map<DeviceHandle, std::pair<int, int>> ids = {
        {1, {kVendorId, kProductId}}, {2, {kVendorId, 0x0001}}, {3, {0x1234, kProductId}}};
    HidEvents events;
    std::vector<std::pair<DeviceHandle, bool>> notified;
    bool readOk = true;
    Report next{};
};

struct BusRig {
    BusRig() {
        f.setShown(true);
        acq.connect_hid();
    }
    VirtualScheduler sched;
    forms::MainForm f{sched};
    forms::MainState st;
    test::RecordingHost host;
    Bus bus;
    Acquisition acq{sched, host, bus, f, st};
};

TEST(LinkEvents, PresenceFrameCoversTheWindowUntilTheKestleIsReported) {
    BusRig r;
    EXPECT_TRUE(r.f.Frame7->visible());
    r.bus.events.plugged(1);
    EXPECT_FALSE(r.f.Frame7->visible());
    r.bus.events.unplugged(1);
    EXPECT_TRUE(r.f.Frame7->visible());
    r.bus.events.plugged(1);
    EXPECT_FALSE(r.f.Frame7->visible());
}

TEST(LinkEvents, AnotherProductOfTheVendorCannotHideTheFrameButCanShowIt) {
    BusRig r;
    r.bus.events.plugged(2);
    EXPECT_TRUE(r.f.Frame7->visible());
    r.bus.events.plugged(1);
    r.bus.events.unplugged(2);
    EXPECT_TRUE(r.f.Frame7->visible());
}

TEST(LinkEvents, AnotherVendorIsIgnoredBothWays) {
    BusRig r;
    r.bus.events.plugged(3);
    EXPECT_TRUE(r.f.Frame7->visible());
    r.bus.events.plugged(1);
    r.bus.events.unplugged(3);
    EXPECT_FALSE(r.f.Frame7->visible());
}

TEST(LinkEvents, ChangedEnablesReadNotificationForTheKestle) {
    BusRig r;
    r.bus.events.changed();
    EXPECT_EQ(r.bus.notified, (std::vector<std::pair<DeviceHandle, bool>>{{1, true}}));
}

TEST(LinkEvents, OnlyASuccessfulReadStoresTheReportAndSetsDataread) {
    BusRig r;
    r.bus.next = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    r.bus.readOk = false;
    r.bus.events.read(1);
    EXPECT_EQ(r.st.dataread, 0);
    EXPECT_EQ(r.st.inbuf, Report{});
    r.bus.readOk = true;
    r.bus.events.read(1);
    EXPECT_EQ(r.st.dataread, 1);
    EXPECT_EQ(r.st.inbuf, r.bus.next);
}

TEST(LinkEvents, AKestleAttachedAtStartIsReportedAfterTheLoadStep) {
    test::Rig r(test::steadyTrace(0, 0, 0, 0));
    // Rig's load ran the scheduler once: the frame is gone.
    EXPECT_FALSE(r.f.Frame7->visible());
    r.device().unplug();
    r.sched.advance(0);
    EXPECT_TRUE(r.f.Frame7->visible());
    r.device().plug();
    r.sched.advance(0);
    EXPECT_FALSE(r.f.Frame7->visible());
}

TEST(LinkEvents, TheRequestKeepsUnwrittenBytesAndReportIdZero) {
    test::Rig r(test::steadyTrace(0, 0, 266, 30));
    r.st.outbuf = {9, 9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_TRUE(r.run(r.acq.exchange('>', false)));
    EXPECT_EQ(r.st.outbuf, (Report{0, '>', 9, 9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(r.st.inbuf, (Report{0, 0, 0, 0, 0, 1, 0x0A, 0, 0x1E}));
    EXPECT_EQ(r.st.dataread, 1);
}

} // namespace
} // namespace kestle::device
