// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated Kestle misbehaving: a request never answered, a read that
// fails, the unit pulled at every step of a cycle. Nothing hangs, and a
// plugged unit is read at the full rate again within a second.
#include "acquisition_rig.h"

namespace kestle::device {
namespace {

using test::Rig;

// The simulated Kestle with faults on demand.
struct FaultyKestle : SimKestle {
    explicit FaultyKestle(Scheduler& s) : SimKestle(s, 5, 1) {}
    std::optional<Answer> answer(const Report& out) override {
        if (silentFor == static_cast<char>(out[1]))
            return std::nullopt;
        return SimKestle::answer(out);
    }
    bool read(DeviceHandle h, Report& in) override {
        const bool ok = SimKestle::read(h, in);
        // The report is taken from the library, but the copy fails.
        if (ok && failedReads < readsToFail) {
            ++failedReads;
            return false;
        }
        return ok;
    }
    char silentFor = 0;
    int readsToFail = 0, failedReads = 0;
};

struct FaultRig : Rig {
    FaultRig() : Rig([](Scheduler& s) { return std::make_unique<FaultyKestle>(s); }) {}
    FaultyKestle& kestle() { return static_cast<FaultyKestle&>(*link.inner); }
    // Cycles finished (one natural-EMF request each) during `ms` of running.
    std::size_t cyclesIn(Millis ms) {
        const std::size_t before = link.count('/');
        sched.advance(ms);
        return link.count('/') - before;
    }
};

TEST(LinkFaults, ARequestNeverAnsweredCostsOneCycleItsTimeLimitAndNoMore) {
    FaultRig r;
    r.f.speechtimer->setEnabled(true);
    const std::size_t normal = r.cyclesIn(1000);
    ASSERT_GE(normal, 5u);
    r.kestle().silentFor = '%';
    const std::size_t asked = r.link.count('%');
    r.sched.advance(2000);
    // Each cycle waits its 500 ms for the temperature, gives up, and the
    // next tick asks again.
    EXPECT_GE(r.link.count('%') - asked, 3u);
    EXPECT_LE(r.link.count('%') - asked, 5u);
    EXPECT_EQ(r.host.statuses.front(), kNoAnswerText);
    r.kestle().silentFor = 0;
    r.sched.advance(600); // the cycle in flight runs out
    EXPECT_GE(r.cyclesIn(1000), normal - 1);
    EXPECT_EQ(r.host.statuses.back(), "");
}

TEST(LinkFaults, AReadThatFailsEndsItsCycleAndTheNextOneReadsAgain) {
    FaultRig r;
    r.f.speechtimer->setEnabled(true);
    const std::size_t normal = r.cyclesIn(1000);
    r.kestle().readsToFail = 3;
    // Each failed read costs its cycle the 500 ms limit, no more.
    EXPECT_GE(r.cyclesIn(2000), 2 * normal - 3 * (normal / 2 + 1));
    EXPECT_EQ(r.kestle().failedReads, 3);
    EXPECT_EQ(r.host.statuses.front(), kNoAnswerText);
    EXPECT_GE(r.cyclesIn(1000), normal - 1);
    EXPECT_EQ(r.host.statuses.back(), "");
}

// The unit pulled after each of the scheduler steps of a cycle in turn: the
// cycle ends at once, nothing waits, and within a second of the plug the
// cycles run at their normal rate.
TEST(LinkFaults, AnUnplugAtEveryStepOfTheCycleIsReadAgainWithinASecondOfThePlug) {
    std::size_t steps = 0, normal = 0;
    {
        FaultRig r;
        r.f.speechtimer->setEnabled(true);
        while (r.link.count('/') == 0 && r.sched.runOne())
            ++steps;
        normal = r.cyclesIn(1000);
    }
    ASSERT_GT(steps, 124u);
    for (std::size_t k = 0; k <= steps; ++k) {
        SCOPED_TRACE("unplugged after step " + std::to_string(k));
        FaultRig r;
        r.f.speechtimer->setEnabled(true);
        for (std::size_t i = 0; i < k; ++i)
            ASSERT_TRUE(r.sched.runOne());
        const Millis at = r.sched.nowMs();
        r.device().unplug();
        r.link.inFlight = false; // a request in flight went with the unit
        r.sched.advance(0);
        EXPECT_EQ(r.sched.nowMs(), at);
        EXPECT_FALSE(r.acq.cycleRunning());
        EXPECT_EQ(r.st.state, 0);
        EXPECT_EQ(r.cyclesIn(1000), 0u);
        r.device().plug();
        EXPECT_GE(r.cyclesIn(1000), normal - 1);
        EXPECT_FALSE(r.f.Frame7->visible());
        EXPECT_EQ(r.link.overlaps, 0);
    }
}

} // namespace
} // namespace kestle::device
