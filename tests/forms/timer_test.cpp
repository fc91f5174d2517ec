// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/form.h"
#include "support/virtual_scheduler.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kestle::forms {
namespace {

struct Clocked {
    Clocked() : t(f.addTimer("t", sched, 100)) {
        t.onTick = [this] { ticks.push_back(sched.nowMs()); };
    }
    VirtualScheduler sched;
    Form f{"f"};
    Timer& t;
    std::vector<Millis> ticks;
};

TEST(Timer, StartsDisabledAndInvisible) {
    Clocked c;
    EXPECT_FALSE(c.t.enabled());
    EXPECT_FALSE(c.t.visible());
    c.sched.advance(1000);
    EXPECT_TRUE(c.ticks.empty());
}

TEST(Timer, TicksEveryIntervalWhileEnabled) {
    Clocked c;
    c.sched.advance(30);
    c.t.setEnabled(true); // counts from the moment it is enabled
    c.sched.advance(350);
    EXPECT_EQ(c.ticks, (std::vector<Millis>{130, 230, 330}));
    c.t.setEnabled(false);
    c.sched.advance(1000);
    EXPECT_EQ(c.ticks.size(), 3u);
}

TEST(Timer, EnablingTwiceDoesNotRestartOrDoubleTheCount) {
    Clocked c;
    c.t.setEnabled(true);
    c.sched.advance(60);
    c.t.setEnabled(true);
    c.sched.advance(150);
    EXPECT_EQ(c.ticks, (std::vector<Millis>{100, 200}));
}

TEST(Timer, ReEnablingRestartsTheCount) {
    Clocked c;
    c.t.setEnabled(true);
    c.sched.advance(60);
    c.t.setEnabled(false);
    c.t.setEnabled(true);
    c.sched.advance(150);
    EXPECT_EQ(c.ticks, (std::vector<Millis>{160}));
}

TEST(Timer, NewIntervalWhileEnabledRestartsTheCount) {
    Clocked c;
    c.t.setEnabled(true);
    c.sched.advance(250);
    c.t.setInterval(40); // at 250: next ticks at 290, 330, ...
    c.sched.advance(100);
    EXPECT_EQ(c.ticks, (std::vector<Millis>{100, 200, 290, 330}));
    EXPECT_EQ(c.t.interval(), 40);
}

TEST(Timer, NewIntervalWhileDisabledDoesNotStartIt) {
    Clocked c;
    c.t.setInterval(10);
    c.sched.advance(100);
    EXPECT_TRUE(c.ticks.empty());
    c.t.setEnabled(true);
    c.sched.advance(25);
    EXPECT_EQ(c.ticks, (std::vector<Millis>{110, 120}));
}

TEST(Timer, ATickThatDisablesItsTimerIsTheLast) {
    Clocked c;
    c.t.onTick = [&c] {
        c.ticks.push_back(c.sched.nowMs());
        c.t.setEnabled(false);
    };
    c.t.setEnabled(true);
    c.sched.advance(1000);
    EXPECT_EQ(c.ticks, (std::vector<Millis>{100}));
}

TEST(Timer, ATickThatChangesTheIntervalGoesOnAtTheNewPace) {
    Clocked c;
    c.t.onTick = [&c] {
        c.ticks.push_back(c.sched.nowMs());
        c.t.setInterval(50);
    };
    c.t.setEnabled(true);
    c.sched.advance(220);
    EXPECT_EQ(c.ticks, (std::vector<Millis>{100, 150, 200}));
}

TEST(Timer, ZeroIntervalNeverTicks) {
    Clocked c;
    c.t.setInterval(0);
    c.t.setEnabled(true);
    c.sched.advance(1000);
    EXPECT_TRUE(c.ticks.empty());
    EXPECT_TRUE(c.t.enabled());
}

TEST(Timer, DestroyingAnEnabledTimerCancelsItsTick) {
    VirtualScheduler sched;
    int ticks = 0;
    {
        auto f = std::make_unique<Form>("f");
        Timer& t = f->addTimer("t", sched, 10);
        t.onTick = [&] { ++ticks; };
        t.setEnabled(true);
    }
    sched.advance(100);
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(sched.idle());
}

} // namespace
} // namespace kestle::forms
