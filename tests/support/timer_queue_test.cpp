// SPDX-License-Identifier: GPL-3.0-or-later
// The schedulers' queue: calls run in order, within a lead ahead of real
// time, and a chain of short waits keeps real time's pace.
#include "support/timer_queue.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace kestle {
namespace {

// Runs what may run at `real`; returns how many ran.
int runAt(TimerQueue& q, Millis real) {
    int n = 0;
    while (auto fn = q.take(real)) {
        fn();
        ++n;
    }
    return n;
}

TEST(TimerQueue, CallsRunInOrderAndNeverMoreThanTheLeadAhead) {
    TimerQueue q(20);
    std::vector<int> ran;
    q.add(0, 50, [&] { ran.push_back(50); });
    q.add(0, 10, [&] { ran.push_back(10); });
    const TimerId gone = q.add(0, 15, [&] { ran.push_back(15); });
    q.add(0, 10, [&] { ran.push_back(11); }); // same time: in the order given
    q.cancel(gone);
    EXPECT_EQ(runAt(q, 0), 2); // 10 and 11 lie within the lead
    EXPECT_EQ(ran, (std::vector<int>{10, 11}));
    EXPECT_EQ(q.now(0), 10); // the clock moved on to the last call run
    EXPECT_EQ(*q.sleepFor(0), 50);
    EXPECT_EQ(runAt(q, 29), 0);
    EXPECT_EQ(runAt(q, 30), 1);
    EXPECT_EQ(q.now(30), 50);
    EXPECT_FALSE(q.sleepFor(30));
    EXPECT_EQ(q.now(70), 70); // never behind real time

    // A call at the end of time is never due and overflows nothing.
    q.add(1000, std::numeric_limits<Millis>::max(), [&] { ran.push_back(-1); });
    EXPECT_EQ(runAt(q, 1'000'000'000), 0);
    EXPECT_GT(*q.sleepFor(1'000'000'000), 0);
}

TEST(TimerQueue, AChainOfShortWaitsWakesOncePerLeadAndKeepsRealTimesPace) {
    TimerQueue q(20);
    int exchanges = 0;
    std::function<void()> exchange = [&] {
        ++exchanges;
        q.add(0, 1, exchange); // each answer a millisecond after its request
    };
    q.add(0, 1, exchange);
    Millis real = 0;
    int wakeUps = 0;
    while (real < 1000) {
        runAt(q, real);
        real += *q.sleepFor(real);
        ++wakeUps;
        EXPECT_LE(q.now(real) - real, 20);
    }
    EXPECT_NEAR(exchanges, 1000, 25);
    EXPECT_LE(wakeUps, 1000 / 20 + 2);
}

} // namespace
} // namespace kestle
