// SPDX-License-Identifier: GPL-3.0-or-later
// The acquisition cycle: request order per tick, the state handshake, the
// bounded waits and the device going away in the middle of a cycle.
#include "acquisition_rig.h"

namespace kestle::device {
namespace {

using test::Rig;
using test::steadyTrace;

const std::string kFullCycle = ">%" + std::string(120, '=') + "/>";

TEST(Cycle, OneTickMakesTheExchangesInOrder) {
    Rig r(steadyTrace(100, 104, 266, 30));
    r.tick();
    EXPECT_EQ(r.link.sent, kFullCycle);
    EXPECT_EQ(r.link.sent.size(), 124u);
    EXPECT_EQ(r.link.overlaps, 0);
    EXPECT_EQ(r.st.state, 0);
    EXPECT_TRUE(r.host.statuses.empty());
}

TEST(Cycle, HighSpeedPhonemeWithoutEmfSkipsTemperatureAndNaturalEmf) {
    Rig r(steadyTrace(100, 104, 266, 30));
    r.f.HSPh->setChecked(true);
    r.tick();
    EXPECT_EQ(r.link.sent, ">" + std::string(120, '=') + ">");
    EXPECT_EQ(r.st.state, 0);
}

TEST(Cycle, EmfModeWithHighSpeedPhonemeAsksForTemperatureButNotTheSensors) {
    Rig r(steadyTrace(100, 104, 266, 30));
    r.f.HSPh->setChecked(true);
    r.f.ITC1->setChecked(false);
    r.f.ITC3->setChecked(true);
    r.tick();
    // get_data skips its exchange in this combination too.
    EXPECT_EQ(r.link.count('%'), 1u);
    EXPECT_EQ(r.link.count('/'), 0u);
    EXPECT_EQ(r.link.count('>'), 0u);
    EXPECT_EQ(r.link.count('='), 120u);
    EXPECT_EQ(r.st.state, 0);
}

TEST(Cycle, EmfModeWithoutHighSpeedPhonemeRunsTheFullCycle) {
    Rig r(steadyTrace(100, 104, 266, 30));
    r.acq.ITC3_Click();
    r.tick();
    EXPECT_EQ(r.link.sent, kFullCycle);
}

TEST(Cycle, TicksFindingACycleRunningAreSkippedNotQueued) {
    Rig r(steadyTrace(100, 104, 266, 30));
    r.f.speechtimer->setEnabled(true);
    r.sched.advance(2000);
    r.f.speechtimer->setEnabled(false);
    const std::size_t cycles = r.link.count('/');
    // About 130 ms a cycle against a 10 ms timer: most ticks were skipped.
    EXPECT_GE(cycles, 5u);
    EXPECT_LE(cycles, 20u);
    EXPECT_EQ(r.link.overlaps, 0);
    // Only the cycle in flight finishes; no skipped tick runs later.
    r.sched.advance(5000);
    EXPECT_LE(r.link.count('/'), cycles + 1);
    EXPECT_FALSE(r.acq.cycleRunning());
    EXPECT_EQ(r.st.state, 0);
    EXPECT_EQ(r.link.count('>'), 2 * r.link.count('/'));
}

TEST(Cycle, ATickWhileAnotherSenderWaitsForTheKestleIsSkipped) {
    // The time-slice step talks to the Kestle through the same waiter.
    Rig r(steadyTrace(100, 104, 266, 30));
    Task other = r.acq.exchange('>', true);
    other.start();
    r.acq.speechtimer_Timer();
    EXPECT_FALSE(r.acq.cycleRunning());
    r.sched.advance(5);
    EXPECT_TRUE(other.done());
    EXPECT_TRUE(other.result());
    EXPECT_EQ(r.link.sent, ">");
    r.tick();
    EXPECT_EQ(r.link.sent, ">" + kFullCycle);
    EXPECT_EQ(r.link.overlaps, 0);
}

TEST(Cycle, AnUnansweredRequestEndsTheCycleAfter500Ms) {
    // No "%" line: the temperature request is never answered.
    std::string trace = steadyTrace(100, 104, 266, 30);
    trace.erase(trace.find('%'), trace.find('/') - trace.find('%'));
    Rig r(trace);
    r.acq.speechtimer_Timer();
    r.sched.advance(5);
    ASSERT_EQ(r.link.sent, ">%");
    EXPECT_EQ(r.st.state, 1);
    r.sched.advance(490);
    EXPECT_TRUE(r.acq.cycleRunning());
    EXPECT_TRUE(r.host.statuses.empty());
    r.sched.advance(20);
    EXPECT_FALSE(r.acq.cycleRunning());
    EXPECT_EQ(r.st.state, 0);
    EXPECT_EQ(r.host.statuses, (std::vector<std::string>{kNoAnswerText}));

    // The next tick tries again; repeated failures say so only once.
    r.tick();
    r.tick();
    EXPECT_EQ(r.link.sent, ">%>%>%");
    EXPECT_EQ(r.host.statuses.size(), 1u);
}

TEST(Cycle, AnswersAfterAFailureClearTheStatusLine) {
    Rig r(1, 1);
    r.device().unplug();
    r.sched.advance(0);
    r.tick(); // the write fails at once
    EXPECT_EQ(r.link.sent, "");
    EXPECT_EQ(r.st.state, 0);
    r.device().plug();
    r.sched.advance(0);
    r.tick();
    EXPECT_EQ(r.link.sent, kFullCycle);
    EXPECT_EQ(r.host.statuses, (std::vector<std::string>{kNoAnswerText, ""}));
}

TEST(Cycle, UnplugDuringABurstEndsTheCycleAtOnceAndPlugResumes) {
    Rig r(7, 1);
    r.f.speechtimer->setEnabled(true);
    // Run into the first scope burst of a later cycle.
    while (r.link.count('=') < 150)
        ASSERT_TRUE(r.sched.runOne());
    const Millis at = r.sched.nowMs();
    r.device().unplug();
    r.sched.advance(0);
    EXPECT_TRUE(r.f.Frame7->visible());
    EXPECT_EQ(r.f.Label3->text(), "KESTLE NOT PRESENT!");
    EXPECT_FALSE(r.acq.cycleRunning());
    EXPECT_EQ(r.st.state, 0);
    EXPECT_EQ(r.sched.nowMs(), at);
    EXPECT_EQ(r.host.statuses, (std::vector<std::string>{kNoAnswerText}));

    // Ticks go on while it is away, without waiting and without requests.
    const std::size_t sent = r.link.sent.size();
    r.sched.advance(1000);
    EXPECT_EQ(r.link.sent.size(), sent);
    EXPECT_EQ(r.st.state, 0);

    r.device().plug();
    r.sched.advance(1000);
    EXPECT_FALSE(r.f.Frame7->visible());
    EXPECT_GE(r.link.count('/'), 3u);
    EXPECT_NE(r.f.FREQA->text(), "");
    EXPECT_EQ(r.host.statuses.back(), "");
}

TEST(Cycle, ReadingsChangeOnlyWhileTheTimerRuns) {
    Rig r(3, 1);
    r.f.speechtimer->setEnabled(true);
    std::vector<std::string> seen;
    for (int i = 0; i < 10; ++i) {
        r.sched.advance(500);
        seen.push_back(r.f.CHA_DSP->text() + r.f.EMFdisplay1->text() + r.st.emfC);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_GE(std::unique(seen.begin(), seen.end()) - seen.begin(), 3);

    r.f.speechtimer->setEnabled(false);
    r.sched.advance(500); // the cycle in flight ends
    const std::string frozen = r.f.CHA_DSP->text() + r.f.EMFdisplay1->text() + r.st.emfC;
    const std::size_t sent = r.link.sent.size();
    r.sched.advance(5000);
    EXPECT_EQ(r.f.CHA_DSP->text() + r.f.EMFdisplay1->text() + r.st.emfC, frozen);
    EXPECT_EQ(r.link.sent.size(), sent);
}

TEST(Cycle, ImageQaCaptureRunsAtTheEndOfEachTick) {
    Rig r(steadyTrace(100, 104, 266, 30));
    std::string order;
    r.acq.stages.imageQaCapture = [&] {
        order += "capture after " + r.link.sent.substr(r.link.sent.size() - 1) + ";";
    };
    r.tick();
    EXPECT_EQ(order, "");
    r.f.av7->setChecked(true);
    r.tick();
    EXPECT_EQ(order, "capture after >;");
    EXPECT_EQ(r.st.state, 0);
}

TEST(Cycle, DisconnectDropsACycleInFlight) {
    Rig r(steadyTrace(100, 104, 266, 30));
    r.acq.speechtimer_Timer();
    r.sched.advance(20);
    ASSERT_TRUE(r.acq.cycleRunning());
    r.acq.disconnect_hid();
    EXPECT_FALSE(r.acq.cycleRunning());
    EXPECT_EQ(r.st.state, 0);
    const std::size_t sent = r.link.sent.size();
    r.sched.advance(2000);
    EXPECT_EQ(r.link.sent.size(), sent);
}

TEST(Cycle, DtimerPausesATenthOfAMillisecondPerUnit) {
    Rig r(steadyTrace(100, 104, 266, 30));
    std::optional<Millis> at;
    auto paused = [&r, &at]() -> Task {
        co_await r.acq.dtimer(500);
        at = r.sched.nowMs();
        co_return true;
    };
    const Millis start = r.sched.nowMs();
    EXPECT_TRUE(r.run(paused()));
    EXPECT_EQ(at, start + 50);
}

} // namespace
} // namespace kestle::device
