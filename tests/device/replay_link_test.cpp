// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/replay_trace.h"
#include "link_probe.h"
#include "support/virtual_scheduler.h"

#include <gtest/gtest.h>

namespace kestle::device {
namespace {

using test::LinkProbe;
using Log = std::vector<std::string>;

Trace sampleTrace() {
    auto t = parseTrace("> 00 00 00 00 00 32 00 32\n"
                        "/ 01 90 01 F4 01 F4 02 58\n"
                        "> 00 00 00 00 00 3C 00 3C\n"
                        "> 00 00 00 00 01 0A 00 1E\n");
    EXPECT_TRUE(t) << t.error();
    return *t;
}

struct ReplayFixture : ::testing::Test {
    VirtualScheduler sched;
    ReplayLink link{sched, sampleTrace()};
    LinkProbe probe{link};

    void start() {
        link.connect(probe.events());
        sched.run();
    }
    // Sends one request and returns the answers it brought.
    std::vector<Answer> exchange(char request) {
        probe.answers.clear();
        EXPECT_TRUE(probe.send(request));
        sched.run();
        return probe.answers;
    }
};

TEST_F(ReplayFixture, AnswersInFileOrderPerRequestAndRepeatsTheLast) {
    start();
    auto freqLow = [](const std::vector<Answer>& a) { return a.empty() ? -1 : a[0][5]; };
    EXPECT_EQ(freqLow(exchange('>')), 0x32);
    EXPECT_EQ(exchange('/'),
              (std::vector<Answer>{{0x01, 0x90, 0x01, 0xF4, 0x01, 0xF4, 0x02, 0x58}}));
    EXPECT_EQ(freqLow(exchange('>')), 0x3C);
    EXPECT_EQ(freqLow(exchange('>')), 0x0A);
    EXPECT_EQ(freqLow(exchange('>')), 0x0A);
    EXPECT_EQ(exchange('/').size(), 1u); // the only "/" line repeats too
}

TEST_F(ReplayFixture, UnknownRequestIsNeverAnswered) {
    start();
    EXPECT_TRUE(probe.send('='));
    sched.advance(1000);
    EXPECT_TRUE(probe.answers.empty());
    EXPECT_EQ(probe.log, (Log{"plugged 1", "changed"}));
}

TEST_F(ReplayFixture, ConnectReportsPluggedThenChangedAfterItReturns) {
    link.connect(probe.events());
    EXPECT_TRUE(probe.log.empty());
    sched.run();
    EXPECT_EQ(probe.log, (Log{"plugged 1", "changed"}));
    EXPECT_EQ(link.vendorId(1), kVendorId);
    EXPECT_EQ(link.productId(1), kProductId);
    EXPECT_EQ(link.getHandle(kVendorId, kProductId), 1);
    EXPECT_EQ(link.getHandle(kVendorId, 1), 0);
}

TEST_F(ReplayFixture, AnswerComesAfterOneMillisecondAsReportThenNotification) {
    start();
    ASSERT_TRUE(probe.send('>'));
    sched.advance(0);
    EXPECT_TRUE(probe.answers.empty());
    sched.advance(1);
    ASSERT_EQ(probe.answers.size(), 1u);
    EXPECT_EQ(probe.log.back(), "read 1");
    Report in;
    EXPECT_FALSE(link.read(1, in)); // the probe took the one report
}

TEST(ReplayLink, NoAnswerUntilReadNotifyIsOn) {
    VirtualScheduler sched;
    ReplayLink link(sched, sampleTrace());
    LinkProbe probe(link, /*enableOnChanged=*/false);
    link.connect(probe.events());
    sched.run();
    ASSERT_TRUE(probe.send('>'));
    sched.run();
    Report in;
    EXPECT_FALSE(link.read(1, in));
    EXPECT_EQ(probe.log, (Log{"plugged 1", "changed"}));

    link.setReadNotify(1, true);
    ASSERT_TRUE(probe.send('>'));
    sched.run();
    ASSERT_EQ(probe.answers.size(), 1u);
    EXPECT_EQ(probe.answers[0][5], 0x32); // the dropped answer was not used up
}

TEST_F(ReplayFixture, UnplugDropsThePendingAnswerAndPlugRestoresTheLink) {
    start();
    ASSERT_TRUE(probe.send('>'));
    link.unplug();
    sched.run();
    EXPECT_TRUE(probe.answers.empty());
    EXPECT_EQ(probe.log, (Log{"plugged 1", "changed", "unplugged 1"}));
    EXPECT_EQ(link.getHandle(kVendorId, kProductId), 0);
    EXPECT_EQ(link.vendorId(1), kVendorId); // still known for the unplugged handler

    Status s = probe.send('>');
    EXPECT_FALSE(s);
    EXPECT_FALSE(s.error().empty());

    link.plug();
    sched.run();
    EXPECT_EQ(probe.log, (Log{"plugged 1", "changed", "unplugged 1", "plugged 1", "changed"}));
    auto a = exchange('>');
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0][5], 0x32);
}

TEST_F(ReplayFixture, NothingIsDeliveredAfterDisconnect) {
    link.connect(probe.events());
    link.disconnect();
    sched.run();
    EXPECT_TRUE(probe.log.empty());

    start();
    ASSERT_TRUE(probe.send('>'));
    link.unplug();
    link.disconnect();
    sched.run();
    EXPECT_EQ(probe.log, (Log{"plugged 1", "changed"}));
}

TEST(ReplayLink, WriteToOtherIdsFails) {
    VirtualScheduler sched;
    ReplayLink link(sched, sampleTrace());
    Report out{};
    out[1] = '>';
    EXPECT_FALSE(link.writeEx(kVendorId, 0x1234, out));
}

TEST(ReplayLink, OpenReportsAMissingFile) {
    VirtualScheduler sched;
    auto link = ReplayLink::open(sched, "/nonexistent/kestle.trace");
    ASSERT_FALSE(link);
    EXPECT_NE(link.error().find("/nonexistent/kestle.trace"), std::string::npos);
}

} // namespace
} // namespace kestle::device
