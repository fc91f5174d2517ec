// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/task.h"
#include "device/waiter.h"
#include "support/virtual_scheduler.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kestle::device {
namespace {

struct Rig {
    VirtualScheduler sched;
    Waiter w{sched};
    std::optional<bool> got;  // result of the awaited answer
    std::optional<Millis> at; // when it came
    std::string trace;

    Task waitForAnswer() {
        const bool ok = co_await w.answer();
        got = ok;
        at = sched.nowMs();
        co_return ok;
    }
};

TEST(Waiter, AnAnswerThatCameBeforeTheWaitIsTakenAtOnce) {
    Rig r;
    r.w.expectAnswer();
    r.w.answered();
    Task t = r.waitForAnswer();
    t.start();
    EXPECT_TRUE(t.done());
    EXPECT_TRUE(t.result());
    EXPECT_TRUE(r.sched.idle()); // no time-out was armed
}

TEST(Waiter, AStaleAnswerIsForgottenByExpectAnswer) {
    Rig r;
    r.w.answered();
    r.w.expectAnswer();
    Task t = r.waitForAnswer();
    t.start();
    EXPECT_FALSE(t.done());
    EXPECT_TRUE(r.w.waiting());
    r.sched.run();
    EXPECT_EQ(r.got, false);
}

TEST(Waiter, AnAnswerDuringTheWaitResumesItAndDisarmsTheTimeOut) {
    Rig r;
    r.w.expectAnswer();
    Task t = r.waitForAnswer();
    t.start();
    r.sched.advance(120);
    EXPECT_FALSE(r.got);
    r.w.answered();
    EXPECT_EQ(r.got, true);
    EXPECT_EQ(r.at, 120);
    EXPECT_FALSE(r.w.waiting());
    EXPECT_TRUE(r.sched.idle());
}

TEST(Waiter, TheWaitGivesUpAfter500Ms) {
    Rig r;
    r.w.expectAnswer();
    Task t = r.waitForAnswer();
    t.start();
    r.sched.advance(499);
    EXPECT_FALSE(r.got);
    r.sched.advance(1);
    EXPECT_EQ(r.got, false);
    EXPECT_EQ(r.at, kAnswerTimeoutMs);
    EXPECT_TRUE(t.done());
    EXPECT_FALSE(t.result());
    // A late answer after the time-out resumes nothing.
    r.w.answered();
    EXPECT_EQ(r.at, kAnswerTimeoutMs);
}

TEST(Waiter, FailedEndsTheWaitAtOnce) {
    Rig r;
    r.w.expectAnswer();
    Task t = r.waitForAnswer();
    t.start();
    r.sched.advance(10);
    r.w.failed();
    EXPECT_EQ(r.got, false);
    EXPECT_EQ(r.at, 10);
    EXPECT_TRUE(r.sched.idle());
}

TEST(Waiter, FailedDoesNotCutAPauseOrATurnShort) {
    Rig r;
    auto paused = [&r]() -> Task {
        co_await r.w.pause(50);
        r.at = r.sched.nowMs();
        co_return true;
    };
    Task t = paused();
    t.start();
    r.w.failed();
    r.w.answered();
    EXPECT_FALSE(t.done());
    r.sched.run();
    EXPECT_EQ(r.at, 50);
    EXPECT_TRUE(t.result());
}

TEST(Waiter, CancelForgetsTheWaitingCoroutine) {
    Rig r;
    r.w.expectAnswer();
    {
        Task t = r.waitForAnswer();
        t.start();
        r.w.cancel();
        EXPECT_FALSE(r.w.waiting());
    } // destroying the suspended task is safe once the waiter let go
    r.sched.advance(1000);
    r.w.answered();
    EXPECT_FALSE(r.got);
    EXPECT_TRUE(r.sched.idle());
}

TEST(Waiter, ATurnLetsEventsAlreadyDueRunFirst) {
    Rig r;
    r.sched.callAfter(0, [&r] { r.trace += "event "; });
    auto stepper = [&r]() -> Task {
        r.trace += "before ";
        co_await r.w.turn();
        r.trace += "after";
        co_return true;
    };
    Task t = stepper();
    t.start();
    r.sched.run();
    EXPECT_EQ(r.trace, "before event after");
    EXPECT_EQ(r.sched.nowMs(), 0);
}

TEST(Waiter, AnAnswerDuringAPauseIsKeptForTheNextWait) {
    Rig r;
    auto steps = [&r]() -> Task {
        r.w.expectAnswer();
        co_await r.w.pause(20);
        const bool ok = co_await r.w.answer();
        r.at = r.sched.nowMs();
        co_return ok;
    };
    Task t = steps();
    t.start();
    r.sched.callAfter(5, [&r] { r.w.answered(); });
    r.sched.run();
    EXPECT_TRUE(t.result());
    EXPECT_EQ(r.at, 20);
}

Task inner(Rig& r, bool answer) {
    r.trace += "inner ";
    r.w.expectAnswer();
    r.sched.callAfter(answer ? 3 : 100000, [&r] { r.w.answered(); });
    const bool ok = co_await r.w.answer();
    r.trace += ok ? "answered " : "timed-out ";
    co_return ok;
}

Task outer(Rig& r) {
    for (bool answer : {true, false, true}) {
        if (const bool ok = co_await inner(r, answer); !ok) {
            r.trace += "gave-up";
            co_return false;
        }
    }
    co_return true;
}

TEST(Task, NestedTasksRunInOrderAndPassTheirResultUp) {
    Rig r;
    Task t = outer(r);
    EXPECT_EQ(r.trace, ""); // lazily started
    t.start();
    r.sched.advance(10000);
    EXPECT_EQ(r.trace, "inner answered inner timed-out gave-up");
    EXPECT_TRUE(t.done());
    EXPECT_FALSE(t.result());
    EXPECT_EQ(r.sched.nowMs(), 10000);
}

TEST(Task, AnEmptyTaskIsDoneAndFalse) {
    Task t;
    EXPECT_FALSE(t.valid());
    EXPECT_TRUE(t.done());
    EXPECT_FALSE(t.result());
}

TEST(Task, MovingKeepsTheCoroutine) {
    Rig r;
    Task a = r.waitForAnswer();
    Task b = std::move(a);
    EXPECT_FALSE(a.valid());
    r.w.expectAnswer();
    b.start();
    r.w.answered();
    EXPECT_TRUE(b.result());
}

} // namespace
} // namespace kestle::device
